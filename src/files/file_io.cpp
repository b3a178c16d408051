#include "files/file_io.h"

#include <cstdint>

#include "files/file_io_system.h"

namespace vardel::frontend {
namespace {

using namespace file_system;

// As the Linux kernel allows in one path.
constexpr int kMostLinksFollowed = 40;
// A name can only be taken by another writer's temporary, itself random: two tries would do.
constexpr int kTemporaryNameTries = 100;

std::string Because(const std::string& what, int error) {
    return what + " (" + ErrorText(error) + ")";
}

// "." for a bare name: the folder the program runs in.
std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A relative link is read from the folder the link is in.
std::string LinkTargetPath(const std::string& link, const std::string& text) {
    if (!text.empty() && text[0] == '/') return text;
    const std::size_t slash = link.find_last_of('/');
    return slash == std::string::npos ? text : link.substr(0, slash + 1) + text;
}

// The real file behind any links at `path`, or the place a new file goes.
bool FinalTarget(const std::string& path, std::string& target, std::string& problem) {
    std::string current = path;
    for (int hop = 0; hop <= kMostLinksFollowed; ++hop) {
        bool isLink = false;
        std::string text;
        if (const int error = ReadLink(current, isLink, text); error != 0) {
            problem = Because("cannot be written", error);
            return false;
        }
        if (!isLink) {
            target = current;
            return true;
        }
        current = LinkTargetPath(current, text);
    }
    problem = "cannot be written (too many symbolic links)";
    return false;
}

// Spreads the bits, so that numbers close together (times, thread ids) give unlike names.
std::uint64_t Mixed(std::uint64_t value) {
    value += 0x9E3779B97F4A7C15ull;
    value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ull;
    value = (value ^ (value >> 27)) * 0x94D049BB133111EBull;
    return value ^ (value >> 31);
}

// FILE.<16 hexadecimal digits>.tmp beside the file: found by the eye (and by a cleanup looking for
// .tmp) should a crash leave one behind, never mistaken for another writer's.
std::string TemporaryPathFor(const std::string& target, std::uint64_t number) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string name = target + ".";
    for (int shift = 60; shift >= 0; shift -= 4) name += kDigits[(number >> shift) & 0xF];
    return name + ".tmp";
}

// Closes what it holds when the write ends early.
class OpenFile {
  public:
    OpenFile() = default;
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    ~OpenFile() {
        if (handle_ != kNoFile) CloseFile(handle_);
    }
    FileHandle& Handle() { return handle_; }
    int Close() {
        const int error = handle_ != kNoFile ? CloseFile(handle_) : 0;
        handle_ = kNoFile;
        return error;
    }

  private:
    FileHandle handle_ = kNoFile;
};

int CreateTemporary(const std::string& target, const FileFacts& replaced, std::string& temporary,
                    OpenFile& file) {
    int error = 0;
    for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
        temporary = TemporaryPathFor(target, Mixed(UniqueNumber() + attempt));
        error = CreateExclusive(temporary, replaced, file.Handle());
        if (!IsAlreadyExists(error)) return error;
    }
    return error;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string& contents, std::string& problem) {
    problem.clear();
    FileFacts facts;
    if (const int error = Inspect(path, facts); error != 0) {
        problem = Because("cannot be opened", error);
        return false;
    }
    if (facts.exists && facts.folder) {
        problem = "is a folder";
        return false;
    }
    OpenFile file;
    if (const int error = OpenForReading(path, file.Handle()); error != 0) {
        problem = Because("cannot be opened", error);
        return false;
    }
    static constexpr std::size_t kChunk = 64 * 1024;
    contents.clear();
    for (;;) {
        const std::size_t had = contents.size();
        contents.resize(had + kChunk);
        std::size_t got = 0;
        const int error = ReadSome(file.Handle(), &contents[had], kChunk, got);
        contents.resize(had + got);
        if (error != 0) {
            problem = Because("cannot be read", error);
            return false;
        }
        if (got == 0) break;
        if (contents.size() > kLargestReadableFile) {
            problem = "is larger than " + std::to_string(kLargestReadableFile / (1024 * 1024)) +
                      " MiB: no file of ours";
            return false;
        }
    }
    // Read only: nothing that closing could lose.
    file.Close();
    return true;
}

bool MakeFolders(const std::string& path, std::string& problem) {
    problem.clear();
    for (std::size_t end = 1; end <= path.size(); ++end) {
        if (end < path.size() && path[end] != '/' && path[end] != '\\') continue;
        const std::string part = path.substr(0, end);
        // A drive's root (C:) is no folder to make.
        if (part.back() == ':' || part.back() == '/' || part.back() == '\\') continue;
        FileFacts facts;
        if (const int error = Inspect(part, facts); error != 0) {
            problem = part + ": " + Because("cannot be looked at", error);
            return false;
        }
        if (facts.exists) {
            if (facts.folder) continue;
            problem = part + ": is not a folder";
            return false;
        }
        if (const int error = MakeFolder(part); error != 0 && !IsAlreadyExists(error)) {
            problem = part + ": " + Because("cannot be made", error);
            return false;
        }
    }
    return true;
}

FileWriteResult WriteFileAtomically(const std::string& path, const std::string& contents,
                                    bool replaceExisting, std::string& problem) {
    problem.clear();
    std::string target;
    if (!FinalTarget(path, target, problem)) return FileWriteResult::Failed;
    FileFacts old;
    if (const int error = Inspect(target, old); error != 0) {
        problem = Because("cannot be written", error);
        return FileWriteResult::Failed;
    }
    if (old.exists && old.folder) {
        problem = "is a folder";
        return FileWriteResult::Failed;
    }
    // A device or a pipe would be replaced by a plain file, not written to.
    if (old.exists && !old.regular) {
        problem = "is not a regular file";
        return FileWriteResult::Failed;
    }
    if (old.exists && !replaceExisting) return FileWriteResult::Exists;

    // Opened before anything is made, so that a folder that cannot be opened stops the write while
    // nothing has changed.
    OpenFile folder;
    if (const int error = OpenFolder(FolderOf(target), folder.Handle()); error != 0) {
        problem = Because("cannot be written: its folder cannot be opened", error);
        return FileWriteResult::Failed;
    }
    std::string temporary;
    OpenFile file;
    // From the temporary's creation until it is renamed or removed, SIGINT and SIGTERM remove it
    // before they end the process.
    InterruptWatch interrupts;
    if (const int error = CreateTemporary(target, old, temporary, file); error != 0) {
        problem = Because("cannot be written: no new file can be made beside it", error);
        return FileWriteResult::Failed;
    }
    interrupts.Watch(temporary);
    int error = WriteAll(file.Handle(), contents.data(), contents.size());
    if (error == 0) error = FlushToDisk(file.Handle());
    // The last chance for the system to report a write it had deferred.
    const int closeError = file.Close();
    if (error == 0) error = closeError;
    if (error != 0) {
        RemoveFile(temporary);
        problem = Because("cannot be written", error);
        return FileWriteResult::Failed;
    }

    error = replaceExisting ? MoveOver(temporary, target) : MoveIfFree(temporary, target);
    if (error != 0) {
        RemoveFile(temporary);
        if (!replaceExisting && IsAlreadyExists(error)) return FileWriteResult::Exists;
        problem = Because("cannot be written: the new file cannot take its place", error);
        return FileWriteResult::Failed;
    }
    // The rename is in the folder's own data: without this a crash could bring back the old file.
    error = folder.Handle() != kNoFile ? FlushFolder(folder.Handle()) : 0;
    const int folderCloseError = folder.Close();
    if (error == 0) error = folderCloseError;
    if (error != 0) {
        problem =
            Because("holds the new contents, but its folder could not be flushed to disk", error);
        return FileWriteResult::Failed;
    }
    return FileWriteResult::Written;
}

}  // namespace vardel::frontend
