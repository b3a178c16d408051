#!/usr/bin/env python3
"""vardelctl as users of other storage tools expect it, run as a process on the scenario files.

Usage: console_habits_test.py PROGRAM [ARGS...]
Typos and `help`, the line that says why a command failed, the names --device takes, the exit
codes, what a change shows before it writes (--dry-run, a set that changes nothing, a restore's
question), the built-in drive's note, --all, and the bash completion. The program's command comes
whole from the arguments, as in vardelctl_test.py, whose folder handling this file shares.
"""

import json
import os
import re
import shlex
import shutil
import subprocess
import sys
import unittest

import vardelctl_test
from vardelctl_test import SLOT_A, SLOT_B, config_block

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
COMPLETION = os.path.join(ROOT, "packaging", "linux", "vardelctl.bash-completion")
SYSTEM_MESSAGES = ("No drive found", "More drives found, please remove others", "Unknown error",
                   "Fail", "Write Success", "Write Fail")


def fault(**fields):
    return lambda d: d.update(faults=[fields])


def on_host():
    """Terminals and bash are the host's: under Wine the program runs behind an emulator."""
    return len(vardelctl_test.PROGRAM) == 1 and os.name == "posix"


def needs_host(reason, also=lambda: True):
    """Skips when the program does not run on the host (decided when the test runs)."""
    def wrap(test):
        def run(self):
            if not (on_host() and also()):
                self.skipTest(reason)
            test(self)
        run.__name__, run.__doc__ = test.__name__, test.__doc__
        return run
    return wrap


class ConsoleHabitsTest(vardelctl_test.ScenarioHarness, unittest.TestCase):
    def assertToolLines(self, run):
        """Every stderr line is the tool's own, named, or one of the system's messages alone."""
        for line in run.err.splitlines():
            self.assertTrue(line.startswith("vardelctl: ") or line in SYSTEM_MESSAGES,
                            "%r in %r" % (line, run))

    def block(self, scenario, drive=0):
        return config_block(self.read_json(scenario)["drives"][drive])

    # Typos and help

    def test_a_mistyped_word_is_named_with_the_word_meant(self):
        cases = [
            (["stauts"], 'unknown command "stauts"; did you mean "status"?'),
            (["bakup", "b.json"], 'unknown command "bakup"; did you mean "backup"?'),
            (["frobnicate"], 'unknown command "frobnicate"'),
            (["--jsn", "status"], 'unknown option "--jsn" for status; did you mean "--json"?'),
            (["set", "lun0", "fixd"], 'type: "fixd" is not removable or fixed; '
                                      'did you mean "fixed"?'),
            (["set", "lun2", "fixed"], 'lun: "lun2" is not lun0 or lun1'),
            (["status", "--force"], 'unknown option "--force" for status'),
            (["help", "stat"], 'help: unknown command "stat"; did you mean "status"?'),
            (["hlep"], 'unknown command "hlep"; did you mean "help"?'),
            # Before the command as after it, before a value is taken for the command.
            (["--devcie", "E", "status"],
             'unknown option "--devcie" for status; did you mean "--device"?'),
            (["--vesion"], 'unknown option "--vesion"; did you mean "--version"?'),
            (["set", "--lun0", "fixed"],
             'unknown option "--lun0" for set; did you mean "write --lun0"?'),
            (["set", "lun", "2", "fixed"], 'lun: "lun 2" is not lun0 or lun1'),
            # A command's own option before the command: named as typed, and where it goes.
            (["-n", "set", "lun0", "fixed"],
             '"-n" is an option of set and goes after the command: set lun0 fixed -n'),
            (["--lun0", "Fixed Disk", "write"], '"--lun0" is an option of write and goes after '
                                                'the command: write --lun0 "Fixed Disk"'),
            (["-n", "status"], 'unknown option "-n" for status'),
            (["status", "-nd", "F"], 'unknown option "-n" for status'),
            (["set", "lun1", "Fixed Dis"], 'type: "Fixed Dis" is not removable or fixed; '
                                           'did you mean "Fixed Disk"?'),
        ]
        for args, message in cases:
            with self.subTest(" ".join(args)):
                run = self.run_tool(*args)
                self.assertExit(run, 64)
                self.assertEqual(run.err.splitlines()[0], "vardelctl: " + message, run)
                self.assertToolLines(run)
                report = self.run_tool("--json", *args)
                self.assertExit(report, 64)
                self.assertEqual((report.json()["error"], report.err), (message, ""))
        # A bare --emulate takes a word that is no command for its scenario file.
        run = self.run_tool("--emulate", "stauts")
        self.assertExit(run, 64)
        self.assertIn('did you mean the command "status"?', run.err)

    def test_emulate_takes_a_command_where_no_file_of_its_name_is(self):
        self.assertEqual(self.run_tool("--emulate", "status").out,
                         "Lun0: Removable\nLun1: Fixed Disk\n")
        run = self.run_tool("--emulate", "set", "lun", "0", "Fixed Disk")
        self.assertExit(run, 0)
        self.assertIn("Lun0: Fixed Disk\n", run.out)
        # A file named as the command: the run says how to mean either.
        open(os.path.join(self.folder, "status"), "w").close()
        run = self.run_tool("--emulate", "status")
        self.assertExit(run, 64)
        self.assertIn('"status" after --emulate is both a command and a file here: '
                      'give --emulate=status for the file\'s scenario, or vardelctl status '
                      '--emulate for the built-in drive', run.err)
        self.assertExit(self.run_tool("status", "--emulate"), 0)
        self.assertEqual(self.run_tool("--json", "--emulate", "status").json()["exitCode"], 64)
        # Only a plain file clashes: the folder `backup --all` made is no scenario file.
        for again in ([], ["--force"]):
            with self.subTest(again=again):
                run = self.run_tool("--emulate", "backup", "--all", "backup", *again)
                self.assertExit(run, 0)
                self.assertTrue(os.path.isdir(os.path.join(self.folder, "backup")))

    def test_short_options_are_their_long_ones(self):
        scenario = self.scenario("plain.json")
        before = self.read_bytes(scenario)
        pairs = [
            (["-j", "--emulate=" + scenario, "status"], ["--json", "--emulate=" + scenario,
                                                          "status"]),
            (["--emulate=" + scenario, "-d", "F", "status"],
             ["--emulate=" + scenario, "--device", "F", "status"]),
            (["--emulate=" + scenario, "-jd", "F", "status"],
             ["--emulate=" + scenario, "--json", "--device", "F", "status"]),
            (["--emulate=" + scenario, "set", "lun0", "fixed", "-n"],
             ["--emulate=" + scenario, "set", "lun0", "fixed", "--dry-run"]),
            (["--emulate=" + scenario, "write", "-n", "--lun1", "removable"],
             ["--emulate=" + scenario, "write", "--dry-run", "--lun1", "removable"]),
            (["-h"], ["--help"]),
        ]
        for short, long in pairs:
            with self.subTest(" ".join(short)):
                run = self.run_tool(*short)
                self.assertExit(run, 0)
                self.assertEqual(run.out, self.run_tool(*long).out)
        self.assertEqual(self.read_bytes(scenario), before)
        whole = self.run_tool("--help").out
        for option in ("-j,--json", "-d,--device"):
            self.assertIn(option, whole)
        self.assertIn("-n,--dry-run", self.run_tool("set", "--help").out)

    def test_help_is_a_command_too(self):
        whole = self.run_tool("--help")
        self.assertExit(whole, 0)
        self.assertEqual(self.run_tool("help").out, whole.out)
        for command in ("status", "set", "write", "list", "backup", "restore"):
            with self.subTest(command):
                run = self.run_tool("help", command)
                self.assertExit(run, 0)
                self.assertEqual(run.out, self.run_tool(command, "--help").out)
                self.assertIn("Usage: vardelctl " + command, run.out)
        self.assertIn("--emulate[=FILE]", whole.out)
        self.assertIn("Examples:", whole.out)
        self.assertIn("--dry-run", self.run_tool("help", "set").out)
        # With --json even the help and the version are one JSON object, and nothing else.
        version = self.run_tool("--version").out.strip().split(" ")[-1]
        cases = [(["--json", "--version"], "version", "version", version),
                 (["--version", "--json"], "version", "version", version),
                 (["--json", "help"], "help", "help", whole.out),
                 (["--json", "--help"], "help", "help", whole.out),
                 (["set", "--help", "--json"], "help", "help", self.run_tool("set", "--help").out)]
        for args, command, field, value in cases:
            with self.subTest(" ".join(args)):
                run = self.run_tool(*args)
                self.assertEqual((run.code, run.err), (0, ""), run)
                self.assertEqual(run.json(), {"formatVersion": 2, "command": command,
                                              "outcome": "done", "exitCode": 0, field: value})

    def test_the_exit_codes_are_documented_alike_everywhere(self):
        """--help, docs/vardelctl.md and the manual page list the same codes."""
        def codes(text):
            return sorted({int(code) for code in text})
        help_text = self.run_tool("--help").out
        in_help = codes(re.findall(r"^  (\d+) ", help_text.split("Exit codes:")[1], re.M))
        with open(os.path.join(ROOT, "docs", "vardelctl.md")) as f:
            docs = f.read().split("## Messages and exit codes")[1].split("## ")[0]
        in_docs = codes(re.findall(r"^\| (\d+) \|", docs, re.M))
        with open(os.path.join(ROOT, "packaging", "linux", "vardelctl.1")) as f:
            man = f.read().split(".SH EXIT STATUS")[1].split(".SH ")[0]
        in_man = codes(re.findall(r"^\.B (\d+)$", man, re.M))
        self.assertEqual(in_help, [0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 64])
        self.assertEqual((in_docs, in_man), (in_help, in_help))

    # What a failure says

    def test_a_failure_says_which_command_failed_and_why(self):
        short = lambda d: d["drives"][0].update(firmware={"configBytes": 300})  # noqa: E731
        cases = [
            ("short read", short, ["status"], "Fail",
             "the drive on F: answered 300 of 528 bytes to the read of the configuration block",
             {"scsiStatus": 0, "sense": None, "systemError": 0, "bytesReceived": 300,
              "driveStatus": 0x20000528}),
            ("refused write", fault(letter="F", operation="write", effect="scsiStatus", code=2),
             ["write", "--lun0", "A1"], "Write Fail",
             "the drive on F: answered the write of the configuration block with CHECK "
             "CONDITION (status 0x02), no sense data",
             {"scsiStatus": 2, "sense": None, "systemError": 0, "bytesReceived": None,
              "driveStatus": -2}),
            ("sense", fault(letter="F", operation="readConfig", effect="unitAttention", times=2),
             ["set", "lun0", "fixed"], "Fail",
             "the drive on F: answered the read of the configuration block with CHECK CONDITION "
             "(status 0x02), sense UNIT ATTENTION / POWER ON, RESET, OR BUS DEVICE RESET "
             "OCCURRED (key 0x6, ASC 0x29, ASCQ 0x00)",
             {"scsiStatus": 2, "sense": "700006000000000A00000000290000000000", "systemError": 0,
              "bytesReceived": 0}),
            ("system error", fault(letter="F", operation="readConfig", effect="failControl",
                                   code=1117),
             ["status"], "Fail",
             "the read of the configuration block on F: failed in the system, system error 1117",
             {"scsiStatus": None, "sense": None, "systemError": 1117, "bytesReceived": None}),
            ("ignored write", lambda d: d["drives"][0].update(firmware={"keepsWrites": False}),
             ["set", "lun0", "fixed"], "Fail",
             "the drive on F: acknowledged the write of the configuration block, but the block "
             "read back does not hold what was sent",
             {"failedCommand": None, "scsiStatus": None, "sense": None, "bytesReceived": None}),
        ]
        for name, change, args, message, detail, fields in cases:
            with self.subTest(name):
                scenario = self.scenario("plain.json", change)
                before = self.read_bytes(scenario)
                run = self.run_tool("--emulate=" + scenario, *args)
                self.assertExit(run, 1)
                self.assertEqual(run.err, "%s\nvardelctl: %s\n" % (message, detail))
                report = self.run_tool("--emulate=" + scenario, "--json", *args).json()
                self.assertEqual((report["formatVersion"], report["detail"], report["message"]),
                                 (2, detail, message))
                self.assertEqual({k: report[k] for k in fields}, fields)
                self.assertEqual(self.read_bytes(scenario), before)

    # What --device takes

    def test_device_takes_a_letter_and_says_what_matches_nothing(self):
        scenario = self.scenario("two-drives.json")
        for device in ("H", "h:", "G:", "VD0000000002"):
            with self.subTest(device):
                run = self.run_tool("--emulate=" + scenario, "--device", device, "--json", "status")
                self.assertExit(run, 0)
                self.assertEqual(run.json()["target"], "H")
        for device, why in (("NOSUCHSERIAL", "none of the attached drives has this serial"),
                            ("Q", "no drive of the served kind is at Q:"),
                            ("/dev/sdb", "the emulated machine has no device nodes")):
            with self.subTest(device):
                run = self.run_tool("--emulate=" + scenario, "--device", device, "status")
                self.assertExit(run, 4)
                lines = run.err.splitlines()
                self.assertEqual(lines[0], "No drive found", run)
                self.assertIn("vardelctl: --device %s: %s" % (device, why), lines[1])
                self.assertEqual(lines[2:], ["vardelctl:   serial VD0000000001: E: (LUN 0) F: (LUN 1)",
                                             "vardelctl:   serial VD0000000002: G: (LUN 0) H: (LUN 1)"])
                report = self.run_tool("--emulate=" + scenario, "--device", device, "--json",
                                       "list")
                self.assertExit(report, 4)
                self.assertEqual(report.json()["outcome"], "deviceNotFound")
                self.assertEqual([d["serial"] for d in report.json()["devices"]],
                                 ["VD0000000001", "VD0000000002"])
        # Without any drive it stays "No drive found"; an empty --device names no drive.
        empty = self.scenario("plain.json", lambda d: d.update(drives=[]))
        self.assertExit(self.run_tool("--emulate=" + empty, "--device", "E", "status"), 2)
        self.assertExit(self.run_tool("--emulate=" + empty, "--device", "X1", "status"), 2)
        run = self.run_tool("--emulate=" + scenario, "--device", "", "status")
        self.assertEqual((run.code, run.err), (2, "No drive found\n"))

    def test_drives_that_share_a_serial_are_each_a_drive(self):
        def serials(first, second):
            def change(document):
                document["drives"][0]["identity"] = {"serial": first}
                document["drives"][1]["identity"] = {"serial": second}
            return change
        cases = [
            # serials, what --device takes of them, the backup file names
            ("one serial", serials("VD0000000001", "VD0000000001"), [],
             ["VD0000000001-E.json", "VD0000000001-G.json"]),
            ("twelve characters alike", serials("AA0000000001-0001", "AA0000000001-0002"),
             [("aa0000000001-0002", "H"), ("AA0000000001-0001", "F")],
             ["AA0000000001-0001.json", "AA0000000001-0002.json"]),
            ("no serials", serials(None, None), [], ["no-serial-E.json", "no-serial-G.json"]),
        ]
        for name, change, by_serial, files in cases:
            with self.subTest(name):
                scenario = self.scenario("two-drives.json", change)
                run = self.run_tool("--emulate=" + scenario, "status")
                self.assertExit(run, 3)
                self.assertIn("More drives found, please remove others", run.err)
                listing = self.run_tool("--emulate=" + scenario, "--json", "list").json()
                self.assertEqual(listing["deviceCount"], 2)
                self.assertEqual([[v["letter"] for v in d["volumes"]] for d in listing["devices"]],
                                 [["E", "F"], ["G", "H"]])
                for device, target in [("E", "F"), ("g:", "H")] + by_serial:
                    run = self.run_tool("--emulate=" + scenario, "--device", device, "--json",
                                        "status")
                    self.assertExit(run, 0)
                    self.assertEqual(run.json()["target"], target, device)
                for device in ("AA0000000001", "aa0000000001-9999"):
                    self.assertExit(self.run_tool("--emulate=" + scenario, "--device", device,
                                                  "status"), 4)
                run = self.run_tool("--emulate=" + scenario, "set", "--all", "lun0", "fixed")
                self.assertExit(run, 0)
                self.assertEqual(len(run.out.splitlines()), 3, run)  # two drives, the reminder
                self.assertEqual([self.block(scenario, i)[SLOT_A] for i in (0, 1)], [0xA1, 0xA1])
                run = self.run_tool("--emulate=" + scenario, "backup", "--all", "saved")
                self.assertExit(run, 0)
                self.assertEqual(sorted(os.listdir(os.path.join(self.folder, "saved"))), files)
                shutil.rmtree(os.path.join(self.folder, "saved"))

        # A serial two drives carry chooses neither: the refusal names both, by their letters.
        scenario = self.scenario("two-drives.json", serials("VD0000000001", "VD0000000001"))
        run = self.run_tool("--emulate=" + scenario, "--device", "vd0000000001", "set", "lun0",
                            "fixed")
        self.assertExit(run, 3)
        lines = run.err.splitlines()
        self.assertEqual(lines[0], "More drives found, please remove others", run)
        self.assertIn("--device vd0000000001: 2 drives carry this serial", lines[1])
        self.assertEqual(lines[2:], ["vardelctl:   serial VD0000000001: E: (LUN 0) F: (LUN 1)",
                                     "vardelctl:   serial VD0000000001: G: (LUN 0) H: (LUN 1)"])
        report = self.run_tool("--emulate=" + scenario, "--device", "VD0000000001", "--json",
                               "status").json()
        self.assertEqual((report["outcome"], report["exitCode"], len(report["devices"])),
                         ("severalDrives", 3, 2))
        self.assertEqual([self.block(scenario, i)[SLOT_A] for i in (0, 1)], [0x00, 0xA1])

    def test_letters_whose_place_cannot_be_read_group_by_their_key(self):
        cases = [
            # letters whose address question fails, the exit code of status
            ("", 0), ("EF", 0),
            # one letter of the drive without, the other with: taken for two drives
            ("F", 3),
        ]
        for letters, code in cases:
            with self.subTest(letters or "none"):
                faults = [{"letter": letter, "operation": "address", "effect": "failControl",
                           "code": 1117, "times": -1} for letter in letters]
                scenario = self.scenario("plain.json", lambda d: d.update(faults=faults))
                run = self.run_tool("--emulate=" + scenario, "status")
                self.assertExit(run, code)
        scenario = self.scenario("plain.json", fault(operation="address", effect="scsiStatus",
                                                     code=2))
        run = self.run_tool("--emulate=" + scenario, "status")
        self.assertExit(run, 64)
        self.assertIn("faults[0]: the operation address takes only the effect failControl",
                      run.err)

    # Exit codes

    def test_each_case_has_its_exit_code(self):
        scenario = self.scenario("two-drives.json")
        cases = [
            (["--emulate=" + scenario, "status"], 3),
            (["--emulate=" + scenario, "list"], 0),
            (["--emulate=" + self.scenario("plain.json", lambda d: d.update(drives=[])),
              "list"], 2),
            (["--emulate=" + self.scenario(
                "swapped.json", lambda d: d.update(version="0x23F00306")), "status"], 6),
            (["--emulate", "backup", "no/such/folder/b.json"], 5),
        ]
        for args, code in cases:
            with self.subTest(" ".join(args)):
                run = self.run_tool(*args)
                self.assertExit(run, code)
                self.assertToolLines(run)
                report = self.run_tool("--json", *args)
                self.assertEqual((report.code, report.json()["exitCode"], report.err),
                                 (code, code, ""))
                self.assertEqual(report.json()["formatVersion"], 2)

    # Changes show what they will do

    def test_a_set_or_write_that_changes_nothing_sends_no_write(self):
        # Every write would fail: a run that sends one cannot end 0.
        scenario = self.scenario("plain.json", fault(operation="write", effect="scsiStatus",
                                                     code=2, times=-1))
        rows = "Lun0: Removable\nLun1: Fixed Disk\n"
        cases = [
            (["set", "lun1", "fixed"], "Nothing was written: LUN 1 is already Fixed Disk.\n"),
            (["write", "--lun0", "removable", "--lun1", "Fixed Disk"],
             "Nothing was written: LUN 0 is already Removable and LUN 1 is already Fixed Disk.\n"),
            (["write"],
             "Nothing was written: LUN 0 is already Removable and LUN 1 is already Fixed Disk.\n"),
        ]
        for args, said in cases:
            with self.subTest(" ".join(args)):
                run = self.run_tool("--emulate=" + scenario, *args)
                self.assertExit(run, 0)
                self.assertEqual(run.out, rows + said)
                report = self.run_tool("--json", "--emulate=" + scenario, *args).json()
                self.assertEqual((report["exitCode"], report["unchanged"], report["changed"],
                                  report["message"]), (0, True, False, None))
        # Nothing was kept in the journal.
        self.assertIn("No change is in the journal", self.run_tool("--emulate=" + scenario, "history").out)
        failed = self.run_tool("--json", "--emulate=" + scenario, "set", "lun0", "fixed")
        self.assertEqual((failed.code, failed.json()["unchanged"]), (1, False))

    def test_dry_run_reads_shows_and_writes_nothing(self):
        cases = [
            (["set", "lun0", "fixed"], "Lun0: Removable -> Fixed Disk\nLun1: Fixed Disk\n"),
            (["write", "--lun0", "fixed", "--lun1", "removable"],
             "Lun0: Removable -> Fixed Disk\nLun1: Fixed Disk -> Removable\n"),
            (["write", "--lun0", "05"], "Lun0: Removable (0x00) -> Removable (0x05)\n"
                                        "Lun1: Fixed Disk\n"),
        ]
        scenario = self.scenario("plain.json", fault(operation="write", effect="scsiStatus",
                                                     code=2, times=-1))
        before = self.read_bytes(scenario)
        for args, rows in cases:
            with self.subTest(" ".join(args)):
                run = self.run_tool("--emulate=" + scenario, *args, "--dry-run")
                self.assertExit(run, 0)
                self.assertEqual(run.out, rows + "Dry run: nothing was written to the drive.\n")
                report = self.run_tool("--emulate=" + scenario, "--json", *args, "--dry-run")
                self.assertExit(report, 0)
                # A dry run of a change is no change found already made.
                self.assertEqual((report.json()["dryRun"], report.json()["changed"],
                                  report.json()["unchanged"], report.json()["message"]),
                                 (True, False, False, None))
                self.assertEqual(report.json()["rowsBefore"]["lun0"]["type"], "0x00")
        self.assertEqual(self.read_bytes(scenario), before)

    def test_restore_shows_the_bytes_it_changes(self):
        scenario = self.scenario("plain.json")
        self.assertExit(self.run_tool("--emulate=" + scenario, "backup", "b.json"), 0)
        self.assertExit(self.run_tool("--emulate=" + scenario, "set", "lun0", "fixed"), 0)
        changed = self.read_bytes(scenario)

        run = self.run_tool("--emulate=" + scenario, "restore", "b.json", "--dry-run")
        self.assertExit(run, 0)
        self.assertIn("b.json would change 1 byte of the configuration block on F: "
                      "(offset: now -> after)\n  304: 0xA1 -> 0x00\n", run.out)
        report = self.run_tool("--emulate=" + scenario, "--json", "restore", "b.json",
                               "--dry-run").json()
        self.assertEqual(report["changes"], [{"offset": SLOT_A, "from": "0xA1", "to": "0x00"}])
        self.assertEqual(self.read_bytes(scenario), changed)

        run = self.run_tool("--emulate=" + scenario, "restore", "b.json", "--yes")
        self.assertExit(run, 0)
        self.assertIn("1 byte changed (offset: before -> now):\n  304: 0xA1 -> 0x00\n", run.out)
        self.assertEqual(self.block(scenario)[SLOT_A], 0x00)

    def answer_on_terminal(self, answer, *args):
        """Runs vardelctl on a terminal of its own, answers its question with `answer`, and gives
        the exit code and what the terminal showed."""
        import pty
        import termios
        controller, terminal = pty.openpty()
        try:
            # No echo: the answer is typed before the question is asked, and its echo would land
            # in the middle of what the terminal shows.
            modes = termios.tcgetattr(terminal)
            modes[3] &= ~termios.ECHO
            termios.tcsetattr(terminal, termios.TCSANOW, modes)
            try:
                process = subprocess.Popen(
                    vardelctl_test.PROGRAM + list(args), cwd=self.folder, stdin=terminal,
                    stdout=subprocess.PIPE, stderr=terminal,
                    env=vardelctl_test.journal_environment(self.state))
            finally:
                os.close(terminal)
            os.write(controller, answer)
            process.communicate(timeout=60)
            # Everything shown, up to the end the closed terminal gives (EIO on Linux).
            shown = b""
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

    @needs_host("needs a terminal of the host")
    def test_restore_on_a_terminal_shows_the_change_before_it_asks(self):
        scenario = self.scenario("plain.json")
        self.assertExit(self.run_tool("--emulate=" + scenario, "backup", "b.json"), 0)
        self.assertExit(self.run_tool("--emulate=" + scenario, "set", "lun1", "removable"), 0)
        # Only a yes writes: an empty answer (Enter alone) is a no.
        for answer, code, slot_b in ((b"n\n", 1, 0x00), (b"\n", 1, 0x00), (b"y\n", 0, 0xA1)):
            with self.subTest(answer):
                returncode, question = self.answer_on_terminal(
                    answer, "--emulate=" + scenario, "restore", "b.json")
                self.assertEqual(returncode, code)
                self.assertIn("vardelctl:   305: 0x00 -> 0xA1\r\nvardelctl: Write the "
                              "configuration block from b.json", question)
                self.assertEqual(self.block(scenario)[SLOT_B], slot_b)

    @needs_host("needs a terminal of the host")
    def test_undo_on_a_terminal_shows_the_change_before_it_asks(self):
        scenario = self.scenario("plain.json")
        self.assertExit(self.run_tool("--emulate=" + scenario, "set", "lun1", "removable"), 0)
        for answer, code, slot_b in ((b"\n", 1, 0x00), (b"y\n", 0, 0xA1)):
            with self.subTest(answer):
                returncode, question = self.answer_on_terminal(answer,
                                                               "--emulate=" + scenario, "undo")
                self.assertEqual(returncode, code)
                self.assertIn("vardelctl: Undoing the set of ", question)
                self.assertIn("vardelctl:   305: 0x00 -> 0xA1\r\nvardelctl: Put back the block "
                              "that change replaced on the drive with serial VD0000000001?",
                              question)
                self.assertEqual(self.block(scenario)[SLOT_B], slot_b)

    # The built-in drive

    def test_the_built_in_drive_says_once_that_it_keeps_nothing(self):
        run = self.run_tool("--emulate", "set", "lun0", "fixed")
        self.assertExit(run, 0)
        self.assertEqual(run.err.count("keeps nothing between runs"), 1, run)
        self.assertIn("--emulate=plain.json", run.err)
        self.assertToolLines(run)
        for args in (["--emulate", "status"], ["--emulate", "set", "lun1", "fixed"],
                     ["--emulate", "--json", "set", "lun0", "fixed"],
                     ["--emulate=" + self.scenario("plain.json"), "set", "lun0", "fixed"]):
            with self.subTest(" ".join(args)):
                run = self.run_tool(*args)
                self.assertEqual((run.code, run.err), (0, ""))

    # --all

    def test_all_runs_on_every_drive_by_its_serial(self):
        scenario = self.scenario("two-drives.json")
        run = self.run_tool("--emulate=" + scenario, "status", "--all")
        self.assertExit(run, 0)
        self.assertEqual(run.out, "VD0000000001 (F:): Lun0: Removable, Lun1: Fixed Disk\n"
                                  "VD0000000002 (H:): Lun0: Fixed Disk, Lun1: Fixed Disk\n")
        run = self.run_tool("--emulate=" + scenario, "set", "--all", "lun1", "removable")
        self.assertExit(run, 0)
        self.assertEqual([self.block(scenario, i)[SLOT_B] for i in (0, 1)], [0x00, 0x00])

        run = self.run_tool("--emulate=" + scenario, "--json", "backup", "--all", "saved")
        self.assertExit(run, 0)
        report = run.json()
        self.assertEqual((report["formatVersion"], report["all"], report["deviceCount"]),
                         (2, True, 2))
        self.assertEqual([d["file"].replace("\\", "/") for d in report["drives"]],
                         ["saved/VD000000000%d.json" % i for i in (1, 2)])
        for i in (1, 2):
            saved = self.read_json(os.path.join("saved", "VD000000000%d.json" % i))
            self.assertEqual(saved["serial"], "VD000000000%d" % i)
        # Again: the files are there, and each drive says so.
        self.assertExit(self.run_tool("--emulate=" + scenario, "backup", "--all", "saved"), 64)

    def test_all_writes_no_backup_of_a_drive_whose_block_was_not_read(self):
        scenario = self.scenario("two-drives.json", fault(letter="F", operation="readConfig",
                                                          effect="scsiStatus", code=2))
        run = self.run_tool("--emulate=" + scenario, "backup", "--all", "saved")
        self.assertExit(run, 1)
        self.assertEqual(os.listdir(os.path.join(self.folder, "saved")), ["VD0000000002.json"])

    def test_all_ends_0_only_when_every_drive_is_done(self):
        # The second drive's write fails; the first is still changed, and its change kept.
        scenario = self.scenario("two-drives.json", fault(letter="H", operation="write",
                                                          effect="scsiStatus", code=2))
        run = self.run_tool("--emulate=" + scenario, "set", "lun0", "removable", "--all")
        self.assertExit(run, 1)
        lines = run.out.splitlines()
        self.assertEqual(lines[0], "VD0000000001 (F:): Lun0: Removable, Lun1: Fixed Disk; "
                                   "already so, nothing written")
        self.assertTrue(lines[1].startswith("VD0000000002 (H:): Fail: the drive on H: answered "
                                            "the write"), run)
        self.assertEqual(run.err, "vardelctl: 1 of 2 drives not done\n")
        report = self.run_tool("--emulate=" + scenario, "--json", "set", "lun1", "removable",
                               "--all")
        self.assertExit(report, 1)
        self.assertEqual([d["outcome"] for d in report.json()["drives"]], ["done", "writeFailed"])
        self.assertEqual((report.json()["outcome"], report.err), ("notAllDone", ""))
        self.assertEqual(self.block(scenario, 0)[SLOT_B], 0x00)
        # The first drive that is not done gives the code, whichever comes after it: a backup
        # file already there (64) and a block not read (1), in either order.
        for first, second, code in (("VD0000000001", "H", 64), ("VD0000000002", "F", 1)):
            with self.subTest(first=first):
                folder = os.path.join(self.folder, "codes-" + first)
                os.mkdir(folder)
                open(os.path.join(folder, first + ".json"), "w").close()
                failing = self.scenario("two-drives.json", fault(
                    letter=second, operation="readConfig", effect="scsiStatus", code=2))
                run = self.run_tool("--emulate=" + failing, "backup", "--all", folder)
                self.assertExit(run, code)
        for args in (["--device", "E", "status", "--all"], ["backup", "--all", "-"]):
            with self.subTest(" ".join(args)):
                self.assertExit(self.run_tool("--emulate=" + scenario, *args), 64)
        empty = self.scenario("plain.json", lambda d: d.update(drives=[]))
        run = self.run_tool("--emulate=" + empty, "status", "--all")
        self.assertEqual((run.code, run.err), (2, "No drive found\n"))

    # The bash completion

    @needs_host("needs bash on the host", lambda: shutil.which("bash") is not None)
    def test_the_bash_completion_knows_the_commands_and_their_words(self):
        cases = {
            "vardelctl st": ["status"],
            "vardelctl set ": ["lun0", "lun1"],
            "vardelctl --json set lun1 ": ["removable", "fixed"],
            "vardelctl --device E set lun0 f": ["fixed"],
            "vardelctl restore --": ["--yes", "--allow-no-serial", "--dry-run", "--json",
                                     "--device", "--emulate", "--emulate=", "--no-journal",
                                     "--direct", "--service", "--help", "--version"],
            "vardelctl h": ["history", "help"],
            "vardelctl un": ["undo"],
            "vardelctl undo --d": ["--dry-run", "--device", "--direct"],
            "vardelctl --no-j": ["--no-journal"],
            "vardelctl write --lun1 r": ["removable"],
            "vardelctl help b": ["backup"],
            "vardelctl backup bk": ["bk-folder"],
            "vardelctl --emulate=pl": ["--emulate=plain.json"],
            "vardelctl --emulate = pl": ["plain.json"],
            "vardelctl --emulate st": ["status"],
            # The values of the global options after the command are not its arguments.
            "vardelctl set --device E l": ["lun0", "lun1"],
            "vardelctl set --device E lun0 f": ["fixed"],
            "vardelctl -d E set lun0 f": ["fixed"],
            "vardelctl set --device = E lun0 f": ["fixed"],
            "vardelctl set lun0 --emulate = plain.json f": ["fixed"],
            "vardelctl set --emulate plain.json lun1 r": ["removable"],
            "vardelctl status --emulate pl": ["plain.json"],
            "vardelctl backup --device E my": ["my scen.json"],
            # A name with a space is one name, however the word is quoted so far.
            "vardelctl backup my": ["my scen.json"],
            ("vardelctl", "backup", "\"my sc"): ["my scen.json"],
            "vardelctl backup 'my": ["my scen.json"],
            ("vardelctl", "backup", "my\\ s"): ["my scen.json"],
            "vardelctl --emulate=my": ["--emulate=my scen.json"],
            "vardelctl --emulate = \"my": ["my scen.json"],
            "vardelctl --emulate my": ["my scen.json"],
        }
        self.scenario("plain.json")
        os.mkdir(os.path.join(self.folder, "bk-folder"))
        shutil.copy(os.path.join(self.folder, "plain.json"),
                    os.path.join(self.folder, "my scen.json"))
        script = ["source %s" % COMPLETION]
        for line in cases:
            words = line.split(" ") if isinstance(line, str) else list(line)
            script.append('COMP_WORDS=(%s); COMP_CWORD=%d; COMPREPLY=(); _vardelctl; '
                          'printf "%%s|" "${COMPREPLY[@]}"; echo'
                          % (" ".join(shlex.quote(w) for w in words), len(words) - 1))
        script.append("complete -p vardelctl")
        completed = subprocess.run(["bash", "-c", "\n".join(script)], cwd=self.folder,
                                   capture_output=True, text=True, timeout=60)
        self.assertEqual(completed.stderr, "")
        replies = completed.stdout.splitlines()
        for (line, expected), reply in zip(cases.items(), replies):
            self.assertEqual(sorted(filter(None, reply.split("|"))), sorted(expected), line)
        self.assertEqual(replies[-1], "complete -F _vardelctl vardelctl")


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    vardelctl_test.PROGRAM = sys.argv[1:]
    unittest.main(argv=[sys.argv[0]], verbosity=2)
