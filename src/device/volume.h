#pragma once
// Opening a drive's volume by its letter, for one command at a time.

#include "platform/platform.h"

namespace vardel {

constexpr int kVolumePathSize = 7;  // "\\.\E:" and its terminating zero

// Writes "\\.\<letter>:" into `path`.
void FormatVolumePath(char letter, char (&path)[kVolumePathSize]);

// The letter, in upper case, of a path FormatVolumePath writes; 0 for any other path.
char VolumePathLetter(const char* path);

// Read/write, shared for reading and writing, existing volume, unbuffered. Gives
// kInvalidVolumeHandle on failure; the caller fetches the error code.
VolumeHandle OpenVolume(Platform& platform, char letter);

// Closes the handle and sets the variable to null.
void CloseVolume(Platform& platform, VolumeHandle& handle);

}  // namespace vardel
