#pragma once
// What file_lock.cpp needs of a system that locks the file itself (POSIX flock): one backend,
// file_lock_posix.cpp. Each call does one system call or a retry loop around one, and returns 0 or
// the system's own error code (errno); the order of the steps is file_lock.cpp's. Windows locks a
// named mutex instead and keeps all of it in file_lock_win32.cpp.

#include <cstdint>
#include <string>

namespace vardel::frontend::lock_system {

// A file descriptor; kNoFile is none.
using LockFile = std::intptr_t;
constexpr LockFile kNoFile = -1;

// Opens `path` for reading, so that whoever may read the file may lock it, and without waiting,
// so that a FIFO given as the file does not hang the open.
int OpenToLock(const std::string& path, LockFile& file);

// Takes the exclusive lock on the open file without waiting: `taken` false (and 0) while another
// holds it.
int TryLock(LockFile file, bool& taken);

// Whether `path` names the file open as `file` now: false once a rename put another file in its
// place, or nothing is there.
bool StillNamed(LockFile file, const std::string& path);

// Closes the file; a lock taken through it goes with it.
void CloseFile(LockFile file);

std::string ErrorText(int error);

}  // namespace vardel::frontend::lock_system
