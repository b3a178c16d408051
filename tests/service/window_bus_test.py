#!/usr/bin/env python3
"""The window (vardel) through the drive service on a private bus, with the bus glue of
bus_test.py: the window's cases in vardel_qt_service_test, one per service started here, and
vardel itself choosing its route (the service without root, the nodes with --direct). vardel
refuses to run as root, so a root test run starts it as nobody.

usage: window_bus_test.py SERVICE_ON_TEST_BUS VARDEL_QT_SERVICE_TEST VARDEL
"""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

import bus_test
from bus_test import DONE, FIXED, REMOVABLE, Bus

WINDOW_TEST = None
VARDEL = None
NOBODY = 65534
# The bus of bus_test.py, open to every user: vardel runs as nobody where the test runs as root.
OPEN_POLICY = '<policy context="default">\n    <allow user="*"/>'
assert '<policy context="default">' in bus_test.CONFIG
bus_test.CONFIG = bus_test.CONFIG.replace('<policy context="default">', OPEN_POLICY)


def block(bus):
    return bytes.fromhex("".join(bus.config_block()))


class WindowThroughServiceTest(unittest.TestCase):
    def start(self, policy):
        folder = tempfile.TemporaryDirectory(prefix="vardel-window-bus-")
        self.addCleanup(folder.cleanup)
        os.chmod(folder.name, 0o755)
        bus = Bus(folder.name, policy)
        self.addCleanup(bus.close)
        return bus

    def window_case(self, bus, case):
        environment = dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=bus.address,
                           VARDEL_SERVICE_CASE=case, QT_QPA_PLATFORM="offscreen")
        done = subprocess.run([WINDOW_TEST], capture_output=True, text=True, check=False,
                              timeout=120, env=environment)
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)

    def history(self, bus):
        return [entry["command"] for entry in bus.call("History", "s", "")["history"]]

    def test_the_window_through_the_service_writes_as_the_direct_one(self):
        bus = self.start("grant-change")
        before = block(bus)
        self.window_case(bus, "same-as-direct")
        # LUN 0 fixed, LUN 1 removable, then Write put both back: three changes, and the block
        # is again the one read at first, byte for byte.
        self.assertEqual(self.history(bus), ["set", "set", "write"])
        self.assertEqual(block(bus), before)

    def test_a_refused_change_shows_the_message_and_writes_nothing(self):
        bus = self.start("deny-change")
        before = block(bus)
        self.window_case(bus, "refused")
        self.assertEqual(block(bus), before)
        self.assertEqual(self.history(bus), [])

    def test_the_window_waits_for_polkit_and_sends_one_change(self):
        bus = self.start("grant-change-slowly")
        before = block(bus)
        self.window_case(bus, "slow")
        after = block(bus)
        self.assertEqual([i for i in range(len(before)) if before[i] != after[i]], [304])
        self.assertEqual(after[304], FIXED)
        self.assertEqual(self.history(bus), ["set"])

    def vardel(self, bus, *arguments):
        """vardel's screenshot run (the status button, messages printed) as a user, not root."""
        home = os.path.join(bus.folder, "home")
        os.makedirs(home, exist_ok=True)
        if os.getuid() == 0:
            shutil.chown(home, NOBODY, NOBODY)
        command = [VARDEL] + list(arguments) + [
            "--screenshot-after-status=" + os.path.join(home, "window.png")]
        if os.getuid() == 0:
            if shutil.which("setpriv") is None:
                self.skipTest("root without setpriv: vardel refuses to run as root")
            command = ["setpriv", f"--reuid={NOBODY}", f"--regid={NOBODY}",
                       "--clear-groups"] + command
        environment = dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=bus.address, HOME=home,
                           XDG_RUNTIME_DIR=home, QT_QPA_PLATFORM="offscreen")
        return subprocess.run(command, capture_output=True, text=True, check=False, timeout=60,
                              env=environment, cwd=home)

    def test_vardel_without_root_reads_through_the_service_unless_told(self):
        bus = self.start("grant-change")
        for arguments in ([], ["--service"]):
            with self.subTest(" ".join(arguments) or "by default"):
                served = self.vardel(bus, *arguments)
                self.assertEqual(served.returncode, 0, served.stderr)
                # The rows were read: no message, only the screenshot's line.
                self.assertNotIn("Message", served.stdout)
                self.assertIn("Screenshot of the window", served.stdout)
        self.assertEqual(bus.status(), (DONE, REMOVABLE, FIXED))
        self.assertEqual(self.history(bus), [])

    def test_a_missing_service_says_what_to_do_and_direct_does_not_ask_it(self):
        bus = self.start(None)
        missing = self.vardel(bus)
        self.assertEqual(missing.returncode, 0, missing.stderr)
        self.assertIn('Message (caption "Vardel"): the drive service (org.vardel.Drives1) is not '
                      "installed", missing.stdout)
        self.assertIn("vardel --direct", missing.stdout)
        direct = self.vardel(bus, "--direct")
        self.assertNotIn("the drive service (org.vardel.Drives1)", direct.stdout + direct.stderr)
        self.assertNotIn("polkit", direct.stdout + direct.stderr)
        for arguments, word in ((["--direct", "--service"], "only one"),
                                (["--service", "--emulate"], "leave out --service")):
            with self.subTest(" ".join(arguments)):
                refused = self.vardel(bus, *arguments)
                self.assertEqual(refused.returncode, 64)
                self.assertIn(word, refused.stderr)


if __name__ == "__main__":
    bus_test.PROGRAM, WINDOW_TEST, VARDEL = sys.argv[1], sys.argv[2], sys.argv[3]
    unittest.main(argv=sys.argv[:1], verbosity=2)
