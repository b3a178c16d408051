#include "vardelctl/done_text.h"

#include <cctype>
#include <ostream>

#include "drive/lun_type.h"
#include "outcome/unchanged_write.h"
#include "vardelctl/block_changes.h"
#include "vardelctl/change_text.h"

namespace vardel::cli {
namespace {

constexpr char kDryRunNote[] = "Dry run: nothing was written to the drive.";

void PrintRows(const CommandOutcome& outcome, std::ostream& out) {
    out << "Lun0: " << LunTypeText(outcome.types.lun0) << '\n';
    out << "Lun1: " << LunTypeText(outcome.types.lun1) << '\n';
}

// The rows as read and as the write would leave them.
void PrintRowChanges(const CommandOutcome& outcome, std::ostream& out) {
    out << "Lun0: " << RowChange(outcome.before.lun0, outcome.types.lun0) << '\n';
    out << "Lun1: " << RowChange(outcome.before.lun1, outcome.types.lun1) << '\n';
}

void PrintByteChanges(const std::vector<ByteChange>& changes, std::ostream& out) {
    for (const ByteChange& change : changes) out << "  " << ByteChangeText(change) << '\n';
}

void PrintRestore(const CommandOutcome& outcome, const RunNotes& notes, bool dryRun,
                  std::ostream& out) {
    if (dryRun) {
        PrintRowChanges(outcome, out);
        if (notes.changes.empty()) {
            out << "The drive already holds the configuration block from " << notes.file
                << "; nothing to write.\n";
        } else {
            out << notes.file << " would change " << BytesCount(notes.changes.size())
                << " of the configuration block on " << outcome.target
                << ": (offset: now -> after)\n";
            PrintByteChanges(notes.changes, out);
        }
        out << kDryRunNote << '\n';
        return;
    }
    PrintRows(outcome, out);
    if (outcome.writeSkipped) {
        out << "The drive already holds the configuration block from " << notes.file
            << "; nothing written.\n";
        return;
    }
    out << "The configuration block from " << notes.file << " is restored";
    if (notes.changesKnown && outcome.changed) {
        out << "; " << BytesCount(notes.changes.size()) << " changed (offset: before -> now):\n";
        PrintByteChanges(notes.changes, out);
    } else {
        out << ".\n";
    }
}

void PrintUndo(const CommandOutcome& outcome, const RunNotes& notes, bool dryRun,
               std::ostream& out) {
    if (dryRun) {
        PrintRowChanges(outcome, out);
        if (notes.changes.empty()) {
            out << "The drive already holds the block that " << notes.undoneChange
                << " replaced; nothing to write.\n";
        } else {
            out << "Undoing " << notes.undoneChange << " would change "
                << BytesCount(notes.changes.size()) << " of the configuration block on "
                << outcome.target << ": (offset: now -> after)\n";
            PrintByteChanges(notes.changes, out);
        }
        out << kDryRunNote << '\n';
        return;
    }
    PrintRows(outcome, out);
    if (outcome.writeSkipped) {
        out << "The drive already holds the block that " << notes.undoneChange
            << " replaced; nothing written.\n";
        return;
    }
    std::string undone = notes.undoneChange;
    if (!undone.empty()) undone[0] = static_cast<char>(std::toupper(undone[0]));
    out << undone << " is undone";
    if (notes.changesKnown && outcome.changed) {
        out << "; " << BytesCount(notes.changes.size()) << " changed (offset: before -> now):\n";
        PrintByteChanges(notes.changes, out);
    } else {
        out << ".\n";
    }
}

}  // namespace

void PrintDone(const RunReport& report, std::ostream& out) {
    const CommandOutcome& outcome = report.outcome;
    const RunNotes& notes = report.notes;
    const bool dryRun = report.dryRun;
    switch (outcome.command) {
        case CommandKind::ReadStatus:
            PrintRows(outcome, out);
            break;
        case CommandKind::SetLunMode:
            if (dryRun) {
                PrintRowChanges(outcome, out);
                out << kDryRunNote << '\n';
            } else {
                PrintRows(outcome, out);
                if (outcome.writeSkipped) out << frontend::UnchangedWriteText(outcome) << '\n';
            }
            break;
        case CommandKind::WriteRaw:
            if (dryRun) {
                PrintRowChanges(outcome, out);
                out << kDryRunNote << '\n';
            } else if (outcome.writeSkipped) {
                PrintRows(outcome, out);
                out << frontend::UnchangedWriteText(outcome) << '\n';
            } else {
                out << OutcomeMessage(outcome) << '\n';
            }
            break;
        case CommandKind::Backup:
            PrintRows(outcome, out);
            out << "Both blocks of the drive on " << outcome.target << ": written to " << notes.file
                << '\n';
            break;
        case CommandKind::Restore:
            PrintRestore(outcome, notes, dryRun, out);
            break;
        case CommandKind::Undo:
            PrintUndo(outcome, notes, dryRun, out);
            break;
    }
}

// One drive's line under --all, after its serial and letter.
std::string DriveLineText(bool dryRun, const DriveReport& drive) {
    const DriveRun& run = *drive.run;
    const CommandOutcome& outcome = run.outcome;
    if (run.problemCode >= 0) return run.problem;
    if (outcome.code != OutcomeCode::Done) {
        const std::string& detail = drive.detail;
        std::string line =
            std::string(OutcomeMessage(outcome)) + (detail.empty() ? "" : ": " + detail);
        if (WriteUnconfirmed(outcome)) {
            line += ". " + UnconfirmedWriteAdvice("vardelctl --device SERIAL status");
        }
        return line;
    }
    const RowTypes& types = outcome.types;
    std::string rows = dryRun && outcome.beforeKnown
                           ? "Lun0: " + RowChange(outcome.before.lun0, types.lun0) +
                                 ", Lun1: " + RowChange(outcome.before.lun1, types.lun1)
                           : std::string("Lun0: ") + LunTypeText(types.lun0) +
                                 ", Lun1: " + LunTypeText(types.lun1);
    if (dryRun) return rows + "; dry run, nothing written";
    switch (outcome.command) {
        case CommandKind::SetLunMode:
            if (outcome.writeSkipped) return rows + "; already so, nothing written";
            return rows + (outcome.changed ? "; changed" : "");
        case CommandKind::WriteRaw:
            if (outcome.writeSkipped) return rows + "; already so, nothing written";
            return std::string(OutcomeMessage(outcome)) + ": " + rows;
        case CommandKind::Backup:
            return rows + "; written to " + run.notes.file;
        case CommandKind::ReadStatus:
        case CommandKind::Restore:
        case CommandKind::Undo:
            break;
    }
    return rows;
}

}  // namespace vardel::cli
