// The file calls on Windows. Errors are GetLastError values. Links and modes need nothing here:
// MoveFileEx replaces the file the name stands for, and a new file takes its folder's rights.

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "files/file_io_system.h"

namespace vardel::frontend::file_system {
namespace {

static_assert(sizeof(FileHandle) == sizeof(HANDLE), "");

HANDLE ToHandle(FileHandle file) {
    return reinterpret_cast<HANDLE>(file);
}
FileHandle FromHandle(HANDLE handle) {
    return reinterpret_cast<FileHandle>(handle);
}

int LastError() {
    return static_cast<int>(GetLastError());
}

// ReadFile and WriteFile take a DWORD count.
constexpr std::size_t kLargestCall = 1u << 30;

}  // namespace

int ReadLink(const std::string&, bool& isLink, std::string&) {
    isLink = false;
    return 0;
}

int Inspect(const std::string& path, FileFacts& facts) {
    facts = FileFacts{};
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                   ? 0
                   : static_cast<int>(error);
    }
    facts.exists = true;
    facts.folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    facts.regular = !facts.folder && (attributes & FILE_ATTRIBUTE_DEVICE) == 0;
    return 0;
}

int CreateExclusive(const std::string& path, const FileFacts&, FileHandle& file) {
    const HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastError();
    file = FromHandle(handle);
    return 0;
}

int WriteAll(FileHandle file, const char* bytes, std::size_t size) {
    while (size > 0) {
        const DWORD asked = static_cast<DWORD>(size < kLargestCall ? size : kLargestCall);
        DWORD written = 0;
        if (!WriteFile(ToHandle(file), bytes, asked, &written, nullptr)) return LastError();
        if (written == 0) return ERROR_DISK_FULL;
        bytes += written;
        size -= written;
    }
    return 0;
}

int FlushToDisk(FileHandle file) {
    return FlushFileBuffers(ToHandle(file)) ? 0 : LastError();
}

int CloseFile(FileHandle file) {
    return CloseHandle(ToHandle(file)) ? 0 : LastError();
}

int RemoveFile(const std::string& path) {
    return DeleteFileA(path.c_str()) ? 0 : LastError();
}

int MoveOver(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? 0
               : LastError();
}

int MoveIfFree(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) ? 0 : LastError();
}

// MOVEFILE_WRITE_THROUGH already waits for the rename to reach the disk.
int OpenFolder(const std::string&, FileHandle& handle) {
    handle = kNoFile;
    return 0;
}

int FlushFolder(FileHandle) {
    return 0;
}

int MakeFolder(const std::string& path) {
    return CreateDirectoryA(path.c_str(), nullptr) ? 0 : LastError();
}

int OpenForReading(const std::string& path, FileHandle& file) {
    const HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastError();
    file = FromHandle(handle);
    return 0;
}

int ReadSome(FileHandle file, char* bytes, std::size_t room, std::size_t& got) {
    got = 0;
    DWORD read = 0;
    const DWORD asked = static_cast<DWORD>(room < kLargestCall ? room : kLargestCall);
    if (!ReadFile(ToHandle(file), bytes, asked, &read, nullptr)) {
        const DWORD error = GetLastError();
        // The other end of a pipe closed: the end of what there is to read.
        return error == ERROR_BROKEN_PIPE ? 0 : static_cast<int>(error);
    }
    got = read;
    return 0;
}

bool IsAlreadyExists(int error) {
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

std::string ErrorText(int error) {
    char text[512];
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(error), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text,
                       sizeof text, nullptr);
    std::string message(text, length);
    // The system's sentences end in a full stop and a line break; the caller's text goes on.
    while (!message.empty() &&
           (message.back() == '\n' || message.back() == '\r' || message.back() == '.')) {
        message.pop_back();
    }
    return message.empty() ? "error " + std::to_string(error) : message;
}

std::uint64_t UniqueNumber() {
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    return static_cast<std::uint64_t>(counter.QuadPart) ^
           (static_cast<std::uint64_t>(GetCurrentProcessId()) << 32) ^
           (static_cast<std::uint64_t>(GetCurrentThreadId()) << 48) ^ GetTickCount64();
}

// A console's Ctrl+C ends the program from a thread of its own; the temporary stays, as after a
// kill, and the file itself is whole.
InterruptWatch::InterruptWatch() = default;
InterruptWatch::~InterruptWatch() = default;
void InterruptWatch::Watch(const std::string&) {}
void InterruptWatch::LetThrough() {}

}  // namespace vardel::frontend::file_system
