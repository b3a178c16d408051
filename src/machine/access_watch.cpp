#include "machine/access_watch.h"

#include "device/volume.h"
#include "platform/platform_constants.h"

namespace vardel::frontend {

// The error code is read once here; reading it again for the caller gives the same code, as no
// other call comes in between.
VolumeHandle AccessWatch::Open(const char* path, std::uint32_t access, std::uint32_t share,
                               std::uint32_t disposition, std::uint32_t flags) {
    const VolumeHandle handle = inner_->Open(path, access, share, disposition, flags);
    if (handle == kInvalidVolumeHandle && isNoRights_(inner_->LastError())) {
        sawNoRights_ = true;
        const char letter = VolumePathLetter(path);
        if (letter != 0) noRightsLetters_ |= 1u << (letter - 'A');
    }
    return handle;
}

bool IsEmulatedNoRightsError(std::uint32_t error) {
    return error == kErrorAccessDenied;
}

}  // namespace vardel::frontend
