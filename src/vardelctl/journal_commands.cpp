#include "vardelctl/journal_commands.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <system_error>
#include <utility>
#include <vector>

#include "commands/block_backup.h"
#include "drive/drive_identity.h"
#include "frontend_common/drive_journal.h"
#include "frontend_common/journal_file.h"
#include "vardelctl/command_run.h"
#include "frontend_common/device_name.h"
#include "vardelctl/report.h"
#include "frontend_common/serial_text.h"

namespace vardel::cli {

using frontend::DeviceName;
using frontend::DeviceNameKind;
using frontend::ParseDeviceName;
using frontend::SerialOfIdentity;
using frontend::JournalEntry;
namespace {

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string PathIn(const std::string& folder, const std::string& name) {
    return (std::filesystem::path(folder) / name).string();
}

}  // namespace

int RunHistory(const Options& options, const std::string& folder, const std::string& problem,
               std::ostream& out, std::ostream& err) {
    if (options.deviceGiven) {
        DeviceName name;
        if (!ParseDeviceName(options.device, name) || name.kind != DeviceNameKind::Serial) {
            return ReportProblem(options, kExitUsage,
                                 "history reads only the journal: --device takes a drive's "
                                 "serial here, not a letter or node",
                                 out, err);
        }
    }
    // Without a place for it there is no journal to read, and the environment must be mended.
    if (folder.empty()) return ReportProblem(options, kExitUsage, "history: " + problem, out, err);

    // Each journal file, in the order of their names, so that the listing is the same every time.
    std::vector<std::string> files;
    std::error_code error;
    for (std::filesystem::directory_iterator at(folder, error), end; !error && at != end;
         at.increment(error)) {
        const std::filesystem::path path = at->path();
        std::error_code kind;
        if (path.extension() == ".json" && std::filesystem::is_regular_file(path, kind)) {
            files.push_back(path.string());
        }
    }
    if (error && error != std::errc::no_such_file_or_directory) {
        return ReportProblem(options, kExitUsage,
                             folder + ": cannot be listed (" + error.message() + ")", out, err);
    }
    std::sort(files.begin(), files.end());

    std::vector<HistoryEntry> found;
    for (const std::string& file : files) {
        std::vector<JournalEntry> entries;
        std::string unreadable;
        if (!frontend::ReadJournalFile(file, entries, unreadable)) {
            return ReportProblem(options, kExitUsage, unreadable, out, err);
        }
        for (const JournalEntry& entry : entries) {
            if (options.deviceGiven && Lower(entry.serial) != Lower(options.device)) continue;
            found.push_back({file, entry});
        }
    }
    std::stable_sort(found.begin(), found.end(), [](const HistoryEntry& a, const HistoryEntry& b) {
        return a.entry.time < b.entry.time;
    });

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
    const std::string file = PathIn(folder, frontend::JournalFileName(drive.identity));
    std::vector<JournalEntry> entries;
    std::string unreadable;
    if (!frontend::ReadJournalFile(file, entries, unreadable)) {
        return ReportProblem(options, kExitUsage, unreadable, out, err);
    }
    // A file name could stand for two serials only where the file system folds case.
    const auto last =
        std::find_if(entries.rbegin(), entries.rend(), [&drive](const JournalEntry& entry) {
            return CompareSerials(entry.identity, drive.identity) != SerialComparison::Different;
        });
    if (last == entries.rend()) {
        return ReportProblem(options, kExitWrongDevice,
                             "undo: the journal holds no change of the drive with serial " +
                                 serialShown + " (" + file + ")",
                             out, err);
    }
    std::memcpy(source.info, last->asRead, sizeof(source.info));
    std::memcpy(source.identity, last->identity, sizeof(source.identity));
    std::memcpy(source.written, last->written, sizeof(source.written));
    source.key = last->key;
    source.serial = last->serial;
    source.undo = true;
    notes.file = file;
    notes.serial = last->serial;
    notes.undoneChange = "the " + last->command + " of " + last->time;
    return -1;
}

}  // namespace vardel::cli
