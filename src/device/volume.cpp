#include "device/volume.h"

#include <cstdio>
#include <cstring>

#include "platform/platform_constants.h"

namespace vardel {

void FormatVolumePath(char letter, char (&path)[kVolumePathSize]) {
    std::snprintf(path, sizeof(path), "\\\\.\\%c:", letter);
}

char VolumePathLetter(const char* path) {
    if (path == nullptr || std::strlen(path) != kVolumePathSize - 1) return 0;
    if (std::strncmp(path, "\\\\.\\", 4) != 0 || path[5] != ':') return 0;
    const char letter = path[4];
    if (letter >= 'a' && letter <= 'z') return static_cast<char>(letter - 'a' + 'A');
    return letter >= 'A' && letter <= 'Z' ? letter : 0;
}

VolumeHandle OpenVolume(Platform& platform, char letter) {
    char path[kVolumePathSize];
    FormatVolumePath(letter, path);
    return platform.Open(path, kGenericRead | kGenericWrite, kFileShareRead | kFileShareWrite,
                         kOpenExisting, kFileFlagNoBuffering);
}

void CloseVolume(Platform& platform, VolumeHandle& handle) {
    platform.Close(handle);
    handle = kNullVolumeHandle;
}

}  // namespace vardel
