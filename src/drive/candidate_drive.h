#pragma once
// Whether a drive letter belongs to a drive of the kind the tool serves.

#include <cstdint>

#include "device/scsi_commands.h"
#include "platform/platform.h"

namespace vardel {

constexpr std::int32_t kNoSignature = -2;

// 0 when the letter has a mounted-device entry and its INQUIRY data carries "PMAP1234" at bytes
// 36..43 or "PMAP" at bytes 32..35; otherwise the registry's code, the INQUIRY's DriveStatus or
// kNoSignature.
std::int32_t IsCandidateDrive(Platform& platform, char letter);

// How far the check of a letter got: a letter without mounted-device entry is no disk at all, one
// whose open or INQUIRY failed is a disk that said nothing of what it is.
enum class CandidateStep { NoEntry, InquiryFailed, NoSignature, Candidate };

struct CandidateCheck {
    CandidateStep step;
    std::int32_t code;  // the registry's code (NoEntry) or the INQUIRY's DriveStatus
};

CandidateCheck CheckCandidate(Platform& platform, char letter);

// The signature of the served kind: "PMAP1234" at bytes 36..43, or "PMAP" at bytes 32..35 (the
// product revision). Both compare exactly: case matters and a zero byte inside is a mismatch.
bool CarriesSignature(const InquiryData& inquiry);

}  // namespace vardel
