#pragma once
// Whether a drive letter belongs to a drive of the kind the tool serves.

#include <cstdint>

#include "platform/platform.h"

namespace vardel {

constexpr std::int32_t kNoSignature = -2;

// 0 when the letter has a mounted-device entry and its INQUIRY data carries "PMAP1234" at bytes
// 36..43 or "PMAP" at bytes 32..35; otherwise the registry's code, the INQUIRY's DriveStatus or
// kNoSignature.
std::int32_t IsCandidateDrive(Platform& platform, char letter);

}  // namespace vardel
