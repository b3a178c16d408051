#include "vardelctl/run_steps.h"

#include <istream>
#include <ostream>
#include <sstream>

#include "commands/type_text.h"
#include "files/standard_output.h"
#include "vardelctl/change_text.h"
#include "vardelctl/report.h"
#include "vardelctl/tool_lines.h"

namespace vardel::cli {

bool UserAgrees(const std::string& question, std::istream& in, std::ostream& err) {
    const std::size_t lastLine = question.rfind('\n');
    if (lastLine != std::string::npos) SayLines(err, question.substr(0, lastLine));
    err << kToolLinePrefix << question.substr(lastLine == std::string::npos ? 0 : lastLine + 1)
        << " [y/N] " << std::flush;
    std::string answer;
    std::getline(in, answer);
    TrimSpaces(answer);
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "YES";
}

void NoteSinceChange(RunNotes& notes, const RestoreView& view, const RestoreSource& restore) {
    notes.sinceChange.clear();
    if (restore.undo && view.blockRead) {
        notes.sinceChange = WrittenBytesChanged(restore.written, view.asRead);
    } else if (restore.shown && view.blockRead) {
        notes.sinceChange = WrittenBytesChanged(restore.shownBlock, view.asRead);
    }
}

int AskAfterLooking(const Options& options, RunResult& looked, const RunNotes& notes,
                    const RestoreSource& restore, std::istream& in, std::ostream& out,
                    std::ostream& err) {
    if (looked.outcome.code != OutcomeCode::Done || notes.changes.empty()) {
        // Nothing to ask: it failed, or the drive holds the backup's block already.
        looked.outcome.writeSkipped = looked.outcome.code == OutcomeCode::Done;
        return ReportResult(options, looked, notes, out, err);
    }
    const std::string question =
        restore.undo ? UndoQuestion(restore.serial, notes, looked.outcome.target)
                     : RestoreQuestion(options.file, restore.serial, notes, looked.outcome.target);
    if (!UserAgrees(question, in, err)) return ReportDeclined(options, notes, out, err);
    return -1;
}

int KeepBackup(const Options& options, const BlockBackup& backup, std::ostream& out,
               std::ostream& err) {
    if (options.file == kStandardOutput) {
        // `out` is the process's standard output: the backup counts once the system took it.
        out << BackupFileText(backup);
        const std::string why = frontend::FinishStandardOutput();
        if (!why.empty()) {
            return ReportProblem(
                options, kExitFileNotWritten,
                "-: the backup could not be written to standard output (" + why + ")", out, err);
        }
        return -1;
    }
    try {
        WriteBackupFile(options.file, backup, options.force);
    } catch (const BackupFileExists& error) {
        return ReportProblem(options, kExitUsage, error.what(), out, err);
    } catch (const BackupFileError& error) {
        return ReportProblem(options, kExitFileNotWritten, error.what(), out, err);
    }
    return -1;
}

int ReportRun(const Options& options, const RunResult& result, const RunNotes& notes,
              std::ostream& out, std::ostream& err) {
    if (options.verb == Verb::Backup && options.file == kStandardOutput) {
        // The backup is on stdout: the report goes beside it to stderr, as the tool's own lines.
        std::ostringstream report;
        const int exitCode = ReportResult(options, result, notes, report, err);
        SayLines(err, report.str());
        return exitCode;
    }
    return ReportResult(options, result, notes, out, err);
}

int ReportDeviceChoice(const Options& options, const DeviceListing& listing,
                       const frontend::DeviceChoice& choice, bool machine,
                       const std::function<DiskDescriptions(const DeviceListing&)>& describe,
                       RunNotes& notes, std::ostream& out, std::ostream& err) {
    using frontend::DeviceChoiceResult;
    const std::string given = "--device " + options.device;
    std::string why;
    switch (choice.result) {
        case DeviceChoiceResult::Found:
        case DeviceChoiceResult::NoSerialMatch:
            why = given + ": none of the attached drives has this serial";
            break;
        case DeviceChoiceResult::SerialShared: {
            // Drives that share a serial: only a letter or node can tell which one is meant.
            DeviceListing sharing{};
            sharing.count = static_cast<int>(choice.carriers.size());
            for (const ListedDevice* carrier : choice.carriers) {
                sharing.devices[sharing.recorded++] = *carrier;
            }
            return ReportSerialShared(options,
                                      given + ": " + std::to_string(choice.carriers.size()) +
                                          " drives carry this serial; choose one by its letter "
                                          "or node",
                                      sharing, describe(sharing), notes, out, err);
        }
        case DeviceChoiceResult::NoDriveAtLetter:
            why = given + ": no drive of the served kind is at " + std::string(1, choice.letter) +
                  ":";
            break;
        case DeviceChoiceResult::NoSuchNode:
            why = given + (machine ? ": no disk has this name"
                                   : ": the emulated machine has no device nodes; give a serial "
                                     "or a letter");
            break;
        case DeviceChoiceResult::NodeNotServed:
            why = given + ": the disk " + std::string(1, choice.letter) +
                  ": is no drive of the served kind";
            break;
    }
    return ReportDeviceNotFound(options, why, listing, describe(listing), notes, out, err);
}

}  // namespace vardel::cli
