#pragma once
// The exit codes of both programs, vardelctl and the window: one for each case a script may want
// to tell apart, in the manner of the SCSI utilities and sysexits. 0, 1, 2 and 64 keep the
// meanings they have always had; a case the two programs share has the same code in both.

namespace vardel::frontend {

constexpr int kExitSuccess = 0;
// A block not read whole, a write refused or not confirmed by the read-back; a declined restore.
constexpr int kExitDriveRefused = 1;
constexpr int kExitNoDrive = 2;
// More than one drive, and nothing to choose one by.
constexpr int kExitSeveralDrives = 3;
// Not the drive meant: --device names none of the attached drives; a restore onto a drive that is
// not the backup's, or where neither carries a serial to compare.
constexpr int kExitWrongDevice = 4;
// A file that could not be written: a backup, a scenario's new state, a screenshot.
constexpr int kExitFileNotWritten = 5;
// "Unknown error": discovery failed or left no letter for the commands; anything unforeseen.
constexpr int kExitUnknownError = 6;
// This build has no backend for the machine's own drives.
constexpr int kExitNoMachineAccess = 7;
// The drive is busy: another program held it (or the emulated drive's scenario file) for the whole
// wait; nothing was written.
constexpr int kExitBusy = 8;
// --all did its work on the drives it reached, but left some alone: a disk it could not open for
// lack of rights, a disk that may hold a drive of the kind but did not answer, or drives beyond
// the number one run serves. (8 belongs to a busy drive.)
constexpr int kExitDrivesLeftAlone = 9;
// Usage: an unknown command, option or argument, an unreadable file (sysexits' EX_USAGE).
constexpr int kExitUsage = 64;
// The window only: no display to open it on (sysexits' EX_UNAVAILABLE); vardelctl is for consoles.
constexpr int kExitNoDisplay = 69;
// Refused to run with root's rights (sysexits' EX_NOPERM): the window never runs as root.
constexpr int kExitRunsAsRoot = 77;

}  // namespace vardel::frontend
