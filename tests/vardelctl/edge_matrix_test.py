#!/usr/bin/env python3
"""The edges a user reaches, each run through vardelctl as a process, in text and in --json mode.

Usage: edge_matrix_test.py PROGRAM [ARGS...]

Every case starts from a folder of its own holding `s.json` (the plain drive: E is LUN 0 removable,
F is LUN 1 fixed) and whatever the case puts beside it, runs one command, and checks what a user
relies on whatever the command: the drive's configuration block changes only as the case asks;
every file is afterwards exactly the old file or a whole new one, and no stray temporary is left;
the exit code, the text and, in --json mode, the one JSON object on stdout agree, with nothing on
stderr. Ends with one summary line.
"""

import json
import os
import pty
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import unittest

import vardelctl_test
from vardelctl_test import SCENARIOS, SLOT_A, SLOT_B, config_block

PROGRAM = []
NOBODY = 65534


def write_json(path, document):
    with open(path, "w") as f:
        json.dump(document, f, indent=2)


def read_json(path):
    with open(path, "rb") as f:
        return json.loads(f.read())


def change_scenario(folder, change, name="s.json"):
    path = os.path.join(folder, name)
    document = read_json(path)
    change(document)
    write_json(path, document)


def snapshot(folder):
    """Every entry below the folder: a file's bytes, a link's target, or a folder."""
    entries = {}
    for root, folders, files in os.walk(folder):
        for name in folders + files:
            path = os.path.join(root, name)
            relative = os.path.relpath(path, folder).encode(errors="surrogateescape")
            if os.path.islink(path):
                entries[relative] = ("link", os.readlink(path))
            elif os.path.isdir(path):
                entries[relative] = ("folder", None)
            else:
                with open(path, "rb") as f:
                    entries[relative] = ("file", f.read())
    return entries


def drive_block(folder, name="s.json"):
    return config_block(read_json(os.path.join(folder, name))["drives"][0])


class Case:
    """One edge: the command, what to set up, the exit code, and what may change.

    `change` maps block offsets to the bytes the drive must hold afterwards (the rest as before);
    `creates` names the files the run may add; `check(test, folder, run)` looks further.
    """

    def __init__(self, name, args, code, prepare=None, change=None, creates=(), check=None,
                 modes=(False, True), as_nobody=False, file_size_limit=None, scenario="s.json"):
        self.name, self.args, self.code = name, args, code
        self.prepare, self.change, self.creates, self.check = prepare, change or {}, creates, check
        # Text mode (False), --json mode (True), or both.
        self.modes, self.as_nobody, self.file_size_limit = modes, as_nobody, file_size_limit
        self.scenario = scenario


# What the cases set up.

def ignores_writes(folder):
    change_scenario(folder, lambda d: d["drives"][0].update(firmware={"keepsWrites": False}))


def folder_at(name):
    return lambda folder: os.mkdir(os.path.join(folder, name))


def read_only_folder(folder):
    os.chmod(folder, 0o555)


def symlinked_scenario(folder):
    os.mkdir(os.path.join(folder, "real"))
    os.rename(os.path.join(folder, "s.json"), os.path.join(folder, "real", "s.json"))
    os.symlink(os.path.join("real", "s.json"), os.path.join(folder, "s.json"))


def link_waiting_at_the_temporary(folder):
    with open(os.path.join(folder, "victim"), "w") as f:
        f.write("not the tool's\n")
    os.symlink("victim", os.path.join(folder, "s.json.tmp"))


def hard_link(folder):
    os.link(os.path.join(folder, "s.json"), os.path.join(folder, "other-name.json"))


def private_mode(folder):
    os.chmod(os.path.join(folder, "s.json"), 0o600)


def backup_taken(test, folder, then=None):
    run = test.run_tool(folder, ["--emulate=s.json", "backup", "b.json"])
    test.assertEqual(run.code, 0, run)
    if then is not None:
        then(folder)


def with_serial(serial, name="s.json"):
    return lambda folder: change_scenario(
        folder, lambda d: d["drives"][0].setdefault("identity", {}).update(serial=serial), name)


def set_slot_a(value):
    return lambda folder: change_scenario(
        folder, lambda d: d["drives"][0]["config"].update(typeSlotA=value))


def sequence(*steps):
    def run(folder):
        for step in steps:
            step(folder)
    return run


def unit_attention(operation):
    return lambda folder: change_scenario(folder, lambda d: d.update(faults=[
        {"letter": "F", "operation": operation, "effect": "unitAttention", "times": 1}]))


# What the cases check beyond the common rules.

def link_kept(test, folder, run):
    test.assertTrue(os.path.islink(os.path.join(folder, "s.json")), "the link was replaced")
    test.assertEqual(drive_block(folder, os.path.join("real", "s.json"))[SLOT_A], 0xA1)


def temporary_left_alone(test, folder, run):
    test.assertEqual(os.readlink(os.path.join(folder, "s.json.tmp")), "victim")
    with open(os.path.join(folder, "victim")) as f:
        test.assertEqual(f.read(), "not the tool's\n")


def hard_link_keeps_the_old_bytes(test, folder, run):
    test.assertEqual(drive_block(folder, "other-name.json")[SLOT_A], 0x00)


def mode_kept(test, folder, run):
    test.assertEqual(os.stat(os.path.join(folder, "s.json")).st_mode & 0o777, 0o600)


def says(text, stream="err"):
    def check(test, folder, run):
        if not run.json_mode:
            test.assertIn(text, getattr(run, stream), run)
    return check


def backup_on_stdout(test, folder, run):
    test.assertEqual(json.loads(run.out)["format"], "vardel-backup")
    test.assertIn("written to -", run.err)


def no_raw_control_bytes(test, folder, run):
    test.assertNotIn("\x1b", run.out + run.err)
    if not run.json_mode:
        test.assertIn("\\x1B[31m", run.out)


INVALID_UTF8_NAME = b"m\xff.json".decode(errors="surrogateescape")

CASES = [
    # Reading only.
    Case("status", ["status"], 0),
    Case("status, scenario missing", ["--emulate=missing.json", "status"], 64),
    Case("status, scenario is a folder", ["--emulate=dir.json", "status"], 64,
         prepare=folder_at("dir.json")),
    Case("status, scenario holds bytes that are not UTF-8", ["status"], 64,
         prepare=lambda f: open(os.path.join(f, "s.json"), "wb").write(b'{"drives": ["\xff"]}')),
    Case("status, scenario name not UTF-8 and missing",
         ["--emulate=" + INVALID_UTF8_NAME, "status"], 64),
    Case("status, --device not UTF-8", ["--device", b"\xff".decode(errors="surrogateescape"),
                                        "status"], 64),
    Case("status, unit attention on the first read", ["status"], 0,
         prepare=unit_attention("readIdentity")),
    Case("status, LUN indices 0, 200 and 1 on one drive", ["status"], 0,
         prepare=lambda f: change_scenario(f, lambda d: d["drives"][0].update(volumes=[
             {"letter": "E", "lun": 0}, {"letter": "F", "lun": 200},
             {"letter": "G", "lun": 1}]))),
    Case("list, no drives", ["list"], 2,
         prepare=lambda f: write_json(os.path.join(f, "s.json"), {"drives": []})),
    Case("list, escape sequences in the INQUIRY data", ["list"], 0,
         prepare=lambda f: change_scenario(f, lambda d: d["drives"][0]["inquiry"].update(
             vendor="\x1b[31m")), check=no_raw_control_bytes),
    # set
    Case("set, words in capitals", ["set", "LUN0", "FIXED"], 0, change={SLOT_A: 0xA1}),
    Case("set, LUN1 in capitals", ["set", "LUN1", "REMOVABLE"], 0, change={SLOT_B: 0x00}),
    Case("set, a word cut short", ["set", "lun0", "fix"], 64),
    Case("set, empty --device", ["--device", "", "set", "lun0", "fixed"], 2,
         check=says("No drive found")),
    Case("set, the drive ignores writes", ["set", "lun0", "fixed"], 1, prepare=ignores_writes),
    Case("set, unit attention on the write", ["set", "lun0", "fixed"], 0,
         prepare=unit_attention("write"), change={SLOT_A: 0xA1}),
    Case("set, scenario in a read-only folder", ["set", "lun0", "fixed"], 5,
         prepare=read_only_folder, as_nobody=True),
    Case("set, a full disk", ["set", "lun0", "fixed"], 5, file_size_limit=64),
    Case("set, scenario behind a symlink", ["set", "lun0", "fixed"], 0,
         prepare=symlinked_scenario, check=link_kept),
    Case("set, a symlink waiting at the temporary's old name", ["set", "lun0", "fixed"], 0,
         prepare=link_waiting_at_the_temporary, change={SLOT_A: 0xA1},
         check=temporary_left_alone),
    Case("set, scenario with a hard link", ["set", "lun0", "fixed"], 0, prepare=hard_link,
         change={SLOT_A: 0xA1}, check=hard_link_keeps_the_old_bytes),
    Case("set, scenario readable by its owner only", ["set", "lun0", "fixed"], 0,
         prepare=private_mode, change={SLOT_A: 0xA1}, check=mode_kept),
    # write
    Case("write, the words set takes", ["write", "--lun0", "fixed", "--lun1", "removable"], 0,
         change={SLOT_A: 0xA1, SLOT_B: 0x00}),
    Case("write, a word in the wrong case", ["write", "--lun0", "Fixed disk"], 64,
         check=says('did you mean "Fixed Disk"?')),
    Case("write, a prefix without digits", ["write", "--lun0", "0xg"], 64),
    Case("write, more than a byte", ["write", "--lun0", "1A1"], 64),
    Case("write, a hexadecimal byte", ["write", "--lun0", "a1"], 0, change={SLOT_A: 0xA1}),
    Case("write, the text the row already means", ["write", "--lun0", "Removable"], 0,
         prepare=set_slot_a("0x05"), change={SLOT_A: 0x05}),
    Case("write, the drive ignores writes", ["write", "--lun0", "A1"], 1, prepare=ignores_writes,
         check=says("Write Fail")),
    Case("write, a full disk", ["write", "--lun0", "A1"], 5, file_size_limit=64),
    # backup
    Case("backup", ["backup", "b.json"], 0, creates=["b.json"]),
    Case("backup onto an existing file", ["backup", "b.json"], 64,
         prepare=lambda f: open(os.path.join(f, "b.json"), "w").write("mine\n"),
         check=says("--force")),
    Case("backup --force onto an existing file", ["backup", "--force", "b.json"], 0,
         prepare=lambda f: open(os.path.join(f, "b.json"), "w").write("mine\n")),
    Case("backup --force, a full disk", ["backup", "--force", "b.json"], 5,
         prepare=lambda f: open(os.path.join(f, "b.json"), "w").write("mine\n"),
         file_size_limit=1024),
    Case("backup onto a folder", ["backup", "b.json"], 64, prepare=folder_at("b.json")),
    Case("backup --force onto a folder", ["backup", "--force", "b.json"], 5,
         prepare=folder_at("b.json")),
    Case("backup into a missing folder", ["backup", "no/such/b.json"], 5),
    # Where the name cannot even be looked at, --force could not help: the system's reason.
    Case("backup, a file name too long", ["backup", "x" * 300 + ".json"], 5,
         check=says("cannot be written (File name too long)")),
    Case("backup into a folder that may not be searched", ["backup", "locked/b.json"], 5,
         prepare=lambda f: os.mkdir(os.path.join(f, "locked"), 0o600), as_nobody=True,
         check=says("locked/b.json: cannot be written (Permission denied)")),
    Case("backup to standard output", ["backup", "-"], 0, modes=(False,),
         check=backup_on_stdout),
    Case("backup to standard output with --json", ["backup", "-"], 64, modes=(True,)),
    Case("backup, file name not UTF-8", ["backup", INVALID_UTF8_NAME], 0,
         creates=[INVALID_UTF8_NAME]),
]


def restore_cases(test):
    """Restore needs a backup taken by the tool itself, so its cases set one up first."""
    take = lambda then=None: lambda folder: backup_taken(test, folder, then)  # noqa: E731
    return [
        Case("restore", ["restore", "--yes", "b.json"], 0,
             prepare=take(set_slot_a("0xA1")), change={SLOT_A: 0x00}),
        Case("restore onto a serial that only starts alike",
             ["restore", "--yes", "b.json"], 4,
             prepare=sequence(with_serial("AA0000000001-0002"),
                              take(with_serial("aa0000000001-0999")), set_slot_a("0xA1"))),
        Case("restore onto a serial that is the first twelve characters",
             ["restore", "--yes", "b.json"], 4,
             prepare=sequence(with_serial("AA0000000001-0002"),
                              take(with_serial("AA0000000001")), set_slot_a("0xA1"))),
        Case("restore, neither carries a serial", ["restore", "--yes", "b.json"], 4,
             prepare=sequence(with_serial(None), take(set_slot_a("0xA1")))),
        Case("restore --allow-no-serial, neither carries a serial",
             ["restore", "--yes", "--allow-no-serial", "b.json"], 0,
             prepare=sequence(with_serial(None), take(set_slot_a("0xA1"))),
             change={SLOT_A: 0x00}),
        Case("restore from a folder", ["restore", "--yes", "dir.json"], 64,
             prepare=folder_at("dir.json")),
        Case("restore, a device key that disagrees with the identity block",
             ["restore", "--yes", "b.json"], 64, check=says("deviceKey"),
             prepare=take(lambda f: change_scenario(
                 f, lambda d: d.update(deviceKey="00" * 24), "b.json"))),
        Case("restore, a backup of another format version", ["restore", "--yes", "b.json"], 64,
             check=says("formatVersion"),
             prepare=take(sequence(set_slot_a("0xA1"), lambda f: change_scenario(
                 f, lambda d: d.update(formatVersion=2), "b.json")))),
        # The drive never receives bytes 512..527: a backup differing only there is on the drive.
        Case("restore --dry-run, the backup differs only past byte 511",
             ["restore", "--dry-run", "b.json"], 0, check=says("already holds", "out"),
             prepare=take(lambda f: change_scenario(
                 f, lambda d: d["configBlock"].__setitem__(32, "FF" * 16), "b.json"))),
        Case("restore, the drive ignores writes", ["restore", "--yes", "b.json"], 1,
             prepare=take(sequence(set_slot_a("0xA1"), ignores_writes))),
        Case("restore, a full disk", ["restore", "--yes", "b.json"], 5,
             prepare=take(set_slot_a("0xA1")), file_size_limit=64),
        Case("restore without a terminal and without --yes", ["restore", "b.json"], 64,
             prepare=take(set_slot_a("0xA1"))),
    ]


class Run(vardelctl_test.Run):
    def __init__(self, completed, json_mode):
        super().__init__(completed)
        self.json_mode = json_mode

    def __repr__(self):
        return "exit %d\n--- stdout\n%s--- stderr\n%s" % (self.code, self.out, self.err)


def demote_and_limit(as_nobody, file_size_limit):
    def before_exec():
        if file_size_limit is not None:
            # A full disk: writes past the limit fail with EFBIG instead of killing the process.
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (file_size_limit, file_size_limit))
        if as_nobody and os.geteuid() == 0:
            # Folder permissions do not bind root.
            os.setgroups([])
            os.setgid(NOBODY)
            os.setuid(NOBODY)
    return before_exec


class EdgeMatrixTest(unittest.TestCase):
    held = 0
    runs = 0

    def run_tool(self, folder, args, json_mode=False, as_nobody=False, file_size_limit=None):
        arguments = ([a.encode(errors="surrogateescape") for a in PROGRAM] +
                     [a.encode(errors="surrogateescape") for a in args])
        if json_mode:
            arguments.insert(len(PROGRAM), b"--json")
        completed = subprocess.run(arguments, cwd=folder, stdin=subprocess.DEVNULL,
                                   capture_output=True, timeout=120,
                                   env=vardelctl_test.journal_environment(self.journal_folder()),
                                   preexec_fn=demote_and_limit(as_nobody, file_size_limit))
        completed.stdout = completed.stdout.decode(errors="replace")
        completed.stderr = completed.stderr.decode(errors="replace")
        return Run(completed, json_mode)

    def journal_folder(self):
        """A journal of the run's own, outside the folder the case looks at, that a run as nobody
        may write in as well."""
        folder = tempfile.mkdtemp(prefix="vardelctl-edge-state-")
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        os.chmod(folder, 0o777)
        return folder

    def make_folder(self, case):
        folder = tempfile.mkdtemp(prefix="vardelctl-edge-")
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        self.addCleanup(os.chmod, folder, 0o755)
        shutil.copy(os.path.join(SCENARIOS, "plain.json"), os.path.join(folder, "s.json"))
        if case.prepare is not None:
            case.prepare(folder)
        if case.as_nobody:
            for root, folders, files in os.walk(folder):
                for name in files:
                    os.chmod(os.path.join(root, name), 0o644)
            os.chmod(folder, os.stat(folder).st_mode | 0o055)
        return folder

    def check_report(self, case, run):
        self.assertEqual(run.code, case.code, run)
        if run.json_mode:
            report = json.loads(run.out)  # exactly one JSON value, and nothing else
            self.assertIsInstance(report, dict, run)
            self.assertEqual(report["exitCode"], run.code, run)
            self.assertEqual(run.err, "", run)
        elif run.code != 0:
            self.assertNotEqual(run.err, "", run)

    def check_files(self, case, folder, before, run):
        after = snapshot(folder)
        scenario = case.scenario.encode()
        created = {name.encode(errors="surrogateescape") for name in case.creates}
        for name, entry in after.items():
            if name in before or name in created:
                continue
            self.fail("%r was left behind\n%r" % (name, run))
        for name, entry in before.items():
            self.assertIn(name, after, "%r is gone\n%r" % (name, run))
            if after[name] == entry or entry[0] != "file":
                continue
            # A file that changed is a whole new file.
            try:
                json.loads(after[name][1])
            except ValueError:
                self.fail("%r is no longer whole\n%r" % (name, run))
        if scenario in before and before[scenario][0] == "file":
            try:
                block_before = config_block(json.loads(before[scenario][1])["drives"][0])
            except (ValueError, KeyError, IndexError):
                return
            expected = list(block_before)
            if run.code == 0:
                for offset, value in case.change.items():
                    expected[offset] = value
            self.assertEqual(drive_block(folder, case.scenario), expected, run)

    def run_case(self, case):
        for json_mode in case.modes:
            with self.subTest(case=case.name, json=json_mode):
                folder = self.make_folder(case)
                before = snapshot(folder)
                args = case.args if case.args[0].startswith("--emulate=") else (
                    ["--emulate=" + case.scenario] + case.args)
                run = self.run_tool(folder, args, json_mode, case.as_nobody, case.file_size_limit)
                EdgeMatrixTest.runs += 1
                self.check_report(case, run)
                self.check_files(case, folder, before, run)
                if case.check is not None:
                    case.check(self, folder, run)
                EdgeMatrixTest.held += 1

    def test_the_edge_matrix(self):
        cases = CASES + restore_cases(self)
        for case in cases:
            self.run_case(case)
        print("\nedge matrix: %d cases, %d runs in text and --json mode, %d held"
              % (len(cases), EdgeMatrixTest.runs, EdgeMatrixTest.held))

    def test_two_runs_at_once_leave_one_whole_file(self):
        folder = self.make_folder(Case("two at once", [], 0))
        original = drive_block(folder)
        allowed = []
        for a in (original[SLOT_A], 0xA1):
            for b in (original[SLOT_B], 0x00):
                block = list(original)
                block[SLOT_A], block[SLOT_B] = a, b
                allowed.append(block)
        for round_number in range(15):
            change_scenario(folder, lambda d: d["drives"][0]["config"].update(
                typeSlotA="0x00", typeSlotB="0xA1"))
            runs = []
            threads = [threading.Thread(target=lambda args=args: runs.append(
                self.run_tool(folder, ["--emulate=s.json", "set"] + args)))
                for args in (["lun0", "fixed"], ["lun1", "removable"])]
            for thread in threads:
                thread.start()
            for thread in threads:
                thread.join()
            for run in runs:
                self.assertEqual(run.code, 0, run)
            self.assertIn(drive_block(folder), allowed, "round %d" % round_number)
            self.assertEqual(sorted(os.listdir(folder)), ["s.json"])

    def test_a_declined_restore_on_a_terminal_asks_on_stderr_and_reports_once(self):
        folder = self.make_folder(Case("declined", [], 0, prepare=set_slot_a("0xA1")))
        backup_taken(self, folder)
        change_scenario(folder, lambda d: d["drives"][0]["config"].update(typeSlotA="0x00"))
        before = snapshot(folder)
        controller, terminal = pty.openpty()
        try:
            process = subprocess.Popen(PROGRAM + ["--emulate=s.json", "--json", "restore", "b.json"],
                                       cwd=folder, stdin=terminal, stdout=subprocess.PIPE,
                                       stderr=terminal,
                                       env=vardelctl_test.journal_environment(self.journal_folder()))
            os.write(controller, b"n\n")
            out, _ = process.communicate(timeout=60)
            question = os.read(controller, 4096).decode(errors="replace")
        finally:
            os.close(controller)
            os.close(terminal)
        self.assertEqual(process.returncode, 1)
        self.assertIn("[y/N]", question)
        report = json.loads(out)
        self.assertEqual((report["outcome"], report["exitCode"]), ("declined", 1))
        self.assertEqual(snapshot(folder), before)

    def test_a_change_through_device_is_kept_for_that_drive(self):
        folder = self.make_folder(Case("two drives", [], 0))
        shutil.copy(os.path.join(SCENARIOS, "two-drives.json"), os.path.join(folder, "s.json"))
        run = self.run_tool(folder, ["--emulate=s.json", "--device", "VD0000000002", "set",
                                     "lun0", "removable"])
        self.assertEqual(run.code, 0, run)
        run = self.run_tool(folder, ["--emulate=s.json", "--device", "VD0000000002", "--json",
                                     "status"])
        self.assertEqual(run.code, 0, run)
        self.assertEqual(run.json()["rows"]["lun0"]["text"], "Removable", run)
        drives = read_json(os.path.join(folder, "s.json"))["drives"]
        self.assertEqual(config_block(drives[1])[SLOT_A], 0x00)
        self.assertEqual(config_block(drives[0]), config_block(
            json.load(open(os.path.join(SCENARIOS, "two-drives.json")))["drives"][0]))

    def test_the_documented_bounds_of_a_scenario(self):
        cases = [
            (lambda d: d["drives"][0].update(firmware={"configBytes": 528}), 0, None),
            (lambda d: d["drives"][0]["volumes"].append({"letter": "G", "lun": 255}), 0, None),
            (lambda d: d["drives"][0]["volumes"][0].update(lun=300.5), 64,
             "drives[0].volumes[0].lun: expected a whole number"),
            (lambda d: d["drives"][0]["volumes"][1].update(letter="e"), 64,
             "drives[0].volumes[1].letter: the letter E is used twice"),
        ]
        for change, code, message in cases:
            folder = self.make_folder(Case("bounds", [], 0, prepare=lambda f: change_scenario(
                f, change)))
            run = self.run_tool(folder, ["--emulate=s.json", "status"])
            self.assertEqual(run.code, code, run)
            if message is not None:
                self.assertEqual(run.err.strip(), "vardelctl: s.json: " + message, run)

    def test_a_short_read_reports_its_status_in_json(self):
        folder = self.make_folder(Case("short", [], 0, prepare=lambda f: change_scenario(
            f, lambda d: d["drives"][0].update(firmware={"configBytes": 300}))))
        run = self.run_tool(folder, ["--emulate=s.json", "--json", "status"], json_mode=False)
        self.assertEqual(run.code, 1, run)
        report = run.json()
        self.assertEqual((report["outcome"], report["driveStatus"]), ("readFailed", 0x20000528))
        self.assertIsNone(report["rows"])


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    PROGRAM = sys.argv[1:]
    unittest.main(argv=[sys.argv[0]], verbosity=2)
