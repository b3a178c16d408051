// The file lock on Windows: a named mutex whose name comes from the file's full path (case left
// out, as the file system leaves it out), in the Global namespace or, where that is refused, the
// session's own. An abandoned mutex (a run ended while it held the file) counts as taken.

#include <cstdio>

#include "files/file_lock.h"
#include "platform/scsi_pass_through.h"  // windows.h

namespace vardel::frontend {
namespace {

// FNV-1a: a mutex name cannot hold the path itself (no backslash, at most MAX_PATH).
std::uint64_t PathHash(const std::string& path) {
    std::uint64_t hash = 14695981039346656037ull;
    for (char c : path) {
        const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        hash = (hash ^ static_cast<unsigned char>(lower)) * 1099511628211ull;
    }
    return hash;
}

}  // namespace

FileLock::~FileLock() {
    if (handle_ == -1) return;
    const HANDLE mutex = reinterpret_cast<HANDLE>(handle_);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
}

FileLockResult FileLock::Take(const std::string& path, std::uint32_t waitMilliseconds,
                              std::string& problem) {
    char full[MAX_PATH * 4];
    const DWORD length = GetFullPathNameA(path.c_str(), sizeof(full), full, nullptr);
    const std::string named = length > 0 && length < sizeof(full) ? full : path;
    char name[64];
    std::snprintf(name, sizeof(name), "Vardel.File.%016llx",
                  static_cast<unsigned long long>(PathHash(named)));
    HANDLE mutex = CreateMutexA(nullptr, FALSE, (std::string("Global\\") + name).c_str());
    if (mutex == nullptr && GetLastError() == ERROR_ACCESS_DENIED) {
        mutex = CreateMutexA(nullptr, FALSE, (std::string("Local\\") + name).c_str());
    }
    if (mutex == nullptr) {
        problem = "cannot be locked (system error " + std::to_string(GetLastError()) + ")";
        return FileLockResult::Failed;
    }
    const DWORD waited = WaitForSingleObject(mutex, waitMilliseconds);
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
        handle_ = reinterpret_cast<std::intptr_t>(mutex);
        return FileLockResult::Held;
    }
    const DWORD error = GetLastError();
    CloseHandle(mutex);
    if (waited == WAIT_TIMEOUT) return FileLockResult::Busy;
    problem = "cannot be locked (system error " + std::to_string(error) + ")";
    return FileLockResult::Failed;
}

}  // namespace vardel::frontend
