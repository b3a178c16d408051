#include "device/volume.h"

#include <cstdio>

#include "platform/platform_constants.h"

namespace vardel {

void FormatVolumePath(char letter, char (&path)[kVolumePathSize]) {
    std::snprintf(path, sizeof(path), "\\\\.\\%c:", letter);
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
