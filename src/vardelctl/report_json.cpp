#include "vardelctl/report_json.h"

#include <ostream>

#include <nlohmann/json.hpp>

#include "drive/drive_identity.h"
#include "drive/lun_type.h"
#include "outcome/failure_detail.h"
#include "outcome/unanswered_disks.h"
#include "texts/hex_text.h"
#include "texts/sense_text.h"
#include "texts/serial_text.h"
#include "vardelctl/listed_drive_text.h"
#include "vardelctl/report_names.h"

namespace vardel::cli {

using frontend::DeviceCommandName;
using frontend::SerialOfIdentity;

using frontend::ByteText;
using frontend::HexOf;
namespace {

using Json = nlohmann::ordered_json;

// Every report starts with the version of its format.
Json NewReport() {
    Json report;
    report["formatVersion"] = kReportFormatVersion;
    return report;
}

bool Writes(CommandKind command) {
    return command == CommandKind::SetLunMode || command == CommandKind::WriteRaw ||
           command == CommandKind::Restore || command == CommandKind::Undo;
}

bool IsRead(DeviceCommand command) {
    return command == DeviceCommand::Inquiry || command == DeviceCommand::ReadIdentityBlock ||
           command == DeviceCommand::ReadConfigBlock || command == DeviceCommand::ReadTaggedBlock;
}

// A driver that leaves the sense area as it was sent (zeros) reports no sense data.
bool HasSenseData(const CommandDetail& detail) {
    for (std::uint8_t i = 0; i < detail.senseLength; ++i) {
        if (detail.sense[i] != 0) return true;
    }
    return false;
}

Json LetterJson(char letter) {
    return letter != 0 ? Json(std::string(1, letter)) : Json(nullptr);
}

Json RowJson(std::uint8_t type) {
    return {{"type", ByteText(type)}, {"text", LunTypeText(type)}};
}

Json RowsJson(const RowTypes& types) {
    return {{"lun0", RowJson(types.lun0)}, {"lun1", RowJson(types.lun1)}};
}

Json ChangesJson(const std::vector<ByteChange>& changes) {
    Json list = Json::array();
    for (const ByteChange& change : changes) {
        list.push_back({{"offset", change.offset},
                        {"from", ByteText(change.from)},
                        {"to", ByteText(change.to)}});
    }
    return list;
}

// The fields of one command's report, the same alone and as an entry of an --all report.
Json UnansweredJson(const ScanRecord& scan, const RunNotes& notes) {
    Json disks = Json::array();
    for (const frontend::UnansweredDisk& disk :
         frontend::UnansweredDisks(scan, notes.onMachine, notes.nativeErrors)) {
        disks.push_back({{"letter", LetterJson(disk.letter)},
                         {"paths", disk.paths},
                         {"withSignature", disk.withSignature},
                         {"why", disk.why}});
    }
    return disks;
}

void FillOutcomeJson(Json& report, bool dryRun, const CommandOutcome& outcome,
                     const RunNotes& notes, const std::string& detail, int exitCode) {
    const char* message = OutcomeMessage(outcome);
    // Only the console runs dry, and the window's message would say a write happened.
    if (outcome.writeSkipped && dryRun) message = nullptr;
    // Nor would it say anything of a write that was not sent because it would change nothing.
    const bool unchanged = outcome.writeSkipped && !dryRun;
    if (unchanged) message = nullptr;
    const CommandDetail& failed = outcome.failedCommand;
    const bool failure = failed.command != DeviceCommand::None;
    report["command"] = CommandName(outcome.command);
    report["outcome"] = OutcomeName(outcome.code);
    report["exitCode"] = exitCode;
    report["message"] = message != nullptr ? Json(message) : Json(nullptr);
    report["target"] = LetterJson(outcome.target);
    report["swapped"] = outcome.swapped;
    report["rows"] = outcome.typesKnown ? RowsJson(outcome.types) : Json(nullptr);
    if (Writes(outcome.command)) {
        report["rowsBefore"] = outcome.beforeKnown ? RowsJson(outcome.before) : Json(nullptr);
        report["dryRun"] = dryRun;
        // The drive already held what the command would write, so nothing was sent.
        report["unchanged"] = unchanged && outcome.code == OutcomeCode::Done;
    }
    report["changed"] = outcome.changed;
    report["detail"] = detail.empty() ? Json(nullptr) : Json(detail);
    report["failedCommand"] = failure ? Json{{"name", DeviceCommandName(failed.command)},
                                             {"letter", LetterJson(failed.letter)},
                                             {"paths", notes.failedPaths}}
                                      : Json(nullptr);
    report["scsiStatus"] = failure && failed.delivered ? Json(failed.scsiStatus) : Json(nullptr);
    report["sense"] =
        failure && HasSenseData(failed)
            ? Json(HexOf(failed.sense, SenseDataLength(failed.sense, failed.senseLength)))
            : Json(nullptr);
    report["systemError"] = failed.systemError;
    report["bytesReceived"] = failure && failed.delivered && IsRead(failed.command)
                                  ? Json(failed.bytesMoved)
                                  : Json(nullptr);
    // Kept for the readers of format 1; the four fields above say the same and more.
    report["driveStatus"] = outcome.driveStatus;
    report["noRights"] = notes.noRights;
    // The disks passed over that may hold a drive of the kind: a change stopped on them, a read
    // went on.
    report["unanswered"] = UnansweredJson(outcome.scan, notes);
    // What discovery looked at, and the lines text mode prints after "No drive found".
    if (outcome.code == OutcomeCode::NoDrive && outcome.scan.done && frontend::LinuxMachine()) {
        const frontend::NoDriveFacts facts = NoDriveFactsOf(outcome, notes);
        report["scan"] = {{"disks", facts.scan.letters},
                          {"answeredInquiry", facts.scan.answeredInquiry},
                          {"withSignature", facts.scan.withSignature},
                          {"noRightsDisks", facts.noRightsDisks},
                          {"advice", frontend::NoDriveGuidance(facts)}};
    }
    if (outcome.command == CommandKind::SetLunMode) {
        report["row"] = outcome.row == LunRow::Lun0 ? "lun0" : "lun1";
        report["requestedType"] = RowJson(outcome.requestedType);
    }
    if (outcome.command == CommandKind::Restore || outcome.command == CommandKind::Undo) {
        report["changes"] = notes.changesKnown ? ChangesJson(notes.changes) : Json(nullptr);
    }
    if (outcome.command == CommandKind::Undo ||
        (outcome.command == CommandKind::Restore && outcome.code == OutcomeCode::NotAsChanged)) {
        report["sinceChange"] = outcome.code == OutcomeCode::NotAsChanged
                                    ? ChangesJson(notes.sinceChange)
                                    : Json(nullptr);
    }
    if (!notes.file.empty()) report["file"] = notes.file;
}

Json ListedDeviceJson(const ListedDevice& device, const std::vector<DiskDescription>& disks) {
    Json volumes = Json::array();
    for (std::size_t lun = 0; lun < kLunSlotsPerDevice; ++lun) {
        if (device.lunSlots[lun] == 0) continue;
        Json volume = {{"letter", LetterJson(device.lunSlots[lun])}, {"lun", lun}};
        const DiskDescription& disk = disks[lun];
        const InquiryData& inquiry = device.inquiry[lun];
        const bool fromInquiry = device.inquiryRead[lun];
        volume["vendor"] = !disk.vendor.empty() ? disk.vendor
                           : fromInquiry        ? InquiryText(inquiry, 8, 8)
                                                : "";
        volume["product"] = !disk.product.empty() ? disk.product
                            : fromInquiry         ? InquiryText(inquiry, 16, 16)
                                                  : "";
        volume["revision"] = !disk.revision.empty() ? disk.revision
                             : fromInquiry          ? InquiryText(inquiry, 32, 4)
                                                    : "";
        volume["paths"] = disk.paths;
        volumes.push_back(volume);
    }
    return {{"serial", SerialOfIdentity(device.identity)},
            {"deviceKey", HexOf(device.key.bytes, kDeviceKeySize)},
            {"target", LetterJson(device.target)},
            {"volumes", volumes}};
}

Json DevicesJson(const RunReport& report) {
    Json devices = Json::array();
    for (int j = 0; j < report.listing->recorded; ++j) {
        devices.push_back(ListedDeviceJson(report.listing->devices[j], (*report.disks)[j]));
    }
    return devices;
}

Json ListingJson(const RunReport& report) {
    Json json = NewReport();
    const OutcomeCode code = report.outcome.code;
    json["command"] = "list";
    json["outcome"] = OutcomeName(code);
    json["exitCode"] = report.exitCode;
    json["message"] =
        code != OutcomeCode::Done ? Json(OutcomeMessage(report.outcome)) : Json(nullptr);
    json["noRights"] = report.notes.noRights;
    json["deviceCount"] = report.listing->count;
    json["devices"] = DevicesJson(report);
    json["unanswered"] = UnansweredJson(report.listing->scan, report.notes);
    return json;
}

Json DeviceChoiceJson(const RunReport& report) {
    Json json = NewReport();
    json["command"] = VerbName(report.verb);
    json["outcome"] = report.outcomeName;
    json["exitCode"] = report.exitCode;
    json["message"] = OutcomeMessage(report.outcome);
    json["device"] = report.device;
    json["error"] = report.why;
    json["noRights"] = report.notes.noRights;
    json["deviceCount"] = report.listing->count;
    json["devices"] = DevicesJson(report);
    return json;
}

Json EveryDriveJson(const RunReport& report) {
    const OutcomeCode overall = report.outcome.code;
    Json json = NewReport();
    json["command"] = VerbName(report.verb);
    json["all"] = true;
    json["outcome"] = overall != OutcomeCode::Done              ? OutcomeName(overall)
                      : report.exitCode == kExitSuccess         ? "done"
                      : report.exitCode == kExitDrivesLeftAlone ? "drivesLeftAlone"
                                                                : "notAllDone";
    json["exitCode"] = report.exitCode;
    json["message"] =
        overall != OutcomeCode::Done ? Json(OutcomeMessage(report.outcome)) : Json(nullptr);
    json["noRights"] = report.notes.noRights;
    json["deviceCount"] = report.deviceCount;
    Json entries = Json::array();
    for (const DriveReport& drive : report.drives) {
        const DriveRun& run = *drive.run;
        Json entry;
        entry["serial"] = SerialOfIdentity(run.device.identity);
        entry["deviceKey"] = HexOf(run.device.key.bytes, kDeviceKeySize);
        if (run.problemCode >= 0) {
            entry["command"] = VerbName(report.verb);
            entry["outcome"] = run.problemCode == kExitUsage ? "usage" : "error";
            entry["exitCode"] = run.problemCode;
            entry["error"] = run.problem;
            if (!run.notes.file.empty()) entry["file"] = run.notes.file;
        } else {
            FillOutcomeJson(entry, report.dryRun, run.outcome, run.notes, drive.detail,
                            drive.exitCode);
        }
        entries.push_back(entry);
    }
    json["drives"] = entries;
    Json disks = Json::array();
    for (const DiskNotOpened& disk : *report.notOpened) {
        disks.push_back(
            {{"letter", LetterJson(disk.letter)},
             {"paths", disk.paths},
             {"unanswered", disk.unanswered.empty() ? Json(nullptr) : Json(disk.unanswered)}});
    }
    json["leftAlone"] = {{"notOpened", disks}, {"beyondReach", report.unreached}};
    return json;
}

Json RowsJsonOf(const VendorBlock& identity, const VendorBlock& block) {
    return RowsJson(RowTypesOf(block, IsSwappedLayout(identity, block)));
}

Json HistoryJson(const RunReport& report) {
    Json json = NewReport();
    json["command"] = "history";
    json["outcome"] = "done";
    json["exitCode"] = kExitSuccess;
    json["journal"] = report.journal;
    Json entries = Json::array();
    for (const HistoryEntry& item : report.history) {
        const frontend::JournalEntry& entry = item.entry;
        entries.push_back(
            {{"time", entry.time},
             {"command", entry.command},
             {"serial", entry.serial},
             {"deviceKey", HexOf(entry.key.bytes, kDeviceKeySize)},
             {"target", LetterJson(entry.target)},
             {"device", entry.device.addressKnown ? Json{{"port", entry.device.port},
                                                         {"path", entry.device.path},
                                                         {"target", entry.device.target}}
                                                  : Json(nullptr)},
             {"tool", entry.tool},
             {"file", item.file},
             {"rowsBefore", RowsJsonOf(entry.identity, entry.asRead)},
             {"rows", RowsJsonOf(entry.identity, entry.written)}});
    }
    json["entries"] = entries;
    return json;
}

Json ReportJson(const RunReport& report) {
    Json json = NewReport();
    switch (report.kind) {
        case ReportKind::Outcome:
            FillOutcomeJson(json, report.dryRun, report.outcome, report.notes, report.detail,
                            report.exitCode);
            return json;
        case ReportKind::Listing:
            return ListingJson(report);
        case ReportKind::DeviceChoice:
            return DeviceChoiceJson(report);
        case ReportKind::EveryDrive:
            return EveryDriveJson(report);
        case ReportKind::Problem:
            json["outcome"] = report.exitCode == kExitUsage ? "usage" : "error";
            json["exitCode"] = report.exitCode;
            json["error"] = report.text;
            return json;
        case ReportKind::Version:
            json["command"] = "version";
            json["outcome"] = "done";
            json["exitCode"] = kExitSuccess;
            json["version"] = VARDEL_VERSION;
            return json;
        case ReportKind::Help:
            json["command"] = "help";
            json["outcome"] = "done";
            json["exitCode"] = kExitSuccess;
            json["help"] = report.text;
            return json;
        case ReportKind::Declined:
            json["command"] = VerbName(report.verb);
            json["outcome"] = "declined";
            json["exitCode"] = report.exitCode;
            json["message"] = nullptr;
            json["changed"] = false;
            json["file"] = report.notes.file;
            json["changes"] =
                report.notes.changesKnown ? ChangesJson(report.notes.changes) : Json(nullptr);
            return json;
        case ReportKind::History:
            return HistoryJson(report);
    }
    return json;
}

}  // namespace

// Texts from files, arguments and drives need not be UTF-8: bytes that are not become U+FFFD
// rather than an exception, so that every run in JSON mode ends with its one object.
void PrintJsonReport(const RunReport& report, std::ostream& out) {
    out << ReportJson(report).dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
}

}  // namespace vardel::cli
