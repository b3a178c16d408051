#include "device/scsi_request.h"

#include <cstring>

namespace vardel {
namespace {

// The fields both header forms share; the data location is set by each builder.
template <typename Header>
void FillCommonHeader(Header& header, std::size_t commandLength, const std::uint8_t* command,
                      std::uint8_t dataIn, std::uint32_t transferLength,
                      std::uint32_t timeoutSeconds, std::size_t senseOffset) {
    header.Length = static_cast<std::uint16_t>(sizeof(Header));
    header.ScsiStatus = 0;
    header.PathId = 0;
    header.TargetId = kTargetId;
    header.Lun = 0;
    header.CdbLength = kAnnouncedCdbLength;
    header.SenseInfoLength = kSenseInfoLength;
    header.DataIn = dataIn;
    header.DataTransferLength = transferLength;
    header.TimeOutValue = timeoutSeconds;
    header.SenseInfoOffset = static_cast<std::uint32_t>(senseOffset);
    if (commandLength > 0) std::memcpy(header.Cdb, command, commandLength);
}

}  // namespace

int BuildBufferedRequest(ScsiRequestBuffered& request, std::size_t commandLength,
                         const std::uint8_t* command, std::uint8_t dataIn,
                         std::uint32_t transferLength, std::uint32_t timeoutSeconds) {
    if (commandLength > kMaxCommandLength || transferLength > kBufferedDataAreaSize) return -1;
    // Only the record's first bytes take part in the call; clearing the whole 64 KiB data area
    // would cost every command more than the command itself.
    std::memset(&request, 0, BufferedRequestSize(transferLength));
    FillCommonHeader(request.header, commandLength, command, dataIn, transferLength, timeoutSeconds,
                     kBufferedSenseOffset);
    request.header.DataBufferOffset = kBufferedDataOffset;
    return 0;
}

int BuildDirectRequest(ScsiRequestDirect& request, std::size_t commandLength,
                       const std::uint8_t* command, std::uint8_t dataIn,
                       std::uint32_t transferLength, std::uint32_t timeoutSeconds, void* data) {
    if (commandLength > kMaxCommandLength) return -1;
    std::memset(&request, 0, sizeof(request));
    FillCommonHeader(request.header, commandLength, command, dataIn, transferLength, timeoutSeconds,
                     kDirectSenseOffset);
    request.header.DataBuffer = data;
    return 0;
}

}  // namespace vardel
