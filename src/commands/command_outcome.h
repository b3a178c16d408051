#pragma once
// What a command did, as a value: how it ended, which letter the block commands went to, and the
// type bytes of the two rows it saw or wrote. The window and the console tool both report from
// this value.

#include <cstdint>
#include <string>

#include "device/scsi_commands.h"
#include "drive/discovery.h"
#include "drive/lun_type.h"

namespace vardel {

enum class CommandKind { ReadStatus, SetLunMode, WriteRaw, Backup, Restore, Undo };

enum class OutcomeCode {
    Done,
    NoDrive,        // discovery found no drive of the served kind
    SeveralDrives,  // discovery found two or more
    UnknownError,   // discovery failed, or left no letter to send the block commands to
    ReadFailed,     // a block could not be read whole; nothing was written
    WriteFailed,    // the drive refused the write
    NotConfirmed,   // the write went through but the read-back does not show it
    WrongDevice,    // the drive is not the one a backup came from; nothing was written
    NoSerial,       // the drive and the backup carry no serial to show they are one; nothing was
                    // written
    Busy,           // another program held the drive's lock for the whole wait; nothing was read
                    // or written
    // The block as read could not be kept in the journal; nothing was written.
    JournalNotSaved,
    // Undo: the drive no longer holds what the change to undo wrote; nothing was written.
    NotAsChanged,
};

// The type byte of each row, in row order (the layout rule already applied).
struct RowTypes {
    std::uint8_t lun0 = 0;
    std::uint8_t lun1 = 0;
};

// The rows' type bytes in a configuration block, under the layout given.
RowTypes RowTypesOf(const VendorBlock& info, bool swapped);

struct CommandOutcome {
    CommandKind command = CommandKind::ReadStatus;
    OutcomeCode code = OutcomeCode::UnknownError;
    char target = 0;              // 0 when discovery ended the command
    DriveStatus driveStatus = 0;  // of the device command that failed, for read and write failures
    bool swapped = false;
    // ReadStatus: as read; SetLunMode: as read back; WriteRaw: as written; Restore: as read back.
    bool typesKnown = false;
    RowTypes types;
    // The drive's configuration block differs from before the command (a replug makes it count).
    bool changed = false;
    // SetLunMode: the row it switched and the type asked for.
    LunRow row = LunRow::Lun0;
    std::uint8_t requestedType = 0;
    // Of the device command behind `driveStatus`: which command on which letter, and what the
    // system or the drive answered (its status, sense bytes, the bytes that moved). Its command
    // is None when no device command failed.
    CommandDetail failedCommand = {};
    // SetLunMode, WriteRaw, Restore: the rows as read before anything was written.
    bool beforeKnown = false;
    RowTypes before;
    // The command sent no write where it would have (a dry run, or a drive that already holds
    // what it would write); `types` are then the rows the write would have left.
    bool writeSkipped = false;
    // SetLunMode, WriteRaw: the block to write equals the block as read, so the write would change
    // nothing; with the context's skipUnchangedWrite, nothing was sent and nothing journaled.
    bool unchanged = false;
    // What discovery looked at, for a front end to say why no drive was found; all zero when the
    // command did not scan.
    ScanRecord scan = {};
};

// Which of the commands' messages belongs to an outcome: a front end that shows them in the
// user's language picks its words by this, never by the English text.
enum class OutcomeMessageId {
    None,  // the command ends without a message
    UnknownError,
    NoDrive,
    MoreDrives,
    Fail,
    WriteSuccess,
    WriteFail,
    DriveBusy,
};
OutcomeMessageId OutcomeMessageOf(const CommandOutcome& outcome);

// The English text of a message (command_messages.h); nullptr for None.
const char* MessageText(OutcomeMessageId id);

// The message a front end shows for the outcome; nullptr when the command ends without one (a
// status shown, a mode switched, a backup taken, a restore done).
const char* OutcomeMessage(const CommandOutcome& outcome);

// The drive acknowledged a write, but the read that was to confirm it failed: the drive may now
// hold the new block, and a replug would make it count. A read that failed before any write
// leaves `changed` false, so only the read-back after an accepted write ends this way.
bool WriteUnconfirmed(const CommandOutcome& outcome);

// What every front end says after such an outcome, beside its message: that the write was
// acknowledged, that nothing confirmed it, and what to do. `readAgain` names how the user reads
// the drive again in that front end ("vardelctl status", "the status button").
std::string UnconfirmedWriteAdvice(const char* readAgain);
// The same, short enough for a window's line of two: the whole advice goes beside it (a tooltip).
constexpr char kUnconfirmedWriteLine[] =
    "Write acknowledged, not confirmed: check the status, then replug.";

}  // namespace vardel
