#include "frontend_common/journal_file.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

#include <nlohmann/json.hpp>

#include "drive/drive_identity.h"
#include "frontend_common/drive_journal.h"
#include "frontend_common/file_io.h"
#include "frontend_common/file_io_system.h"
#include "frontend_common/json_bytes.h"

namespace vardel::frontend {
namespace {

using Json = nlohmann::ordered_json;

std::string TextField(const Json& entry, const char* name) {
    const auto found = entry.find(name);
    return found != entry.end() && found->is_string() ? found->get<std::string>() : "";
}

bool ReadBlock(const Json& entry, const char* name, VendorBlock& block, std::string& problem) {
    const auto found = entry.find(name);
    if (found == entry.end()) {
        problem = std::string(name) + ": missing";
        return false;
    }
    std::vector<std::uint8_t> bytes;
    if (!BytesFromJson(*found, kVendorBlockSize, bytes, problem)) {
        problem = std::string(name) + ": " + problem;
        return false;
    }
    std::memcpy(block, bytes.data(), kVendorBlockSize);
    return true;
}

}  // namespace

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
    Json document;
    try {
        document = Json::parse(text);
    } catch (const Json::exception& error) {
        problem = path + ": not valid JSON (" + error.what() + ")";
        return false;
    }
    if (!document.is_object() || document.value("format", Json()) != kJournalFileFormat ||
        document.value("formatVersion", Json()) != kJournalFileFormatVersion ||
        !document.contains("entries") || !document["entries"].is_array()) {
        problem = path + ": is not a journal of format " + std::string(kJournalFileFormat) + " " +
                  std::to_string(kJournalFileFormatVersion);
        return false;
    }
    int number = 0;
    for (const Json& item : document["entries"]) {
        ++number;
        const std::string place = path + ": entry " + std::to_string(number) + ": ";
        if (!item.is_object()) {
            problem = place + "expected an object";
            return false;
        }
        JournalEntry entry;
        entry.time = TextField(item, "time");
        entry.command = TextField(item, "command");
        entry.tool = TextField(item, "tool");
        entry.serial = TextField(item, "serial");
        if (item.contains("letters") && item["letters"].is_object()) {
            const std::string target = TextField(item["letters"], "target");
            if (target.size() == 1) entry.target = target[0];
        }
        std::string blockProblem;
        if (!ReadBlock(item, "identityBlock", entry.identity, blockProblem) ||
            !ReadBlock(item, "configBlock", entry.asRead, blockProblem) ||
            !ReadBlock(item, "writtenBlock", entry.written, blockProblem)) {
            problem = place + blockProblem;
            return false;
        }
        entry.key = ExtractDeviceKey(entry.identity);
        entries.push_back(entry);
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
                                JournalEntry& change, std::string& file, std::string& problem) {
    file = (std::filesystem::path(folder) / JournalFileName(identity)).string();
    std::vector<JournalEntry> entries;
    if (!ReadJournalFile(file, entries, problem)) return LastChangeResult::Unreadable;
    // A file name could stand for two serials only where the file system folds case.
    const auto last =
        std::find_if(entries.rbegin(), entries.rend(), [&identity](const JournalEntry& entry) {
            return CompareSerials(entry.identity, identity) != SerialComparison::Different;
        });
    if (last == entries.rend()) return LastChangeResult::None;
    change = *last;
    return LastChangeResult::Found;
}

}  // namespace vardel::frontend
