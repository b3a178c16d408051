#include "drive/candidate_drive.h"

#include <cstdio>
#include <cstring>

#include "device/scsi_commands.h"
#include "platform/platform_constants.h"

namespace vardel {
namespace {

constexpr char kMountedDevicesKey[] = "System\\MountedDevices";
constexpr std::uint32_t kMountedEntryBufferSize = 1024;
constexpr int kValueNameSize = 16;  // "\DosDevices\E:" and its terminating zero

// Long signature in the vendor-specific bytes, short one in the product revision.
constexpr char kLongSignature[] = "PMAP1234";
constexpr std::size_t kLongSignatureOffset = 36;
constexpr char kShortSignature[] = "PMAP";
constexpr std::size_t kShortSignatureOffset = 32;

// The volume manager lists every mounted volume under its \DosDevices name; the contents of the
// entry do not matter, only that it is there.
std::int32_t QueryMountedEntry(Platform& platform, char letter) {
    RegistryKey key = 0;
    std::int32_t result =
        platform.OpenRegistryKey(kHkeyLocalMachine, kMountedDevicesKey, kKeyRead, &key);
    if (result != 0) return result;

    char valueName[kValueNameSize];
    std::snprintf(valueName, sizeof(valueName), "\\DosDevices\\%c:", letter);
    std::uint8_t data[kMountedEntryBufferSize];
    std::uint32_t size = sizeof(data);
    result = platform.QueryRegistryValue(key, valueName, data, &size);
    platform.CloseRegistryKey(key);
    return result;
}

bool HasSignature(const InquiryData& inquiry, std::size_t offset, const char* signature,
                  std::size_t length) {
    return inquiry[offset] != 0 && std::memcmp(&inquiry[offset], signature, length) == 0;
}

}  // namespace

bool CarriesSignature(const InquiryData& inquiry) {
    return HasSignature(inquiry, kLongSignatureOffset, kLongSignature,
                        sizeof(kLongSignature) - 1) ||
           HasSignature(inquiry, kShortSignatureOffset, kShortSignature,
                        sizeof(kShortSignature) - 1);
}

CandidateCheck CheckCandidate(Platform& platform, char letter) {
    const std::int32_t entry = QueryMountedEntry(platform, letter);
    if (entry != 0) return {CandidateStep::NoEntry, entry};

    InquiryData inquiry = {};
    const DriveStatus status = ScsiInquiry(platform, letter, inquiry);
    if (status != kDriveOk) return {CandidateStep::InquiryFailed, status};
    if (CarriesSignature(inquiry)) return {CandidateStep::Candidate, 0};
    return {CandidateStep::NoSignature, kNoSignature};
}

std::int32_t IsCandidateDrive(Platform& platform, char letter) {
    return CheckCandidate(platform, letter).code;
}

}  // namespace vardel
