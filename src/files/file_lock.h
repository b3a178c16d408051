#pragma once
// An exclusive lock on a file that other programs of ours replace whole (a scenario file, the
// emulated drive's state): held from before the file is read until after its new state is in
// place, so that two runs never both change what they read. POSIX: flock on the file, taken anew
// when the path names another file by then (a save replaces the file by a rename); file_lock.cpp,
// on the system layer of file_lock_system.h. Windows: a named mutex from the file's full path.

#include <cstdint>
#include <string>

namespace vardel::frontend {

enum class FileLockResult { Held, Busy, Failed };

class FileLock {
  public:
    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Waits up to `waitMilliseconds` while another program holds the file. Failed: `problem`
    // says why (the file cannot be opened, say).
    FileLockResult Take(const std::string& path, std::uint32_t waitMilliseconds,
                        std::string& problem);

  private:
    std::intptr_t handle_ = -1;  // a descriptor, or a mutex HANDLE
};

}  // namespace vardel::frontend
