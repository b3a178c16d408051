#include "journal/drive_journal.h"

#include <cstring>
#include <ctime>
#include <utility>

#include "drive/device_key.h"
#include "files/file_io.h"
#include "files/file_io_system.h"
#include "files/file_lock.h"
#include "texts/whole_serial.h"

namespace vardel::frontend {
namespace {

constexpr int kJournalRefused = 1;

// What a user can do about a journal that stops every change.
constexpr char kUnreadableAdvice[] =
    "; move the file aside to go on (the next change starts a new one)";

bool SameChange(const JournalEntry& entry, const NamedChange& change) {
    const bool named =
        change.time == nullptr || (entry.time == change.time && entry.number == change.number);
    return named && std::memcmp(entry.written, *change.written, kVendorWriteLength) == 0;
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

JournalEntry JournalEntryOf(const JournalWrite& write, const std::string& tool,
                            const std::string& time) {
    JournalEntry entry;
    entry.time = time;
    entry.command = JournalCommandName(write.command);
    entry.tool = tool;
    entry.serial = WholeSerialText(write.identity);
    entry.target = write.target;
    std::memcpy(entry.identity, write.identity, sizeof(entry.identity));
    std::memcpy(entry.asRead, write.asRead, sizeof(entry.asRead));
    std::memcpy(entry.written, write.toWrite, sizeof(entry.written));
    entry.key = ExtractDeviceKey(write.identity);
    entry.device = write.device;
    entry.device.key = entry.key;
    return entry;
}

bool StillLastChange(const std::vector<JournalEntry>& entries, const NamedChange& change,
                     const PhysicalDevice& here) {
    for (std::size_t i = entries.size(); i-- > 0;) {
        if (SameChange(entries[i], change)) {
            for (std::size_t later = i + 1; later < entries.size(); ++later) {
                if (MadeAt(entries[later], here) || MadeAt(entries[later], entries[i].device)) {
                    return false;
                }
            }
            return true;
        }
    }
    return false;
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

int DriveJournal::Refuse(std::string problem) {
    problem_ = std::move(problem);
    return kJournalRefused;
}

int DriveJournal::BeforeWrite(const JournalWrite& write) {
    problem_.clear();
    if (folder_.empty()) return Refuse(folderProblem_);
    std::string problem;
    if (!MakeFolders(folder_, problem)) return Refuse(problem);
    // From the read to the rename no other run extends a file of this folder, so that no entry
    // is lost between two runs on two drives that share a serial (and so a file).
    FileLock lock;
    switch (lock.Take(folder_, kJournalLockWaitMilliseconds, problem)) {
        case FileLockResult::Held:
            break;
        case FileLockResult::Busy:
            return Refuse(folder_ + ": another program kept the journal for the whole wait");
        case FileLockResult::Failed:
            return Refuse(folder_ + ": " + problem);
    }
    const char separator = folder_.find('\\') != std::string::npos ? '\\' : '/';
    const std::string path = folder_ + separator + JournalFileName(write.identity);

    std::vector<JournalEntry> entries;
    // A file that cannot even be looked at is for the read to name.
    file_system::FileFacts facts;
    if (file_system::Inspect(path, facts) != 0 || facts.exists) {
        std::string text;
        if (!ReadWholeFile(path, text, problem)) return Refuse(path + ": " + problem);
        // Earlier entries are never thrown away for a file the history could not read either.
        if (!ParseJournalText(text, entries, problem)) {
            return Refuse("the journal " + path + " cannot be read: " + problem +
                          kUnreadableAdvice);
        }
    }
    if (write.undoes != nullptr && !StillLastChange(entries, *write.undoes, write.device)) {
        problem_ = path + ": the change to undo is no longer the drive's last";
        return kJournalUndoneNotLast;
    }
    // The oldest go, so that with the new one the newest entriesKept_ stay.
    const std::size_t kept = static_cast<std::size_t>(entriesKept_) - 1;
    if (entries.size() > kept) entries.erase(entries.begin(), entries.end() - kept);
    std::uint32_t last = 0;
    for (const JournalEntry& entry : entries) last = entry.number > last ? entry.number : last;
    entries.push_back(JournalEntryOf(write, tool_, JournalTimeNow()));
    entries.back().number = last + 1;
    if (WriteFileAtomically(path, JournalText(entries), true, problem) !=
        FileWriteResult::Written) {
        return Refuse(path + ": " + problem);
    }
    return kJournalSaved;
}

}  // namespace vardel::frontend
