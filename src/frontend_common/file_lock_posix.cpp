// The file lock on POSIX: flock on a descriptor of the file itself, so that no lock file is left
// anywhere and whoever may read the file may lock it.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <chrono>
#include <system_error>
#include <thread>

#include "frontend_common/file_lock.h"

namespace vardel::frontend {
namespace {

constexpr std::chrono::milliseconds kRetryInterval{20};

std::string Reason(int error) {
    return std::system_category().message(error);
}

// Whether the descriptor still stands for the file the path names.
bool StillNamed(int descriptor, const std::string& path) {
    struct stat opened {};
    struct stat named {};
    return fstat(descriptor, &opened) == 0 && stat(path.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

}  // namespace

FileLock::~FileLock() {
    if (handle_ >= 0) close(static_cast<int>(handle_));
}

FileLockResult FileLock::Take(const std::string& path, std::uint32_t waitMilliseconds,
                              std::string& problem) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMilliseconds);
    for (;;) {
        // Non-blocking, so that a FIFO given as the file does not hang the open.
        const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (descriptor < 0) {
            problem = "cannot be opened (" + Reason(errno) + ")";
            return FileLockResult::Failed;
        }
        int result = 0;
        do {
            result = flock(descriptor, LOCK_EX | LOCK_NB);
        } while (result != 0 && errno == EINTR);
        const int error = result == 0 ? 0 : errno;
        if (result == 0 && StillNamed(descriptor, path)) {
            handle_ = descriptor;
            return FileLockResult::Held;
        }
        close(descriptor);
        if (result != 0 && error != EWOULDBLOCK) {
            problem = "cannot be locked (" + Reason(error) + ")";
            return FileLockResult::Failed;
        }
        // Held by another run, or replaced while this one waited: the new file is tried at once.
        if (result == 0) continue;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return FileLockResult::Busy;
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(kRetryInterval, deadline - now));
    }
}

}  // namespace vardel::frontend
