#include "vardelctl/every_drive.h"

#include <cctype>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>

#include "commands/device_listing.h"
#include "machine/machine_platform.h"
#include "outcome/unanswered_disks.h"
#include "texts/hex_text.h"
#include "texts/serial_text.h"
#include "vardelctl/backup_file.h"
#include "vardelctl/command_run.h"

namespace vardel::cli {

using frontend::SerialOfIdentity;
using frontend::SerialTextOf;
namespace {

// Characters every file system takes in a name; a serial of others is named by its key.
bool IsPlainNameCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '_' || c == '.';
}

std::string Folded(std::string name) {
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name;
}

bool IsPlainName(const std::string& name) {
    bool plain = !name.empty() && name[0] != '.';
    for (const char c : name) plain = plain && IsPlainNameCharacter(c);
    return plain;
}

char FirstLetter(const ListedDevice& device) {
    for (const char slot : device.lunSlots) {
        if (slot != 0) return slot;
    }
    return '_';
}

}  // namespace

std::string BackupFileNameFor(const DeviceKey& key) {
    const std::string serial = SerialTextOf(key);
    if (serial.empty()) return "no-serial.json";
    if (IsPlainName(serial)) return serial + ".json";
    return "key-" + frontend::HexOf(key.bytes, kDeviceKeySize) + ".json";
}

std::vector<std::string> BackupFileNames(const DeviceListing& listing) {
    const auto count = static_cast<std::size_t>(listing.recorded);
    std::vector<std::string> names(count);
    std::vector<std::string> serials(count);
    std::map<std::string, int> uses;  // of each default name, folded
    for (std::size_t j = 0; j < count; ++j) {
        names[j] = BackupFileNameFor(listing.devices[j].key);
        serials[j] = SerialOfIdentity(listing.devices[j].identity);
        ++uses[Folded(names[j])];
    }
    std::vector<bool> clash(count);
    std::map<std::string, int> serialUses;  // of each whole serial among the clashing, folded
    std::set<std::string> taken;
    for (std::size_t j = 0; j < count; ++j) {
        clash[j] = uses[Folded(names[j])] > 1;
        if (clash[j]) {
            ++serialUses[Folded(serials[j])];
        } else {
            taken.insert(Folded(names[j]));
        }
    }
    // Drives whose whole serials differ take them (the usual case of a long serial).
    std::vector<bool> named(count, false);
    for (std::size_t j = 0; j < count; ++j) {
        const std::string name = serials[j] + ".json";
        if (!clash[j] || !IsPlainName(serials[j]) || serialUses[Folded(serials[j])] > 1 ||
            taken.count(Folded(name)) != 0) {
            continue;
        }
        names[j] = name;
        named[j] = true;
        taken.insert(Folded(name));
    }
    // Drives that carry the same serial: their letter tells them apart for this run.
    for (std::size_t j = 0; j < count; ++j) {
        if (!clash[j] || named[j]) continue;
        const std::string stem = IsPlainName(serials[j])
                                     ? serials[j]
                                     : names[j].substr(0, names[j].size() - 5);  // less ".json"
        const std::string letter(1, FirstLetter(listing.devices[j]));
        std::string name = stem + "-" + letter + ".json";
        // Only a serial made to look like another drive's serial and letter gets here.
        for (int n = 2; taken.count(Folded(name)) != 0; ++n) {
            name = stem + "-" + letter + "-" + std::to_string(n) + ".json";
        }
        names[j] = name;
        taken.insert(Folded(name));
    }
    return names;
}

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

void SaveBackup(const Options& options, const std::string& name, const BlockBackup& backup,
                DriveRun& run) {
    const std::filesystem::path path = std::filesystem::path(options.file) / name;
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

std::vector<DiskNotOpened> DisksNotOpened(std::uint32_t refused, const DeviceListing& listing,
                                          const DiskDescriber& describe, bool nativeErrors) {
    for (int j = 0; j < listing.recorded; ++j) {
        for (const char letter : listing.devices[j].lunSlots) {
            if (letter >= 'A' && letter <= 'Z') refused &= ~(1u << (letter - 'A'));
        }
    }
    std::vector<DiskNotOpened> disks;
    for (int i = 0; i < kDriveLetterCount; ++i) {
        if ((refused & (1u << i)) == 0) continue;
        DiskNotOpened disk;
        disk.letter = static_cast<char>('A' + i);
        frontend::DiskDescription description;
        if (describe && describe(disk.letter, description)) {
            if (description.notOnUsb) continue;
            disk.paths = description.paths;
        }
        disks.push_back(disk);
    }
    for (const frontend::UnansweredDisk& silent :
         frontend::UnansweredDisks(listing.scan, static_cast<bool>(describe), nativeErrors)) {
        if ((refused & (1u << (silent.letter - 'A'))) != 0) continue;
        DiskNotOpened disk;
        disk.letter = silent.letter;
        disk.paths = silent.paths;
        disk.unanswered = silent.why;
        disks.push_back(disk);
    }
    return disks;
}

EveryDriveRun RunOnEveryDrive(const Options& options, frontend::AccessWatch& platform, bool machine,
                              frontend::DriveJournal* journal) {
    EveryDriveRun every;
    DeviceListing listing{};
    every.code = ListDevices(platform, nullptr, listing,
                             machine ? frontend::MachineMayHoldDrive() : nullptr);
    every.deviceCount = listing.count;
    if (every.code != OutcomeCode::Done || listing.count == 0) return every;
    if (options.verb == Verb::Backup) {
        every.folderProblem = MakeFolder(options.file);
        if (!every.folderProblem.empty()) return every;
    }

    const std::vector<std::string> names = BackupFileNames(listing);
    for (int j = 0; j < listing.recorded; ++j) {
        DriveRun run;
        run.device = listing.devices[j];
        // Each drive is chosen as --device would choose it, so each run sees that drive alone.
        RunResult result =
            RunCommand(options, platform, &run.device.physical, nullptr, nullptr, machine, journal);
        run.outcome = result.outcome;
        NoteFailure(run.notes, run.outcome, machine);
        if (run.outcome.code == OutcomeCode::JournalNotSaved && journal != nullptr) {
            run.notes.journalProblem = journal->Problem();
        }
        if (result.backup && run.outcome.code == OutcomeCode::Done) {
            SaveBackup(options, names[static_cast<std::size_t>(j)], *result.backup, run);
        }
        every.drives.push_back(run);
    }
    every.notOpened =
        DisksNotOpened(platform.NoRightsLetters(), listing,
                       machine ? DiskDescriber(frontend::DescribeMachineDisk) : nullptr, machine);
    return every;
}

}  // namespace vardel::cli
