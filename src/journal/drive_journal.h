#pragma once
// The journal of changes: before a command writes a drive's configuration block, the block as
// read, the block to be written, the identity block and the place the drive sits at go into that
// drive's file, which is replaced whole and flushed to disk before the write is sent. One file per
// serial (two drives that share one share the file; each entry says which it was); the newest
// kJournalEntriesKept entries stay (docs/vardelctl.md, "The journal"). One run at a time reads,
// extends and replaces a folder's files: the folder itself is locked meanwhile. The layout of a
// file is journal_text.h's.

#include <cstddef>
#include <cstdint>
#include <string>

#include "commands/write_journal.h"
#include "journal/journal_text.h"

namespace vardel::frontend {

constexpr int kJournalEntriesKept = 20;
// How long a run waits for another to finish its entry; an entry takes milliseconds.
constexpr std::uint32_t kJournalLockWaitMilliseconds = 10000;

// The name of a drive's journal file: its serial's file name and ".json".
std::string JournalFileName(const VendorBlock& identity);

// The command's name in an entry: "set", "write", "restore" or "undo".
const char* JournalCommandName(CommandKind command);

// The entry a write makes.
JournalEntry JournalEntryOf(const JournalWrite& write, const std::string& tool,
                            const std::string& time);

class DriveJournal : public WriteJournal {
  public:
    // `folder`: where the files go, made when missing; empty when there is none, `folderProblem`
    // then says why, and every write is refused. `tool` names the program in each entry.
    DriveJournal(std::string folder, std::string folderProblem, std::string tool,
                 int entriesKept = kJournalEntriesKept);

    int BeforeWrite(const JournalWrite& write) override;

    // Why the last entry could not be saved.
    const std::string& Problem() const { return problem_; }
    const std::string& Folder() const { return folder_; }

  private:
    int Refuse(std::string problem);

    std::string folder_;
    std::string folderProblem_;
    std::string tool_;
    int entriesKept_;
    std::string problem_;
};

// Whether `change` is still the last change of the drive at `here` in `entries` (oldest first):
// it is there (same time and written block), and no later entry was made at its place or at
// `here`.
bool StillLastChange(const std::vector<JournalEntry>& entries, const NamedChange& change,
                     const PhysicalDevice& here);

// The time now in UTC, as an entry records it: 2026-12-11T01:23:45Z.
std::string JournalTimeNow();

}  // namespace vardel::frontend
