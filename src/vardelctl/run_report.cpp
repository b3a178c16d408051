#include "vardelctl/run_report.h"

#include <utility>

#include "machine/machine_platform.h"
#include "outcome/failure_detail.h"
#include "texts/display_text.h"
#include "vardelctl/exit_code.h"

namespace vardel::cli {
using frontend::DisplayText;
using frontend::FailureDetail;
namespace {

// The line after "Fail" for what no device command explains: a journal entry not saved.
std::string DetailOf(const CommandOutcome& outcome, const RunNotes& notes) {
    if (outcome.code == OutcomeCode::JournalNotSaved) {
        return "the configuration block as read could not be saved to the journal, so nothing was "
               "written: " +
               DisplayText(notes.journalProblem) + ". --no-journal makes the change without it";
    }
    return FailureDetail(outcome, notes.failedPaths, notes.nativeErrors);
}

RunReport NewReport(ReportKind kind, const Options& options) {
    RunReport report;
    report.kind = kind;
    report.verb = options.verb;
    report.dryRun = options.dryRun;
    return report;
}

}  // namespace

RunReport OutcomeReport(const Options& options, const CommandOutcome& outcome,
                        const RunNotes& notes) {
    RunReport report = NewReport(ReportKind::Outcome, options);
    report.outcome = outcome;
    report.notes = notes;
    report.detail = DetailOf(outcome, notes);
    report.exitCode = ExitCodeOf(outcome.code);
    return report;
}

RunReport ListingReport(OutcomeCode code, const DeviceListing& listing,
                        const DiskDescriptions& disks, const RunNotes& notes) {
    RunReport report;
    report.kind = ReportKind::Listing;
    report.verb = Verb::List;
    report.outcome.code =
        code == OutcomeCode::Done && listing.count == 0 ? OutcomeCode::NoDrive : code;
    report.notes = notes;
    report.detail = DetailOf(report.outcome, notes);
    report.listing = &listing;
    report.disks = &disks;
    report.exitCode = ExitCodeOf(report.outcome.code);
    return report;
}

RunReport DeviceChoiceReport(const Options& options, OutcomeCode ended, const char* outcomeName,
                             int exitCode, const std::string& why, const DeviceListing& attached,
                             const DiskDescriptions& disks, const RunNotes& notes) {
    RunReport report = NewReport(ReportKind::DeviceChoice, options);
    report.outcome.code = ended;
    report.outcomeName = outcomeName;
    report.exitCode = exitCode;
    report.device = options.device;
    report.why = why;
    report.listing = &attached;
    report.disks = &disks;
    report.notes = notes;
    return report;
}

RunReport EveryDriveReport(const Options& options, OutcomeCode code, int deviceCount,
                           const std::vector<DriveRun>& drives,
                           const std::vector<DiskNotOpened>& notOpened, bool noRights) {
    RunReport report = NewReport(ReportKind::EveryDrive, options);
    // Discovery's own end comes first: no drive, or no scan at all.
    OutcomeCode overall = code;
    if (overall == OutcomeCode::Done && deviceCount == 0) overall = OutcomeCode::NoDrive;
    report.outcome.code = overall;
    report.notes.noRights = noRights;
    report.deviceCount = deviceCount;
    for (const DriveRun& run : drives) {
        DriveReport drive;
        drive.run = &run;
        drive.exitCode = DriveRunExitCode(run);
        drive.detail = DetailOf(run.outcome, run.notes);
        if (drive.exitCode != kExitSuccess) ++report.notDone;
        report.changed |= run.outcome.changed;
        report.drives.push_back(drive);
    }
    // Drives beyond the listing's room were never reached, nor any on a disk it could not open.
    report.unreached =
        overall == OutcomeCode::Done ? deviceCount - static_cast<int>(drives.size()) : 0;
    report.notOpened = &notOpened;
    const bool leftAlone =
        overall == OutcomeCode::Done && (report.unreached > 0 || !notOpened.empty());
    report.exitCode = EveryDriveExitCode(overall, drives, leftAlone);
    return report;
}

RunReport ProblemReport(int exitCode, const std::string& text) {
    RunReport report;
    report.kind = ReportKind::Problem;
    report.exitCode = exitCode;
    report.text = text;
    return report;
}

RunReport ParseEndReport(const ParseResult& parsed) {
    RunReport report = ProblemReport(kExitUsage, parsed.text);
    if (parsed.end == ParseEnd::Usage) {
        report.tryHelp = parsed.tryHelp;
    } else {
        report.kind = parsed.end == ParseEnd::Version ? ReportKind::Version : ReportKind::Help;
        report.exitCode = kExitSuccess;
    }
    return report;
}

RunReport DeclinedReport(const Options& options, const RunNotes& notes) {
    RunReport report = NewReport(ReportKind::Declined, options);
    report.notes = notes;
    report.exitCode = kExitDriveRefused;
    return report;
}

RunReport HistoryReport(const std::string& folder, std::vector<HistoryEntry> entries) {
    RunReport report;
    report.kind = ReportKind::History;
    report.verb = Verb::History;
    report.journal = folder;
    report.history = std::move(entries);
    return report;
}

frontend::NoDriveFacts NoDriveFactsOf(const CommandOutcome& outcome, const RunNotes& notes) {
    frontend::NoDriveFacts facts;
    facts.scan = outcome.scan;
    facts.noRightsDisks = notes.noRightsDisks;
    facts.runsAsRoot = notes.onMachine && frontend::RunsAsRoot();
    facts.linuxMachine = notes.onMachine && frontend::LinuxMachine();
    facts.throughService = notes.throughService;
    return facts;
}

}  // namespace vardel::cli
