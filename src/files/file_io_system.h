#pragma once
// What file_io.cpp needs of the system, one backend each: file_io_posix.cpp, file_io_win32.cpp.
// Each call does one system call or a retry loop around one, and returns 0 or the system's own
// error code (errno, or GetLastError on Windows); the order of the steps is file_io.cpp's.

#include <cstddef>
#include <cstdint>
#include <string>

namespace vardel::frontend::file_system {

// A file descriptor, or a HANDLE; kNoFile is neither (-1 is also INVALID_HANDLE_VALUE).
using FileHandle = std::intptr_t;
constexpr FileHandle kNoFile = -1;

struct FileFacts {
    bool exists = false;
    bool folder = false;
    bool regular = false;  // a plain file: no device, pipe or socket
    // Kept by the POSIX backend only: what the replacement must carry over.
    std::uint32_t mode = 0;
    std::uint32_t owner = 0;
    std::uint32_t group = 0;
};

// Whether `path` itself is a symbolic link, and then the text it holds. A path that does not exist
// is no link (and no error): the file is new. Windows: never a link.
int ReadLink(const std::string& path, bool& isLink, std::string& text);

// The file at `path`, links followed. A path that does not exist gives `exists` false and 0.
int Inspect(const std::string& path, FileFacts& facts);

// Makes `path` only if nothing is there (IsAlreadyExists otherwise), open for writing. When
// `replaced` exists, the new file takes its mode and owner; else the usual mode for a new file.
int CreateExclusive(const std::string& path, const FileFacts& replaced, FileHandle& file);
int WriteAll(FileHandle file, const char* bytes, std::size_t size);
int FlushToDisk(FileHandle file);
int CloseFile(FileHandle file);
int RemoveFile(const std::string& path);

// `from` takes the place of `to`, in one step.
int MoveOver(const std::string& from, const std::string& to);
// The same, but only when nothing is at `to` (IsAlreadyExists otherwise), with no moment in which
// a file that appears there could be replaced.
int MoveIfFree(const std::string& from, const std::string& to);

// The folder, open so that a rename in it can be made durable; kNoFile (and 0) where the system
// needs no such step or the folder cannot be opened for it.
int OpenFolder(const std::string& folder, FileHandle& handle);
int FlushFolder(FileHandle folder);

// Makes one folder, private to the user where the system has modes (0700); IsAlreadyExists when
// something is there already.
int MakeFolder(const std::string& path);

int OpenForReading(const std::string& path, FileHandle& file);
// `got` 0 at the end of the file.
int ReadSome(FileHandle file, char* bytes, std::size_t room, std::size_t& got);

bool IsAlreadyExists(int error);
std::string ErrorText(int error);

// Removes a write's temporary should SIGINT or SIGTERM end the process while it exists, then lets
// the signal end the process as it would have (the action in place before). From construction to
// Watch the two signals wait (in this thread), so that none strikes between the temporary's
// creation and its registration; the destructor ends the watch, puts the handlers back and lets a
// waiting signal through. A signal the process ignores stays ignored. One write at a time is
// watched (the programs write one file at a time; a second, in another thread, goes unwatched):
// a signal handler reaches nothing but a fixed place. POSIX: file_io_signals_posix.cpp; Windows
// keeps no watch. Nothing can remove the temporary after SIGKILL or a power cut.
class InterruptWatch {
  public:
    InterruptWatch();
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    void Watch(const std::string& temporary);

  private:
    void LetThrough();

    unsigned held_ = 0;  // the signals this watch holds back, as bits
    bool watching_ = false;
};

// Different in every call, in every thread and process, as far as the system can tell; it names the
// temporary files.
std::uint64_t UniqueNumber();

}  // namespace vardel::frontend::file_system
