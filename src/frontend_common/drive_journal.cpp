#include "frontend_common/drive_journal.h"

#include <ctime>
#include <utility>

#include "drive/device_key.h"
#include "frontend_common/file_io.h"
#include "frontend_common/file_io_system.h"
#include "frontend_common/hex_text.h"
#include "frontend_common/whole_serial.h"

namespace vardel::frontend {
namespace {

constexpr int kJournalRefused = 1;
constexpr std::size_t kHexLineBytes = 16;

std::string Header() {
    return std::string("{\"format\": \"") + kJournalFileFormat +
           "\", \"formatVersion\": " + std::to_string(kJournalFileFormatVersion) +
           ", \"entries\": [";
}

constexpr char kFooter[] = "]}";

std::string JsonString(const std::string& text) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string quoted = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (byte < 0x20) {
            quoted += "\\u00";
            quoted += kDigits[byte >> 4];
            quoted += kDigits[byte & 0xF];
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

// As a backup file keeps a block: lines of 16 bytes.
std::string HexLinesJson(const VendorBlock& block) {
    std::string lines = "[";
    for (std::size_t at = 0; at < kVendorBlockSize; at += kHexLineBytes) {
        if (at != 0) lines += ", ";
        lines += "\"" + HexOf(block + at, kHexLineBytes) + "\"";
    }
    return lines + "]";
}

std::string WithoutLineEnd(std::string line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    return line;
}

}  // namespace

std::string JournalFileName(const VendorBlock& identity) {
    return SerialFileName(identity) + ".json";
}

const char* JournalCommandName(CommandKind command) {
    switch (command) {
        case CommandKind::SetLunMode:
            return "set";
        case CommandKind::WriteRaw:
            return "write";
        case CommandKind::Restore:
            return "restore";
        case CommandKind::Undo:
            return "undo";
        case CommandKind::ReadStatus:
        case CommandKind::Backup:
            break;
    }
    return "";
}

std::string JournalEntryLine(const JournalWrite& write, const std::string& tool,
                             const std::string& time) {
    const DeviceKey key = ExtractDeviceKey(write.identity);
    std::string line = "{\"format\": \"vardel-backup\", \"formatVersion\": 1";
    line += ", \"tool\": " + JsonString(tool);
    line += ", \"time\": " + JsonString(time);
    line += ", \"command\": " + JsonString(JournalCommandName(write.command));
    line += ", \"serial\": " + JsonString(WholeSerialText(write.identity));
    line += ", \"deviceKey\": \"" + HexOf(key.bytes, kDeviceKeySize) + "\"";
    line += ", \"letters\": {\"target\": " +
            (write.target != 0 ? JsonString(std::string(1, write.target)) : "null") + "}";
    line += ", \"identityBlock\": " + HexLinesJson(write.identity);
    line += ", \"configBlock\": " + HexLinesJson(write.asRead);
    line += ", \"writtenBlock\": " + HexLinesJson(write.toWrite);
    return line + "}";
}

bool SplitJournalText(const std::string& text, std::vector<std::string>& entries) {
    entries.clear();
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = WithoutLineEnd(text.substr(start, end - start));
        if (!line.empty()) lines.push_back(std::move(line));
        start = end + 1;
    }
    if (lines.empty()) return true;
    if (lines.size() < 2 || lines.front() != Header() || lines.back() != kFooter) return false;
    for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
        std::string entry = lines[i];
        const bool last = i + 2 == lines.size();
        if (!last) {
            if (entry.back() != ',') return false;
            entry.pop_back();
        }
        if (entry.size() < 2 || entry.front() != '{' || entry.back() != '}') return false;
        entries.push_back(std::move(entry));
    }
    return true;
}

std::string JournalText(const std::vector<std::string>& entries) {
    std::string text = Header() + "\n";
    for (std::size_t i = 0; i < entries.size(); ++i) {
        text += entries[i] + (i + 1 < entries.size() ? ",\n" : "\n");
    }
    return text + kFooter + "\n";
}

std::string JournalTimeNow() {
    const std::time_t now = std::time(nullptr);
    char text[32] = {};
    const std::tm* utc = std::gmtime(&now);
    if (utc == nullptr || std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", utc) == 0) {
        return "";
    }
    return text;
}

DriveJournal::DriveJournal(std::string folder, std::string folderProblem, std::string tool,
                           int entriesKept)
    : folder_(std::move(folder)),
      folderProblem_(std::move(folderProblem)),
      tool_(std::move(tool)),
      entriesKept_(entriesKept < 1 ? 1 : entriesKept) {}

int DriveJournal::BeforeWrite(const JournalWrite& write) {
    problem_.clear();
    if (folder_.empty()) {
        problem_ = folderProblem_;
        return kJournalRefused;
    }
    std::string problem;
    if (!MakeFolders(folder_, problem)) {
        problem_ = problem;
        return kJournalRefused;
    }
    const char separator = folder_.find('\\') != std::string::npos ? '\\' : '/';
    const std::string path = folder_ + separator + JournalFileName(write.identity);

    std::vector<std::string> entries;
    file_system::FileFacts facts;
    if (const int error = file_system::Inspect(path, facts); error != 0) {
        problem_ = path + ": cannot be looked at (" + file_system::ErrorText(error) + ")";
        return kJournalRefused;
    }
    if (facts.exists) {
        std::string text;
        if (!ReadWholeFile(path, text, problem)) {
            problem_ = path + ": " + problem;
            return kJournalRefused;
        }
        // Earlier entries are never thrown away for a file we cannot read.
        if (!SplitJournalText(text, entries)) {
            problem_ = path + ": is not a journal this program wrote; move it away";
            return kJournalRefused;
        }
    }
    entries.push_back(JournalEntryLine(write, tool_, JournalTimeNow()));
    const std::size_t kept = static_cast<std::size_t>(entriesKept_);
    if (entries.size() > kept) entries.erase(entries.begin(), entries.end() - kept);
    if (WriteFileAtomically(path, JournalText(entries), true, problem) !=
        FileWriteResult::Written) {
        problem_ = path + ": " + problem;
        return kJournalRefused;
    }
    return kJournalSaved;
}

}  // namespace vardel::frontend
