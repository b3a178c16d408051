#include "vardelctl/run_steps.h"

#include <istream>
#include <ostream>
#include <sstream>

#include "commands/type_text.h"
#include "frontend_common/standard_output.h"
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
            return ReportProblem(options, kExitFileNotWritten,
                                 "-: the backup could not be written to standard output (" + why +
                                     ")",
                                 out, err);
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

}  // namespace vardel::cli
