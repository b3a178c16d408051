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

// The first and the last line of a journal file; the format and its version are those of
// kJournalFileFormat and kJournalFileFormatVersion.
constexpr char kHeader[] =
    "{\"format\": \"vardel-journal\", \"formatVersion\": 1, \"entries\": [\n";
constexpr char kFooter[] = "]}\n";
static_assert(kJournalFileFormatVersion == 1, "the header names version 1");

// The texts are the program's own and serials of printable ASCII: only quotes and backslashes
// need escaping; anything below a space (none is expected) becomes '?'.
std::string JsonString(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += static_cast<unsigned char>(c) < 0x20 ? '?' : c;
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

bool JournalEntryLines(const std::string& text, std::string& lines, std::size_t& count) {
    lines.clear();
    count = 0;
    if (text.empty()) return true;
    const std::string head = kHeader;
    const std::string foot = kFooter;
    if (text.size() < head.size() + foot.size() || text.compare(0, head.size(), head) != 0 ||
        text.compare(text.size() - foot.size(), foot.size(), foot) != 0) {
        return false;
    }
    lines = text.substr(head.size(), text.size() - head.size() - foot.size());
    for (std::size_t start = 0; start < lines.size(); ++count) {
        const std::size_t end = lines.find('\n', start);
        if (end == std::string::npos) return false;
        const bool last = end + 1 == lines.size();
        const std::size_t close = last ? end - 1 : end - 2;
        if (end < start + (last ? 2 : 3) || lines[start] != '{' || lines[close] != '}' ||
            (!last && lines[end - 1] != ',')) {
            return false;
        }
        start = end + 1;
    }
    return true;
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

    std::string lines;
    std::size_t count = 0;
    // A file that cannot even be looked at is for the read to name.
    file_system::FileFacts facts;
    if (file_system::Inspect(path, facts) != 0 || facts.exists) {
        std::string text;
        if (!ReadWholeFile(path, text, problem)) {
            problem_ = path + ": " + problem;
            return kJournalRefused;
        }
        // Earlier entries are never thrown away for a file we cannot read.
        if (!JournalEntryLines(text, lines, count)) {
            problem_ = path + ": is not a journal this program wrote; move it away";
            return kJournalRefused;
        }
    }
    // The oldest go, so that with the new one the newest entriesKept_ stay.
    for (; count >= static_cast<std::size_t>(entriesKept_); --count) {
        lines.erase(0, lines.find('\n') + 1);
    }
    if (!lines.empty()) lines.insert(lines.size() - 1, ",");
    const std::string text =
        kHeader + lines + JournalEntryLine(write, tool_, JournalTimeNow()) + "\n" + kFooter;
    if (WriteFileAtomically(path, text, true, problem) != FileWriteResult::Written) {
        problem_ = path + ": " + problem;
        return kJournalRefused;
    }
    return kJournalSaved;
}

}  // namespace vardel::frontend
