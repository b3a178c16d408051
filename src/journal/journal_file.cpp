#include "journal/journal_file.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>
#include <utility>

#include "commands/device_listing.h"
#include "drive/drive_identity.h"
#include "files/file_io.h"
#include "files/file_io_system.h"
#include "journal/drive_journal.h"
#include "journal/journal_text.h"

namespace vardel::frontend {

bool ReadJournalFile(const std::string& path, std::vector<JournalEntry>& entries,
                     std::string& problem) {
    entries.clear();
    problem.clear();
    file_system::FileFacts facts;
    if (const int error = file_system::Inspect(path, facts); error != 0) {
        problem = path + ": cannot be looked at (" + file_system::ErrorText(error) + ")";
        return false;
    }
    if (!facts.exists) return true;
    std::string text;
    if (!ReadWholeFile(path, text, problem)) {
        problem = path + ": " + problem;
        return false;
    }
    if (!ParseJournalText(text, entries, problem)) {
        problem = path + ": " + problem;
        return false;
    }
    return true;
}

bool ReadJournalFolder(const std::string& folder, const std::string& serial,
                       std::vector<JournalEntry>& entries, std::vector<std::string>& files,
                       std::string& problem) {
    const auto lower = [](std::string text) {
        for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    };
    // Each journal file, in the order of their names, so that the listing is the same every time.
    entries.clear();
    files.clear();
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator at(folder, error), end; !error && at != end;
         at.increment(error)) {
        const std::filesystem::path path = at->path();
        std::error_code kind;
        if (path.extension() == ".json" && std::filesystem::is_regular_file(path, kind)) {
            names.push_back(path.string());
        }
    }
    if (error && error != std::errc::no_such_file_or_directory) {
        problem = folder + ": cannot be listed (" + error.message() + ")";
        return false;
    }
    std::sort(names.begin(), names.end());
    std::vector<std::pair<JournalEntry, std::size_t>> found;
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::vector<JournalEntry> kept;
        if (!ReadJournalFile(names[i], kept, problem)) return false;
        for (JournalEntry& entry : kept) {
            if (!serial.empty() && lower(entry.serial) != lower(serial)) continue;
            found.emplace_back(std::move(entry), i);
        }
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.first.time < b.first.time; });
    for (auto& [entry, file] : found) {
        entries.push_back(std::move(entry));
        files.push_back(names[file]);
    }
    return true;
}

LastChangeResult FindLastChange(const std::string& folder, const VendorBlock& identity,
                                const PhysicalDevice& here, const OtherPlaces& elsewhere,
                                JournalEntry& change, std::string& file, std::string& problem) {
    file = (std::filesystem::path(folder) / JournalFileName(identity)).string();
    std::vector<JournalEntry> entries;
    if (!ReadJournalFile(file, entries, problem)) return LastChangeResult::Unreadable;
    // A file name could stand for two serials only where the file system folds case.
    std::vector<const JournalEntry*> ofSerial;
    for (const JournalEntry& entry : entries) {
        if (CompareSerials(entry.identity, identity) != SerialComparison::Different) {
            ofSerial.push_back(&entry);
        }
    }
    for (auto at = ofSerial.rbegin(); at != ofSerial.rend(); ++at) {
        if (MadeAt(**at, here)) {
            change = **at;
            return LastChangeResult::Found;
        }
    }
    if (ofSerial.empty()) return LastChangeResult::None;
    const std::vector<PhysicalDevice> others =
        elsewhere ? elsewhere() : std::vector<PhysicalDevice>();
    for (auto at = ofSerial.rbegin(); at != ofSerial.rend(); ++at) {
        bool another = false;
        for (const PhysicalDevice& other : others) another = another || MadeAt(**at, other);
        if (!another) {
            change = **at;
            return LastChangeResult::Moved;
        }
    }
    return LastChangeResult::None;
}

OtherPlaces OtherPlacesOf(Platform& platform, const VendorBlock& identity,
                          const PhysicalDevice& here) {
    return [&platform, &identity, here]() {
        std::vector<PhysicalDevice> places;
        auto listing = std::make_unique<DeviceListing>();
        if (ListDevices(platform, nullptr, *listing) != OutcomeCode::Done) return places;
        for (int j = 0; j < listing->recorded; ++j) {
            const ListedDevice& listed = listing->devices[j];
            if (CompareSerials(listed.identity, identity) == SerialComparison::Same &&
                !SameDevice(listed.physical, here)) {
                places.push_back(listed.physical);
            }
        }
        return places;
    };
}

std::string PlaceText(const JournalEntry& entry) {
    const std::string letter = entry.target != 0 ? std::string(1, entry.target) + ": " : "";
    return letter + "at SCSI address " + AddressText(entry.device);
}

std::string MovedChangeText(const JournalEntry& change, const PhysicalDevice& here, char letter) {
    const std::string serial = change.serial.empty() ? "(none)" : change.serial;
    return "undo: the last change of the drive with serial " + serial + ", the " + change.command +
           " of " + change.time + ", was made on the drive then " + PlaceText(change) +
           ", and no attached drive sits there now; this drive is " +
           (letter != 0 ? std::string(1, letter) + ": " : std::string()) + "at SCSI address " +
           AddressText(here) +
           ". If it is the same drive, replugged since, give --replugged to undo it here; "
           "nothing was written";
}

LastChangeResult FindNamedChange(const std::string& folder, const VendorBlock& identity,
                                 const std::string& time, std::uint32_t number,
                                 const VendorBlock& wrote, JournalEntry& change, std::string& file,
                                 std::string& problem) {
    file = (std::filesystem::path(folder) / JournalFileName(identity)).string();
    std::vector<JournalEntry> entries;
    if (!ReadJournalFile(file, entries, problem)) return LastChangeResult::Unreadable;
    for (auto at = entries.rbegin(); at != entries.rend(); ++at) {
        if (at->time == time && at->number == number &&
            std::memcmp(at->written, wrote, kVendorWriteLength) == 0) {
            change = *at;
            return LastChangeResult::Found;
        }
    }
    return LastChangeResult::None;
}

}  // namespace vardel::frontend
