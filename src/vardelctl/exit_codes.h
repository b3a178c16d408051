#pragma once
// vardelctl's exit codes: one for each case a script may want to tell apart, a small table in the
// manner of the SCSI utilities. 0, 1, 2 and 64 keep the meanings they have always had.

namespace vardel::cli {

constexpr int kExitSuccess = 0;
// A block not read whole, a write refused or not confirmed by the read-back; a declined restore.
constexpr int kExitDriveRefused = 1;
constexpr int kExitNoDrive = 2;
// More than one drive, and nothing to choose one by.
constexpr int kExitSeveralDrives = 3;
// Not the drive meant: --device names none of the attached drives; a restore onto a drive that is
// not the backup's, or where neither carries a serial to compare.
constexpr int kExitWrongDevice = 4;
// A backup file or a scenario's new state that could not be written.
constexpr int kExitFileNotWritten = 5;
// "Unknown error": discovery failed or left no letter for the commands; anything unforeseen.
constexpr int kExitUnknownError = 6;
// This build has no backend for the machine's own drives.
constexpr int kExitNoMachineAccess = 7;
constexpr int kExitUsage = 64;

// The table as --help shows it.
constexpr char kExitCodeHelp[] =
    "Exit codes:\n"
    "  0   done\n"
    "  1   the drive refused: a block not read whole, a write refused or not confirmed;\n"
    "      a restore declined\n"
    "  2   no drive found\n"
    "  3   several drives: choose one with --device, or run on each with --all\n"
    "  4   not the drive meant: --device names no attached drive; a restore onto another\n"
    "      drive, or where neither drive nor backup carries a serial\n"
    "  5   a backup file or the scenario's new state could not be written\n"
    "  6   unknown error\n"
    "  7   this build cannot reach the machine's drives\n"
    "  64  usage: unknown command or option, a bad argument, an unreadable file\n"
    "With --all: 0 when every drive is done, otherwise the code of the first that is not.\n";

}  // namespace vardel::cli
