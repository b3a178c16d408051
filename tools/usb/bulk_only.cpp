#include "usb/bulk_only.h"

#include <algorithm>

namespace vardel::usb {
namespace {

constexpr std::uint32_t kCbwSignature = 0x43425355;  // "USBC", little-endian
constexpr std::uint32_t kCswSignature = 0x53425355;  // "USBS"
constexpr std::uint8_t kFlagDataIn = 0x80;
constexpr std::uint8_t kLunMask = 0x0F;
constexpr std::uint8_t kCdbLengthMask = 0x1F;

constexpr std::uint8_t kClassInterfaceIn = 0xA1;   // device to host, class, interface
constexpr std::uint8_t kClassInterfaceOut = 0x21;  // host to device, class, interface
constexpr std::uint8_t kGetMaxLun = 0xFE;
constexpr std::uint8_t kBulkOnlyReset = 0xFF;

std::uint32_t GetLittleEndian(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
           static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

void PutLittleEndian(std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

int ParseCbw(const std::uint8_t* bytes, std::size_t size, Cbw& cbw) {
    if (size != kCbwSize) return kCbwBadSize;
    if (GetLittleEndian(bytes) != kCbwSignature) return kCbwBadSignature;
    cbw = Cbw{};
    cbw.tag = GetLittleEndian(bytes + 4);
    cbw.dataLength = GetLittleEndian(bytes + 8);
    const std::uint8_t flags = bytes[12];
    cbw.dataIn = (flags & kFlagDataIn) != 0;
    cbw.lun = bytes[13] & kLunMask;
    cbw.cdbLength = bytes[14] & kCdbLengthMask;
    std::copy_n(bytes + 15, kMaxCdbLength, cbw.cdb);
    if ((flags & ~kFlagDataIn) != 0 || (bytes[13] & ~kLunMask) != 0 ||
        (bytes[14] & ~kCdbLengthMask) != 0) {
        return kCbwBadFlags;
    }
    if (cbw.lun > kMaxLunIndex) return kCbwBadLun;
    if (cbw.cdbLength == 0 || cbw.cdbLength > kMaxCdbLength) return kCbwBadCdbLength;
    return kCbwOk;
}

bool IsValidCbw(int parseResult) {
    return parseResult != kCbwBadSize && parseResult != kCbwBadSignature;
}

Csw BuildCsw(std::uint32_t tag, std::uint32_t residue, std::uint8_t status) {
    Csw csw{};
    PutLittleEndian(csw.data(), kCswSignature);
    PutLittleEndian(csw.data() + 4, tag);
    PutLittleEndian(csw.data() + 8, residue);
    csw[12] = status;
    return csw;
}

CommandEnd EndCommand(const Cbw& cbw, std::uint8_t scsiStatus, std::size_t moved) {
    const std::uint32_t done =
        static_cast<std::uint32_t>(std::min<std::size_t>(moved, cbw.dataLength));
    CommandEnd end;
    end.csw = BuildCsw(cbw.tag, cbw.dataLength - done, scsiStatus == 0 ? kCswPassed : kCswFailed);
    end.haltBulkIn = cbw.dataIn && done < cbw.dataLength;
    return end;
}

CommandEnd PhaseError(const Cbw& cbw) {
    CommandEnd end;
    end.csw = BuildCsw(cbw.tag, cbw.dataLength, kCswPhaseError);
    end.haltBulkIn = cbw.dataIn && cbw.dataLength > 0;
    end.haltBulkOut = !cbw.dataIn && cbw.dataLength > 0;
    return end;
}

ControlAnswer AnswerControlRequest(const ControlRequest& request, std::uint8_t interfaceNumber) {
    ControlAnswer answer;
    if (request.index != interfaceNumber || request.value != 0) return answer;
    if (request.requestType == kClassInterfaceIn && request.request == kGetMaxLun &&
        request.length == 1) {
        answer.action = ControlAction::Reply;
        answer.reply[0] = kMaxLunIndex;
        answer.replyLength = 1;
    } else if (request.requestType == kClassInterfaceOut && request.request == kBulkOnlyReset &&
               request.length == 0) {
        answer.action = ControlAction::Acknowledge;
        answer.resetsTransport = true;
    }
    return answer;
}

}  // namespace vardel::usb
