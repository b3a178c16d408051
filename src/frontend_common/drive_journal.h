#pragma once
// The journal of changes: before a command writes a drive's configuration block, the block as
// read, the block to be written and the identity block go into that drive's file, which is
// replaced whole and flushed to disk before the write is sent. One file per drive, named by its
// whole serial; the newest kJournalEntriesKept entries stay (docs/vardelctl.md, "The journal").
//
// The file is JSON with one entry a line, each entry laid out as a backup file (so `restore` takes
// one), so that the writer keeps the earlier entries as they are without a JSON parser:
//   {"format": "vardel-journal", "formatVersion": 1, "entries": [
//   {...oldest...},
//   {...newest...}
//   ]}

#include <cstddef>
#include <string>

#include "commands/write_journal.h"

namespace vardel::frontend {

constexpr int kJournalEntriesKept = 20;
constexpr char kJournalFileFormat[] = "vardel-journal";
constexpr int kJournalFileFormatVersion = 1;

// The name of a drive's journal file: its serial's file name and ".json".
std::string JournalFileName(const VendorBlock& identity);

// The command's name in an entry: "set", "write", "restore" or "undo".
const char* JournalCommandName(CommandKind command);

// One entry, one line of JSON without its line break.
std::string JournalEntryLine(const JournalWrite& write, const std::string& tool,
                             const std::string& time);

// The entry lines of a journal file's text, oldest first, each with its line break (all but the
// last end in ","), and how many there are. False when the text is not a journal this program
// wrote; an empty text is a journal without entries.
bool JournalEntryLines(const std::string& text, std::string& lines, std::size_t& count);

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
    std::string folder_;
    std::string folderProblem_;
    std::string tool_;
    int entriesKept_;
    std::string problem_;
};

// The time now in UTC, as an entry records it: 2026-12-11T01:23:45Z.
std::string JournalTimeNow();

}  // namespace vardel::frontend
