// The file lock where the system locks the file itself: no lock file is left anywhere, and the
// lock is taken anew when the path names another file by the time it is held (a save replaces
// the file by a rename, and a lock on the file it replaced keeps no one out). The system calls are
// file_lock_system.h's.

#include "files/file_lock.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "files/file_lock_system.h"

namespace vardel::frontend {
namespace {

constexpr std::chrono::milliseconds kRetryInterval{20};

}  // namespace

FileLock::~FileLock() {
    if (handle_ != lock_system::kNoFile) lock_system::CloseFile(handle_);
}

FileLockResult FileLock::Take(const std::string& path, std::uint32_t waitMilliseconds,
                              std::string& problem) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMilliseconds);
    for (;;) {
        lock_system::LockFile file = lock_system::kNoFile;
        int error = lock_system::OpenToLock(path, file);
        if (error != 0) {
            problem = "cannot be opened (" + lock_system::ErrorText(error) + ")";
            return FileLockResult::Failed;
        }
        bool taken = false;
        error = lock_system::TryLock(file, taken);
        if (error == 0 && taken && lock_system::StillNamed(file, path)) {
            handle_ = file;
            return FileLockResult::Held;
        }
        lock_system::CloseFile(file);
        if (error != 0) {
            problem = "cannot be locked (" + lock_system::ErrorText(error) + ")";
            return FileLockResult::Failed;
        }
        // Replaced between the open and the lock: the new file is tried at once.
        if (taken) continue;
        // Held by another run.
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return FileLockResult::Busy;
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(kRetryInterval, deadline - now));
    }
}

}  // namespace vardel::frontend
