#!/usr/bin/env python3
"""The drive service's bus glue on a private bus: calls and replies as a client sees them, the
refusals as named errors, polkit's answers (and its absence), a caller that leaves while
authorization is asked, reads answered while a change waits for a password, the bound on one
caller's waiting calls, twenty callers at once, and the end when idle; then vardelctl as the
service's client. The service runs on the emulated machine and asks a stand-in for polkit on the
same bus (service_on_test_bus); the real polkit is asked in the kernel guest's tests.

usage: bus_test.py SERVICE_ON_TEST_BUS INTROSPECTION_XML VARDELCTL
"""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

from raw_bus_client import RawBusClient

PROGRAM = None
INTROSPECTION = None
VARDELCTL = None
NAME = "org.vardel.Drives1"
PATH = "/org/vardel/Drives1"
CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path={socket}</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
    <allow own="*"/>
  </policy>
</busconfig>
"""


def values(data):
    """busctl's JSON of an a{sv} as a plain dictionary."""
    if isinstance(data, dict) and set(data) == {"type", "data"}:
        return values(data["data"])
    if isinstance(data, dict):
        return {key: values(value) for key, value in data.items()}
    if isinstance(data, list):
        return [values(item) for item in data]
    return data


class Bus:
    """A bus daemon of the test's own, and the service on it."""

    def __init__(self, folder, policy, idle_seconds=60, scenario=None):
        """policy None: the bus alone, with nobody to own the service's name. scenario: the
        emulated machine of that file instead of the built-in one. The service's journal is the
        one vardelctl's emulated runs use (VARDEL_JOURNAL=folder/state)."""
        self.folder = folder
        socket = os.path.join(folder, "bus")
        config = os.path.join(folder, "bus.conf")
        with open(config, "w", encoding="utf-8") as file:
            file.write(CONFIG.format(socket=socket))
        self.address = "unix:path=" + socket
        # Its notes (an fd limit it may not raise) are no part of the test.
        self.daemon = subprocess.Popen(["dbus-daemon", "--nofork", "--config-file=" + config],
                                       stderr=subprocess.DEVNULL)
        self._wait(lambda: os.path.exists(socket), "the bus did not start")
        self.service = None
        if policy is None:
            return
        environment = dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=self.address)
        self.log = os.path.join(folder, "service.log")
        with open(self.log, "w", encoding="utf-8") as log:
            self.service = subprocess.Popen(
                [PROGRAM, self.journal(), policy, str(idle_seconds)] +
                ([scenario] if scenario else []), env=environment, stderr=log)
        self._wait(self.owned, "the service did not take its name")

    def journal(self):
        return os.path.join(self.folder, "state", "emulated")

    @staticmethod
    def _wait(ready, why):
        for _ in range(200):
            if ready():
                return
            time.sleep(0.05)
        raise AssertionError(why)

    def owned(self):
        names = subprocess.run(["busctl", "--address=" + self.address, "--timeout=2",
                                "--json=short", "list"],
                               capture_output=True, text=True, check=False, timeout=10).stdout
        return NAME in names

    def close(self):
        for process in (self.service, self.daemon):
            if process is None:
                continue
            if process.poll() is None:
                process.terminate()
            process.wait(timeout=10)

    def busctl(self, method, signature, *arguments):
        return ["busctl", "--address=" + self.address, "--json=short", "call", NAME, PATH, NAME,
                method, signature] + [str(argument) for argument in arguments]

    def call(self, method, signature, *arguments):
        """The reply of a call that must succeed, as a dictionary."""
        done = subprocess.run(self.busctl(method, signature, *arguments), capture_output=True,
                              text=True, check=False, timeout=60)
        if done.returncode != 0:
            raise AssertionError(f"{method} failed: {done.stderr}")
        return values(json.loads(done.stdout)["data"][0])

    def error(self, method, *typed):
        """The error name and text of a call that must fail (dbus-send names the error)."""
        done = subprocess.run(["dbus-send", "--bus=" + self.address, "--print-reply",
                               "--reply-timeout=60000",
                               "--dest=" + NAME, PATH, NAME + "." + method] + list(typed),
                              capture_output=True, text=True, check=False, timeout=60)
        if done.returncode == 0:
            raise AssertionError(f"{method} succeeded: {done.stdout}")
        first = done.stderr.strip().splitlines()[0]
        name, _, text = first.removeprefix("Error ").partition(": ")
        return name, text

    def vardelctl(self, *arguments, cwd=None):
        """vardelctl run as the service's client on this bus; its emulated runs share the
        service's journal."""
        return run_vardelctl(self.address, *arguments, cwd=cwd,
                             journal=os.path.join(self.folder, "state"))

    def config_block(self, device=""):
        return json.loads(self.call("Backup", "s", device)["document"])["configBlock"]

    def status(self):
        outcome = self.call("Status", "s", "")["outcome"]
        return outcome["code"], outcome["lun0"], outcome["lun1"]


def answer_after(address, journal, answer, meanwhile, *arguments, cwd=None):
    """vardelctl on a terminal of its own as the service's client: once its question is shown,
    `meanwhile()` runs, then `answer` is typed. The exit code and what the terminal showed."""
    import pty
    controller, terminal = pty.openpty()
    try:
        environment = dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=address, VARDEL_JOURNAL=journal)
        try:
            process = subprocess.Popen([VARDELCTL] + list(arguments), stdin=terminal,
                                       stdout=terminal, stderr=terminal, env=environment, cwd=cwd)
        finally:
            os.close(terminal)
        shown = b""
        while b"[y/N]" not in shown:
            try:
                chunk = os.read(controller, 4096)
            except OSError:
                chunk = b""
            if not chunk:
                raise AssertionError("no question: " + shown.decode(errors="replace"))
            shown += chunk
        meanwhile()
        os.write(controller, answer)
        process.wait(timeout=60)
        while True:
            try:
                chunk = os.read(controller, 4096)
            except OSError:
                break
            if not chunk:
                break
            shown += chunk
        return process.returncode, shown.decode(errors="replace")
    finally:
        os.close(controller)


def run_vardelctl(address, *arguments, cwd=None, journal=None):
    environment = dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=address)
    if journal:
        environment["VARDEL_JOURNAL"] = journal
    return subprocess.run([VARDELCTL] + list(arguments), capture_output=True, text=True,
                          check=False, timeout=60, env=environment, cwd=cwd,
                          stdin=subprocess.DEVNULL)


DONE = 0
REMOVABLE = 0x00
FIXED = 0xA1


NOT_AUTHORIZED = "org.vardel.Drives1.Error.NotAuthorized"
TOO_MANY_CALLS = "org.vardel.Drives1.Error.TooManyCalls"
SERIALS = ("VD0000000001", "VD0000000002")


def hex_block(rows):
    """A backup document's or a journal entry's block, as bytes."""
    return bytes.fromhex("".join(rows)) if isinstance(rows[0], str) else bytes(rows)


class BusTest(unittest.TestCase):
    def start(self, policy, idle_seconds=60, scenario=None):
        folder = tempfile.TemporaryDirectory(prefix="vardel-service-bus-")
        self.addCleanup(folder.cleanup)
        bus = Bus(folder.name, policy, idle_seconds, scenario)
        self.addCleanup(bus.close)
        return bus

    def test_introspection_is_the_interface_file(self):
        bus = self.start("grant-change")
        done = subprocess.run(["busctl", "--address=" + bus.address, "--json=short", "call", NAME,
                               PATH, "org.freedesktop.DBus.Introspectable", "Introspect"],
                              capture_output=True, text=True, check=True)
        with open(INTROSPECTION, encoding="utf-8") as file:
            self.assertEqual(json.loads(done.stdout)["data"][0], file.read())

    def test_set_reaches_the_drive_and_the_reply_carries_the_outcome(self):
        bus = self.start("grant-change")
        self.assertEqual(bus.status(), (DONE, REMOVABLE, FIXED))
        reply = bus.call("Set", "suub", "VD0000000001", 0, FIXED, "false")
        outcome = reply["outcome"]
        self.assertEqual((outcome["code"], outcome["changed"], outcome["lun0"]), (DONE, True, FIXED))
        self.assertEqual((outcome["beforeLun0"], outcome["target"]), (REMOVABLE, "F"))
        self.assertEqual(bus.status(), (DONE, FIXED, FIXED))
        history = bus.call("History", "s", "")["history"]
        self.assertEqual([entry["command"] for entry in history], ["set"])
        self.assertEqual(len(history[0]["written"]), 528)
        # The administrator's trail: who changed which drive; reads leave none.
        with open(bus.log, encoding="utf-8") as log:
            lines = log.read().splitlines()
        self.assertEqual(len(lines), 1, lines)
        self.assertRegex(lines[0], rf"^vardel-service: Set for uid {os.getuid()} \(:1\.[0-9]+\) "
                                   r"on VD0000000001: outcome 0, the drive's block changed$")

    def test_backup_comes_back_as_the_document_and_restores(self):
        bus = self.start("grant-change")
        document = bus.call("Backup", "s", "")["document"]
        self.assertEqual(json.loads(document)["serial"], "VD0000000001")
        bus.call("Set", "suub", "", 1, REMOVABLE, "false")
        reply = bus.call("Restore", "ssbb", "", document, "false", "false")
        self.assertEqual(reply["outcome"]["code"], DONE)
        self.assertEqual(reply["asRead"][0x131], REMOVABLE)
        self.assertEqual(bus.status(), (DONE, REMOVABLE, FIXED))

    def test_bad_callers_get_named_errors_and_the_service_goes_on(self):
        bus = self.start("grant-change")
        invalid = "org.vardel.Drives1.Error.InvalidArgument"
        cases = [
            ("lun 2", ("Set", "string:", "uint32:2", "uint32:161", "boolean:false"), invalid),
            ("type out of range", ("Set", "string:", "uint32:0", "uint32:5", "boolean:false"),
             invalid),
            ("huge device", ("Status", "string:" + "V" * 100000), invalid),
            ("arguments missing", ("Set", "string:"), invalid),
            ("unknown drive", ("Status", "string:VD9999999999"),
             "org.vardel.Drives1.Error.UnknownDrive"),
            ("node outside /dev", ("Status", "string:/etc/passwd"), invalid),
            ("no backup", ("Restore", "string:", "string:{}", "boolean:false", "boolean:false"),
             invalid),
            ("unknown method", ("Format", "string:"), "org.freedesktop.DBus.Error.UnknownMethod"),
        ]
        for what, call, expected in cases:
            with self.subTest(what):
                name, text = bus.error(*call)
                self.assertEqual(name, expected, text)
                self.assertTrue(text)
        self.assertEqual(bus.status(), (DONE, REMOVABLE, FIXED))
        self.assertIsNone(bus.service.poll())

    def test_a_change_polkit_does_not_grant_writes_nothing_and_reading_goes_on(self):
        # polkit's "authentication needed" (without a dialog allowed) is no yes either.
        for policy, expected in (("deny-change", NOT_AUTHORIZED),
                                 ("challenge-change",
                                  "org.vardel.Drives1.Error.AuthenticationRequired")):
            with self.subTest(policy):
                bus = self.start(policy)
                name, text = bus.error("Set", "string:", "uint32:0", "uint32:161", "boolean:false")
                self.assertEqual(name, expected, text)
                # A dry run only reads.
                dry = bus.call("Set", "suub", "", 0, FIXED, "true")["outcome"]
                self.assertTrue(dry["writeSkipped"])
                self.assertEqual(bus.status(), (DONE, REMOVABLE, FIXED))
                self.assertEqual(bus.call("History", "s", "")["history"], [])

    def test_without_polkit_on_the_bus_nothing_is_granted(self):
        # The service's own route to polkit, on a bus where nobody answers it.
        bus = self.start("polkit")
        for call in (("Set", "string:", "uint32:0", "uint32:161", "boolean:false"),
                     ("Status", "string:")):
            with self.subTest(call[0]):
                name, text = bus.error(*call)
                self.assertEqual(name, NOT_AUTHORIZED, text)
                self.assertIn("polkit could not be asked", text)
        # Every change goes to the journal first and to the log after: neither has one.
        self.assertEqual(files_in(bus.journal()), {})
        with open(bus.log, encoding="utf-8") as log:
            self.assertNotIn("Set for uid", log.read())

    def test_a_read_is_answered_while_a_change_waits_for_a_password(self):
        bus = self.start("hold-change")
        # One connection, so that the service has the change before the read.
        caller = RawBusClient(bus.address)
        self.addCleanup(caller.close)
        change = caller.call(NAME, PATH, NAME, "Set", "suub", ["", 0, FIXED, False],
                             interactive=True)
        read = caller.call(NAME, PATH, NAME, "Status", "s", [""])
        self.assertEqual(caller.wait(read)[0], "return")
        # Another caller's read, and vardelctl's, as well.
        self.assertEqual(bus.status(), (DONE, REMOVABLE, FIXED))
        status = bus.vardelctl("--service", "status")
        self.assertEqual(status.returncode, 0, status.stderr)
        self.assertNotIn(change, caller.answers)
        # The caller leaves before polkit answers: nothing is changed on its behalf.
        caller.close()
        self.assertEqual(bus.status(), (DONE, REMOVABLE, FIXED))
        self.assertEqual(bus.call("History", "s", "")["history"], [])

    def test_a_question_polkit_never_answers_ends_refused_after_its_timeout(self):
        # Without a dialog allowed, the service waits 25 seconds for polkit, then refuses.
        bus = self.start("hold-change")
        started = time.monotonic()
        name, text = bus.error("Set", "string:", "uint32:0", "uint32:161", "boolean:false")
        self.assertEqual(name, NOT_AUTHORIZED, text)
        self.assertIn("polkit did not answer", text)
        self.assertGreater(time.monotonic() - started, 20)
        self.assertEqual(bus.status(), (DONE, REMOVABLE, FIXED))

    def test_one_caller_keeps_only_a_few_calls_waiting_and_gets_room_back_as_they_end(self):
        bus = self.start("grant-change-slowly")
        caller = RawBusClient(bus.address)
        self.addCleanup(caller.close)

        def set_calls(count):
            return [caller.call(NAME, PATH, NAME, "Set", "suub", ["", 1, REMOVABLE, False],
                                interactive=True) for _ in range(count)]

        waiting = set_calls(4)
        refused = set_calls(1) + [caller.call(NAME, PATH, NAME, "Status", "s", [""])]
        for serial in refused:
            kind, error, text = caller.wait(serial)
            self.assertEqual((kind, error), ("error", TOO_MANY_CALLS), text)
        # Others are not held up by that caller.
        self.assertEqual(bus.status(), (DONE, REMOVABLE, FIXED))
        for serial in waiting:
            self.assertEqual(caller.wait(serial)[0], "return")
        # Answered, they leave room for as many again.
        for serial in set_calls(4):
            self.assertEqual(caller.wait(serial)[0], "return")
        self.assertEqual(bus.status(), (DONE, REMOVABLE, REMOVABLE))
        # Only the first call changed the drive.
        self.assertEqual(len(bus.call("History", "s", "")["history"]), 1)

    def test_twenty_callers_at_once_on_two_drives_are_answered_and_the_journal_keeps_up(self):
        bus = self.start("grant-change-slowly", scenario=TWO_DRIVES)
        reads = [bus.busctl("Status", "s", SERIALS[0]), bus.busctl("Status", "s", SERIALS[1]),
                 bus.busctl("List", "s", ""), bus.busctl("Backup", "s", SERIALS[1]),
                 bus.busctl("History", "s", ""), bus.busctl("Set", "suub", SERIALS[0], 0, FIXED,
                                                            "true")]
        changes = []
        for lun, kind in ((0, FIXED), (1, REMOVABLE), (0, REMOVABLE), (1, FIXED)):
            for serial in SERIALS:
                changes.append(bus.busctl("Set", "suub", serial, lun, kind, "false"))
        changes.append(bus.busctl("Write", "sssb", SERIALS[0], "0x5A", "", "false"))
        changes.append(bus.busctl("Write", "sssb", SERIALS[1], "", "0x3C", "false"))
        environment = dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=bus.address,
                           VARDEL_JOURNAL=os.path.join(bus.folder, "state"))
        clients = [[VARDELCTL, "--service", "--json", "--device", serial, "status"]
                   for serial in SERIALS]
        clients += [[VARDELCTL, "--service", "--json", "--device", SERIALS[0], "set", "lun1",
                     "removable"],
                    [VARDELCTL, "--service", "--json", "--device", "G", "set", "lun0", "fixed"]]
        self.assertEqual(len(reads + changes + clients), 20)
        running = [subprocess.Popen(arguments, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                    text=True, env=environment)
                   for arguments in reads + changes + clients]
        changed = 0
        for arguments, process in zip(reads + changes + clients, running):
            out, err = process.communicate(timeout=120)
            self.assertEqual(process.returncode, 0, f"{arguments}: {err}")
            if arguments[0] == VARDELCTL:
                report = json.loads(out)
                self.assertEqual(report["outcome"], "done", arguments)
                changed += report["changed"]
                continue
            outcome = values(json.loads(out)["data"][0]).get("outcome")
            if outcome is not None:
                self.assertEqual(outcome["code"], DONE, arguments)
                changed += outcome["changed"]
        # Each drive's entries, oldest first, are a chain from the block each change read to the
        # block the drive holds now: no change lost, none counted twice.
        history = bus.call("History", "s", "")["history"]
        self.assertEqual(len(history), changed)
        for serial in SERIALS:
            entries = [entry for entry in history if entry["serial"] == serial]
            self.assertTrue(entries, serial)
            for earlier, later in zip(entries, entries[1:]):
                self.assertEqual(bytes(later["asRead"]), bytes(earlier["written"]), serial)
            now = bus.call("Backup", "s", serial)["blocks"]["configBlock"]
            self.assertEqual(bytes(entries[-1]["written"]), bytes(now), serial)

    def test_a_caller_that_leaves_while_asked_gets_nothing_changed(self):
        bus = self.start("grant-change-slowly")
        caller = subprocess.Popen(bus.busctl("Set", "suub", "", 1, REMOVABLE, "false"),
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(0.5)
        caller.kill()
        caller.wait()
        time.sleep(2.5)
        self.assertEqual(bus.status(), (DONE, REMOVABLE, FIXED))
        self.assertEqual(bus.call("History", "s", "")["history"], [])

    def test_two_callers_at_once_are_both_served(self):
        bus = self.start("grant-change")
        callers = [subprocess.Popen(bus.busctl("Set", "suub", "", lun, kind, "false"),
                                    stdout=subprocess.PIPE, text=True)
                   for lun, kind in ((0, FIXED), (1, REMOVABLE))]
        for caller in callers:
            out, _ = caller.communicate(timeout=60)
            self.assertEqual(caller.returncode, 0)
            self.assertEqual(values(json.loads(out)["data"][0])["outcome"]["code"], DONE)
        self.assertEqual(bus.status(), (DONE, FIXED, REMOVABLE))

    def test_it_ends_when_idle_and_gives_its_name_back(self):
        bus = self.start("grant-change", idle_seconds=2)
        bus.status()
        self.assertEqual(bus.service.wait(timeout=30), 0)
        self.assertFalse(bus.owned())


# vardelctl's exit codes (docs/vardelctl.md).
EXIT_WRONG_DEVICE = 4
EXIT_NO_MACHINE_ACCESS = 7
EXIT_USAGE = 64

SCENARIOS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "vardelctl",
                         "scenarios")
PLAIN = os.path.join(SCENARIOS, "plain.json")
TWO_DRIVES = os.path.join(SCENARIOS, "two-drives.json")


def files_in(folder):
    """Every file below `folder`, by its path inside it, with its bytes."""
    found = {}
    for root, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(root, name)
            with open(path, "rb") as file:
                found[os.path.relpath(path, folder)] = file.read()
    return found


def put_files(folder, files):
    """Makes `folder` hold exactly `files` (as files_in gives them)."""
    shutil.rmtree(folder, ignore_errors=True)
    for name, data in files.items():
        os.makedirs(os.path.dirname(os.path.join(folder, name)), exist_ok=True)
        with open(os.path.join(folder, name), "wb") as file:
            file.write(data)


class VardelctlClientTest(unittest.TestCase):
    """vardelctl through the service: the service's emulated machine is the one --emulate runs on,
    so each run must print what the direct run on --emulate prints."""

    def start(self, policy, scenario=None):
        folder = tempfile.TemporaryDirectory(prefix="vardel-service-client-")
        self.addCleanup(folder.cleanup)
        bus = Bus(folder.name, policy, scenario=scenario)
        self.addCleanup(bus.close)
        return bus

    def test_the_report_is_the_direct_runs_byte_for_byte(self):
        cases = [
            ("status", ["status"], True),
            ("status as JSON", ["--json", "status"], True),
            ("status of a drive by serial", ["--device", "vd0000000001", "status"], True),
            ("no drive with the serial", ["--json", "--device", "", "status"], True),
            ("dry run", ["set", "lun0", "fixed", "--dry-run"], True),
            ("set that changes nothing", ["set", "lun1", "fixed"], True),
            ("set", ["set", "lun0", "fixed"], False),
            ("set as JSON", ["--json", "set", "lun1", "removable"], False),
            ("write", ["write", "--lun0", "Fixed Disk", "--lun1", "0x00"], False),
        ]
        for what, arguments, same_stderr in cases:
            with self.subTest(what):
                bus = self.start("grant-change")
                served = bus.vardelctl("--service", *arguments)
                direct = bus.vardelctl("--emulate", *arguments)
                self.assertEqual((served.returncode, served.stdout),
                                 (direct.returncode, direct.stdout), served.stderr)
                # A change on the built-in emulated drive adds a note of its own on stderr.
                if same_stderr:
                    self.assertEqual(served.stderr, direct.stderr)

    def twin_runs(self, scenario, prepare, arguments, policy="grant-change"):
        """The service on the machine of `scenario` after the `prepare` runs (through it), and
        the direct run on a scenario file that holds what the service's drives hold then, with
        the same journal. Each run in a folder of its own that starts with the same files. The
        service's run and the direct run, and the folders' files after each."""
        bus = self.start(policy, scenario)
        served_folder = os.path.join(bus.folder, "served")
        direct_folder = os.path.join(bus.folder, "direct")
        os.makedirs(served_folder)
        for step in prepare:
            done = bus.vardelctl("--service", *step, cwd=served_folder)
            self.assertIn(done.returncode, (0, 1), done.stdout + done.stderr)
        # The direct run's drives as the service's are now.
        with open(scenario, encoding="utf-8") as file:
            machine = json.load(file)
        for drive in machine["drives"]:
            serial = drive.get("identity", {}).get("serial", "")
            drive.pop("config", None)
            drive["configBlock"] = bus.config_block(serial)
        shutil.copytree(served_folder, direct_folder)
        direct_machine = os.path.join(bus.folder, "direct-machine.json")
        with open(direct_machine, "w", encoding="utf-8") as file:
            json.dump(machine, file)
        journal = os.path.join(bus.folder, "state")
        kept = files_in(journal)
        direct = bus.vardelctl("--emulate=" + direct_machine, *arguments, cwd=direct_folder)
        direct_files = files_in(direct_folder)
        # The service finds the journal as the direct run did.
        put_files(journal, kept)
        served = bus.vardelctl("--service", *arguments, cwd=served_folder)
        return served, direct, files_in(served_folder), direct_files

    def test_every_command_reports_as_the_direct_run(self):
        set_lun0 = [["set", "lun0", "fixed"]]
        cases = [
            ("list", PLAIN, [], ["list"]),
            ("list of two drives as JSON", TWO_DRIVES, [], ["--json", "list"]),
            ("list of one drive by letter", TWO_DRIVES, [], ["--device", "g", "list"]),
            ("backup", PLAIN, [], ["backup", "b.json"]),
            ("backup as JSON", TWO_DRIVES, [], ["--json", "--device", "H", "backup", "b.json"]),
            ("backup to standard output", PLAIN, [], ["backup", "-"]),
            ("backup over a file, forced", PLAIN, [["backup", "b.json"]] + set_lun0,
             ["backup", "b.json", "--force"]),
            ("restore", PLAIN, [["backup", "b.json"]] + set_lun0, ["restore", "b.json", "--yes"]),
            ("restore as JSON, dry", PLAIN, [["backup", "b.json"]] + set_lun0,
             ["--json", "restore", "b.json", "--dry-run"]),
            ("restore of a block the drive holds", PLAIN, [["backup", "b.json"]],
             ["restore", "b.json", "--yes"]),
            ("restore of another drive's backup", TWO_DRIVES,
             [["--device", "VD0000000002", "backup", "b.json"]],
             ["--device", "VD0000000001", "restore", "b.json", "--yes"]),
            ("history", PLAIN, set_lun0 + [["set", "lun1", "removable"]], ["history"]),
            ("history of one drive as JSON", TWO_DRIVES,
             [["--device", "E", "set", "lun0", "fixed"], ["--device", "G", "set", "lun0", "fixed"]],
             ["--json", "--device", "vd0000000002", "history"]),
            ("undo", PLAIN, set_lun0, ["undo", "--yes"]),
            ("undo as JSON, dry", PLAIN, set_lun0, ["--json", "undo", "--dry-run"]),
            ("status of every drive", TWO_DRIVES, [], ["status", "--all"]),
            ("set on every drive as JSON", TWO_DRIVES, [],
             ["--json", "set", "lun1", "removable", "--all"]),
            ("backup of every drive", TWO_DRIVES, [], ["backup", "--all", "saved"]),
            ("a serial no drive carries", PLAIN, [], ["--device", "VD9999999999", "status"]),
            ("a letter no drive is at, as JSON", TWO_DRIVES, [],
             ["--json", "--device", "Q", "set", "lun0", "fixed"]),
            ("a restore onto a serial no drive carries", PLAIN, [["backup", "b.json"]],
             ["--device", "VD9999999999", "restore", "b.json", "--yes"]),
        ]
        for what, scenario, prepare, arguments in cases:
            with self.subTest(what):
                served, direct, served_files, direct_files = self.twin_runs(
                    scenario, prepare, arguments)
                self.assertEqual((served.returncode, served.stdout, served.stderr),
                                 (direct.returncode, direct.stdout, direct.stderr))
                self.assertEqual(served_files, direct_files)

    def test_a_drive_that_did_not_answer_is_named_as_the_direct_run_names_it(self):
        # The second drive shows the signature, then its identity reads end in CHECK CONDITION.
        scratch = tempfile.TemporaryDirectory(prefix="vardel-unanswered-")
        self.addCleanup(scratch.cleanup)
        with open(TWO_DRIVES, encoding="utf-8") as file:
            machine = json.load(file)
        machine["faults"] = [{"letter": letter, "operation": "readIdentity",
                              "effect": "scsiStatus", "code": 2, "times": -1}
                             for letter in "GH"]
        scenario = os.path.join(scratch.name, "unanswered.json")
        with open(scenario, "w", encoding="utf-8") as file:
            json.dump(machine, file)
        cases = [
            ("set stops", ["set", "lun0", "fixed"], 3),
            ("set stops, as JSON", ["--json", "set", "lun0", "fixed"], 3),
            ("status goes on", ["status"], 0),
            ("set on every drive leaves it alone", ["set", "lun0", "fixed", "--all"], 9),
        ]
        for what, arguments, code in cases:
            with self.subTest(what):
                bus = self.start("grant-change", scenario)
                direct_machine = os.path.join(bus.folder, "direct.json")
                shutil.copy(scenario, direct_machine)
                direct = bus.vardelctl("--emulate=" + direct_machine, *arguments)
                served = bus.vardelctl("--service", *arguments)
                self.assertEqual(served.returncode, code, served.stdout + served.stderr)
                self.assertEqual((served.returncode, served.stdout, served.stderr),
                                 (direct.returncode, direct.stdout, direct.stderr))
                self.assertIn("it carries the drive's signature", served.stderr + served.stdout)

    def test_restore_and_undo_through_the_service_change_the_drive(self):
        bus = self.start("grant-change")
        folder = os.path.join(bus.folder, "files")
        os.makedirs(folder)
        before = bus.config_block()
        for step in (["backup", "b.json"], ["set", "lun0", "fixed"], ["restore", "b.json", "--yes"],
                     ["undo", "--yes"], ["undo", "--yes"]):
            done = bus.vardelctl("--service", *step, cwd=folder)
            self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        # The restore put the block back; the first undo took the restore back, the second the
        # undo: the drive holds the backup's block again, and the service's journal every change.
        self.assertEqual(bus.config_block(), before)
        history = json.loads(bus.vardelctl("--service", "--json", "history").stdout)
        self.assertEqual([entry["command"] for entry in history["entries"]],
                         ["set", "restore", "undo", "undo"])
        self.assertEqual(history["journal"], bus.journal())

    def test_a_yes_is_to_the_change_shown_not_to_one_that_came_meanwhile(self):
        bus = self.start("grant-change")
        folder = os.path.join(bus.folder, "files")
        os.makedirs(folder)
        journal = os.path.join(bus.folder, "state")
        for step in (["set", "lun0", "fixed"], ["backup", os.path.join(folder, "b.json")]):
            self.assertEqual(bus.vardelctl("--service", *step).returncode, 0)
        # Each case starts from what the one before left.
        for command, meanwhile, says in (
                # The undo shown is LUN 0's; LUN 1's set comes in while the question waits.
                (["undo"], [["set", "lun1", "removable"]], "no longer holds what the set of"),
                # LUN 1's set is shown; two changes come and leave the drive as it was: it holds
                # what the set wrote, but the set is no longer its last change.
                (["undo"], [["set", "lun1", "fixed"], ["set", "lun1", "removable"]],
                 "is no longer the drive's last change"),
                (["restore", os.path.join(folder, "b.json")], [["set", "lun0", "removable"]],
                 "no longer holds what was shown before the question: 1 byte changed since")):
            with self.subTest(command=command[0], says=says):
                after = []

                def change_meanwhile():
                    for other in meanwhile:
                        done = bus.vardelctl("--service", *other)
                        self.assertEqual(done.returncode, 0, done.stderr)
                    after.append(bus.config_block())

                code, shown = answer_after(bus.address, journal, b"y\n", change_meanwhile,
                                           "--service", *command)
                self.assertEqual(code, EXIT_WRONG_DEVICE, shown)
                self.assertIn(says, shown.replace("\r\n", "\n").replace("\nvardelctl: ", " "))
                self.assertEqual(bus.config_block(), after[0])
        # Asked again, the undo shows the last change and makes it.
        code, shown = answer_after(bus.address, journal, b"y\n", lambda: None, "--service", "undo")
        self.assertEqual(code, 0, shown)

    def test_restore_and_undo_answered_on_a_terminal_write_only_after_a_yes(self):
        bus = self.start("grant-change")
        folder = os.path.join(bus.folder, "files")
        os.makedirs(folder)
        for step in (["backup", "b.json"], ["set", "lun1", "removable"]):
            self.assertEqual(bus.vardelctl("--service", *step, cwd=folder).returncode, 0)
        cases = [
            # The restore puts LUN 1's byte back; the undo then takes the restore back.
            (b"n\n", ["restore", "b.json"], 1, (DONE, REMOVABLE, REMOVABLE)),
            (b"y\n", ["restore", "b.json"], 0, (DONE, REMOVABLE, FIXED)),
            (b"\n", ["undo"], 1, (DONE, REMOVABLE, FIXED)),
            (b"y\n", ["undo"], 0, (DONE, REMOVABLE, REMOVABLE)),
        ]
        for answer, arguments, code, status in cases:
            with self.subTest(" ".join(arguments) + " " + repr(answer)):
                returncode, shown = answer_after(bus.address, os.path.join(bus.folder, "state"),
                                                 answer, lambda: None, "--service", *arguments,
                                                 cwd=folder)
                self.assertEqual(returncode, code, shown)
                self.assertIn("305: 0x", shown)
                self.assertEqual(bus.status(), status)
        history = bus.call("History", "s", "")["history"]
        self.assertEqual([entry["command"] for entry in history], ["set", "restore", "undo"])

    def test_every_drive_of_a_shared_serial_is_reached_and_changed(self):
        with open(TWO_DRIVES, encoding="utf-8") as file:
            machine = json.load(file)
        machine["drives"][1]["identity"]["serial"] = SERIALS[0]
        folder = tempfile.TemporaryDirectory(prefix="vardel-service-client-")
        self.addCleanup(folder.cleanup)
        scenario = os.path.join(folder.name, "shared-serial.json")
        with open(scenario, "w", encoding="utf-8") as file:
            json.dump(machine, file)
        bus = self.start("grant-change", scenario)
        done = bus.vardelctl("--service", "set", "lun1", "removable", "--all")
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        for letter in ("E", "G"):
            outcome = bus.call("Status", "s", letter)["outcome"]
            self.assertEqual((outcome["code"], outcome["lun1"]), (DONE, REMOVABLE), letter)
        self.assertEqual(len(bus.call("History", "s", "")["history"]), 2)

    def test_set_writes_only_the_type_byte(self):
        bus = self.start("grant-change")
        before = bus.config_block()
        done = bus.vardelctl("--service", "set", "lun0", "fixed")
        self.assertEqual(done.returncode, 0, done.stderr)
        after = bus.config_block()
        block_before = bytes.fromhex("".join(before))
        block_after = bytes.fromhex("".join(after))
        changed = [offset for offset in range(len(block_before))
                   if block_before[offset] != block_after[offset]]
        self.assertEqual(changed, [304])
        self.assertEqual(block_after[304], FIXED)
        self.assertEqual([entry["command"] for entry in bus.call("History", "s", "")["history"]],
                         ["set"])

    def test_a_refused_change_names_the_action_and_writes_nothing(self):
        bus = self.start("deny-change")
        folder = os.path.join(bus.folder, "files")
        os.makedirs(folder)
        # Reading is allowed: the backup a restore takes back.
        self.assertEqual(bus.vardelctl("--service", "backup", "b.json", cwd=folder).returncode, 0)
        for arguments in (["set", "lun0", "fixed"], ["--json", "set", "lun0", "fixed"],
                          ["restore", "b.json", "--yes"], ["undo", "--yes"],
                          ["set", "lun0", "fixed", "--all"]):
            with self.subTest(" ".join(arguments)):
                refused = bus.vardelctl("--service", *arguments, cwd=folder)
                self.assertEqual(refused.returncode, EXIT_NO_MACHINE_ACCESS)
                said = refused.stdout if "--json" in arguments else refused.stderr
                if "--json" in arguments:
                    said = json.loads(said)["error"]
                if "--all" in arguments:
                    # Each drive's line says why it was not done.
                    self.assertIn("VD0000000001: polkit refused", refused.stdout)
                    said = refused.stdout
                self.assertIn("polkit refused org.vardel.drives.change", said)
                self.assertIn("nothing was written", said)
        self.assertEqual(bus.status(), (DONE, REMOVABLE, FIXED))
        self.assertEqual(bus.call("History", "s", "")["history"], [])
        # Reading is still allowed.
        self.assertEqual(bus.vardelctl("--service", "status").returncode, 0)

    def test_a_missing_service_or_bus_says_what_to_do(self):
        bus = self.start(None)
        missing = bus.vardelctl("--service", "status")
        self.assertEqual(missing.returncode, EXIT_NO_MACHINE_ACCESS)
        self.assertIn("the drive service (org.vardel.Drives1) is not installed", missing.stderr)
        for way in ("--direct", "sudo vardelctl"):
            self.assertIn(way, missing.stderr)
        no_bus = run_vardelctl("unix:path=" + os.path.join(bus.folder, "no-bus"), "--service",
                               "status")
        self.assertEqual(no_bus.returncode, EXIT_NO_MACHINE_ACCESS)
        self.assertIn("the system bus cannot be reached", no_bus.stderr)
        self.assertIn("--direct", no_bus.stderr)

    def test_direct_and_emulate_never_ask_the_service(self):
        bus = self.start(None)
        for arguments in (["--direct", "--emulate", "status"], ["--emulate", "status"]):
            with self.subTest(" ".join(arguments)):
                done = bus.vardelctl(*arguments)
                self.assertEqual(done.returncode, 0, done.stderr)
        # On the machine itself: whatever it finds, it does not go to the missing service.
        direct = bus.vardelctl("--direct", "status")
        self.assertNotEqual(direct.returncode, EXIT_NO_MACHINE_ACCESS, direct.stderr)
        self.assertNotIn("the drive service (org.vardel.Drives1)", direct.stderr)
        self.assertNotIn("polkit", direct.stderr)

    def test_what_the_service_does_not_run_is_refused_before_anything(self):
        # Nobody serves the bus: each is refused before a call would find that out.
        bus = self.start(None)
        folder = os.path.join(bus.folder, "files")
        os.makedirs(folder)
        with open(os.path.join(folder, "taken.json"), "w", encoding="utf-8") as file:
            file.write("{}")
        self.assertEqual(bus.vardelctl("--emulate", "backup", "real.json", cwd=folder).returncode,
                         0)
        cases = [
            ("both ways", ["--direct", "--service", "status"]),
            ("emulated", ["--service", "--emulate", "status"]),
            ("no journal", ["--service", "--no-journal", "set", "lun0", "fixed"]),
            ("backup onto a file", ["--service", "backup", "taken.json"]),
            ("restore of no backup", ["--service", "restore", "taken.json", "--yes"]),
            ("restore without a terminal", ["--service", "restore", "real.json"]),
            ("undo without a terminal", ["--service", "undo"]),
            ("undo of every drive", ["--service", "undo", "--all", "--yes"]),
            ("history by letter", ["--service", "--device", "E", "history"]),
        ]
        for what, arguments in cases:
            with self.subTest(what):
                refused = bus.vardelctl(*arguments, cwd=folder)
                self.assertEqual(refused.returncode, EXIT_USAGE, refused.stderr)
                self.assertNotIn("not installed", refused.stderr)
        said = bus.vardelctl("--service", "--no-journal", "set", "lun0", "fixed").stderr
        self.assertIn("the drive service keeps every change in its journal", said)
        self.assertIn("--direct", said)


class SystemFilesTest(unittest.TestCase):
    """The installed files name one account: the one sysusers makes, the bus lets own the name and
    starts the service as, and polkit takes as the owner of the actions. polkitd answers a caller
    that is not root about another user's process only for actions it owns: without the owner,
    every call is refused on a real system bus."""

    def test_one_account_owns_the_name_runs_the_service_and_owns_the_actions(self):
        import re
        import xml.etree.ElementTree as ElementTree
        dbus_folder = os.path.dirname(INTROSPECTION)
        sysusers = open(os.path.join(dbus_folder, "..", "service", "vardel.sysusers")).read()
        account = re.search(r"^u (\S+) ", sysusers, re.M).group(1)
        busconfig = ElementTree.parse(os.path.join(dbus_folder, "org.vardel.Drives1.conf"))
        owners = [p.get("user") for p in busconfig.getroot().iter("policy")
                  if p.find("allow[@own='%s']" % NAME) is not None]
        self.assertEqual(owners, [account])
        activation = open(os.path.join(dbus_folder, "org.vardel.Drives1.service.in")).read()
        self.assertIn("\nUser=%s\n" % account, activation)
        actions = ElementTree.parse(os.path.join(dbus_folder, "org.vardel.drives.policy"))
        for action in actions.getroot().iter("action"):
            annotations = {a.get("key"): a.text for a in action.iter("annotate")}
            self.assertEqual(annotations.get("org.freedesktop.policykit.owner"),
                             "unix-user:" + account, action.get("id"))


if __name__ == "__main__":
    PROGRAM, INTROSPECTION, VARDELCTL = sys.argv[1], sys.argv[2], sys.argv[3]
    unittest.main(argv=sys.argv[:1], verbosity=2)
