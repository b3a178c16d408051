#include "platform/emulated/firmware.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>

namespace vardel::emulated {
namespace {

constexpr std::uint8_t kOpInquiry = 0x12;
constexpr std::uint8_t kOpVendor = 0x06;
constexpr std::uint8_t kVendorRead = 0x05;
constexpr std::uint8_t kVendorWrite = 0x06;
constexpr std::uint8_t kVendorWriteConfig = 0x01;
constexpr std::uint8_t kVendorReadTrailer = 0x80;
constexpr std::size_t kTagOffset = 2;
constexpr std::size_t kTagSize = 6;
constexpr std::uint8_t kInfoTag[kTagSize] = {'I', 'N', 'F', 'O', 0, 0};
constexpr std::uint8_t kIdentityTag[kTagSize] = {0, 0, 0, 0, 0, 0};
constexpr std::size_t kLunIndexOffset = 385;

constexpr std::uint8_t kSenseKeyIllegalRequest = 0x05;
constexpr std::uint8_t kSenseKeyUnitAttention = 0x06;
constexpr std::uint8_t kAscPowerOnOrReset = 0x29;
constexpr std::uint8_t kAscInvalidOpcode = 0x20;
constexpr std::uint8_t kAscInvalidField = 0x24;
constexpr std::size_t kSenseSize = 18;

bool HasTag(const Cdb& cdb, const std::uint8_t (&tag)[kTagSize]) {
    return std::memcmp(cdb.data() + kTagOffset, tag, kTagSize) == 0;
}

void WriteFixedSense(const PassThroughRecord& record, void* out, std::uint8_t senseKey,
                     std::uint8_t asc) {
    std::uint8_t sense[kSenseSize] = {};
    sense[0] = 0x70;
    sense[2] = senseKey;
    sense[7] = static_cast<std::uint8_t>(kSenseSize - 8);
    sense[12] = asc;
    std::memcpy(static_cast<std::uint8_t*>(out) + record.senseInfoOffset, sense,
                std::min<std::size_t>(record.senseInfoLength, kSenseSize));
}

FirmwareAnswer CheckCondition(std::uint8_t asc) {
    FirmwareAnswer answer;
    answer.status = kStatusCheckCondition;
    answer.asc = asc;
    return answer;
}

// What the device receives: the announced CDB bytes, zeros after them.
Cdb AnnouncedCdb(const PassThroughRecord& record) {
    Cdb cdb{};
    std::copy_n(record.cdb.begin(), std::min<std::size_t>(record.cdbLength, kCdbCapacity),
                cdb.begin());
    return cdb;
}

// A disk of some other maker: a plain identity with none of our drive's signature bytes.
std::array<std::uint8_t, kInquirySize> OtherVolumeInquiry() {
    Drive other;
    other.inquiry[2] = 0x05;
    other.inquiry[3] = 0x02;
    other.inquiry[4] = 31;
    SetInquiryText(other, 8, 8, "OTHER");
    SetInquiryText(other, 16, 16, "GENERIC DISK");
    SetInquiryText(other, 32, 4, "1.00");
    return other.inquiry;
}

FirmwareAnswer AnswerInquiry(const std::array<std::uint8_t, kInquirySize>& inquiry, const Cdb& cdb,
                             const PassThroughRecord& record, std::uint8_t* data) {
    constexpr std::uint8_t kEvpd = 0x01;
    if (record.dataIn != kScsiDataIn || (cdb[1] & kEvpd) != 0) {
        return CheckCondition(kAscInvalidField);
    }
    const std::size_t allocation = static_cast<std::size_t>(cdb[3] << 8 | cdb[4]);
    FirmwareAnswer answer;
    answer.moved = static_cast<std::uint32_t>(
        std::min({allocation, static_cast<std::size_t>(record.transferLength), kInquirySize}));
    if (answer.moved > 0) std::memcpy(data, inquiry.data(), answer.moved);
    return answer;
}

FirmwareAnswer AnswerVendorRead(const Drive& drive, std::uint8_t lunIndex, const Cdb& cdb,
                                const PassThroughRecord& record, std::uint8_t* data) {
    if (record.dataIn != kScsiDataIn || record.transferLength != kBlockSize ||
        cdb[8] != kVendorReadTrailer) {
        return CheckCondition(kAscInvalidField);
    }
    FirmwareAnswer answer;
    if (HasTag(cdb, kInfoTag)) {
        answer.moved = static_cast<std::uint32_t>(std::min(drive.configReturned, kBlockSize));
        std::memcpy(data, drive.configBlock.data(), answer.moved);
    } else if (HasTag(cdb, kIdentityTag)) {
        Block identity = drive.identityBlock;
        identity[kLunIndexOffset] = lunIndex;
        answer.moved = static_cast<std::uint32_t>(std::min(drive.identityReturned, kBlockSize));
        std::memcpy(data, identity.data(), answer.moved);
    } else {
        return CheckCondition(kAscInvalidField);
    }
    return answer;
}

FirmwareAnswer AnswerVendorWrite(Drive& drive, const PassThroughRecord& record,
                                 const std::uint8_t* data) {
    if (record.dataIn != kScsiDataOut || record.transferLength != kWrittenSize) {
        return CheckCondition(kAscInvalidField);
    }
    if (drive.keepsWrites) std::memcpy(drive.configBlock.data(), data, kWrittenSize);
    FirmwareAnswer answer;
    answer.moved = kWrittenSize;
    answer.tookData = true;
    return answer;
}

}  // namespace

FirmwareAnswer RunFirmware(Drive* drive, std::uint8_t lunIndex, const PassThroughRecord& record,
                           std::uint8_t* data) {
    const Cdb cdb = AnnouncedCdb(record);
    if (cdb[0] == kOpInquiry) {
        return AnswerInquiry(drive != nullptr ? drive->inquiry : OtherVolumeInquiry(), cdb, record,
                             data);
    }
    if (drive == nullptr || cdb[0] != kOpVendor) return CheckCondition(kAscInvalidOpcode);
    if (cdb[1] == kVendorRead) return AnswerVendorRead(*drive, lunIndex, cdb, record, data);
    if (cdb[1] == kVendorWrite && cdb[2] == kVendorWriteConfig) {
        return AnswerVendorWrite(*drive, record, data);
    }
    return CheckCondition(kAscInvalidOpcode);
}

void WriteSense(const PassThroughRecord& record, void* out, std::uint8_t asc) {
    WriteFixedSense(record, out, kSenseKeyIllegalRequest, asc);
}

void WriteUnitAttentionSense(const PassThroughRecord& record, void* out) {
    WriteFixedSense(record, out, kSenseKeyUnitAttention, kAscPowerOnOrReset);
}

Operation ClassifyCommand(const Cdb& cdb) {
    if (cdb[0] == kOpInquiry) return Operation::Inquiry;
    if (cdb[0] == kOpVendor && cdb[1] == kVendorRead) {
        if (HasTag(cdb, kInfoTag)) return Operation::ReadConfig;
        if (HasTag(cdb, kIdentityTag)) return Operation::ReadIdentity;
    }
    if (cdb[0] == kOpVendor && cdb[1] == kVendorWrite && cdb[2] == kVendorWriteConfig) {
        return Operation::Write;
    }
    return Operation::OtherCommand;
}

}  // namespace vardel::emulated
