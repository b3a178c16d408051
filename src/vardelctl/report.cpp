#include "vardelctl/report.h"

#include <ostream>

#include <nlohmann/json.hpp>

#include "drive/lun_type.h"
#include "frontend_common/hex_text.h"
#include "vardelctl/display_text.h"
#include "vardelctl/serial_text.h"

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

constexpr char kReplugReminder[] = "Replug the drive for the change to take effect.";

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
    }
    return "";
}

Json LetterJson(char letter) {
    return letter != 0 ? Json(std::string(1, letter)) : Json(nullptr);
}

Json RowJson(std::uint8_t type) {
    return {{"type", ByteText(type)}, {"text", LunTypeText(type)}};
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

// The lines a user sees beside the system's message, to say what to do next.
void ExplainFailure(const CommandOutcome& outcome, const RunNotes& notes, std::ostream& err) {
    if (outcome.code == OutcomeCode::NoDrive && notes.noRights) err << NoRightsAdvice() << '\n';
    if (outcome.code == OutcomeCode::SeveralDrives) {
        err << "Choose one with --device SERIAL; `vardelctl list` shows the serials.\n";
    }
    if (outcome.code == OutcomeCode::WrongDevice) {
        err << "The drive attached is not the one the backup was taken from (serial "
            << DisplayText(notes.serial) << "); nothing was written.\n";
    }
    if (outcome.code == OutcomeCode::NoSerial) {
        err << "Neither the drive nor the backup carries a serial, so nothing shows that the "
               "backup was taken from this drive; nothing was written. --allow-no-serial "
               "restores it all the same.\n";
    }
}

void PrintRows(const CommandOutcome& outcome, std::ostream& out) {
    out << "Lun0: " << LunTypeText(outcome.types.lun0) << '\n';
    out << "Lun1: " << LunTypeText(outcome.types.lun1) << '\n';
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
        case OutcomeCode::SeveralDrives:
        case OutcomeCode::UnknownError:
        case OutcomeCode::WrongDevice:
        case OutcomeCode::NoSerial:
            break;
    }
    return kExitNoSingleDrive;
}

void ReportOutcome(const Options& options, const CommandOutcome& outcome, const RunNotes& notes,
                   std::ostream& out, std::ostream& err) {
    const char* message = OutcomeMessage(outcome);
    const bool done = outcome.code == OutcomeCode::Done;
    if (options.json) {
        Json report;
        report["command"] = CommandName(outcome.command);
        report["outcome"] = OutcomeName(outcome.code);
        report["exitCode"] = ExitCodeOf(outcome.code);
        report["message"] = message != nullptr ? Json(message) : Json(nullptr);
        report["target"] = LetterJson(outcome.target);
        report["swapped"] = outcome.swapped;
        report["rows"] = outcome.typesKnown ? Json{{"lun0", RowJson(outcome.types.lun0)},
                                                   {"lun1", RowJson(outcome.types.lun1)}}
                                            : Json(nullptr);
        report["changed"] = outcome.changed;
        report["driveStatus"] = outcome.driveStatus;
        report["noRights"] = notes.noRights;
        if (outcome.command == CommandKind::SetLunMode) {
            report["row"] = outcome.row == LunRow::Lun0 ? "lun0" : "lun1";
            report["requestedType"] = RowJson(outcome.requestedType);
        }
        if (!notes.file.empty()) report["file"] = notes.file;
        PrintJson(report, out);
        return;
    }

    if (!done) {
        err << message << '\n';
        ExplainFailure(outcome, notes, err);
        return;
    }
    switch (outcome.command) {
        case CommandKind::ReadStatus:
        case CommandKind::SetLunMode:
            PrintRows(outcome, out);
            break;
        case CommandKind::WriteRaw:
            out << message << '\n';
            break;
        case CommandKind::Backup:
            PrintRows(outcome, out);
            out << "Both blocks of the drive on " << outcome.target << ": written to " << notes.file
                << '\n';
            break;
        case CommandKind::Restore:
            PrintRows(outcome, out);
            out << (outcome.changed ? "The configuration block from "
                                    : "The drive already holds the configuration block from ")
                << notes.file << (outcome.changed ? " is restored.\n" : "; nothing written.\n");
            break;
    }
    if (outcome.changed) out << kReplugReminder << '\n';
}

void ReportListing(const Options& options, OutcomeCode code, const DeviceListing& listing,
                   const DiskDescriptions& disks, const RunNotes& notes, std::ostream& out,
                   std::ostream& err) {
    CommandOutcome outcome;
    outcome.code = code == OutcomeCode::Done && listing.count == 0 ? OutcomeCode::NoDrive : code;
    if (options.json) {
        Json report;
        report["command"] = "list";
        report["outcome"] = OutcomeName(outcome.code);
        report["exitCode"] = ExitCodeOf(outcome.code);
        report["message"] =
            outcome.code != OutcomeCode::Done ? Json(OutcomeMessage(outcome)) : Json(nullptr);
        report["noRights"] = notes.noRights;
        report["deviceCount"] = listing.count;
        Json devices = Json::array();
        for (int j = 0; j < listing.recorded; ++j) {
            const ListedDevice& device = listing.devices[j];
            Json volumes = Json::array();
            for (std::size_t lun = 0; lun < kLunSlotsPerDevice; ++lun) {
                if (device.lunSlots[lun] == 0) continue;
                Json volume = {{"letter", LetterJson(device.lunSlots[lun])}, {"lun", lun}};
                const DiskDescription& disk = disks[j][lun];
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
            devices.push_back({{"serial", SerialTextOf(device.key)},
                               {"deviceKey", HexOf(device.key.bytes, kDeviceKeySize)},
                               {"target", LetterJson(device.target)},
                               {"volumes", volumes}});
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
        const std::string serial = SerialTextOf(device.key);
        out << "Drive " << j + 1 << ": serial " << (serial.empty() ? "(none)" : serial) << '\n';
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
        out << "Several drives: the commands need --device SERIAL to choose one.\n";
    }
}

int ReportProblem(const Options& options, int exitCode, const std::string& text, std::ostream& out,
                  std::ostream& err) {
    if (options.json) {
        const Json report = {{"outcome", exitCode == kExitUsage ? "usage" : "error"},
                             {"exitCode", exitCode},
                             {"error", text}};
        PrintJson(report, out);
    } else {
        err << text << '\n';
    }
    return exitCode;
}

int ReportDeclined(const Options& options, const RunNotes& notes, std::ostream& out,
                   std::ostream& err) {
    if (options.json) {
        const Json report = {{"command", "restore"},
                             {"outcome", "declined"},
                             {"exitCode", kExitDriveRefused},
                             {"message", nullptr},
                             {"changed", false},
                             {"file", notes.file}};
        PrintJson(report, out);
    } else {
        err << "Nothing written.\n";
    }
    return kExitDriveRefused;
}

}  // namespace vardel::cli
