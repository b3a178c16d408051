#pragma once
// The report of a run: one record, made once from what the run gave (the outcome and its rows,
// the bytes changed, the failure's detail, the drives reached and left alone, the exit code), that
// a renderer prints as text (report_text.h) or as one JSON object (report_json.h).

#include <string>
#include <vector>

#include "commands/command_outcome.h"
#include "commands/device_listing.h"
#include "journal/journal_file.h"
#include "texts/no_drive_text.h"
#include "vardelctl/options.h"
#include "vardelctl/run_notes.h"

namespace vardel::cli {

enum class ReportKind {
    Outcome,       // one command on one drive
    Listing,       // list
    DeviceChoice,  // --device named no drive, or a serial several drives carry
    EveryDrive,    // --all
    Problem,       // a problem before any device command: a usage error, an unreadable file
    Version,       // --version
    Help,          // --help, help COMMAND
    Declined,      // a restore or undo the user declined at the question
    History,       // the changes kept in the journal
};

// A change the journal holds, and the journal file that holds it.
struct HistoryEntry {
    std::string file;
    frontend::JournalEntry entry;
};

// One drive's part of an --all report.
struct DriveReport {
    const DriveRun* run = nullptr;
    int exitCode = 0;
    std::string detail;  // the failure's detail, as for one drive
};

// The record refers to what the run holds (the listing, the drives); it lives while it is printed.
struct RunReport {
    ReportKind kind = ReportKind::Outcome;
    Verb verb = Verb::Status;
    bool dryRun = false;
    int exitCode = 0;
    // How the command ended; for a listing, a device choice or --all, only its code counts.
    CommandOutcome outcome;
    RunNotes notes;
    // The line after the system's message: what failed, or why nothing was written.
    std::string detail;
    // Listing, DeviceChoice: the drives `list` shows; DeviceChoice: what --device gave and why it
    // chose none.
    const DeviceListing* listing = nullptr;
    const DiskDescriptions* disks = nullptr;
    const char* outcomeName = "";
    std::string device;
    std::string why;
    // EveryDrive
    int deviceCount = 0;
    std::vector<DriveReport> drives;
    const std::vector<DiskNotOpened>* notOpened = nullptr;
    int unreached = 0;  // drives beyond the listing's room
    int notDone = 0;
    bool changed = false;  // some drive changed
    // History: the journal's folder and its changes, oldest first.
    std::string journal;
    std::vector<HistoryEntry> history;
    // Problem: its text; Version, Help: the text as the text mode shows it.
    std::string text;
    // Problem: the command that tells more, for a usage error on the command line.
    std::string tryHelp;
};

RunReport OutcomeReport(const Options& options, const CommandOutcome& outcome,
                        const RunNotes& notes);
RunReport ListingReport(OutcomeCode code, const DeviceListing& listing,
                        const DiskDescriptions& disks, const RunNotes& notes);
// `ended` gives the system's message, `outcomeName` and `exitCode` the JSON's.
RunReport DeviceChoiceReport(const Options& options, OutcomeCode ended, const char* outcomeName,
                             int exitCode, const std::string& why, const DeviceListing& attached,
                             const DiskDescriptions& disks, const RunNotes& notes);
RunReport EveryDriveReport(const Options& options, OutcomeCode code, int deviceCount,
                           const std::vector<DriveRun>& drives,
                           const std::vector<DiskNotOpened>& notOpened, bool noRights);
RunReport ProblemReport(int exitCode, const std::string& text);

// What "No drive found" goes on to say, from the outcome's scan and the run's notes.
frontend::NoDriveFacts NoDriveFactsOf(const CommandOutcome& outcome, const RunNotes& notes);
// The end of the command line's parse short of a run: its version, help or usage error.
RunReport ParseEndReport(const ParseResult& parsed);
RunReport DeclinedReport(const Options& options, const RunNotes& notes);
RunReport HistoryReport(const std::string& folder, std::vector<HistoryEntry> entries);

}  // namespace vardel::cli
