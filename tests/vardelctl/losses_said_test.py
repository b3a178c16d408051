#!/usr/bin/env python3
"""What vardelctl says when a run could not do all it was asked, run as a process.

Usage: losses_said_test.py PROGRAM [ARGS...]
Standard output that cannot be written (a full disk, a closed descriptor, a reader gone), drives
that --all left alone (a disk it had no rights to open, more drives than one run serves), and a
write the drive acknowledged that no read confirmed. None of them may end 0 or stay unsaid. The
folder and process handling is vardelctl_test.py's.
"""

import json
import os
import subprocess
import sys
import unittest

import vardelctl_test
from vardelctl_test import SLOT_A, SLOT_B, config_block

NO_RIGHTS = 5  # the emulated machine's access-denied code


def on_host():
    """Descriptors and /dev/full are the host's: under Wine the program runs behind an emulator."""
    return len(vardelctl_test.PROGRAM) == 1 and os.name == "posix" and os.path.exists("/dev/full")


def fault(**fields):
    return dict(fields)


def with_faults(*faults):
    return lambda d: d.update(faults=list(faults))


def refused_opens(*letters, skip=0):
    return [fault(letter=letter, operation="open", effect="failOpen", code=NO_RIGHTS, times=-1,
                  skip=skip) for letter in letters]


def read_back_fails(letter):
    """The block read before the write passes; the one after it fails in the system."""
    return fault(letter=letter, operation="readConfig", effect="failControl", code=1117, skip=1)


class LossesSaidTest(vardelctl_test.ScenarioHarness, unittest.TestCase):
    def block(self, scenario, drive=0):
        return config_block(self.read_json(scenario)["drives"][drive])

    def run_into(self, stdout, args, close=()):
        """Runs with standard output given (a file object or descriptor); `close` names the
        descriptors the program starts without."""
        def start():
            for descriptor in close:
                os.close(descriptor)
        completed = subprocess.run(vardelctl_test.PROGRAM + list(args), cwd=self.folder,
                                   stdin=subprocess.DEVNULL, stdout=stdout,
                                   stderr=subprocess.PIPE, text=True, timeout=120,
                                   preexec_fn=start if close else None)
        return completed.returncode, (completed.stderr or "")

    # Standard output

    def test_standard_output_that_fails_fails_the_run(self):
        if not on_host():
            self.skipTest("needs the host's descriptors and /dev/full")
        full = "(No space left on device)"
        cases = [
            ("status to a full disk", ["--emulate", "status"], "full", 5, full),
            ("--json status to a full disk", ["--emulate", "--json", "status"], "full", 5, full),
            ("--help to a full disk", ["--help"], "full", 5, full),
            ("status, stdout closed", ["--emulate", "status"], "closed", 5,
             "(Bad file descriptor)"),
            ("status, reader gone", ["--emulate", "status"], "pipe", 5, "(Broken pipe)"),
            # A run that failed on its own keeps its code, and still says what was lost.
            ("--json, no such drive", ["--emulate", "--json", "--device", "Q", "status"], "full",
             4, full),
        ]
        for name, args, where, code, why in cases:
            with self.subTest(name):
                if where == "full":
                    with open("/dev/full", "w") as stdout:
                        result = self.run_into(stdout, args)
                elif where == "closed":
                    result = self.run_into(None, args, close=(1,))
                else:
                    reader, writer = os.pipe()
                    os.close(reader)
                    try:
                        result = self.run_into(writer, args)
                    finally:
                        os.close(writer)
                self.assertEqual(result[0], code, result)
                self.assertEqual(result[1].splitlines(),
                                 ["vardelctl: standard output could not be written %s: the "
                                  "report is not whole; `vardelctl status` shows what the drive "
                                  "holds" % why], result)

    def test_a_change_whose_report_is_lost_is_still_kept(self):
        if not on_host():
            self.skipTest("needs the host's descriptors and /dev/full")
        plain = self.scenario("plain.json")
        # Standard output closed: no file the run opens may take its place (and the report).
        code, err = self.run_into(None, ["--emulate=" + plain, "set", "lun0", "fixed"],
                                  close=(1,))
        self.assertEqual(code, 5, err)
        self.assertEqual(self.block(plain)[SLOT_A], 0xA1)
        self.assertNotIn("Lun0", self.read_bytes(plain).decode())
        # Standard error closed as well: nothing to say it on, and no crash.
        code, err = self.run_into(None, ["--emulate=" + plain, "set", "lun1", "removable"],
                                  close=(1, 2))
        self.assertEqual(code, 5)
        self.assertEqual(self.block(plain)[SLOT_B], 0x00)

    def test_a_backup_to_a_full_standard_output_is_not_said_written(self):
        if not on_host():
            self.skipTest("needs /dev/full")
        with open("/dev/full", "w") as stdout:
            code, err = self.run_into(stdout, ["--emulate", "backup", "-"])
        self.assertEqual(code, 5, err)
        self.assertEqual(err, "vardelctl: -: the backup could not be written to standard output "
                              "(No space left on device)\n")
        run = self.run_tool("--emulate", "backup", "-")
        self.assertExit(run, 0)
        self.assertIn("written to -", run.err)
        self.assertEqual(json.loads(run.out)["format"], "vardel-backup")

    # --all

    def test_all_names_the_disks_it_could_not_open(self):
        # The second drive's letters refuse every open for lack of rights, as a drive the udev
        # rule does not match; the first drive is changed all the same.
        scenario = self.scenario("two-drives.json", with_faults(*refused_opens("G", "H")))
        run = self.run_tool("--emulate=" + scenario, "set", "lun1", "removable", "--all")
        self.assertExit(run, 9)
        self.assertEqual(run.out.splitlines()[0],
                         "VD0000000001 (F:): Lun0: Removable, Lun1: Removable; changed")
        self.assertEqual(run.err.splitlines()[0],
                         "vardelctl: 2 disks could not be opened for lack of rights, so any drive "
                         "there was left alone: G:, H:")
        self.assertEqual([self.block(scenario, i)[SLOT_B] for i in (0, 1)], [0x00, 0xA1])

        report = self.run_tool("--emulate=" + scenario, "--json", "status", "--all")
        self.assertExit(report, 9)
        fields = report.json()
        self.assertEqual((fields["outcome"], fields["exitCode"], fields["noRights"], report.err),
                         ("drivesLeftAlone", 9, True, ""))
        self.assertEqual(fields["leftAlone"],
                         {"notOpened": [{"letter": "G", "paths": [], "unanswered": None},
                                        {"letter": "H", "paths": [], "unanswered": None}],
                          "beyondReach": 0})
        self.assertEqual([d["outcome"] for d in fields["drives"]], ["done"])

        # A drive reached that failed says more than one left alone: its code comes first.
        failing = self.scenario("two-drives.json", with_faults(
            *refused_opens("G", "H"),
            fault(letter="F", operation="write", effect="scsiStatus", code=2)))
        report = self.run_tool("--emulate=" + failing, "--json", "set", "lun0", "fixed", "--all")
        self.assertExit(report, 1)
        self.assertEqual(report.json()["outcome"], "notAllDone")
        self.assertEqual(len(report.json()["leftAlone"]["notOpened"]), 2)

        # A drive that the listing reached and whose own run was refused later is said on its
        # line, never among the disks left alone.
        later = self.scenario("two-drives.json", with_faults(*refused_opens("G", "H", skip=2)))
        run = self.run_tool("--emulate=" + later, "status", "--all")
        self.assertExit(run, 2)
        self.assertEqual(run.out.splitlines()[1], "VD0000000002: No drive found")
        self.assertNotIn("left alone", run.err)
        report = self.run_tool("--emulate=" + later, "--json", "status", "--all")
        self.assertEqual((report.json()["exitCode"], report.json()["leftAlone"]),
                         (2, {"notOpened": [], "beyondReach": 0}))

        # Every drive reached, nothing left alone: 0, with an empty list.
        report = self.run_tool("--emulate=" + self.scenario("plain.json"), "--json", "status",
                               "--all")
        self.assertExit(report, 0)
        self.assertEqual(report.json()["leftAlone"], {"notOpened": [], "beyondReach": 0})

    def test_a_drive_that_did_not_answer_is_named_never_passed_over(self):
        # The second drive (G, H) shows the signature, then fails as each case says; the first
        # (E, F) answers. --all changes the first and leaves the second alone (9); a plain set
        # changes neither and names the second (3); status and list go on and name it (0).
        identity_fails = lambda effect, code: [
            fault(letter=letter, operation="readIdentity", effect=effect, code=code, times=-1)
            for letter in "GH"]
        kinds = [
            ("CHECK CONDITION", identity_fails("scsiStatus", 2),
             "its identity block could not be read: the drive answered CHECK CONDITION"),
            ("I/O error", identity_fails("failControl", 1117),
             "its identity block could not be read: system error 1117"),
            # Its INQUIRY went through; the open for the identity read is refused as busy.
            ("open refused busy",
             [fault(letter=letter, operation="open", effect="failOpen", code=32, skip=1,
                    times=-1) for letter in "GH"],
             "its identity block could not be read: system error 32"),
        ]
        for kind, faults, why in kinds:
            named = "2 disks may hold a drive of the kind but did not answer"
            for name, args, code in [
                    ("--all", ["set", "lun0", "fixed", "--all"], 9),
                    ("plain set", ["set", "lun0", "fixed"], 3),
                    ("dry run", ["set", "lun0", "fixed", "--dry-run"], 3),
                    ("status", ["status"], 0),
                    ("list", ["list"], 0)]:
                with self.subTest(kind=kind, run=name):
                    scenario = self.scenario("two-drives.json", with_faults(*faults))
                    run = self.run_tool("--emulate=" + scenario, *args)
                    self.assertExit(run, code)
                    self.assertIn(named, run.err)
                    self.assertIn("G:, it carries the drive's signature, but " + why, run.err)
                    self.assertIn("H:, it carries", run.err)
                    changed = name == "--all"
                    self.assertEqual([self.block(scenario, i)[SLOT_A] for i in (0, 1)],
                                     [0xA1 if changed else 0x00, 0xA1])
                    if name == "plain set":
                        self.assertTrue(run.err.startswith("More drives found"), run.err)
                    if name == "status":
                        self.assertIn("Lun0: Removable", run.out)

            # The user chooses with --device: the drive named is changed, the other left alone.
            with self.subTest(kind=kind, run="--device"):
                scenario = self.scenario("two-drives.json", with_faults(*faults))
                run = self.run_tool("--emulate=" + scenario, "--device", "E", "set", "lun0",
                                    "fixed")
                self.assertExit(run, 0)
                self.assertEqual(run.err, "")

        scenario = self.scenario("two-drives.json", with_faults(*kinds[0][1]))
        report = self.run_tool("--emulate=" + scenario, "--json", "set", "lun0", "fixed")
        self.assertExit(report, 3)
        fields = report.json()
        self.assertEqual((fields["outcome"], [d["letter"] for d in fields["unanswered"]],
                          fields["unanswered"][0]["withSignature"]),
                         ("severalDrives", ["G", "H"], True))
        report = self.run_tool("--emulate=" + scenario, "--json", "status", "--all")
        self.assertExit(report, 9)
        self.assertEqual([(d["letter"], d["unanswered"] is not None)
                          for d in report.json()["leftAlone"]["notOpened"]],
                         [("G", True), ("H", True)])

    def test_status_all_past_the_drives_one_run_serves(self):
        drives = [{"volumes": [{"letter": chr(ord("D") + i), "lun": 0}],
                   "identity": {"serial": "VD%010d" % (i + 1)}} for i in range(17)]
        scenario = self.scenario("plain.json", lambda d: d.update(drives=drives))
        run = self.run_tool("--emulate=" + scenario, "status", "--all")
        self.assertExit(run, 9)
        self.assertEqual(len(run.out.splitlines()), 16, run)
        self.assertEqual(run.err,
                         "vardelctl: 1 more drives than one run can reach were left alone\n")
        report = self.run_tool("--emulate=" + scenario, "--json", "status", "--all").json()
        self.assertEqual((report["outcome"], report["exitCode"], report["deviceCount"],
                          len(report["drives"]), report["leftAlone"]["beyondReach"]),
                         ("drivesLeftAlone", 9, 17, 16, 1))

    # A write that happened

    def test_a_write_no_read_confirmed_is_said(self):
        self.assertExit(self.run_tool("--emulate=" + self.scenario("plain.json"), "backup",
                                      "b.json"), 0)
        cases = [
            (["set", "lun0", "fixed"], SLOT_A, 0xA1),
            (["write", "--lun0", "fixed"], SLOT_A, 0xA1),
            (["restore", "b.json", "--yes"], SLOT_B, 0xA1),
        ]
        for args, slot, held in cases:
            with self.subTest(" ".join(args)):
                # Both rows removable, so that each command changes a byte.
                scenario = self.scenario("plain.json", lambda d: d.update(
                    faults=[read_back_fails("F")]) or d["drives"][0].update(
                        config={"typeSlotA": "0x00", "typeSlotB": "0x00"}))
                run = self.run_tool("--emulate=" + scenario, *args)
                self.assertExit(run, 1)
                lines = run.err.splitlines()
                self.assertIn(lines[0], ("Fail", "Write Fail"))
                self.assertEqual(lines[1], "vardelctl: the read of the configuration block on "
                                           "F: failed in the system, system error 1117")
                self.assertEqual(lines[2:], ["vardelctl: The drive acknowledged the write, but "
                                             "reading the block back failed, so the change is "
                                             "not confirmed: the drive may hold it now. Read the "
                                             "drive again with vardelctl status, and replug the "
                                             "drive for a change to take effect."])
                self.assertEqual(self.block(scenario)[slot], held)
        # --json says it as before; --all puts it on the drive's line.
        scenario = self.scenario("two-drives.json", with_faults(read_back_fails("H")))
        run = self.run_tool("--emulate=" + scenario, "set", "lun1", "removable", "--all")
        self.assertExit(run, 1)
        line = run.out.splitlines()[1]
        self.assertTrue(line.startswith("VD0000000002 (H:): Fail: the read of the configuration"), run)
        self.assertIn("The drive acknowledged the write", line)
        self.assertIn("vardelctl --device SERIAL status", line)
        scenario = self.scenario("plain.json", with_faults(read_back_fails("F")))
        report = self.run_tool("--emulate=" + scenario, "--json", "set", "lun0", "fixed").json()
        self.assertEqual((report["outcome"], report["changed"], report["rows"]),
                         ("readFailed", True, None))
        # A read that fails before any write changes nothing, and says nothing of a write.
        scenario = self.scenario("plain.json", with_faults(
            fault(letter="F", operation="readConfig", effect="failControl", code=1117)))
        run = self.run_tool("--emulate=" + scenario, "set", "lun0", "fixed")
        self.assertExit(run, 1)
        self.assertNotIn("acknowledged", run.err)


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    vardelctl_test.PROGRAM = sys.argv[1:]
    unittest.main(argv=[sys.argv[0]], verbosity=2)
