#!/usr/bin/env python3
"""vardelctl as a process, on the scenario files beside this script.

Usage: vardelctl_test.py PROGRAM [ARGS...]
The program's command comes whole from the arguments (for example `wine64 vardelctl.exe`), so the
same tests run the Linux and the Windows builds. Every test works on copies of the scenarios in a
folder of its own and passes them by relative name, the program running in that folder.
"""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

SCENARIOS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "scenarios")
PROGRAM = []

BLOCK_SIZE = 528
LAYOUT_SELECTOR, SLOT_A, SLOT_B = 172, 304, 305


def pattern_block():
    return [(i * 7 + 3) & 0xFF for i in range(BLOCK_SIZE)]


def parse_byte(value):
    return value if isinstance(value, int) else int(value, 16)


def config_block(drive):
    """The configuration block a scenario's drive entry describes, as the format says."""
    if "configBlock" in drive:
        text = drive["configBlock"]
        text = "".join(text) if isinstance(text, list) else text
        return list(bytes.fromhex(text))
    config = drive.get("config", {})
    fill = config.get("fill", "pattern")
    block = pattern_block() if fill == "pattern" else [parse_byte(fill)] * BLOCK_SIZE
    block[LAYOUT_SELECTOR] = parse_byte(config.get("layoutSelector", 0))
    block[SLOT_A] = parse_byte(config.get("typeSlotA", 0))
    block[SLOT_B] = parse_byte(config.get("typeSlotB", 0xA1))
    return block


def journal_environment(folder):
    """The environment of a run whose journal goes into `folder`, never the user's own: the Linux
    program follows XDG_STATE_HOME; the Windows one under Wine, which sets LOCALAPPDATA itself,
    takes VARDEL_JOURNAL (Wine's Z: is /)."""
    environment = dict(os.environ)
    environment["XDG_STATE_HOME"] = folder
    if any("wine" in part for part in PROGRAM):
        environment["VARDEL_JOURNAL"] = "Z:" + os.path.join(folder, "vardel", "journal").replace(
            "/", "\\")
    return environment


def on_windows():
    """The program is the Windows build, run under Wine."""
    return any("wine" in part for part in PROGRAM)


def host_path(path):
    """A path the program printed, as this script opens it: Wine's Z:\\x\\y is /x/y."""
    if len(path) > 2 and path[1] == ":" and path[0] in "Zz":
        return path[2:].replace("\\", "/")
    return path


class Run:
    def __init__(self, completed):
        self.code = completed.returncode
        self.out = completed.stdout.replace("\r\n", "\n")
        self.err = completed.stderr.replace("\r\n", "\n")

    def __repr__(self):
        # A failed check shows the whole run: under Wine a start that never reached the program
        # looks like any other exit code, and only stderr tells them apart.
        return "<exit %d, stdout %r, stderr %r>" % (self.code, self.out, self.err)

    def json(self):
        try:
            return json.loads(self.out)
        except ValueError as error:
            raise AssertionError("stdout is not JSON (%s): %r" % (error, self)) from None


class ScenarioHarness:
    """A folder for a test's scenarios and a journal of its own, and vardelctl run in that folder.
    The process tests of every file share it; each file's tests stay in that file."""

    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="vardelctl-test-")
        # Each test has a journal of its own, outside the folder it looks at.
        self.state = tempfile.mkdtemp(prefix="vardelctl-state-")

    def tearDown(self):
        shutil.rmtree(self.folder, ignore_errors=True)
        shutil.rmtree(self.state, ignore_errors=True)

    def scenario(self, name, change=None):
        """Copies a scenario into the test's folder, changed by `change(document)` if given."""
        path = os.path.join(self.folder, name)
        shutil.copy(os.path.join(SCENARIOS, name), path)
        if change is not None:
            with open(path) as f:
                document = json.load(f)
            change(document)
            with open(path, "w") as f:
                json.dump(document, f, indent=2)
        return name

    def read_bytes(self, name):
        with open(os.path.join(self.folder, name), "rb") as f:
            return f.read()

    def read_json(self, name):
        return json.loads(self.read_bytes(name))

    def run_tool(self, *args):
        completed = subprocess.run(PROGRAM + list(args), cwd=self.folder, stdin=subprocess.DEVNULL,
                                   capture_output=True, text=True, timeout=120,
                                   env=journal_environment(self.state))
        return Run(completed)

    def assertExit(self, run, code):
        self.assertEqual(run.code, code, run)


class VardelctlTest(ScenarioHarness, unittest.TestCase):
    def assertRows(self, run, lun0, lun1):
        self.assertExit(run, 0)
        self.assertIn("Lun0: %s\nLun1: %s\n" % (lun0, lun1), run.out, run)

    # status, set and write

    def test_status_on_both_layouts(self):
        self.assertRows(self.run_tool("--emulate", "status"), "Removable", "Fixed Disk")
        plain = self.scenario("plain.json")
        self.assertRows(self.run_tool("--emulate=" + plain, "status"), "Removable", "Fixed Disk")
        swapped = self.scenario("swapped.json")
        self.assertRows(self.run_tool("--emulate=" + swapped, "status"), "Fixed Disk", "Removable")

    def test_set_then_status_sees_the_change(self):
        for name, row, slot in (("plain.json", "lun0", SLOT_A), ("swapped.json", "lun1", SLOT_A)):
            with self.subTest(name):
                scenario = self.scenario(name)
                before = config_block(self.read_json(scenario)["drives"][0])
                run = self.run_tool("--emulate=" + scenario, "set", row, "fixed")
                self.assertRows(run, "Fixed Disk", "Fixed Disk")
                self.assertIn("Replug the drive", run.out)
                self.assertRows(self.run_tool("--emulate=" + scenario, "status"),
                                "Fixed Disk", "Fixed Disk")
                after = config_block(self.read_json(scenario)["drives"][0])
                expected = list(before)
                expected[slot] = 0xA1
                self.assertEqual(after, expected)

    def test_set_to_the_type_a_lun_has_leaves_the_file_alone(self):
        scenario = self.scenario("plain.json")
        before = self.read_bytes(scenario)
        run = self.run_tool("--emulate=" + scenario, "set", "lun1", "fixed")
        self.assertRows(run, "Removable", "Fixed Disk")
        self.assertNotIn("Replug", run.out)
        self.assertEqual(self.read_bytes(scenario), before)

    def test_write_after_status_leaves_the_bytes_as_they_were(self):
        for name in ("plain.json", "swapped.json", "whole-block.json"):
            with self.subTest(name):
                scenario = self.scenario(name)
                before = self.read_bytes(scenario)
                status = self.run_tool("--emulate=" + scenario, "--json", "status").json()
                rows = status["rows"]
                run = self.run_tool("--emulate=" + scenario, "write",
                                    "--lun0", rows["lun0"]["text"], "--lun1", rows["lun1"]["text"])
                self.assertExit(run, 0)
                # Nothing would change, so nothing is sent.
                self.assertIn("Nothing was written", run.out)
                # Right after start both rows are empty: each byte stays as read.
                self.assertExit(self.run_tool("--emulate=" + scenario, "write"), 0)
                self.assertEqual(self.read_bytes(scenario), before)

    def test_write_takes_hexadecimal_texts_per_row(self):
        scenario = self.scenario("swapped.json")
        run = self.run_tool("--emulate=" + scenario, "--json", "write", "--lun1", "A1")
        self.assertExit(run, 0)
        self.assertEqual(run.json()["message"], "Write Success")
        self.assertTrue(run.json()["changed"])
        # Row Lun1 is slot A on this layout.
        self.assertEqual(config_block(self.read_json(scenario)["drives"][0])[SLOT_A], 0xA1)

    # Several drives

    def test_two_drives_give_the_message_and_device_picks_one(self):
        scenario = self.scenario("two-drives.json")
        for command in (["status"], ["set", "lun0", "fixed"], ["write"], ["backup", "b.json"]):
            with self.subTest(command[0]):
                run = self.run_tool("--emulate=" + scenario, *command)
                self.assertExit(run, 3)
                self.assertIn("More drives found, please remove others", run.err)
        run = self.run_tool("--emulate=" + scenario, "--device", "VD0000000002", "--json", "status")
        self.assertExit(run, 0)
        self.assertEqual(run.json()["target"], "H")
        self.assertEqual(run.json()["rows"]["lun0"]["text"], "Fixed Disk")
        self.assertRows(self.run_tool("--emulate=" + scenario, "status", "--device", "vd0000000001"),
                        "Removable", "Fixed Disk")
        run = self.run_tool("--emulate=" + scenario, "--device", "NOSUCHSERIAL", "status")
        self.assertExit(run, 4)
        self.assertIn("No drive found", run.err)

    def test_list_shows_every_drive_with_its_serial(self):
        scenario = self.scenario("two-drives.json")
        run = self.run_tool("--emulate=" + scenario, "list")
        self.assertExit(run, 0)
        self.assertIn("serial VD0000000001", run.out)
        self.assertIn("serial VD0000000002", run.out)
        listing = self.run_tool("--emulate=" + scenario, "--json", "list").json()
        self.assertEqual(listing["deviceCount"], 2)
        second = listing["devices"][1]
        self.assertEqual(second["serial"], "VD0000000002")
        self.assertEqual(second["target"], "H")
        self.assertEqual([(v["letter"], v["lun"]) for v in second["volumes"]], [("G", 0), ("H", 1)])
        self.assertEqual(second["volumes"][0]["revision"], "PMAP")
        narrowed = self.run_tool("--emulate=" + scenario, "--json", "--device", "VD0000000001",
                                 "list").json()
        self.assertEqual([d["serial"] for d in narrowed["devices"]], ["VD0000000001"])

    # Failures

    def test_a_failing_write_exits_1_and_changes_nothing(self):
        scenario = self.scenario("failing-write.json")
        before = self.read_bytes(scenario)
        run = self.run_tool("--emulate=" + scenario, "set", "lun0", "fixed")
        self.assertEqual((run.code, run.err.split("\n")[0], run.out), (1, "Fail", ""), run)
        run = self.run_tool("--emulate=" + scenario, "write", "--lun0", "A1")
        self.assertEqual((run.code, run.err.split("\n")[0]), (1, "Write Fail"), run)
        self.assertEqual(self.read_bytes(scenario), before)

    def test_a_drive_that_keeps_no_writes_is_not_confirmed(self):
        scenario = self.scenario(
            "plain.json", lambda d: d["drives"][0].update(firmware={"keepsWrites": False}))
        run = self.run_tool("--emulate=" + scenario, "--json", "set", "lun0", "fixed")
        self.assertExit(run, 1)
        self.assertEqual((run.json()["outcome"], run.json()["message"]), ("notConfirmed", "Fail"))

    def test_a_short_read_writes_nothing(self):
        scenario = self.scenario("short-read.json")
        before = self.read_bytes(scenario)
        for command, message in ((["status"], "Fail"), (["set", "lun0", "fixed"], "Fail"),
                                 (["write", "--lun0", "A1"], "Write Fail")):
            with self.subTest(command[0]):
                run = self.run_tool("--emulate=" + scenario, *command)
                self.assertEqual((run.code, run.err.split("\n")[0]), (1, message), run)
        self.assertEqual(self.read_bytes(scenario), before)
        # A short identity block leaves the drive out of discovery.
        short_identity = self.scenario(
            "swapped.json", lambda d: d["drives"][0].update(firmware={"identityBytes": 300}))
        before = self.read_bytes(short_identity)
        run = self.run_tool("--emulate=" + short_identity, "set", "lun0", "fixed")
        self.assertEqual((run.code, run.err.split("\n")[0]), (2, "No drive found"), run)
        if not on_windows():  # what discovery looked at: the Linux build's words
            self.assertIn("2 carry the signature but none answered as the drive looked for",
                          run.err)
        self.assertEqual(self.read_bytes(short_identity), before)

    def test_no_rights_says_how_to_get_them(self):
        run = self.run_tool("--emulate=" + self.scenario("no-rights.json"), "status")
        self.assertExit(run, 2)
        self.assertTrue(run.err.startswith("No drive found\n"), run.err)
        # Root or an administrator's prompt; under Wine, the letters mapped to the sg nodes.
        self.assertTrue(any(word in run.err for word in ("root", "administrator", "/dev/sgN")),
                        run.err)
        run_json = self.run_tool("--emulate=" + self.scenario("no-rights.json"), "--json", "status")
        self.assertTrue(run_json.json()["noRights"])
        if on_windows():
            return
        # On Linux: what discovery looked at, then what to do.
        self.assertIn("vardelctl: Looked at 2 disks: 0 answered INQUIRY, none carries the drive's "
                      "signature; 2 disks could not be opened for lack of rights.\n", run.err)
        self.assertIn("`vardelctl list`", run.err)
        self.assertIn("70-vardel.rules", run.err)
        scan = run_json.json()["scan"]
        self.assertEqual((scan["disks"], scan["answeredInquiry"], scan["withSignature"],
                          scan["noRightsDisks"]), (2, 0, 0, 2))
        self.assertIn("Looked at 2 disks", scan["advice"])
        self.assertEqual(run_json.err, "")

    # backup and restore

    def test_backup_then_restore_gives_back_the_exact_block(self):
        scenario = self.scenario("whole-block.json")
        original = config_block(self.read_json(scenario)["drives"][0])
        run = self.run_tool("--emulate=" + scenario, "backup", "backup.json")
        self.assertExit(run, 0)
        backup = self.read_json("backup.json")
        self.assertEqual(backup["serial"], "VD0000000009")
        self.assertEqual(backup["letters"], {"lun0": "E", "lun1": "F", "target": "F"})
        self.assertEqual(list(bytes.fromhex("".join(backup["configBlock"]))), original)

        self.assertExit(self.run_tool("--emulate=" + scenario, "set", "lun0", "fixed"), 0)
        self.assertExit(self.run_tool("--emulate=" + scenario, "set", "lun1", "removable"), 0)
        self.assertNotEqual(config_block(self.read_json(scenario)["drives"][0]), original)

        run = self.run_tool("--emulate=" + scenario, "restore", "backup.json", "--yes")
        self.assertExit(run, 0)
        self.assertIn("Replug the drive", run.out)
        self.assertEqual(config_block(self.read_json(scenario)["drives"][0]), original)
        # Once more: the drive holds the block already, and nothing is written.
        before = self.read_bytes(scenario)
        run = self.run_tool("--emulate=" + scenario, "--json", "restore", "--yes", "backup.json")
        self.assertEqual((run.code, run.json()["changed"]), (0, False), run)
        self.assertEqual(self.read_bytes(scenario), before)

    def test_a_restore_that_changes_other_bytes_keeps_them_all_in_the_scenario(self):
        scenario = self.scenario("plain.json")
        self.assertExit(self.run_tool("--emulate=" + scenario, "backup", "backup.json"), 0)
        backup = self.read_json("backup.json")
        block = bytearray.fromhex("".join(backup["configBlock"]))
        block[10] ^= 0xFF
        block[520] ^= 0xFF  # never sent: the drive keeps its own bytes 512..527
        backup["configBlock"] = block.hex()
        with open(os.path.join(self.folder, "backup.json"), "w") as f:
            json.dump(backup, f)
        original = config_block(self.read_json(scenario)["drives"][0])

        run = self.run_tool("--emulate=" + scenario, "restore", "backup.json", "--yes")
        self.assertExit(run, 0)
        drive = self.read_json(scenario)["drives"][0]
        self.assertNotIn("config", drive)
        self.assertEqual(config_block(drive), list(block[:512]) + original[512:])
        self.assertEqual(drive["identity"], {"serial": "VD0000000001", "layoutMarker": "0x00"})

    def test_restore_onto_another_serial_is_refused(self):
        self.assertExit(
            self.run_tool("--emulate=" + self.scenario("plain.json"), "backup", "backup.json"), 0)
        other = self.scenario("swapped.json")
        before = self.read_bytes(other)
        run = self.run_tool("--emulate=" + other, "restore", "backup.json", "--yes")
        self.assertExit(run, 4)
        self.assertIn("VD0000000001", run.err)
        self.assertEqual(self.read_bytes(other), before)

    def test_restore_refuses_a_broken_backup_and_asks_first(self):
        scenario = self.scenario("plain.json")
        self.assertExit(self.run_tool("--emulate=" + scenario, "backup", "backup.json"), 0)
        good = self.read_json("backup.json")
        short = dict(good, configBlock="".join(good["configBlock"])[:-2])
        broken = {"short.json": json.dumps(short), "malformed.json": "{\"format\": ",
                  "other.json": json.dumps(dict(good, format="something else")),
                  "overflow.json": "{\"format\": \"vardel-backup\", \"formatVersion\": 1E999}"}
        before = self.read_bytes(scenario)
        for name, text in broken.items():
            with self.subTest(name):
                with open(os.path.join(self.folder, name), "w") as f:
                    f.write(text)
                run = self.run_tool("--emulate=" + scenario, "restore", name, "--yes")
                self.assertExit(run, 64)
                self.assertIn(name, run.err)
        # No terminal to ask on, and no --yes.
        run = self.run_tool("--emulate=" + scenario, "restore", "backup.json")
        self.assertExit(run, 64)
        self.assertIn("--yes", run.err)
        self.assertEqual(self.read_bytes(scenario), before)

    # Output

    # The journal: history and undo

    def block_of(self, scenario, drive=0):
        return config_block(self.read_json(scenario)["drives"][drive])

    def test_every_change_is_journaled_and_undo_puts_back_the_last(self):
        scenario = self.scenario("plain.json")
        emulate = "--emulate=" + scenario
        first = self.block_of(scenario)
        self.assertExit(self.run_tool(emulate, "set", "lun0", "fixed"), 0)
        after_set = self.block_of(scenario)
        self.assertExit(self.run_tool(emulate, "write", "--lun1", "removable"), 0)
        after_write = self.block_of(scenario)

        history = self.run_tool(emulate, "history")
        self.assertExit(history, 0)
        lines = history.out.splitlines()[1:]
        self.assertEqual(len(lines), 2, history)
        self.assertRegex(lines[0], r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ  VD0000000001 "
                                   r"\(F: at SCSI address 0:0:0\)  set  "
                                   r"Lun0: Removable -> Fixed Disk, Lun1: Fixed Disk$")
        self.assertIn("write  Lun0: Fixed Disk, Lun1: Fixed Disk -> Removable", lines[1])
        entries = self.run_tool(emulate, "--json", "history").json()["entries"]
        self.assertEqual([e["command"] for e in entries], ["set", "write"])
        self.assertEqual(entries[1]["rowsBefore"]["lun1"]["type"], "0xA1")
        self.assertEqual(entries[1]["rows"]["lun1"]["type"], "0x00")
        # Each entry is a backup that restore takes.
        with open(host_path(entries[0]["file"])) as f:
            with open(os.path.join(self.folder, "entry.json"), "w") as out:
                json.dump(json.load(f)["entries"][0], out)
        self.assertExit(self.run_tool(emulate, "restore", "entry.json", "--dry-run"), 0)

        dry = self.run_tool(emulate, "undo", "--dry-run")
        self.assertExit(dry, 0)
        self.assertIn("305: 0x00 -> 0xA1", dry.out)
        self.assertEqual(self.block_of(scenario), after_write)
        undo = self.run_tool(emulate, "undo", "--yes")
        self.assertRows(undo, "Fixed Disk", "Fixed Disk")
        self.assertIn("is undone", undo.out)
        self.assertEqual(self.block_of(scenario), after_set)
        # The undo is a change of its own: undoing it brings the write back.
        undo = self.run_tool(emulate, "--json", "undo", "--yes")
        self.assertExit(undo, 0)
        self.assertEqual(undo.json()["command"], "undo")
        self.assertEqual(self.block_of(scenario), after_write)
        self.assertNotEqual(first, after_set)
        self.assertEqual(len(self.run_tool(emulate, "--json", "history").json()["entries"]), 4)

    def test_undo_refuses_a_drive_that_changed_since(self):
        scenario = self.scenario("plain.json")
        emulate = "--emulate=" + scenario
        self.assertExit(self.run_tool(emulate, "set", "lun0", "fixed"), 0)
        self.assertExit(self.run_tool(emulate, "--no-journal", "set", "lun1", "removable"), 0)
        before = self.read_bytes(scenario)
        for dry in ([], ["--dry-run"]):
            with self.subTest(dry=dry):
                run = self.run_tool(emulate, "undo", "--yes", *dry)
                self.assertExit(run, 4)
                self.assertIn("no longer holds what the set of", run.err)
                self.assertIn("305: 0xA1 -> 0x00", run.err)
                report = self.run_tool(emulate, "--json", "undo", "--yes", *dry).json()
                self.assertEqual((report["outcome"], report["exitCode"]), ("notAsChanged", 4))
                self.assertEqual(report["sinceChange"], [{"offset": 305, "from": "0xA1", "to": "0x00"}])
                self.assertEqual(self.read_bytes(scenario), before)
        # Only what the --no-journal change left is in the journal: the set.
        self.assertEqual(len(self.run_tool(emulate, "--json", "history").json()["entries"]), 1)

    def test_undo_on_another_drive_is_refused(self):
        scenario = self.scenario("two-drives.json")
        emulate = "--emulate=" + scenario
        self.assertExit(self.run_tool(emulate, "--device", "VD0000000001", "set", "lun0", "fixed"), 0)
        before = self.read_bytes(scenario)
        run = self.run_tool(emulate, "--device", "VD0000000002", "undo", "--yes")
        self.assertExit(run, 4)
        self.assertIn("holds no change of the drive with serial VD0000000002", run.err)
        # A serial that only starts alike is another drive, with a journal of its own.
        alike = self.scenario("plain.json", lambda d: d["drives"][0]["identity"].update(
            serial="VD0000000001-2"))
        run = self.run_tool("--emulate=" + alike, "undo", "--yes")
        self.assertExit(run, 4)
        self.assertIn("serial VD0000000001-2", run.err)
        self.assertEqual(self.read_bytes(scenario), before)
        self.assertExit(self.run_tool(emulate, "--device", "VD0000000001", "undo", "--yes"), 0)
        self.assertEqual(self.block_of(scenario)[SLOT_A], 0x00)
        # --all journals each drive's change in that drive's own file.
        self.assertExit(self.run_tool(emulate, "set", "lun1", "removable", "--all"), 0)
        entries = self.run_tool(emulate, "--json", "history").json()["entries"]
        self.assertEqual(sorted((e["serial"], e["command"]) for e in entries[-2:]),
                         [("VD0000000001", "set"), ("VD0000000002", "set")])
        self.assertNotEqual(entries[-1]["file"], entries[-2]["file"])

    def test_two_drives_with_one_serial_each_undo_their_own_change(self):
        # E and G carry one serial and so share a journal file; each entry says where it was made.
        scenario = self.scenario("two-drives.json", lambda d: (
            d["drives"][1]["identity"].update(serial="VD0000000001"),
            d["drives"][1]["config"].update(typeSlotA="0x00")))
        emulate = "--emulate=" + scenario
        e_before, g_before = self.block_of(scenario, 0), self.block_of(scenario, 1)
        self.assertExit(self.run_tool(emulate, "--device", "E", "write", "--lun0", "fixed",
                                      "--lun1", "fixed"), 0)
        self.assertExit(self.run_tool(emulate, "--device", "G", "set", "lun0", "fixed"), 0)
        entries = self.run_tool(emulate, "--json", "history").json()["entries"]
        self.assertEqual([(e["target"], e["device"]["port"]) for e in entries],
                         [("F", 0), ("H", 1)])

        undo = self.run_tool(emulate, "--device", "E", "undo", "--yes")
        self.assertExit(undo, 0)
        self.assertIn("The write of ", undo.out)
        self.assertEqual(self.block_of(scenario, 0), e_before)
        undo = self.run_tool(emulate, "--device", "G", "undo", "--yes")
        self.assertExit(undo, 0)
        self.assertIn("The set of ", undo.out)
        self.assertEqual(self.block_of(scenario, 1), g_before)

    def test_an_undo_on_a_drive_without_serial_asks_for_allow_no_serial(self):
        scenario = self.scenario("plain.json", lambda d: d["drives"][0]["identity"].update(
            serial=None))
        emulate = "--emulate=" + scenario
        before = self.block_of(scenario)
        self.assertExit(self.run_tool(emulate, "set", "lun1", "removable"), 0)
        changed = self.read_bytes(scenario)
        run = self.run_tool(emulate, "undo", "--yes")
        self.assertExit(run, 4)
        self.assertIn("neither the drive nor the change in the journal carries a serial", run.err)
        self.assertIn("--allow-no-serial undoes it", run.err)
        self.assertEqual(self.read_bytes(scenario), changed)
        self.assertExit(self.run_tool(emulate, "undo", "--yes", "--allow-no-serial"), 0)
        self.assertEqual(self.block_of(scenario), before)

    def test_an_undo_after_a_replug_is_made_only_knowingly(self):
        scenario = self.scenario("plain.json")
        emulate = "--emulate=" + scenario
        before = self.block_of(scenario)
        self.assertExit(self.run_tool(emulate, "set", "lun0", "fixed"), 0)
        # Replugged: another drive took the first port, so the drive's address is another now.
        document = self.read_json(scenario)
        other = json.loads(json.dumps(document["drives"][0]))
        other["identity"]["serial"] = "VD0000000009"
        other["volumes"] = [{"letter": "K", "lun": 0}, {"letter": "L", "lun": 1}]
        document["drives"].insert(0, other)
        with open(os.path.join(self.folder, scenario), "w") as f:
            json.dump(document, f)
        changed = self.read_bytes(scenario)
        run = self.run_tool(emulate, "--device", "VD0000000001", "undo", "--yes")
        self.assertExit(run, 4)
        self.assertIn("was made on the drive then F: at SCSI address 0:0:0", run.err)
        self.assertIn("this drive is F: at SCSI address 1:0:0", run.err)
        self.assertIn("give --replugged", run.err)
        self.assertEqual(self.read_bytes(scenario), changed)
        run = self.run_tool(emulate, "--device", "VD0000000001", "undo", "--yes", "--replugged")
        self.assertExit(run, 0)
        self.assertEqual(self.block_of(scenario, 1), before)

    def test_a_change_whose_journal_cannot_be_saved_is_not_made(self):
        scenario = self.scenario("plain.json")
        before = self.read_bytes(scenario)
        # A file where the journal's folder would be.
        with open(os.path.join(self.state, "vardel"), "w") as f:
            f.write("not a folder")
        for command in (["set", "lun0", "fixed"], ["write", "--lun0", "fixed"]):
            with self.subTest(command[0]):
                run = self.run_tool("--emulate=" + scenario, *command)
                self.assertExit(run, 5)
                self.assertIn("could not be saved to the journal, so nothing was written", run.err)
                self.assertIn("is not a folder", run.err)
                report = self.run_tool("--emulate=" + scenario, "--json", *command).json()
                self.assertEqual((report["outcome"], report["exitCode"]), ("journalNotSaved", 5))
                self.assertFalse(report["changed"])
                self.assertEqual(self.read_bytes(scenario), before)
        run = self.run_tool("--emulate=" + scenario, "--no-journal", "set", "lun0", "fixed")
        self.assertRows(run, "Fixed Disk", "Fixed Disk")
        os.remove(os.path.join(self.state, "vardel"))
        # A journal whose entry is no longer whole stops every change, and says how to go on.
        self.assertExit(self.run_tool("--emulate=" + scenario, "set", "lun1", "removable"), 0)
        entries = self.run_tool("--emulate=" + scenario, "--json", "history").json()["entries"]
        with open(host_path(entries[0]["file"])) as f:
            text = f.read()
        at = text.index('"configBlock": ["') + len('"configBlock": ["')
        with open(host_path(entries[0]["file"]), "w") as f:
            f.write(text[:at] + "g" + text[at + 1:])
        changed = self.read_bytes(scenario)
        run = self.run_tool("--emulate=" + scenario, "set", "lun1", "fixed")
        self.assertExit(run, 5)
        self.assertIn("cannot be read: entry 1: configBlock: expected hexadecimal digits in pairs; "
                      "move the file aside", run.err)
        self.assertEqual(self.read_bytes(scenario), changed)

    @unittest.skipIf(not hasattr(os, "geteuid"), "POSIX modes")
    def test_a_read_only_journal_folder_refuses_the_change(self):
        if any("wine" in part for part in PROGRAM):
            self.skipTest("the Windows build ignores POSIX modes under Wine")
        if os.geteuid() == 0:
            # Folder modes do not bind root: the run is nobody's, in folders nobody may enter.
            for folder in (self.folder, self.state):
                os.chmod(folder, 0o777)
        scenario = self.scenario("plain.json")
        os.chmod(os.path.join(self.folder, scenario), 0o666)
        journal = os.path.join(self.state, "vardel", "journal", "emulated")
        os.makedirs(journal)
        os.chmod(journal, 0o555)
        before = self.read_bytes(scenario)

        def as_nobody():
            if os.geteuid() == 0:
                os.setgroups([])
                os.setgid(65534)
                os.setuid(65534)
        completed = subprocess.run(PROGRAM + ["--emulate=" + scenario, "set", "lun0", "fixed"],
                                   cwd=self.folder, stdin=subprocess.DEVNULL, capture_output=True,
                                   text=True, timeout=120, env=journal_environment(self.state),
                                   preexec_fn=as_nobody)
        run = Run(completed)
        self.assertExit(run, 5)
        self.assertIn("Permission denied", run.err)
        self.assertEqual(self.read_bytes(scenario), before)

    def test_undo_and_history_refuse_what_they_cannot_do(self):
        scenario = self.scenario("plain.json")
        emulate = "--emulate=" + scenario
        self.assertExit(self.run_tool(emulate, "set", "lun0", "fixed"), 0)
        before = self.read_bytes(scenario)
        for args, problem in ((["undo"], "give --yes"),
                              (["undo", "--all", "--yes"], "give --device"),
                              (["--device", "E", "history"], "takes a drive's serial")):
            with self.subTest(args):
                run = self.run_tool(emulate, *args)
                self.assertExit(run, 64)
                self.assertIn(problem, run.err)
        self.assertEqual(self.read_bytes(scenario), before)
        # No change of a fresh drive: nothing to undo.
        fresh = self.scenario("swapped.json", lambda d: d["drives"][0]["identity"].update(
            serial="VD0000000009"))
        self.assertExit(self.run_tool("--emulate=" + fresh, "undo", "--yes"), 4)
        run = self.run_tool(emulate, "--device", "vd0000000001", "--json", "history")
        self.assertEqual(len(run.json()["entries"]), 1)
        run = self.run_tool(emulate, "--device", "VD0000000002", "history")
        self.assertIn("No change is in the journal", run.out)

    def test_json_output_has_its_fields(self):
        scenario = self.scenario("plain.json")
        status = self.run_tool("--emulate=" + scenario, "--json", "status").json()
        self.assertEqual(
            {k: status[k] for k in ("command", "outcome", "exitCode", "message", "target")},
            {"command": "status", "outcome": "done", "exitCode": 0, "message": None,
             "target": "F"})
        self.assertEqual(status["rows"], {"lun0": {"type": "0x00", "text": "Removable"},
                                          "lun1": {"type": "0xA1", "text": "Fixed Disk"}})
        changed = self.run_tool("--emulate=" + scenario, "set", "lun0", "fixed", "--json").json()
        self.assertEqual((changed["command"], changed["row"], changed["changed"]),
                         ("set", "lun0", True))
        self.assertEqual(changed["requestedType"]["type"], "0xA1")
        none = self.run_tool("--emulate=" + self.scenario("no-rights.json"), "--json", "write")
        self.assertExit(none, 2)
        self.assertEqual((none.json()["outcome"], none.json()["message"]),
                         ("noDrive", "No drive found"))
        for args in (["write", "--lun0", "zz"], ["set", "lun2", "fixed"]):
            usage = self.run_tool("--emulate", "--json", *args)
            self.assertEqual((usage.code, usage.json()["outcome"]), (64, "usage"), usage)

    def test_help_and_version(self):
        run = self.run_tool("--version")
        self.assertEqual((run.code, run.out.strip()), (0, "vardelctl 1.0.0.3"), run)
        run = self.run_tool("--help")
        self.assertExit(run, 0)
        for command in ("status", "set", "write", "list", "backup", "restore"):
            self.assertIn(command, run.out)

    # Usage errors and malformed scenarios

    def test_usage_errors_exit_64_and_leave_the_scenario_untouched(self):
        scenario = self.scenario("plain.json")
        before = self.read_bytes(scenario)
        for args in ([], ["frobnicate"], ["set", "lun2", "fixed"], ["set", "lun0"],
                     ["set", "lun0", "sideways"], ["write", "--lun0", "zz"],
                     ["write", "--lun0", "Fixed disk"], ["write", "--lun0", "Unknown"],
                     ["--device", "hex:123", "status"], ["backup"]):
            with self.subTest(" ".join(args)):
                run = self.run_tool("--emulate=" + scenario, *args)
                self.assertExit(run, 64)
        self.assertEqual(self.read_bytes(scenario), before)

    def test_malformed_scenarios_name_the_place_and_stay_untouched(self):
        cases = {
            "serial": (lambda d: d["drives"][0]["identity"].update(serial=7),
                       "drives[0].identity.serial: expected a string"),
            "unknown": (lambda d: d["drives"][0].update(serail="x"),
                        "drives[0].serail: unknown field"),
            "byte": (lambda d: d["drives"][0]["config"].update(typeSlotA=256),
                     "drives[0].config.typeSlotA: expected a number from 0 to 255, or \"0x\" and "
                     "hexadecimal digits"),
            "letter": (lambda d: d["drives"][0]["volumes"][1].update(letter="E"),
                       "drives[0].volumes[1].letter: the letter E is used twice"),
            "block": (lambda d: d["drives"][0].pop("config") and
                      d["drives"][0].update(configBlock="00" * 527),
                      "drives[0].configBlock: expected 528 bytes, found 527"),
            "fault": (lambda d: d.update(faults=[{"operation": "write", "effect": "melt",
                                                  "code": 1}]),
                      "faults[0].effect: expected failOpen, failControl, scsiStatus or "
                      "unitAttention"),
            # A fault that fails nothing would let a read count as whole with a zeroed buffer.
            "control code 0": (lambda d: d.update(faults=[
                {"operation": "readConfig", "effect": "failControl", "code": 0}]),
                "faults[0].code: a fault needs an error code other than 0 (success)"),
            "status 0": (lambda d: d.update(faults=[
                {"operation": "readIdentity", "effect": "scsiStatus", "code": "0x0"}]),
                "faults[0].code: a scsiStatus fault needs a status other than 0 (GOOD)"),
            "status 0x100": (lambda d: d.update(faults=[
                {"operation": "readConfig", "effect": "scsiStatus", "code": "0x100"}]),
                "faults[0].code: expected a number from 0 to 255, or \"0x\" and "
                "hexadecimal digits"),
        }
        for name, (change, message) in cases.items():
            with self.subTest(name):
                scenario = self.scenario("plain.json", change)
                before = self.read_bytes(scenario)
                run = self.run_tool("--emulate=" + scenario, "set", "lun0", "fixed")
                self.assertExit(run, 64)
                self.assertEqual(run.err.strip(), "vardelctl: plain.json: " + message)
                self.assertEqual(self.read_bytes(scenario), before)
        # A key given twice would otherwise be taken silently, the last one winning.
        with open(os.path.join(SCENARIOS, "plain.json")) as f:
            plain = f.read()
        twice = {
            '"typeSlotB": "0xA1"': ('"typeSlotA": "0xA1"', "drives[0].config.typeSlotA"),
            '{"letter": "F", "lun": 1}': ('{"letter": "F", "lun": 1, "letter": "G"}',
                                         "drives[0].volumes[1].letter"),
            '"otherVolumes": ["C"],': ('"otherVolumes": ["C"], "otherVolumes": [],',
                                       "otherVolumes"),
        }
        for text, (duplicate, place) in twice.items():
            with self.subTest(place):
                self.assertIn(text, plain)
                with open(os.path.join(self.folder, "twice.json"), "w") as f:
                    f.write(plain.replace(text, duplicate))
                run = self.run_tool("--emulate=twice.json", "set", "lun0", "fixed")
                self.assertExit(run, 64)
                self.assertEqual(run.err, "vardelctl: twice.json: %s: given twice\n" % place)
        with open(os.path.join(self.folder, "broken.json"), "w") as f:
            f.write("{\"drives\": [")
        run = self.run_tool("--emulate=broken.json", "status")
        self.assertExit(run, 64)
        self.assertTrue(run.err.startswith("vardelctl: broken.json: not valid JSON"), run.err)
        self.assertEqual(self.read_bytes("broken.json"), b"{\"drives\": [")
        # A number too large for any type is refused the same way, not a crash.
        with open(os.path.join(self.folder, "overflow.json"), "w") as f:
            f.write("{\"version\": 1E999, \"drives\": []}")
        run = self.run_tool("--emulate=overflow.json", "status")
        self.assertExit(run, 64)
        self.assertTrue(run.err.startswith("vardelctl: overflow.json: not valid JSON"), run.err)

    def test_the_scenario_keeps_every_byte_the_tool_did_not_mean_to_change(self):
        scenario = self.scenario("whole-block.json")
        document = self.read_json(scenario)
        before = config_block(document["drives"][0])
        self.assertExit(self.run_tool("--emulate=" + scenario, "set", "lun1", "removable"), 0)
        after_document = self.read_json(scenario)
        after = config_block(after_document["drives"][0])
        self.assertEqual([i for i in range(BLOCK_SIZE) if after[i] != before[i]], [SLOT_B])
        self.assertEqual(after[SLOT_B], 0x00)
        # Everything but the block reads as the user wrote it.
        del document["drives"][0]["configBlock"], after_document["drives"][0]["configBlock"]
        self.assertEqual(after_document, document)

        scenario = self.scenario("swapped.json")
        document = self.read_json(scenario)
        self.assertExit(self.run_tool("--emulate=" + scenario, "set", "lun0", "removable"), 0)
        changed = self.read_json(scenario)
        self.assertEqual(changed["drives"][0]["config"]["typeSlotB"], "0x00")
        changed["drives"][0]["config"]["typeSlotB"] = document["drives"][0]["config"]["typeSlotB"]
        self.assertEqual(changed, document)
        self.assertFalse([f for f in os.listdir(self.folder) if f.endswith(".tmp")])

    def test_a_unit_attention_is_sent_once_more_and_only_once(self):
        # A drive just reset or replugged turns its next command away with a unit attention; the
        # command goes once more and the rows show. Two in a row fail like any CHECK CONDITION.
        for letter, operation in (("E", "inquiry"), ("E", "readIdentity"), ("F", "readConfig")):
            with self.subTest(operation):
                scenario = self.scenario("plain.json", lambda d: d.update(faults=[
                    {"letter": letter, "operation": operation, "effect": "unitAttention",
                     "times": 1}]))
                before = self.read_bytes(scenario)
                self.assertRows(self.run_tool("--emulate=" + scenario, "status"),
                                "Removable", "Fixed Disk")
                self.assertEqual(self.read_bytes(scenario), before)
        scenario = self.scenario("plain.json", lambda d: d.update(faults=[
            {"letter": "F", "operation": "readConfig", "effect": "unitAttention", "times": 2}]))
        run = self.run_tool("--emulate=" + scenario, "--json", "status")
        self.assertEqual((run.code, run.json()["driveStatus"]), (1, -2), run.out + run.err)
        # Its status and sense are fixed: a code would be silently ignored.
        scenario = self.scenario("plain.json", lambda d: d.update(faults=[
            {"operation": "inquiry", "effect": "unitAttention", "code": 2}]))
        run = self.run_tool("--emulate=" + scenario, "status")
        self.assertEqual((run.code, run.err.strip()),
                         (64, "vardelctl: plain.json: faults[0].code: a unitAttention fault "
                              "takes no code"))


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    PROGRAM = sys.argv[1:]
    unittest.main(argv=[sys.argv[0]], verbosity=2)
