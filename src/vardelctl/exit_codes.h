#pragma once
// vardelctl's exit codes, and the table its --help shows.

#include "outcome/exit_codes.h"

namespace vardel::cli {

// The codes are the front ends' shared table; vardelctl names them in its own namespace.
constexpr int kExitSuccess = frontend::kExitSuccess;
constexpr int kExitDriveRefused = frontend::kExitDriveRefused;
constexpr int kExitNoDrive = frontend::kExitNoDrive;
constexpr int kExitSeveralDrives = frontend::kExitSeveralDrives;
constexpr int kExitWrongDevice = frontend::kExitWrongDevice;
constexpr int kExitFileNotWritten = frontend::kExitFileNotWritten;
constexpr int kExitUnknownError = frontend::kExitUnknownError;
constexpr int kExitNoMachineAccess = frontend::kExitNoMachineAccess;
constexpr int kExitBusy = frontend::kExitBusy;
constexpr int kExitDrivesLeftAlone = frontend::kExitDrivesLeftAlone;
constexpr int kExitUsage = frontend::kExitUsage;

// The table as --help shows it.
constexpr char kExitCodeHelp[] =
    "Exit codes:\n"
    "  0   done\n"
    "  1   the drive refused: a block not read whole, a write refused or not confirmed;\n"
    "      a restore declined\n"
    "  2   no drive found\n"
    "  3   several drives: choose one with --device, or run on each with --all; also a\n"
    "      change where a disk that may hold a drive of the kind did not answer\n"
    "  4   not the drive meant: --device names no attached drive; a restore onto another\n"
    "      drive, or where neither drive nor backup carries a serial; an undo where the\n"
    "      journal holds no change of the drive, or the drive no longer holds what it wrote\n"
    "  5   a backup file, the scenario's new state or standard output could not be\n"
    "      written; the journal entry could not be saved before a change (nothing written)\n"
    "  6   unknown error\n"
    "  7   this build cannot reach the machine's drives; the drive service is missing,\n"
    "      or polkit refused the call (nothing written)\n"
    "  8   the drive is busy: another program kept it for the whole wait; nothing written\n"
    "  9   --all left drives alone: a disk not opened for lack of rights, a disk that may\n"
    "      hold a drive of the kind but did not answer, or more drives than one run serves\n"
    "  64  usage: unknown command or option, a bad argument, an unreadable file\n"
    "With --all: 0 when every drive is done, otherwise the code of the first that is not;\n"
    "9 when each drive reached is done but some were left alone.\n";

}  // namespace vardel::cli
