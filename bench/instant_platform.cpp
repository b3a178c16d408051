#include "instant_platform.h"

#include <algorithm>
#include <cstring>

#include "platform/platform_constants.h"
#include "platform/scsi_pass_through.h"

namespace vardel::bench {
namespace {

constexpr std::size_t kLunIndexOffset = 385;

// The handle is the letter itself, so that Control knows the volume without a table.
char LetterOf(VolumeHandle handle) {
    return static_cast<char>(handle);
}

template <typename Header>
void AnswerCommand(Header& header, std::uint8_t* data, char letter, emulated::Drive& drive,
                   const emulated::Drive& other) {
    const bool ours = letter == 'E' || letter == 'F';
    const std::uint8_t* cdb = header.Cdb;
    std::uint32_t moved = 0;
    if (cdb[0] == 0x12) {
        const auto& inquiry = ours ? drive.inquiry : other.inquiry;
        moved = std::min<std::uint32_t>(header.DataTransferLength,
                                        static_cast<std::uint32_t>(inquiry.size()));
        std::memcpy(data, inquiry.data(), moved);
    } else if (ours && cdb[0] == 0x06 && cdb[1] == 0x05) {
        const bool info = cdb[2] == 'I';
        std::memcpy(data, info ? drive.configBlock.data() : drive.identityBlock.data(),
                    emulated::kBlockSize);
        if (!info) data[kLunIndexOffset] = letter == 'E' ? 0 : 1;
        moved = emulated::kBlockSize;
    } else if (ours && cdb[0] == 0x06 && cdb[1] == 0x06) {
        std::memcpy(drive.configBlock.data(), data, emulated::kWrittenSize);
        moved = emulated::kWrittenSize;
    } else {
        header.ScsiStatus = 2;  // CHECK CONDITION
        header.DataTransferLength = 0;
        return;
    }
    header.ScsiStatus = 0;
    header.DataTransferLength = moved;
}

}  // namespace

InstantPlatform::InstantPlatform() : drive_(emulated::StandardDrive()) {
    emulated::SetInquiryText(other_, 8, 8, "OTHER");
    emulated::SetInquiryText(other_, 16, 16, "GENERIC DISK");
    emulated::SetInquiryText(other_, 32, 4, "1.00");
}

VolumeHandle InstantPlatform::Open(const char* path, std::uint32_t, std::uint32_t, std::uint32_t,
                                   std::uint32_t) {
    return static_cast<VolumeHandle>(path[4]);
}

bool InstantPlatform::Control(VolumeHandle handle, std::uint32_t controlCode, void* in,
                              std::uint32_t, void* out, std::uint32_t,
                              std::uint32_t* bytesReturned) {
    const char letter = LetterOf(handle);
    if (controlCode == kIoctlScsiGetAddress) {
        // E: and F: are the two LUNs of one device; every other letter is a device of its own.
        const bool ours = letter == 'E' || letter == 'F';
        ScsiAddress address{};
        address.Length = sizeof address;
        address.PortNumber = static_cast<std::uint8_t>(ours ? 'E' : letter);
        address.Lun = letter == 'F' ? 1 : 0;
        std::memcpy(out, &address, sizeof address);
        *bytesReturned = sizeof address;
    } else if (controlCode == kIoctlScsiPassThroughDirect) {
        ScsiPassThroughDirect header;
        std::memcpy(&header, in, sizeof header);
        AnswerCommand(header, static_cast<std::uint8_t*>(header.DataBuffer), letter, drive_,
                      other_);
        std::memcpy(out, &header, sizeof header);
        *bytesReturned = sizeof header;
    } else {
        ScsiPassThrough header;
        std::memcpy(&header, in, sizeof header);
        AnswerCommand(header, static_cast<std::uint8_t*>(out) + header.DataBufferOffset, letter,
                      drive_, other_);
        std::memcpy(out, &header, sizeof header);
        *bytesReturned =
            static_cast<std::uint32_t>(header.DataBufferOffset + header.DataTransferLength);
    }
    return true;
}

std::int32_t InstantPlatform::OpenRegistryKey(RegistryKey, const char*, std::uint32_t,
                                              RegistryKey* key) {
    *key = 1;
    return 0;
}

std::int32_t InstantPlatform::QueryRegistryValue(RegistryKey, const char*, std::uint8_t* data,
                                                 std::uint32_t* dataSize) {
    constexpr std::uint8_t kEntry[12] = {'V', 'D', 0, 0, 0x00, 0x7E};
    std::memcpy(data, kEntry, sizeof kEntry);
    *dataSize = sizeof kEntry;
    return 0;
}

}  // namespace vardel::bench
