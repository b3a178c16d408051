#pragma once
// The way back from every change: before a command sends a configuration block, it hands the block
// as read (with the identity block that says which drive it came from) to the journal, and sends
// nothing when the journal could not keep it. The front ends keep the journal; the commands only
// call it.

#include "commands/command_outcome.h"
#include "device/scsi_commands.h"

namespace vardel {

constexpr int kJournalSaved = 0;

// What the journal is given, moments before the write.
struct JournalWrite {
    CommandKind command;  // SetLunMode, WriteRaw, Restore or Undo
    char target;          // the letter the write goes to
    const VendorBlock& identity;
    const VendorBlock& asRead;   // the configuration block as read just now
    const VendorBlock& toWrite;  // the block the write sends (bytes 0..511 leave the buffer)
};

class WriteJournal {
  public:
    virtual ~WriteJournal() = default;
    // Keeps the entry, durably, before anything is written. kJournalSaved to go on; anything else
    // stops the command with JournalNotSaved and nothing written (the journal knows why).
    virtual int BeforeWrite(const JournalWrite& write) = 0;
};

// Whether the write may go: there is no journal, or it kept the entry.
inline bool KeptInJournal(WriteJournal* journal, const JournalWrite& write) {
    return journal == nullptr || journal->BeforeWrite(write) == kJournalSaved;
}

}  // namespace vardel
