// The file lock's calls on POSIX: flock on a descriptor of the file itself. Errors are errno
// values.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "files/file_lock_system.h"

namespace vardel::frontend::lock_system {
namespace {

int Descriptor(LockFile file) {
    return static_cast<int>(file);
}

}  // namespace

int OpenToLock(const std::string& path, LockFile& file) {
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (descriptor < 0) return errno;
    file = descriptor;
    return 0;
}

int TryLock(LockFile file, bool& taken) {
    int result = 0;
    do {
        result = flock(Descriptor(file), LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    taken = result == 0;
    if (result != 0 && errno != EWOULDBLOCK) return errno;
    return 0;
}

bool StillNamed(LockFile file, const std::string& path) {
    struct stat opened {};
    struct stat named {};
    return fstat(Descriptor(file), &opened) == 0 && stat(path.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

void CloseFile(LockFile file) {
    close(Descriptor(file));
}

std::string ErrorText(int error) {
    return std::system_category().message(error);
}

}  // namespace vardel::frontend::lock_system
