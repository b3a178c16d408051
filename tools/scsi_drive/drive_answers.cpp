#include "scsi_drive/drive_answers.h"

#include <algorithm>
#include <cstring>

#include "platform/emulated/firmware.h"
#include "platform/emulated/pass_through_record.h"

namespace vardel::scsi_drive {
namespace {

constexpr std::uint8_t kOpTestUnitReady = 0x00;
constexpr std::uint8_t kOpRead6 = 0x08;
constexpr std::uint8_t kOpWrite6 = 0x0A;
constexpr std::uint8_t kOpInquiry = 0x12;
constexpr std::uint8_t kOpModeSense6 = 0x1A;
constexpr std::uint8_t kOpPreventAllow = 0x1E;
constexpr std::uint8_t kOpReadCapacity10 = 0x25;
constexpr std::uint8_t kOpRead10 = 0x28;
constexpr std::uint8_t kOpWrite10 = 0x2A;
constexpr std::uint8_t kOpSynchronizeCache = 0x35;
constexpr std::uint8_t kOpRead16 = 0x88;
constexpr std::uint8_t kOpWrite16 = 0x8A;
constexpr std::uint8_t kOpServiceAction16 = 0x9E;
constexpr std::uint8_t kReadCapacity16Action = 0x10;
constexpr std::uint8_t kOpVendor = 0x06;

constexpr std::uint32_t kBlockBytes = 512;
constexpr std::uint8_t kSenseKeyIllegalRequest = 0x05;
constexpr std::uint8_t kAscInvalidOpcode = 0x20;
constexpr std::size_t kMaxCdbLength = 16;

void PutBigEndian(std::uint8_t* at, std::uint64_t value, std::size_t bytes) {
    for (std::size_t i = 0; i < bytes; ++i) {
        at[i] = static_cast<std::uint8_t>(value >> (8 * (bytes - 1 - i)));
    }
}

std::uint32_t GetBigEndian(const std::uint8_t* at, std::size_t bytes) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < bytes; ++i) value = value << 8 | at[i];
    return value;
}

ScsiAnswer Good(std::size_t moved = 0) {
    ScsiAnswer answer;
    answer.moved = moved;
    return answer;
}

ScsiAnswer IllegalRequest(std::uint8_t asc) {
    ScsiAnswer answer;
    answer.status = emulated::kStatusCheckCondition;
    answer.sense[0] = 0x70;
    answer.sense[2] = kSenseKeyIllegalRequest;
    answer.sense[7] = static_cast<std::uint8_t>(kFixedSenseLength - 8);
    answer.sense[12] = asc;
    answer.senseLength = kFixedSenseLength;
    return answer;
}

// Copies an answer of `size` bytes, cut to the allocation length and to the data buffer.
ScsiAnswer Reply(const std::uint8_t* reply, std::size_t size, std::size_t allocation,
                 std::uint8_t* data, std::size_t dataLength) {
    const std::size_t moved = std::min({size, allocation, dataLength});
    if (moved > 0) std::memcpy(data, reply, moved);
    return Good(moved);
}

ScsiAnswer ReadCapacity10(const DriveBehaviour& behaviour, std::uint8_t* data,
                          std::size_t dataLength) {
    std::uint8_t reply[8] = {};
    PutBigEndian(reply, behaviour.blockCount - 1, 4);
    PutBigEndian(reply + 4, kBlockBytes, 4);
    return Reply(reply, sizeof reply, sizeof reply, data, dataLength);
}

ScsiAnswer ReadCapacity16(const DriveBehaviour& behaviour, const std::uint8_t* cdb,
                          std::uint8_t* data, std::size_t dataLength) {
    std::uint8_t reply[32] = {};
    PutBigEndian(reply, behaviour.blockCount - 1, 8);
    PutBigEndian(reply + 8, kBlockBytes, 4);
    return Reply(reply, sizeof reply, GetBigEndian(cdb + 10, 4), data, dataLength);
}

// A mode parameter header with no block descriptor and no page.
ScsiAnswer ModeSense6(const std::uint8_t* cdb, std::uint8_t* data, std::size_t dataLength) {
    const std::uint8_t reply[4] = {3, 0, 0, 0};
    return Reply(reply, sizeof reply, cdb[4], data, dataLength);
}

// INQUIRY and the vendor commands go to the firmware model as the record a pass-through call
// would give it, with the CDB exactly as it arrived: the model checks every byte the firmware
// checks (the vendor read's byte 8, the write's mode byte) and the data's direction.
ScsiAnswer AskFirmware(emulated::Drive& drive, std::uint8_t lunIndex, const std::uint8_t* cdb,
                       std::size_t cdbLength, DataDirection direction, std::uint8_t* data,
                       std::size_t dataLength) {
    emulated::PassThroughRecord record;
    std::copy_n(cdb, std::min(cdbLength, record.cdb.size()), record.cdb.begin());
    record.cdbLength = static_cast<std::uint8_t>(cdbLength);
    record.dataIn = direction == DataDirection::FromInitiator ? kScsiDataOut
                    : direction == DataDirection::ToInitiator ? kScsiDataIn
                                                              : kScsiDataUnspecified;
    record.transferLength = static_cast<std::uint32_t>(dataLength);
    const emulated::FirmwareAnswer answer = emulated::RunFirmware(&drive, lunIndex, record, data);
    if (answer.status == emulated::kStatusCheckCondition) return IllegalRequest(answer.asc);
    ScsiAnswer good = Good(answer.moved);
    good.status = answer.status;
    return good;
}

}  // namespace

ScsiAnswer AnswerCommand(emulated::Drive& drive, std::uint8_t lunIndex,
                         const DriveBehaviour& behaviour, const std::uint8_t* cdb,
                         std::size_t cdbLength, DataDirection direction, std::uint8_t* data,
                         std::size_t dataLength) {
    if (cdbLength == 0 || cdbLength > kMaxCdbLength) return IllegalRequest(kAscInvalidOpcode);
    switch (cdb[0]) {
        case kOpVendor:
            if (behaviour.refuseVendor) return IllegalRequest(kAscInvalidOpcode);
            return AskFirmware(drive, lunIndex, cdb, cdbLength, direction, data, dataLength);
        case kOpInquiry:
            return AskFirmware(drive, lunIndex, cdb, cdbLength, direction, data, dataLength);
        case kOpTestUnitReady:
        case kOpPreventAllow:
        case kOpSynchronizeCache:
            return Good();
        case kOpWrite6:
        case kOpWrite10:
        case kOpWrite16:
            return Good(dataLength);  // taken and forgotten
        case kOpRead6:
        case kOpRead10:
        case kOpRead16:
            return Good(dataLength);  // an empty disk: zeros
        case kOpReadCapacity10:
            return ReadCapacity10(behaviour, data, dataLength);
        case kOpServiceAction16:
            if ((cdb[1] & 0x1F) == kReadCapacity16Action) {
                return ReadCapacity16(behaviour, cdb, data, dataLength);
            }
            return IllegalRequest(kAscInvalidOpcode);
        case kOpModeSense6:
            return ModeSense6(cdb, data, dataLength);
        default:
            return IllegalRequest(kAscInvalidOpcode);
    }
}

}  // namespace vardel::scsi_drive
