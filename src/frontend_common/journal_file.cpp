#include "frontend_common/journal_file.h"

#include <cstring>

#include <nlohmann/json.hpp>

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

}  // namespace vardel::frontend
