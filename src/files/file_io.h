#pragma once
// Whole files in and out: the scenario and backup files are read at once and replaced so that a
// crash, a full disk or a second run at the same time never leaves half a file behind.

#include <cstddef>
#include <string>

namespace vardel::frontend {

// Both files are a few kilobytes; a larger one is no file of ours (or a device that never ends),
// and reading it whole would only fill the memory.
constexpr std::size_t kLargestReadableFile = 16u * 1024 * 1024;

// Reads the whole file. False, with `problem` saying why ("is a folder", "cannot be opened (No such
// file or directory)", ...), when it cannot.
bool ReadWholeFile(const std::string& path, std::string& contents, std::string& problem);

enum class FileWriteResult { Written, Exists, Failed };

// Puts `contents` at `path` so that the file is at every moment either exactly the old whole file
// or exactly the new one. A symlink at `path` is followed to the real file, which is replaced (the
// link stays). The temporary file is made with a unique name beside the real file, gets the old
// file's mode and, where the system lets it, its owner (a new file: 0666 less the umask), is
// written, fsync'd and renamed over the file; the folder is then fsync'd. Only a temporary made
// here is ever removed. With `replaceExisting` false an existing file is left alone and the result
// is Exists (atomically: no window in which another writer's file is clobbered). Failed: `problem`
// says why (with the system's reason), and the old file is untouched; the one exception is a folder
// that cannot be flushed after the rename, where `problem` says that the new file is in place.
// SIGINT or SIGTERM during the write removes the temporary before the process ends (POSIX); a kill
// that cannot be caught (SIGKILL) leaves it beside the intact file.
FileWriteResult WriteFileAtomically(const std::string& path, const std::string& contents,
                                    bool replaceExisting, std::string& problem);

// Makes the folder `path` and every missing folder above it (private to the user where the system
// has modes). True when it is a folder afterwards; false with `problem` naming the part that is
// no folder or cannot be made, and why.
bool MakeFolders(const std::string& path, std::string& problem);

}  // namespace vardel::frontend
