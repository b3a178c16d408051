#!/usr/bin/env python3
"""One change at a time per drive, with vardelctl as processes on one scenario file.

Usage: drive_lock_test.py PROGRAM [ARGS...]
A run that may change the emulated drive holds its scenario file locked (flock) from the read to
the write-back: two runs at once both keep their change, and a run that finds the file held by
another program for the whole wait (5 seconds) says the drive is busy, writes nothing and exits 8.
The test holds the lock itself to make "busy" certain.
"""

import fcntl
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

SCENARIOS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "scenarios")
PROGRAM = []
EXIT_BUSY = 8
ROUNDS = 100


def rows(path):
    """The two type bytes the plain scenario's drive holds (LUN 0 in slot A, LUN 1 in slot B)."""
    with open(path, encoding="utf-8") as scenario:
        config = json.load(scenario)["drives"][0].get("config", {})
    return (config.get("typeSlotA", "0x00"), config.get("typeSlotB", "0xA1"))


class DriveLockTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="vardel-lock-test-")
        self.addCleanup(shutil.rmtree, self.folder, True)
        self.file = os.path.join(self.folder, "drive.json")
        self.reset()

    def reset(self):
        shutil.copyfile(os.path.join(SCENARIOS, "plain.json"), self.file)

    def start(self, *args):
        return subprocess.Popen(PROGRAM + ["--emulate=" + self.file] + list(args),
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)

    def hold(self):
        """The scenario file locked by a program of no Vardel's, as flock(1) would hold it."""
        held = open(self.file, "rb")
        fcntl.flock(held, fcntl.LOCK_EX)
        return held

    def test_two_runs_at_once_both_keep_their_change(self):
        lost = []
        for round_number in range(ROUNDS):
            self.reset()
            first = self.start("set", "lun0", "fixed")
            second = self.start("set", "lun1", "removable")
            for run in (first, second):
                out, err = run.communicate(timeout=60)
                self.assertEqual(run.returncode, 0, (round_number, out, err))
            if rows(self.file) != ("0xA1", "0x00"):
                lost.append((round_number, rows(self.file)))
        self.assertEqual(lost, [])

    def test_a_run_that_finds_the_drive_held_says_busy_and_writes_nothing(self):
        before = open(self.file, "rb").read()
        with self.hold():
            text = self.start("set", "lun0", "fixed")
            report = self.start("--json", "write", "--lun1", "removable")
            # What only reads waits for no one.
            for args in (["status"], ["set", "lun0", "fixed", "--dry-run"], ["backup", "-"]):
                looked = self.start(*args)
                out, err = looked.communicate(timeout=60)
                self.assertEqual(looked.returncode, 0, (args, out, err))
            out, err = text.communicate(timeout=60)
            self.assertEqual(text.returncode, EXIT_BUSY, (out, err))
            self.assertEqual(out, "")
            self.assertEqual(err.splitlines(),
                             ["The drive is busy: another program is changing it",
                              "vardelctl: another program held the drive for the whole wait; "
                              "nothing was written. Run the command again when it is done"])
            out, err = report.communicate(timeout=60)
            self.assertEqual(report.returncode, EXIT_BUSY, (out, err))
            self.assertEqual(err, "")
            answer = json.loads(out)
            self.assertEqual((answer["outcome"], answer["exitCode"], answer["changed"]),
                             ("busy", EXIT_BUSY, False))
            self.assertEqual(answer["message"], "The drive is busy: another program is changing it")
        self.assertEqual(open(self.file, "rb").read(), before)

    def test_a_run_waits_for_a_lock_let_go_within_the_wait(self):
        with self.hold():
            waiting = self.start("set", "lun0", "fixed")
            time.sleep(0.5)
            self.assertIsNone(waiting.poll())
        out, err = waiting.communicate(timeout=60)
        self.assertEqual(waiting.returncode, 0, (out, err))
        self.assertEqual(rows(self.file), ("0xA1", "0xA1"))


if __name__ == "__main__":
    PROGRAM[:] = sys.argv[1:]
    unittest.main(argv=[sys.argv[0]], verbosity=2)
