#include "vardelctl/report_text.h"

#include <ostream>
#include <sstream>

#include "machine/machine_platform.h"
#include "outcome/unanswered_disks.h"
#include "texts/display_text.h"
#include "vardelctl/change_text.h"
#include "vardelctl/done_text.h"
#include "vardelctl/listed_drive_text.h"
#include "vardelctl/run_report.h"
#include "vardelctl/tool_lines.h"

namespace vardel::cli {
using frontend::DisplayText;

using frontend::NoRightsAdvice;
namespace {

constexpr char kReplugReminder[] = "Replug the drive for the change to take effect.";
constexpr char kReplugAllReminder[] = "Replug the drives for the change to take effect.";

// The disks the scan passed over that may hold a drive of the kind, named; empty when none.
std::string UnansweredText(const RunReport& report, const ScanRecord& scan) {
    const std::vector<frontend::UnansweredDisk> disks =
        frontend::UnansweredDisks(scan, report.notes.onMachine, report.notes.nativeErrors);
    if (disks.empty()) return "";
    return (disks.size() == 1 ? std::string("1 disk") : std::to_string(disks.size()) + " disks") +
           " may hold a drive of the kind but did not answer: " +
           frontend::UnansweredDisksText(disks);
}

// The lines a user sees beside the system's message, to say what went wrong and what to do.
// Why an undo or a restore after its question wrote nothing.
std::string SinceChangeText(const RunReport& report);

void ExplainFailure(const RunReport& report, std::ostream& err) {
    const CommandOutcome& outcome = report.outcome;
    const RunNotes& notes = report.notes;
    SayLines(err, report.detail);
    if (WriteUnconfirmed(outcome)) SayLines(err, UnconfirmedWriteAdvice("vardelctl status"));
    if (outcome.code == OutcomeCode::NoDrive) {
        const std::string unanswered = UnansweredText(report, outcome.scan);
        if (!unanswered.empty()) SayLines(err, unanswered);
        if (outcome.scan.done && frontend::LinuxMachine()) {
            SayLines(err, frontend::NoDriveGuidance(NoDriveFactsOf(outcome, notes)));
        } else if (notes.noRights) {
            SayLines(err, NoRightsAdvice());
        }
    }
    if (outcome.code == OutcomeCode::SeveralDrives) {
        const std::string unanswered = UnansweredText(report, outcome.scan);
        if (!unanswered.empty()) {
            SayLines(err, unanswered + "; so the drive found may not be the only one, and " +
                              "nothing was written");
        }
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
    if (outcome.code == OutcomeCode::NotAsChanged) SayLines(err, SinceChangeText(report));
    if (outcome.code == OutcomeCode::Busy) {
        SayLines(err,
                 "another program held the drive for the whole wait; nothing was written. Run "
                 "the command again when it is done");
    }
    if (outcome.code == OutcomeCode::NoSerial) {
        SayLines(err, outcome.command == CommandKind::Undo
                          ? "neither the drive nor the change in the journal carries a serial, so "
                            "nothing shows that the change was made on this drive; nothing was "
                            "written. --allow-no-serial undoes it all the same"
                          : "neither the drive nor the backup carries a serial, so nothing shows "
                            "that the backup was taken from this drive; nothing was written. "
                            "--allow-no-serial restores it all the same");
    }
}

std::string SinceChangeText(const RunReport& report) {
    const RunNotes& notes = report.notes;
    const bool undo = report.outcome.command == CommandKind::Undo;
    if (undo && notes.sinceChange.empty()) {
        // The drive holds what the change wrote, but the journal has a later change of it.
        return notes.undoneChange +
               " is no longer the drive's last change: another came after it was shown. "
               "Nothing was written; `vardelctl history` shows the changes";
    }
    std::ostringstream text;
    if (undo) {
        text << "the drive no longer holds what " << notes.undoneChange << " wrote: ";
    } else {
        text << "the drive no longer holds what was shown before the question: ";
    }
    text << notes.sinceChange.size() << (notes.sinceChange.size() == 1 ? " byte" : " bytes")
         << " changed since (offset: " << (undo ? "it wrote" : "shown")
         << " -> the drive holds now):\n";
    for (const ByteChange& change : notes.sinceChange) {
        text << "  " << ByteChangeText(change) << '\n';
    }
    text << (undo ? "nothing was written; `vardelctl history` shows the changes"
                  : "nothing was written; run the restore again to see what it would change now");
    return text.str();
}

void PrintOutcome(const RunReport& report, std::ostream& out, std::ostream& err) {
    if (report.outcome.code != OutcomeCode::Done) {
        err << OutcomeMessage(report.outcome) << '\n';
        ExplainFailure(report, err);
        return;
    }
    PrintDone(report, out);
    if (report.outcome.changed) out << kReplugReminder << '\n';
    // A read goes on past them, and says what it passed over.
    const std::string unanswered = UnansweredText(report, report.outcome.scan);
    if (!unanswered.empty()) {
        SayLines(err, unanswered + "; this is the drive that answered, --device chooses");
    }
}

void PrintListing(const RunReport& report, std::ostream& out, std::ostream& err) {
    if (report.outcome.code != OutcomeCode::Done) {
        err << OutcomeMessage(report.outcome) << '\n';
        ExplainFailure(report, err);
        return;
    }
    const DeviceListing& listing = *report.listing;
    for (int j = 0; j < listing.recorded; ++j) {
        const ListedDevice& device = listing.devices[j];
        out << "Drive " << j + 1 << ": serial " << DisplayText(SerialShown(device)) << '\n';
        for (std::size_t lun = 0; lun < kLunSlotsPerDevice; ++lun) {
            if (device.lunSlots[lun] == 0) continue;
            out << "  LUN " << lun << ": " << device.lunSlots[lun] << ':';
            const DiskDescription& disk = (*report.disks)[j][lun];
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
    const std::string unanswered = UnansweredText(report, listing.scan);
    if (!unanswered.empty()) {
        SayLines(err, unanswered + "; a change needs --device while it is attached");
    }
}

// What --device chose, or could not choose, among the drives listed, and what `list` shows of
// them.
void PrintDeviceChoice(const RunReport& report, std::ostream& err) {
    err << OutcomeMessage(report.outcome) << '\n';
    const DeviceListing& attached = *report.listing;
    std::ostringstream text;
    text << report.why << "; `vardelctl list` shows:";
    for (int j = 0; j < attached.recorded; ++j) {
        const ListedDevice& device = attached.devices[j];
        text << "\n  serial " << DisplayText(SerialShown(device)) << ':';
        for (std::size_t lun = 0; lun < kLunSlotsPerDevice; ++lun) {
            if (device.lunSlots[lun] == 0) continue;
            text << ' ' << device.lunSlots[lun] << ": (LUN " << lun;
            for (const std::string& path : (*report.disks)[j][lun].paths) {
                text << ", " << DisplayText(path);
            }
            text << ')';
        }
    }
    if (attached.count > attached.recorded) {
        text << "\n  " << attached.count - attached.recorded << " more drives not shown";
    }
    SayLines(err, text.str());
}

std::string NotOpenedText(const std::vector<DiskNotOpened>& all) {
    std::vector<DiskNotOpened> notOpened;
    std::vector<frontend::UnansweredDisk> unanswered;
    for (const DiskNotOpened& disk : all) {
        if (disk.unanswered.empty()) {
            notOpened.push_back(disk);
        } else {
            unanswered.push_back({disk.letter, disk.paths, false, disk.unanswered});
        }
    }
    std::string text;
    if (!unanswered.empty()) {
        text = (unanswered.size() == 1 ? std::string("1 disk")
                                       : std::to_string(unanswered.size()) + " disks") +
               " may hold a drive of the kind but did not answer, so any drive there was left "
               "alone: " +
               frontend::UnansweredDisksText(unanswered);
    }
    if (notOpened.empty()) return text;
    if (!text.empty()) text += "\n";
    std::string disks;
    for (const DiskNotOpened& disk : notOpened) {
        std::vector<std::string> shown;
        for (const std::string& path : disk.paths) shown.push_back(DisplayText(path));
        disks += (disks.empty() ? "" : ", ") + std::string(1, disk.letter) + ":";
        for (std::size_t i = 0; i < shown.size(); ++i) {
            disks += (i == 0 ? " (" : ", ") + shown[i] + (i + 1 == shown.size() ? ")" : "");
        }
    }
    return text + (notOpened.size() == 1 ? "1 disk" : std::to_string(notOpened.size()) + " disks") +
           " could not be opened for lack of rights, so any drive there was left alone: " + disks;
}

void PrintEveryDrive(const RunReport& report, std::ostream& out, std::ostream& err) {
    if (report.outcome.code != OutcomeCode::Done) {
        err << OutcomeMessage(report.outcome) << '\n';
        if (report.outcome.code == OutcomeCode::NoDrive && report.notes.noRights) {
            SayLines(err, NoRightsAdvice());
        }
        return;
    }
    for (const DriveReport& drive : report.drives) {
        out << DisplayText(SerialShown(drive.run->device));
        if (drive.run->outcome.target != 0) out << " (" << drive.run->outcome.target << ":)";
        out << ": " << DriveLineText(report.dryRun, drive) << '\n';
    }
    if (report.changed) out << kReplugAllReminder << '\n';
    if (report.notDone > 0) {
        SayLines(err, std::to_string(report.notDone) + " of " +
                          std::to_string(report.drives.size()) + " drives not done");
    }
    if (!report.notOpened->empty()) {
        SayLines(err, NotOpenedText(*report.notOpened));
        bool noRights = false;
        for (const DiskNotOpened& disk : *report.notOpened) noRights |= disk.unanswered.empty();
        if (noRights) SayLines(err, NoRightsAdvice());
    }
    if (report.unreached > 0) {
        SayLines(err, std::to_string(report.unreached) +
                          " more drives than one run can reach were left alone");
    }
}

void PrintHistory(const RunReport& report, std::ostream& out) {
    if (report.history.empty()) {
        out << "No change is in the journal (" << DisplayText(report.journal) << ").\n";
        return;
    }
    out << "Changes in the journal (" << DisplayText(report.journal) << "), oldest first:\n";
    for (const HistoryEntry& item : report.history) {
        const frontend::JournalEntry& entry = item.entry;
        out << entry.time << "  " << (entry.serial.empty() ? "(none)" : DisplayText(entry.serial))
            << " (" << frontend::PlaceText(entry) << ")  " << DisplayText(entry.command) << "  "
            << RowsText(entry.identity, entry.asRead, entry.written) << '\n';
    }
}

}  // namespace

void PrintTextReport(const RunReport& report, std::ostream& out, std::ostream& err) {
    switch (report.kind) {
        case ReportKind::Outcome:
            PrintOutcome(report, out, err);
            break;
        case ReportKind::Listing:
            PrintListing(report, out, err);
            break;
        case ReportKind::DeviceChoice:
            PrintDeviceChoice(report, err);
            break;
        case ReportKind::EveryDrive:
            PrintEveryDrive(report, out, err);
            break;
        case ReportKind::Problem:
            SayLines(err, report.text);
            if (!report.tryHelp.empty()) {
                SayLines(err, "try '" + report.tryHelp + "' for more information");
            }
            break;
        case ReportKind::Version:
        case ReportKind::Help:
            out << report.text;
            break;
        case ReportKind::Declined:
            SayLines(err, "nothing written");
            break;
        case ReportKind::History:
            PrintHistory(report, out);
            break;
    }
}

void NoteBuiltInEmulation(std::ostream& err) {
    SayLines(err,
             "the built-in emulated drive keeps nothing between runs: to keep its state, copy\n"
             "plain.json (from /usr/share/doc/vardel/examples/, or tests/vardelctl/scenarios/ in "
             "the sources)\nand run on the copy: vardelctl --emulate=plain.json status");
}

}  // namespace vardel::cli
