#include "platform/emulated/pass_through_record.h"

#include <cstring>

#include "platform/platform_constants.h"

namespace vardel::emulated {
namespace {

template <typename Header>
void CopyCommonFields(const Header& header, PassThroughRecord& record) {
    record.headerSize = sizeof(Header);
    record.length = header.Length;
    record.cdbLength = header.CdbLength;
    record.senseInfoLength = header.SenseInfoLength;
    record.dataIn = header.DataIn;
    record.transferLength = static_cast<std::uint32_t>(header.DataTransferLength);
    record.timeoutSeconds = static_cast<std::uint32_t>(header.TimeOutValue);
    record.senseInfoOffset = static_cast<std::uint32_t>(header.SenseInfoOffset);
    std::memcpy(record.cdb.data(), header.Cdb, kCdbCapacity);
}

// The driver echoes the caller's header with the status and the bytes actually moved.
template <typename Header>
void WriteHeader(const void* in, void* out, std::uint8_t scsiStatus, std::uint32_t moved) {
    Header header;
    std::memcpy(&header, in, sizeof header);
    header.ScsiStatus = scsiStatus;
    header.DataTransferLength = moved;
    std::memcpy(out, &header, sizeof header);
}

// A range [offset, offset + length) inside a buffer of `size` bytes, without overflow.
bool FitsIn(std::uint64_t offset, std::uint64_t length, std::uint64_t size) {
    return offset <= size && length <= size - offset;
}

}  // namespace

bool IsPassThroughCode(std::uint32_t controlCode) {
    return controlCode == kIoctlScsiPassThrough || controlCode == kIoctlScsiPassThroughDirect;
}

std::size_t HeaderSize(std::uint32_t controlCode) {
    return controlCode == kIoctlScsiPassThroughDirect ? sizeof(ScsiPassThroughDirect)
                                                      : sizeof(ScsiPassThrough);
}

// The record may sit anywhere in the caller's buffer, so it is copied out rather than cast.
bool ReadRecord(std::uint32_t controlCode, const void* in, std::uint32_t inSize,
                PassThroughRecord& record) {
    if (in == nullptr || !IsPassThroughCode(controlCode) || inSize < HeaderSize(controlCode)) {
        return false;
    }
    if (controlCode == kIoctlScsiPassThroughDirect) {
        ScsiPassThroughDirect header;
        std::memcpy(&header, in, sizeof header);
        CopyCommonFields(header, record);
        record.direct = true;
        record.dataBuffer = header.DataBuffer;
    } else {
        ScsiPassThrough header;
        std::memcpy(&header, in, sizeof header);
        CopyCommonFields(header, record);
        record.dataBufferOffset = header.DataBufferOffset;
    }
    return true;
}

std::uint32_t RecordError(const PassThroughRecord& record, bool readable, std::uint32_t inSize,
                          const void* out, std::uint32_t outSize) {
    if (!readable || out == nullptr || outSize < record.headerSize) return kErrorInvalidParameter;
    if (record.length != record.headerSize) return kErrorInvalidParameter;
    if (record.cdbLength == 0 || record.cdbLength > kCdbCapacity) return kErrorInvalidParameter;
    if (record.dataIn > kScsiDataUnspecified) return kErrorInvalidParameter;
    if (record.timeoutSeconds == 0) return kErrorInvalidParameter;
    if (record.senseInfoLength > 0 &&
        (record.senseInfoOffset < record.headerSize ||
         !FitsIn(record.senseInfoOffset, record.senseInfoLength, outSize))) {
        return kErrorInvalidParameter;
    }
    if (record.transferLength > 0) {
        if (record.direct) {
            if (record.dataBuffer == nullptr) return kErrorInvalidParameter;
            if ((reinterpret_cast<std::uintptr_t>(record.dataBuffer) & kAdapterAlignmentMask) !=
                0) {
                return kErrorInvalidParameter;
            }
        } else {
            const std::uint32_t limit = record.dataIn == kScsiDataIn ? outSize : inSize;
            if (record.dataBufferOffset < record.headerSize ||
                !FitsIn(record.dataBufferOffset, record.transferLength, limit)) {
                return kErrorInvalidParameter;
            }
        }
    }
    return kErrorSuccess;
}

// The caller's buffer for the direct form, the record's data area (in the output for data-in,
// the input otherwise) for the buffered one.
std::uint8_t* DataArea(const PassThroughRecord& record, void* in, void* out) {
    if (record.transferLength == 0) return nullptr;
    if (record.direct) return static_cast<std::uint8_t*>(record.dataBuffer);
    void* base = record.dataIn == kScsiDataIn ? out : in;
    return static_cast<std::uint8_t*>(base) + record.dataBufferOffset;
}

std::uint32_t BytesReturned(const PassThroughRecord& record, std::uint32_t moved) {
    if (!record.direct && record.dataIn == kScsiDataIn && record.transferLength > 0) {
        return static_cast<std::uint32_t>(record.dataBufferOffset + moved);
    }
    return static_cast<std::uint32_t>(record.headerSize);
}

void WriteHeaderResult(const PassThroughRecord& record, const void* in, void* out,
                       std::uint8_t scsiStatus, std::uint32_t moved) {
    if (record.direct) {
        WriteHeader<ScsiPassThroughDirect>(in, out, scsiStatus, moved);
    } else {
        WriteHeader<ScsiPassThrough>(in, out, scsiStatus, moved);
    }
}

}  // namespace vardel::emulated
