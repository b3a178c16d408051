#include "vardelctl/report.h"

#include <cctype>
#include <ostream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "drive/lun_type.h"
#include "frontend_common/hex_text.h"
#include "vardelctl/display_text.h"
#include "vardelctl/failure_detail.h"
#include "vardelctl/sense_text.h"
#include "vardelctl/serial_text.h"
#include "vardelctl/tool_lines.h"

namespace vardel::cli {

using frontend::ByteText;
using frontend::HexOf;
using frontend::NoRightsAdvice;
namespace {

using Json = nlohmann::ordered_json;

// Texts from files, arguments and drives need not be UTF-8: bytes that are not become U+FFFD
// rather than an exception, so that every run in JSON mode ends with its one object.
void PrintJson(const Json& report, std::ostream& out) {
    out << report.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
}

// Every report starts with the version of its format.
Json NewReport() {
    Json report;
    report["formatVersion"] = kReportFormatVersion;
    return report;
}

constexpr char kReplugReminder[] = "Replug the drive for the change to take effect.";
constexpr char kReplugAllReminder[] = "Replug the drives for the change to take effect.";
constexpr char kDryRunNote[] = "Dry run: nothing was written to the drive.";

const char* CommandName(CommandKind command) {
    switch (command) {
        case CommandKind::ReadStatus:
            return "status";
        case CommandKind::SetLunMode:
            return "set";
        case CommandKind::WriteRaw:
            return "write";
        case CommandKind::Backup:
            return "backup";
        case CommandKind::Restore:
            return "restore";
        case CommandKind::Undo:
            return "undo";
    }
    return "";
}

const char* VerbName(Verb verb) {
    switch (verb) {
        case Verb::Status:
            return "status";
        case Verb::Set:
            return "set";
        case Verb::Write:
            return "write";
        case Verb::List:
            return "list";
        case Verb::Backup:
            return "backup";
        case Verb::Restore:
            return "restore";
        case Verb::History:
            return "history";
        case Verb::Undo:
            return "undo";
    }
    return "";
}

const char* OutcomeName(OutcomeCode code) {
    switch (code) {
        case OutcomeCode::Done:
            return "done";
        case OutcomeCode::NoDrive:
            return "noDrive";
        case OutcomeCode::SeveralDrives:
            return "severalDrives";
        case OutcomeCode::UnknownError:
            return "unknownError";
        case OutcomeCode::ReadFailed:
            return "readFailed";
        case OutcomeCode::WriteFailed:
            return "writeFailed";
        case OutcomeCode::NotConfirmed:
            return "notConfirmed";
        case OutcomeCode::WrongDevice:
            return "wrongDevice";
        case OutcomeCode::NoSerial:
            return "noSerial";
        case OutcomeCode::Busy:
            return "busy";
        case OutcomeCode::JournalNotSaved:
            return "journalNotSaved";
        case OutcomeCode::NotAsChanged:
            return "notAsChanged";
    }
    return "";
}

bool Writes(CommandKind command) {
    return command == CommandKind::SetLunMode || command == CommandKind::WriteRaw ||
           command == CommandKind::Restore || command == CommandKind::Undo;
}

// The line after "Fail" for what no device command explains: a journal entry not saved.
std::string DetailOf(const CommandOutcome& outcome, const RunNotes& notes) {
    if (outcome.code == OutcomeCode::JournalNotSaved) {
        return "the configuration block as read could not be saved to the journal, so nothing was "
               "written: " +
               DisplayText(notes.journalProblem) + ". --no-journal makes the change without it";
    }
    return FailureDetail(outcome, notes.failedPaths, notes.nativeErrors);
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

// Trimmed text of INQUIRY bytes [offset, offset + length).
std::string InquiryText(const InquiryData& inquiry, std::size_t offset, std::size_t length) {
    std::string text(reinterpret_cast<const char*>(inquiry + offset), length);
    for (char& c : text) {
        if (c == 0) c = ' ';
    }
    const std::size_t last = text.find_last_not_of(' ');
    return last == std::string::npos ? "" : text.substr(0, last + 1);
}


// The fields of one command's report, the same alone and as an entry of an --all report.
void FillOutcomeJson(Json& report, const Options& options, const CommandOutcome& outcome,
                     const RunNotes& notes) {
    const char* message = OutcomeMessage(outcome);
    // Only the console runs dry, and the window's message would say a write happened.
    if (outcome.writeSkipped && options.dryRun) message = nullptr;
    const CommandDetail& failed = outcome.failedCommand;
    const bool failure = failed.command != DeviceCommand::None;
    report["command"] = CommandName(outcome.command);
    report["outcome"] = OutcomeName(outcome.code);
    report["exitCode"] = ExitCodeOf(outcome.code);
    report["message"] = message != nullptr ? Json(message) : Json(nullptr);
    report["target"] = LetterJson(outcome.target);
    report["swapped"] = outcome.swapped;
    report["rows"] = outcome.typesKnown ? RowsJson(outcome.types) : Json(nullptr);
    if (Writes(outcome.command)) {
        report["rowsBefore"] = outcome.beforeKnown ? RowsJson(outcome.before) : Json(nullptr);
        report["dryRun"] = options.dryRun;
    }
    report["changed"] = outcome.changed;
    const std::string detail = DetailOf(outcome, notes);
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
    if (outcome.command == CommandKind::SetLunMode) {
        report["row"] = outcome.row == LunRow::Lun0 ? "lun0" : "lun1";
        report["requestedType"] = RowJson(outcome.requestedType);
    }
    if (outcome.command == CommandKind::Restore || outcome.command == CommandKind::Undo) {
        report["changes"] = notes.changesKnown ? ChangesJson(notes.changes) : Json(nullptr);
    }
    if (outcome.command == CommandKind::Undo) {
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

// The lines a user sees beside the system's message, to say what went wrong and what to do.
void ExplainFailure(const CommandOutcome& outcome, const RunNotes& notes, std::ostream& err) {
    SayLines(err, DetailOf(outcome, notes));
    if (WriteUnconfirmed(outcome)) SayLines(err, UnconfirmedWriteAdvice("vardelctl status"));
    if (outcome.code == OutcomeCode::NoDrive && notes.noRights) SayLines(err, NoRightsAdvice());
    if (outcome.code == OutcomeCode::SeveralDrives) {
        SayLines(err,
                 "choose one with --device SERIAL, LETTER or NODE (`vardelctl list` shows them), "
                 "or run on each with --all");
    }
    if (outcome.code == OutcomeCode::WrongDevice) {
        SayLines(err, std::string("the drive attached is not the one ") +
                          (outcome.command == CommandKind::Undo ? "the change was made on"
                                                                : "the backup was taken from") +
                          " (serial " + DisplayText(notes.serial) + "); nothing was written");
    }
    if (outcome.code == OutcomeCode::NotAsChanged) {
        std::ostringstream text;
        text << "the drive no longer holds what " << notes.undoneChange
             << " wrote: " << notes.sinceChange.size()
             << (notes.sinceChange.size() == 1 ? " byte" : " bytes")
             << " changed since (offset: it wrote -> the drive holds now):\n";
        for (const ByteChange& change : notes.sinceChange) {
            text << "  " << ByteChangeText(change) << '\n';
        }
        text << "nothing was written; `vardelctl history` shows the changes";
        SayLines(err, text.str());
    }
    if (outcome.code == OutcomeCode::Busy) {
        SayLines(err,
                 "another Vardel program (a vardelctl or the window) held the drive for the whole "
                 "wait; nothing was written. Run the command again when it is done");
    }
    if (outcome.code == OutcomeCode::NoSerial) {
        SayLines(err,
                 "neither the drive nor the backup carries a serial, so nothing shows that the "
                 "backup was taken from this drive; nothing was written. --allow-no-serial "
                 "restores it all the same");
    }
}

// "Removable", or "Removable (0x05)" where the text alone would hide a change of the byte.
std::string TypeShown(std::uint8_t type, bool withByte) {
    const std::string text = LunTypeText(type);
    return withByte ? text + " (" + ByteText(type) + ")" : text;
}

std::string RowChange(std::uint8_t before, std::uint8_t after) {
    if (before == after) return LunTypeText(after);
    const bool sameText = std::string(LunTypeText(before)) == LunTypeText(after);
    return TypeShown(before, sameText) + " -> " + TypeShown(after, sameText);
}

void PrintRows(const CommandOutcome& outcome, std::ostream& out) {
    out << "Lun0: " << LunTypeText(outcome.types.lun0) << '\n';
    out << "Lun1: " << LunTypeText(outcome.types.lun1) << '\n';
}

// The rows as read and as the write would leave them.
void PrintRowChanges(const CommandOutcome& outcome, std::ostream& out) {
    out << "Lun0: " << RowChange(outcome.before.lun0, outcome.types.lun0) << '\n';
    out << "Lun1: " << RowChange(outcome.before.lun1, outcome.types.lun1) << '\n';
}

std::string BytesCount(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " byte" : " bytes");
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

void PrintDone(const Options& options, const CommandOutcome& outcome, const RunNotes& notes,
               std::ostream& out) {
    switch (outcome.command) {
        case CommandKind::ReadStatus:
            PrintRows(outcome, out);
            break;
        case CommandKind::SetLunMode:
            if (options.dryRun) {
                PrintRowChanges(outcome, out);
                out << kDryRunNote << '\n';
            } else {
                PrintRows(outcome, out);
                if (outcome.writeSkipped) {
                    out << (outcome.row == LunRow::Lun0 ? "Lun0" : "Lun1") << " is already "
                        << LunTypeText(outcome.requestedType) << ": nothing written.\n";
                }
            }
            break;
        case CommandKind::WriteRaw:
            if (options.dryRun) {
                PrintRowChanges(outcome, out);
                out << kDryRunNote << '\n';
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
            PrintRestore(outcome, notes, options.dryRun, out);
            break;
        case CommandKind::Undo:
            PrintUndo(outcome, notes, options.dryRun, out);
            break;
    }
}

// One drive's line under --all, after its serial and letter.
std::string DriveLineText(const Options& options, const DriveRun& run) {
    const CommandOutcome& outcome = run.outcome;
    if (run.problemCode >= 0) return run.problem;
    if (outcome.code != OutcomeCode::Done) {
        const std::string detail = DetailOf(outcome, run.notes);
        std::string line =
            std::string(OutcomeMessage(outcome)) + (detail.empty() ? "" : ": " + detail);
        if (WriteUnconfirmed(outcome)) {
            line += ". " + UnconfirmedWriteAdvice("vardelctl --device SERIAL status");
        }
        return line;
    }
    const RowTypes& types = outcome.types;
    std::string rows = options.dryRun && outcome.beforeKnown
                           ? "Lun0: " + RowChange(outcome.before.lun0, types.lun0) +
                                 ", Lun1: " + RowChange(outcome.before.lun1, types.lun1)
                           : std::string("Lun0: ") + LunTypeText(types.lun0) +
                                 ", Lun1: " + LunTypeText(types.lun1);
    if (options.dryRun) return rows + "; dry run, nothing written";
    switch (outcome.command) {
        case CommandKind::SetLunMode:
            if (outcome.writeSkipped) return rows + "; already so, nothing written";
            return rows + (outcome.changed ? "; changed" : "");
        case CommandKind::WriteRaw:
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

}  // namespace

int ExitCodeOf(OutcomeCode code) {
    switch (code) {
        case OutcomeCode::Done:
            return kExitSuccess;
        case OutcomeCode::ReadFailed:
        case OutcomeCode::WriteFailed:
        case OutcomeCode::NotConfirmed:
            return kExitDriveRefused;
        case OutcomeCode::NoDrive:
            return kExitNoDrive;
        case OutcomeCode::SeveralDrives:
            return kExitSeveralDrives;
        case OutcomeCode::WrongDevice:
        case OutcomeCode::NoSerial:
        case OutcomeCode::NotAsChanged:
            return kExitWrongDevice;
        case OutcomeCode::Busy:
            return kExitBusy;
        case OutcomeCode::JournalNotSaved:
            return kExitFileNotWritten;
        case OutcomeCode::UnknownError:
            break;
    }
    return kExitUnknownError;
}

void ReportOutcome(const Options& options, const CommandOutcome& outcome, const RunNotes& notes,
                   std::ostream& out, std::ostream& err) {
    if (options.json) {
        Json report = NewReport();
        FillOutcomeJson(report, options, outcome, notes);
        PrintJson(report, out);
        return;
    }
    if (outcome.code != OutcomeCode::Done) {
        err << OutcomeMessage(outcome) << '\n';
        ExplainFailure(outcome, notes, err);
        return;
    }
    PrintDone(options, outcome, notes, out);
    if (outcome.changed) out << kReplugReminder << '\n';
}

void ReportListing(const Options& options, OutcomeCode code, const DeviceListing& listing,
                   const DiskDescriptions& disks, const RunNotes& notes, std::ostream& out,
                   std::ostream& err) {
    CommandOutcome outcome;
    outcome.code = code == OutcomeCode::Done && listing.count == 0 ? OutcomeCode::NoDrive : code;
    if (options.json) {
        Json report = NewReport();
        report["command"] = "list";
        report["outcome"] = OutcomeName(outcome.code);
        report["exitCode"] = ExitCodeOf(outcome.code);
        report["message"] =
            outcome.code != OutcomeCode::Done ? Json(OutcomeMessage(outcome)) : Json(nullptr);
        report["noRights"] = notes.noRights;
        report["deviceCount"] = listing.count;
        Json devices = Json::array();
        for (int j = 0; j < listing.recorded; ++j) {
            devices.push_back(ListedDeviceJson(listing.devices[j], disks[j]));
        }
        report["devices"] = devices;
        PrintJson(report, out);
        return;
    }

    if (outcome.code != OutcomeCode::Done) {
        err << OutcomeMessage(outcome) << '\n';
        ExplainFailure(outcome, notes, err);
        return;
    }
    for (int j = 0; j < listing.recorded; ++j) {
        const ListedDevice& device = listing.devices[j];
        out << "Drive " << j + 1 << ": serial " << DisplayText(SerialShown(device)) << '\n';
        for (std::size_t lun = 0; lun < kLunSlotsPerDevice; ++lun) {
            if (device.lunSlots[lun] == 0) continue;
            out << "  LUN " << lun << ": " << device.lunSlots[lun] << ':';
            const DiskDescription& disk = disks[j][lun];
            for (const std::string& path : disk.paths) out << ' ' << DisplayText(path);
            if (!disk.vendor.empty() || !disk.product.empty()) {
                out << "  " << DisplayText(disk.vendor) << " | " << DisplayText(disk.product)
                    << " | " << DisplayText(disk.revision);
            } else if (device.inquiryRead[lun]) {
                const InquiryData& inquiry = device.inquiry[lun];
                out << "  " << DisplayText(InquiryText(inquiry, 8, 8)) << " | "
                    << DisplayText(InquiryText(inquiry, 16, 16)) << " | "
                    << DisplayText(InquiryText(inquiry, 32, 4));
            }
            out << '\n';
        }
        if (device.target != 0) {
            out << "  commands go to " << device.target << ":\n";
        } else {
            out << "  no letter for the commands (they would end with \"Unknown error\")\n";
        }
    }
    if (listing.count > listing.recorded) {
        out << listing.count - listing.recorded << " more drives not shown\n";
    }
    if (listing.count >= 2) {
        out << "Several drives: the commands need --device SERIAL, LETTER or NODE to choose one, "
               "or --all.\n";
    }
}

std::string SerialShown(const ListedDevice& device) {
    const std::string serial = SerialOfIdentity(device.identity);
    return serial.empty() ? "(none)" : serial;
}

namespace {

// What --device chose, or could not choose, among the drives listed, and what `list` shows of
// them. `ended` gives the system's message.
int ReportDeviceChoice(const Options& options, OutcomeCode ended, const char* outcomeName,
                       int exitCode, const std::string& why, const DeviceListing& attached,
                       const DiskDescriptions& disks, const RunNotes& notes, std::ostream& out,
                       std::ostream& err) {
    CommandOutcome noDrive;
    noDrive.code = ended;
    if (options.json) {
        Json report = NewReport();
        report["command"] = VerbName(options.verb);
        report["outcome"] = outcomeName;
        report["exitCode"] = exitCode;
        report["message"] = OutcomeMessage(noDrive);
        report["device"] = options.device;
        report["error"] = why;
        report["noRights"] = notes.noRights;
        report["deviceCount"] = attached.count;
        Json devices = Json::array();
        for (int j = 0; j < attached.recorded; ++j) {
            devices.push_back(ListedDeviceJson(attached.devices[j], disks[j]));
        }
        report["devices"] = devices;
        PrintJson(report, out);
        return exitCode;
    }
    err << OutcomeMessage(noDrive) << '\n';
    std::ostringstream text;
    text << why << "; `vardelctl list` shows:";
    for (int j = 0; j < attached.recorded; ++j) {
        const ListedDevice& device = attached.devices[j];
        text << "\n  serial " << DisplayText(SerialShown(device)) << ':';
        for (std::size_t lun = 0; lun < kLunSlotsPerDevice; ++lun) {
            if (device.lunSlots[lun] == 0) continue;
            text << ' ' << device.lunSlots[lun] << ": (LUN " << lun;
            for (const std::string& path : disks[j][lun].paths) text << ", " << DisplayText(path);
            text << ')';
        }
    }
    if (attached.count > attached.recorded) {
        text << "\n  " << attached.count - attached.recorded << " more drives not shown";
    }
    SayLines(err, text.str());
    return exitCode;
}

}  // namespace

int ReportDeviceNotFound(const Options& options, const std::string& why,
                         const DeviceListing& attached, const DiskDescriptions& disks,
                         const RunNotes& notes, std::ostream& out, std::ostream& err) {
    return ReportDeviceChoice(options, OutcomeCode::NoDrive, "deviceNotFound", kExitWrongDevice,
                              why, attached, disks, notes, out, err);
}

int ReportSerialShared(const Options& options, const std::string& why,
                       const DeviceListing& sharing, const DiskDescriptions& disks,
                       const RunNotes& notes, std::ostream& out, std::ostream& err) {
    return ReportDeviceChoice(options, OutcomeCode::SeveralDrives, "severalDrives",
                              kExitSeveralDrives, why, sharing, disks, notes, out, err);
}

int DriveRunExitCode(const DriveRun& run) {
    return run.problemCode >= 0 ? run.problemCode : ExitCodeOf(run.outcome.code);
}

int ReportEveryDrive(const Options& options, OutcomeCode code, int deviceCount,
                     const std::vector<DriveRun>& drives,
                     const std::vector<DiskNotOpened>& notOpened, bool noRights, std::ostream& out,
                     std::ostream& err) {
    // Discovery's own end comes first: no drive, or no scan at all.
    OutcomeCode overall = code;
    if (overall == OutcomeCode::Done && deviceCount == 0) overall = OutcomeCode::NoDrive;
    int exitCode = ExitCodeOf(overall);
    int notDone = 0;
    bool changed = false;
    for (const DriveRun& run : drives) {
        changed |= run.outcome.changed;
        const int driveCode = DriveRunExitCode(run);
        if (driveCode == kExitSuccess) continue;
        if (notDone++ == 0 && exitCode == kExitSuccess) exitCode = driveCode;
    }
    // Drives beyond the listing's room were never reached, nor any on a disk it could not open.
    // A drive reached that failed says more, so its code comes first.
    const int unreached =
        overall == OutcomeCode::Done ? deviceCount - static_cast<int>(drives.size()) : 0;
    const bool leftAlone = overall == OutcomeCode::Done && (unreached > 0 || !notOpened.empty());
    if (leftAlone && exitCode == kExitSuccess) exitCode = kExitDrivesLeftAlone;

    CommandOutcome ended;
    ended.code = overall;
    if (options.json) {
        Json report = NewReport();
        report["command"] = VerbName(options.verb);
        report["all"] = true;
        report["outcome"] = overall != OutcomeCode::Done       ? OutcomeName(overall)
                            : exitCode == kExitSuccess         ? "done"
                            : exitCode == kExitDrivesLeftAlone ? "drivesLeftAlone"
                                                               : "notAllDone";
        report["exitCode"] = exitCode;
        report["message"] =
            overall != OutcomeCode::Done ? Json(OutcomeMessage(ended)) : Json(nullptr);
        report["noRights"] = noRights;
        report["deviceCount"] = deviceCount;
        Json entries = Json::array();
        for (const DriveRun& run : drives) {
            Json entry;
            entry["serial"] = SerialOfIdentity(run.device.identity);
            entry["deviceKey"] = HexOf(run.device.key.bytes, kDeviceKeySize);
            if (run.problemCode >= 0) {
                entry["command"] = VerbName(options.verb);
                entry["outcome"] = run.problemCode == kExitUsage ? "usage" : "error";
                entry["exitCode"] = run.problemCode;
                entry["error"] = run.problem;
                if (!run.notes.file.empty()) entry["file"] = run.notes.file;
            } else {
                FillOutcomeJson(entry, options, run.outcome, run.notes);
            }
            entries.push_back(entry);
        }
        report["drives"] = entries;
        Json disks = Json::array();
        for (const DiskNotOpened& disk : notOpened) {
            disks.push_back({{"letter", LetterJson(disk.letter)}, {"paths", disk.paths}});
        }
        report["leftAlone"] = {{"notOpened", disks}, {"beyondReach", unreached}};
        PrintJson(report, out);
        return exitCode;
    }

    if (overall != OutcomeCode::Done) {
        err << OutcomeMessage(ended) << '\n';
        if (overall == OutcomeCode::NoDrive && noRights) SayLines(err, NoRightsAdvice());
        return exitCode;
    }
    for (const DriveRun& run : drives) {
        const std::string serial = SerialShown(run.device);
        out << DisplayText(serial);
        if (run.outcome.target != 0) out << " (" << run.outcome.target << ":)";
        out << ": " << DriveLineText(options, run) << '\n';
    }
    if (changed) out << kReplugAllReminder << '\n';
    if (notDone > 0) {
        SayLines(err, std::to_string(notDone) + " of " + std::to_string(drives.size()) +
                          " drives not done");
    }
    if (!notOpened.empty()) {
        std::string disks;
        for (const DiskNotOpened& disk : notOpened) {
            std::vector<std::string> shown;
            for (const std::string& path : disk.paths) shown.push_back(DisplayText(path));
            disks += (disks.empty() ? "" : ", ") + std::string(1, disk.letter) + ":";
            for (std::size_t i = 0; i < shown.size(); ++i) {
                disks += (i == 0 ? " (" : ", ") + shown[i] + (i + 1 == shown.size() ? ")" : "");
            }
        }
        SayLines(err,
                 (notOpened.size() == 1 ? "1 disk" : std::to_string(notOpened.size()) + " disks") +
                     " could not be opened for lack of rights, so any drive there was left "
                     "alone: " +
                     disks);
        SayLines(err, NoRightsAdvice());
    }
    if (unreached > 0) {
        SayLines(err, std::to_string(unreached) +
                          " more drives than one run can reach were left "
                          "alone");
    }
    return exitCode;
}

int ReportProblem(const Options& options, int exitCode, const std::string& text, std::ostream& out,
                  std::ostream& err) {
    if (options.json) {
        Json report = NewReport();
        report["outcome"] = exitCode == kExitUsage ? "usage" : "error";
        report["exitCode"] = exitCode;
        report["error"] = text;
        PrintJson(report, out);
    } else {
        SayLines(err, text);
    }
    return exitCode;
}

int ReportVersion(std::ostream& out) {
    Json report = NewReport();
    report["command"] = "version";
    report["outcome"] = "done";
    report["exitCode"] = kExitSuccess;
    report["version"] = VARDEL_VERSION;
    PrintJson(report, out);
    return kExitSuccess;
}

int ReportHelp(const std::string& text, std::ostream& out) {
    Json report = NewReport();
    report["command"] = "help";
    report["outcome"] = "done";
    report["exitCode"] = kExitSuccess;
    report["help"] = text;
    PrintJson(report, out);
    return kExitSuccess;
}

int ReportDeclined(const Options& options, const RunNotes& notes, std::ostream& out,
                   std::ostream& err) {
    if (options.json) {
        Json report = NewReport();
        report["command"] = VerbName(options.verb);
        report["outcome"] = "declined";
        report["exitCode"] = kExitDriveRefused;
        report["message"] = nullptr;
        report["changed"] = false;
        report["file"] = notes.file;
        report["changes"] = notes.changesKnown ? ChangesJson(notes.changes) : Json(nullptr);
        PrintJson(report, out);
    } else {
        SayLines(err, "nothing written");
    }
    return kExitDriveRefused;
}

std::string RestoreQuestion(const std::string& file, const std::string& serial,
                            const RunNotes& notes, char target) {
    std::ostringstream text;
    text << file << " changes " << BytesCount(notes.changes.size())
         << " of the configuration block on " << target << ": (offset: now -> after):\n";
    for (const ByteChange& change : notes.changes) text << "  " << ByteChangeText(change) << '\n';
    text << "Write the configuration block from " << file << " onto the drive with serial "
         << (serial.empty() ? "(none)" : serial) << "?";
    if (serial.empty()) {
        text << " Neither carries a serial: nothing shows that the backup is this drive's.";
    }
    return text.str();
}

std::string UndoQuestion(const std::string& serial, const RunNotes& notes, char target) {
    std::ostringstream text;
    text << "Undoing " << notes.undoneChange << " changes " << BytesCount(notes.changes.size())
         << " of the configuration block on " << target << ": (offset: now -> after):\n";
    for (const ByteChange& change : notes.changes) text << "  " << ByteChangeText(change) << '\n';
    text << "Put back the block that change replaced on the drive with serial "
         << (serial.empty() ? "(none)" : DisplayText(serial)) << "?";
    return text.str();
}

std::string RowsText(const VendorBlock& identity, const VendorBlock& before,
                     const VendorBlock& after) {
    const RowTypes was = RowTypesOf(before, IsSwappedLayout(identity, before));
    const RowTypes is = RowTypesOf(after, IsSwappedLayout(identity, after));
    return "Lun0: " + RowChange(was.lun0, is.lun0) + ", Lun1: " + RowChange(was.lun1, is.lun1);
}

void NoteBuiltInEmulation(std::ostream& err) {
    SayLines(err,
             "the built-in emulated drive keeps nothing between runs: to keep its state, copy\n"
             "plain.json (from /usr/share/doc/vardel/examples/, or tests/vardelctl/scenarios/ in "
             "the sources)\nand run on the copy: vardelctl --emulate=plain.json status");
}

}  // namespace vardel::cli
