#include "vardelctl/every_drive.h"

#include <cctype>
#include <filesystem>
#include <system_error>

#include "commands/device_listing.h"
#include "frontend_common/hex_text.h"
#include "vardelctl/backup_file.h"
#include "vardelctl/command_run.h"
#include "vardelctl/serial_text.h"

namespace vardel::cli {
namespace {

// Characters every file system takes in a name; a serial of others is named by its key.
bool IsPlainNameCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '_' || c == '.';
}

// The folder for --all's backups, made when missing. Empty when it is there, else why not.
std::string MakeFolder(const std::string& folder) {
    std::error_code error;
    const std::filesystem::path path(folder);
    if (std::filesystem::is_directory(path, error)) return "";
    if (std::filesystem::exists(path, error)) return folder + ": is no folder";
    if (!std::filesystem::create_directory(path, error) && error) {
        return folder + ": cannot be made (" + error.message() + ")";
    }
    return "";
}

// Puts one drive's backup into the folder; a problem goes into the drive's run.
void SaveBackup(const Options& options, const BlockBackup& backup, DriveRun& run) {
    const std::filesystem::path path =
        std::filesystem::path(options.file) / BackupFileNameFor(run.device.key);
    run.notes.file = path.string();
    try {
        WriteBackupFile(run.notes.file, backup, options.force);
    } catch (const BackupFileExists& error) {
        run.problemCode = kExitUsage;
        run.problem = error.what();
    } catch (const BackupFileError& error) {
        run.problemCode = kExitFileNotWritten;
        run.problem = error.what();
    }
}

}  // namespace

std::string BackupFileNameFor(const DeviceKey& key) {
    const std::string serial = SerialTextOf(key);
    if (serial.empty()) return "no-serial.json";
    bool plain = serial[0] != '.';
    for (const char c : serial) plain = plain && IsPlainNameCharacter(c);
    if (plain) return serial + ".json";
    return "key-" + frontend::HexOf(key.bytes, kDeviceKeySize) + ".json";
}

EveryDriveRun RunOnEveryDrive(const Options& options, Platform& platform, bool machine,
                              frontend::DriveJournal* journal) {
    EveryDriveRun every;
    DeviceListing listing{};
    every.code = ListDevices(platform, nullptr, listing);
    every.deviceCount = listing.count;
    if (every.code != OutcomeCode::Done || listing.count == 0) return every;
    if (options.verb == Verb::Backup) {
        every.folderProblem = MakeFolder(options.file);
        if (!every.folderProblem.empty()) return every;
    }

    for (int j = 0; j < listing.recorded; ++j) {
        DriveRun run;
        run.device = listing.devices[j];
        // Each drive is chosen as --device would choose it, so each run sees that drive alone.
        RunResult result =
            RunCommand(options, platform, &run.device.key, nullptr, nullptr, machine, journal);
        run.outcome = result.outcome;
        NoteFailure(run.notes, run.outcome, machine);
        if (run.outcome.code == OutcomeCode::JournalNotSaved && journal != nullptr) {
            run.notes.journalProblem = journal->Problem();
        }
        if (result.backup && run.outcome.code == OutcomeCode::Done) {
            SaveBackup(options, *result.backup, run);
        }
        every.drives.push_back(run);
    }
    return every;
}

}  // namespace vardel::cli
