#pragma once
// The three commands the tool sends to a drive. Each opens the volume, sends one request (once
// more when the drive turns it away with a unit attention), closes the volume and returns a
// DriveStatus.

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

namespace vardel {

// 0: the call succeeded with SCSI status GOOD; negative: minus the SCSI status of a call that
// succeeded (-2 for CHECK CONDITION); positive: the platform's error code of a failed open or
// pass-through call.
using DriveStatus = std::int32_t;
constexpr DriveStatus kDriveOk = 0;
// A vendor read that ended GOOD but brought fewer than 528 bytes. Not a system error code: bit 29
// marks the codes an application defines, which no system call returns.
constexpr DriveStatus kDriveShortRead = 0x20000000 | 0x0528;
static_assert(kDriveShortRead > 0 && (kDriveShortRead & 0x20000000) != 0,
              "an application-defined code, positive like the platform's own");

constexpr std::size_t kInquiryLength = 44;
constexpr std::size_t kVendorBlockSize = 528;
constexpr std::size_t kVendorWriteLength = 512;  // the firmware takes the first 512 bytes only
constexpr std::size_t kVendorTagLength = 6;
constexpr std::uint32_t kCommandTimeoutSeconds = 10;

// The direct form hands the driver the caller's block itself, and the port driver refuses a
// buffer that breaks the adapter's alignment mask: every block sent or read is declared
// `alignas(kVendorBlockAlignment) VendorBlock`.
constexpr std::size_t kVendorBlockAlignment = 16;

using InquiryData = std::uint8_t[kInquiryLength];
using VendorBlock = std::uint8_t[kVendorBlockSize];
using VendorTag = std::uint8_t[kVendorTagLength];

// The tag that selects the configuration block; no tag (six zero bytes) selects the identity block.
constexpr VendorTag kInfoTag = {'I', 'N', 'F', 'O', 0, 0};

// Which of the three commands a CommandDetail tells of.
enum class DeviceCommand : std::uint8_t {
    None,
    Inquiry,
    ReadIdentityBlock,  // vendor read without a tag
    ReadConfigBlock,    // vendor read with kInfoTag
    ReadTaggedBlock,    // vendor read with any other tag
    WriteConfigBlock,
    LockDrive,  // not sent to the drive: the system's lock of it (Platform::LockDrive)
};

constexpr std::size_t kDetailSenseSize = 32;

// What the last send of one command met, beyond its DriveStatus, for a front end that says why a
// command failed: the system's error, or the drive's status, sense bytes and the bytes it moved.
// A command given one fills it whole, whether it succeeds or not.
struct CommandDetail {
    DeviceCommand command;
    char letter;
    bool opened;     // the volume opened
    bool delivered;  // the pass-through call succeeded: status, sense and length are the drive's
    std::uint32_t systemError;  // of the open or pass-through call that failed; 0 when none did
    std::uint8_t scsiStatus;
    std::uint8_t senseLength;  // bytes of `sense` the driver announced, at most kDetailSenseSize
    std::uint8_t sense[kDetailSenseSize];
    std::uint32_t bytesRequested;
    std::uint32_t bytesMoved;  // as the driver reported them; 0 when not delivered
};

// Standard INQUIRY for 44 bytes. `out` receives the request's data area even when the call fails.
DriveStatus ScsiInquiry(Platform& platform, char letter, InquiryData& out,
                        CommandDetail* detail = nullptr);

// Vendor read of the 528-byte block selected by `tag` (nullptr: six zero bytes). A read counts
// only when the whole block arrived: fewer bytes with status GOOD give kDriveShortRead, and the
// rest of `out` must not be taken for the drive's data.
DriveStatus VendorRead(Platform& platform, char letter, const VendorTag* tag, VendorBlock& out,
                       CommandDetail* detail = nullptr);

// Vendor write of the block's bytes 0..511; bytes 512..527 never leave the caller.
DriveStatus VendorWrite(Platform& platform, char letter, const VendorBlock& block,
                        CommandDetail* detail = nullptr);

}  // namespace vardel
