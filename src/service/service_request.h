#pragma once
// One call on the system service, as a plain record: the bus glue fills it from a message and
// sends the reply record back; the logic never sees the bus.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "commands/block_backup.h"
#include "commands/command_outcome.h"
#include "commands/device_listing.h"
#include "journal/journal_file.h"
#include "machine/machine_platform.h"

namespace vardel::service {

// What a caller may hand over, checked before anything is done with it.
constexpr std::size_t kMaxDeviceNameLength = 256;
constexpr std::size_t kMaxSerialLength = 256;
constexpr std::size_t kMaxRowTextLength = 32;
constexpr std::size_t kMaxTimeLength = 64;
// A backup document is about 3 KB; room for any spacing a client may add.
constexpr std::size_t kMaxBackupDocumentLength = 64 * 1024;

enum class ServiceMethod { List, Status, Set, Write, Backup, Restore, History, Undo };

struct ServiceRequest {
    ServiceMethod method = ServiceMethod::Status;
    // What --device takes: a node under /dev, a letter or a whole serial; empty: the single drive.
    std::string device;
    std::uint32_t lun = 0;   // Set: 0 or 1
    std::uint32_t type = 0;  // Set: 0x00 (removable) or 0xA1 (fixed disk)
    // Write: each row as the window's status text ("Removable", "Fixed Disk", a hexadecimal
    // byte, or empty to keep the byte as read).
    std::string lun0Text;
    std::string lun1Text;
    bool dryRun = false;         // Set, Write, Restore, Undo: read only, write nothing
    std::string document;        // Restore: the backup document's text
    bool allowNoSerial = false;  // Restore: a drive without serial may take a backup without
    std::string serial;          // History: only this drive's changes (empty: all)
    // Undo: the change the caller showed before asking, by its time and the block it wrote; the
    // undo takes that change or none. Not named: the drive's last change, whichever it is.
    bool undoNamed = false;
    std::string undoTime;
    std::uint32_t undoNumber = 0;
    alignas(kVendorBlockAlignment) VendorBlock undoWritten = {};
    // Undo: the change may have been made where the drive sat before it was replugged.
    bool replugged = false;
    // Restore: the block the caller showed before asking; the drive must still hold it.
    bool shownGiven = false;
    alignas(kVendorBlockAlignment) VendorBlock shown = {};
};

// A call refused before it reached a drive; each is a named error on the bus.
enum class ServiceError {
    None,
    InvalidArgument,  // an argument out of range, too long, or not what it must be
    UnknownDrive,     // the device names no attached drive of the served kind
    AmbiguousDrive,   // several drives carry the serial: a letter or node tells them apart
    NoJournal,        // no journal to read, or it cannot be read
    NothingToUndo,    // the journal holds no change of the drive
    TooManyCalls,     // the caller has as many calls waiting for polkit as it may
};

struct ServiceDrive {
    ListedDevice listed;
    std::string serial;  // whole, as a restore compares it; empty without
    // By LUN index (0 and 1): the system's description of the letter's disk, nodes included.
    frontend::DiskDescription disks[2];
};

// A disk discovery could not open for lack of rights, with what the system says of it.
struct ServiceRefusedDisk {
    char letter = 0;
    bool described = false;  // the system said something of the disk
    frontend::DiskDescription disk;
};

struct ServiceReply {
    ServiceError error = ServiceError::None;
    std::string message;  // the refusal, for people

    // Every call on a drive: how the command ended, with the failed command's detail in it.
    CommandOutcome outcome;
    std::vector<std::string> failedPaths;  // the system's nodes of the failed command's letter
    bool noRights = false;                 // a disk could not be opened for lack of rights
    int noRightsDisks = 0;                 // how many disks could not be opened so

    // List, and an UnknownDrive or AmbiguousDrive refusal: the drives seen.
    OutcomeCode listingCode = OutcomeCode::Done;
    int driveCount = 0;
    std::vector<ServiceDrive> drives;
    // List: the disks not opened for lack of rights, in letter order.
    std::vector<ServiceRefusedDisk> notOpened;

    std::string document;  // Backup: the backup document's text
    // Backup: what the document holds, for a client that writes a document of its own.
    bool hasBackup = false;
    BlockBackup backup = {};
    // JournalNotSaved: why the journal could not keep the entry.
    std::string journalProblem;

    // Restore and Undo: the configuration block as read before the write.
    bool blockRead = false;
    alignas(kVendorBlockAlignment) VendorBlock asRead = {};
    // Undo: the change put back (or to be put back).
    bool hasUndone = false;
    frontend::JournalEntry undone;
    std::string journalFile;  // Undo: the journal file that holds `undone`

    std::vector<frontend::JournalEntry> history;  // History, oldest first
    std::vector<std::string> historyFiles;        // History: the file of each entry
    std::string journalFolder;                    // History: the journal's folder
};

}  // namespace vardel::service
