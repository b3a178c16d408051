#include "vardelctl/report.h"

#include <utility>

#include "vardelctl/report_json.h"
#include "vardelctl/report_text.h"
#include "vardelctl/run_report.h"

namespace vardel::cli {
namespace {

int Print(const Options& options, const RunReport& report, std::ostream& out, std::ostream& err) {
    if (options.json) {
        PrintJsonReport(report, out);
    } else {
        PrintTextReport(report, out, err);
    }
    return report.exitCode;
}

}  // namespace

int ReportOutcome(const Options& options, const CommandOutcome& outcome, const RunNotes& notes,
                  std::ostream& out, std::ostream& err) {
    return Print(options, OutcomeReport(options, outcome, notes), out, err);
}

int ReportListing(const Options& options, OutcomeCode code, const DeviceListing& listing,
                  const DiskDescriptions& disks, const RunNotes& notes, std::ostream& out,
                  std::ostream& err) {
    return Print(options, ListingReport(code, listing, disks, notes), out, err);
}

int ReportDeviceNotFound(const Options& options, const std::string& why,
                         const DeviceListing& attached, const DiskDescriptions& disks,
                         const RunNotes& notes, std::ostream& out, std::ostream& err) {
    return Print(options,
                 DeviceChoiceReport(options, OutcomeCode::NoDrive, "deviceNotFound",
                                    kExitWrongDevice, why, attached, disks, notes),
                 out, err);
}

int ReportSerialShared(const Options& options, const std::string& why, const DeviceListing& sharing,
                       const DiskDescriptions& disks, const RunNotes& notes, std::ostream& out,
                       std::ostream& err) {
    return Print(options,
                 DeviceChoiceReport(options, OutcomeCode::SeveralDrives, "severalDrives",
                                    kExitSeveralDrives, why, sharing, disks, notes),
                 out, err);
}

int ReportEveryDrive(const Options& options, OutcomeCode code, int deviceCount,
                     const std::vector<DriveRun>& drives,
                     const std::vector<DiskNotOpened>& notOpened, bool noRights, std::ostream& out,
                     std::ostream& err) {
    return Print(options, EveryDriveReport(options, code, deviceCount, drives, notOpened, noRights),
                 out, err);
}

int ReportProblem(const Options& options, int exitCode, const std::string& text, std::ostream& out,
                  std::ostream& err) {
    return Print(options, ProblemReport(exitCode, text), out, err);
}

int ReportParseEnd(const ParseResult& parsed, std::ostream& out, std::ostream& err) {
    Options options;
    options.json = parsed.json;
    return Print(options, ParseEndReport(parsed), out, err);
}

int ReportHistory(const Options& options, const std::string& folder,
                  std::vector<HistoryEntry> entries, std::ostream& out, std::ostream& err) {
    return Print(options, HistoryReport(folder, std::move(entries)), out, err);
}

int ReportDeclined(const Options& options, const RunNotes& notes, std::ostream& out,
                   std::ostream& err) {
    return Print(options, DeclinedReport(options, notes), out, err);
}

}  // namespace vardel::cli
