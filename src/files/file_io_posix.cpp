// The file calls on Linux (and any POSIX system with renameat2 or link). Errors are errno values.

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <ctime>
#include <system_error>

#include "files/file_io_system.h"

namespace vardel::frontend::file_system {
namespace {

int Descriptor(FileHandle file) {
    return static_cast<int>(file);
}

void Describe(const struct stat& status, FileFacts& facts) {
    facts.exists = true;
    facts.folder = S_ISDIR(status.st_mode);
    facts.regular = S_ISREG(status.st_mode);
    facts.mode = status.st_mode & 07777;
    facts.owner = status.st_uid;
    facts.group = status.st_gid;
}

// Root writing a user's file leaves it theirs. Others cannot give a file away; their replacement
// is then their own, as an editor's would be, so a refusal is no failure.
bool KeepOwner(int descriptor, const FileFacts& replaced) {
    return fchown(descriptor, replaced.owner, replaced.group) == 0 ||
           fchown(descriptor, static_cast<uid_t>(-1), replaced.group) == 0;
}

}  // namespace

int ReadLink(const std::string& path, bool& isLink, std::string& text) {
    isLink = false;
    struct stat status {};
    if (lstat(path.c_str(), &status) != 0) return errno == ENOENT ? 0 : errno;
    if (!S_ISLNK(status.st_mode)) return 0;
    char buffer[PATH_MAX];
    const ssize_t length = readlink(path.c_str(), buffer, sizeof buffer);
    if (length < 0) return errno;
    if (static_cast<std::size_t>(length) == sizeof buffer) return ENAMETOOLONG;
    isLink = true;
    text.assign(buffer, static_cast<std::size_t>(length));
    return 0;
}

int Inspect(const std::string& path, FileFacts& facts) {
    facts = FileFacts{};
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) return errno == ENOENT ? 0 : errno;
    Describe(status, facts);
    return 0;
}

int CreateExclusive(const std::string& path, const FileFacts& replaced, FileHandle& file) {
    // A new file gets 0666 less the umask (and a folder's default ACL) from the system itself; a
    // replacement starts private and then takes the old file's mode.
    const mode_t mode = replaced.exists ? 0600 : 0666;
    const int descriptor =
        open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, mode);
    if (descriptor < 0) return errno;
    if (replaced.exists) {
        KeepOwner(descriptor, replaced);
        // On a file of our own only a file system that keeps no modes (FAT) refuses with EPERM.
        if (fchmod(descriptor, static_cast<mode_t>(replaced.mode)) != 0 && errno != EPERM) {
            const int error = errno;
            close(descriptor);
            unlink(path.c_str());
            return error;
        }
    }
    file = descriptor;
    return 0;
}

int WriteAll(FileHandle file, const char* bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t written = write(Descriptor(file), bytes, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (written == 0) return ENOSPC;
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return 0;
}

int FlushToDisk(FileHandle file) {
    return fsync(Descriptor(file)) != 0 ? errno : 0;
}

int CloseFile(FileHandle file) {
    // Linux releases the descriptor even when close is interrupted: no retry.
    if (close(Descriptor(file)) != 0 && errno != EINTR) return errno;
    return 0;
}

int RemoveFile(const std::string& path) {
    return unlink(path.c_str()) != 0 ? errno : 0;
}

int MoveOver(const std::string& from, const std::string& to) {
    return rename(from.c_str(), to.c_str()) != 0 ? errno : 0;
}

int MoveIfFree(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // A file system without that rename: a second name for the file, which the system refuses
    // as well when the name is taken, then the temporary name goes.
    if (link(from.c_str(), to.c_str()) != 0) return errno;
    // The file is in place; a temporary name left behind is only a second name for it.
    (void)unlink(from.c_str());
    return 0;
}

int OpenFolder(const std::string& folder, FileHandle& handle) {
    handle = kNoFile;
    const int descriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) {
        // A folder one may write in but not list (mode -wx) cannot be opened to be flushed; the
        // rename is still made, as every program makes it there.
        return errno == EACCES ? 0 : errno;
    }
    handle = descriptor;
    return 0;
}

int FlushFolder(FileHandle folder) {
    // Some file systems cannot flush a folder at all, and say so with EINVAL.
    if (fsync(Descriptor(folder)) != 0 && errno != EINVAL) return errno;
    return 0;
}

int MakeFolder(const std::string& path) {
    return mkdir(path.c_str(), 0700) != 0 ? errno : 0;
}

int OpenForReading(const std::string& path, FileHandle& file) {
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0) return errno;
    file = descriptor;
    return 0;
}

int ReadSome(FileHandle file, char* bytes, std::size_t room, std::size_t& got) {
    got = 0;
    for (;;) {
        const ssize_t read = ::read(Descriptor(file), bytes, room);
        if (read >= 0) {
            got = static_cast<std::size_t>(read);
            return 0;
        }
        if (errno != EINTR) return errno;
    }
}

bool IsAlreadyExists(int error) {
    return error == EEXIST;
}

std::string ErrorText(int error) {
    return std::generic_category().message(error);
}

std::uint64_t UniqueNumber() {
    std::uint64_t number = 0;
    if (getrandom(&number, sizeof number, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof number)) {
        return number;
    }
    // Early in boot the pool may not be ready: the time, the process and the thread's stack.
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<std::uint64_t>(now.tv_nsec) ^
           (static_cast<std::uint64_t>(now.tv_sec) << 30) ^
           (static_cast<std::uint64_t>(getpid()) << 40) ^ reinterpret_cast<std::uintptr_t>(&now);
}

}  // namespace vardel::frontend::file_system
