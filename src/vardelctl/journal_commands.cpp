#include "vardelctl/journal_commands.h"

#include <cstring>
#include <ostream>
#include <vector>

#include "commands/block_backup.h"
#include "journal/journal_file.h"
#include "texts/serial_text.h"
#include "vardelctl/command_run.h"
#include "vardelctl/report.h"

namespace vardel::cli {

using frontend::JournalEntry;
using frontend::SerialOfIdentity;

int RunHistory(const Options& options, const std::string& folder, const std::string& problem,
               std::ostream& out, std::ostream& err) {
    // Without a place for it there is no journal to read, and the environment must be mended.
    if (folder.empty()) return ReportProblem(options, kExitUsage, "history: " + problem, out, err);

    std::vector<JournalEntry> entries;
    std::vector<std::string> files;
    std::string unreadable;
    if (!frontend::ReadJournalFolder(folder, options.deviceGiven ? options.device : std::string(),
                                     entries, files, unreadable)) {
        return ReportProblem(options, kExitUsage, unreadable, out, err);
    }
    std::vector<HistoryEntry> found;
    for (std::size_t i = 0; i < entries.size(); ++i) found.push_back({files[i], entries[i]});

    return ReportHistory(options, folder, std::move(found), out, err);
}

int FindChangeToUndo(const Options& options, Platform& platform, const PhysicalDevice* device,
                     const std::string& folder, const std::string& problem, bool machine,
                     RestoreSource& source, RunNotes& notes, std::ostream& out, std::ostream& err) {
    // Which drive is attached decides which journal file holds its changes.
    CommandState state;
    BlockBackup drive{};
    CommandOutcome found = BackupBlocks(platform, state, device, drive);
    if (found.code != OutcomeCode::Done) {
        found.command = CommandKind::Undo;
        found.typesKnown = false;
        NoteFailure(notes, found, machine);
        return ReportOutcome(options, found, notes, out, err);
    }
    const std::string serial = SerialOfIdentity(drive.identity);
    const std::string serialShown = serial.empty() ? "(none)" : serial;
    if (folder.empty()) {
        return ReportProblem(options, kExitWrongDevice,
                             "undo: " + problem + "; no change of the drive with serial " +
                                 serialShown + " can be found",
                             out, err);
    }
    JournalEntry change;
    std::string file;
    std::string unreadable;
    const PhysicalDevice here = state.device;
    switch (frontend::FindLastChange(folder, drive.identity, here,
                                     frontend::OtherPlacesOf(platform, drive.identity, here),
                                     change, file, unreadable)) {
        case frontend::LastChangeResult::Found:
            break;
        case frontend::LastChangeResult::Moved:
            if (options.replugged) break;
            return ReportProblem(options, kExitWrongDevice,
                                 frontend::MovedChangeText(change, here, state.targetLetter), out,
                                 err);
        case frontend::LastChangeResult::Unreadable:
            return ReportProblem(options, kExitUsage, unreadable, out, err);
        case frontend::LastChangeResult::None:
            return ReportProblem(options, kExitWrongDevice,
                                 "undo: the journal holds no change of the drive with serial " +
                                     serialShown + " (" + file + ")",
                                 out, err);
    }
    TakeChangeToUndo(change, file, source, notes);
    return -1;
}

void TakeChangeToUndo(const JournalEntry& change, const std::string& file, RestoreSource& source,
                      RunNotes& notes) {
    std::memcpy(source.info, change.asRead, sizeof(source.info));
    std::memcpy(source.identity, change.identity, sizeof(source.identity));
    std::memcpy(source.written, change.written, sizeof(source.written));
    source.undoneTime = change.time;
    source.undoneNumber = change.number;
    source.key = change.key;
    source.serial = change.serial;
    source.undo = true;
    notes.file = file;
    notes.serial = change.serial;
    notes.undoneChange = "the " + change.command + " of " + change.time;
}

}  // namespace vardel::cli
