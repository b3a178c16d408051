#pragma once
// The way back from every change: before a command sends a configuration block, it hands the block
// as read (with the identity block that says which drive it came from) to the journal, and sends
// nothing when the journal could not keep it. The front ends keep the journal; the commands only
// call it.

#include <cstdint>

#include "commands/command_outcome.h"
#include "device/scsi_commands.h"
#include "drive/physical_device.h"

namespace vardel {

constexpr int kJournalSaved = 0;

// The journal refused the entry of an undo: the change it undoes is no longer the drive's last
// (a change came in after it was shown). Nothing is written.
constexpr int kJournalUndoneNotLast = 2;

// A change named by what the journal keeps of it: its time and the block it wrote.
struct NamedChange {
    const char* time;      // as the journal wrote it; null: the newest change that wrote `written`
    std::uint32_t number;  // the entry's number in its file
    const VendorBlock* written;
};

// What the journal is given, moments before the write.
struct JournalWrite {
    CommandKind command;  // SetLunMode, WriteRaw, Restore or Undo
    char target;          // the letter the write goes to
    const VendorBlock& identity;
    const VendorBlock& asRead;     // the configuration block as read just now
    const VendorBlock& toWrite;    // the block the write sends (bytes 0..511 leave the buffer)
    const PhysicalDevice& device;  // where the drive sits, as discovery found it
    // An undo: the change it puts back, which must still be the drive's last one. Null otherwise.
    const NamedChange* undoes = nullptr;
};

class WriteJournal {
  public:
    virtual ~WriteJournal() = default;
    // Keeps the entry, durably, before anything is written. kJournalSaved to go on;
    // kJournalUndoneNotLast stops an undo with NotAsChanged; anything else stops the command with
    // JournalNotSaved and nothing written (the journal knows why).
    virtual int BeforeWrite(const JournalWrite& write) = 0;
};

// kJournalSaved when the write may go: there is no journal, or it kept the entry.
inline int KeepInJournal(WriteJournal* journal, const JournalWrite& write) {
    return journal == nullptr ? kJournalSaved : journal->BeforeWrite(write);
}

inline bool KeptInJournal(WriteJournal* journal, const JournalWrite& write) {
    return KeepInJournal(journal, write) == kJournalSaved;
}

}  // namespace vardel
