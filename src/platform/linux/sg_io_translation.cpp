#include "platform/linux/sg_io_translation.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include "platform/platform_constants.h"

namespace vardel {
namespace {

constexpr std::uint8_t kScsiStatusGood = 0x00;
// The driver byte is the low half of driver_status; the high half holds the kernel's
// suggestions, which say nothing about whether the command completed.
constexpr unsigned kDriverByteMask = 0x0F;
constexpr unsigned kDriverSense = 0x08;  // sense came back: the command did complete
constexpr std::uint64_t kMillisecondsPerSecond = 1000;

static_assert(sizeof(SgIoCall::cdb) == kCdbCapacity, "");
static_assert(kMaxSenseLength == std::numeric_limits<decltype(sg_io_hdr_t::mx_sb_len)>::max(),
              "the sense length fits the header's field");
static_assert(kBounceBufferSize <= std::numeric_limits<decltype(sg_io_hdr_t::dxfer_len)>::max(),
              "");

// The fields both header forms share, read into one shape.
struct RecordFields {
    std::size_t headerSize = 0;
    std::uint16_t length = 0;
    std::uint8_t cdbLength = 0;
    std::uint8_t senseInfoLength = 0;
    std::uint8_t dataIn = 0;
    std::uint32_t transferLength = 0;
    std::uint32_t timeoutSeconds = 0;
    std::uint32_t senseInfoOffset = 0;
};

template <typename Header>
RecordFields FieldsOf(const Header& header) {
    RecordFields fields;
    fields.headerSize = sizeof(Header);
    fields.length = header.Length;
    fields.cdbLength = header.CdbLength;
    fields.senseInfoLength = header.SenseInfoLength;
    fields.dataIn = header.DataIn;
    fields.transferLength = header.DataTransferLength;
    fields.timeoutSeconds = header.TimeOutValue;
    fields.senseInfoOffset = header.SenseInfoOffset;
    return fields;
}

RecordFields FieldsOf(const SgIoCall& call) {
    return call.direct ? FieldsOf(call.directHeader) : FieldsOf(call.bufferedHeader);
}

// A range [offset, offset + length) inside a buffer of `size` bytes, without overflow.
bool FitsIn(std::uint64_t offset, std::uint64_t length, std::uint64_t size) {
    return offset <= size && length <= size - offset;
}

int DirectionOf(const RecordFields& fields) {
    if (fields.transferLength == 0) return SG_DXFER_NONE;
    if (fields.dataIn == kScsiDataIn) return SG_DXFER_FROM_DEV;
    if (fields.dataIn == kScsiDataOut) return SG_DXFER_TO_DEV;
    // Unspecified with data: no direction to give the kernel or the bounce buffer.
    return 0;
}

// Where the caller's data lives: the caller's buffer for the direct form, the record's data area
// (in the input for data out, in the output for data in) for the buffered one. Null when the
// record names no place the call may touch.
const std::uint8_t* DataSource(const SgIoCall& call, const RecordFields& fields, const void* in,
                               std::uint32_t inSize) {
    if (call.direct) return static_cast<const std::uint8_t*>(call.directHeader.DataBuffer);
    const std::uint64_t offset = call.bufferedHeader.DataBufferOffset;
    if (offset < fields.headerSize || !FitsIn(offset, fields.transferLength, inSize)) {
        return nullptr;
    }
    return static_cast<const std::uint8_t*>(in) + offset;
}

std::uint8_t* DataTarget(const SgIoCall& call, void* out) {
    if (call.direct) return static_cast<std::uint8_t*>(call.directHeader.DataBuffer);
    return static_cast<std::uint8_t*>(out) + call.bufferedHeader.DataBufferOffset;
}

bool DataTargetFits(const SgIoCall& call, const RecordFields& fields, std::uint32_t outSize) {
    if (call.direct) return call.directHeader.DataBuffer != nullptr;
    const std::uint64_t offset = call.bufferedHeader.DataBufferOffset;
    return offset >= fields.headerSize && FitsIn(offset, fields.transferLength, outSize);
}

template <typename Header>
void WriteHeader(Header header, void* out, std::uint8_t scsiStatus, std::uint32_t moved,
                 std::uint8_t senseLength) {
    header.ScsiStatus = scsiStatus;
    header.DataTransferLength = moved;
    header.SenseInfoLength = senseLength;
    std::memcpy(out, &header, sizeof header);
}

bool CompletedOnDevice(const sg_io_hdr_t& header) {
    const unsigned driverByte = header.driver_status & kDriverByteMask;
    return header.host_status == 0 && (driverByte == 0 || driverByte == kDriverSense);
}

}  // namespace

int PrepareSgIo(std::uint32_t controlCode, const void* in, std::uint32_t inSize, const void* out,
                std::uint32_t outSize, SgIoCall& call) {
    if (in == nullptr || out == nullptr) return EINVAL;
    if (controlCode == kIoctlScsiPassThroughDirect) {
        if (inSize < sizeof(ScsiPassThroughDirect)) return EINVAL;
        std::memcpy(&call.directHeader, in, sizeof(ScsiPassThroughDirect));
        call.direct = true;
    } else if (controlCode == kIoctlScsiPassThrough) {
        if (inSize < sizeof(ScsiPassThrough)) return EINVAL;
        std::memcpy(&call.bufferedHeader, in, sizeof(ScsiPassThrough));
        call.direct = false;
    } else {
        return EINVAL;
    }

    const RecordFields fields = FieldsOf(call);
    if (outSize < fields.headerSize || fields.length != fields.headerSize) return EINVAL;
    if (fields.cdbLength == 0 || fields.cdbLength > kCdbCapacity) return EINVAL;
    if (fields.dataIn > kScsiDataUnspecified) return EINVAL;
    if (fields.senseInfoLength > 0 &&
        (fields.senseInfoOffset < fields.headerSize ||
         !FitsIn(fields.senseInfoOffset, fields.senseInfoLength, outSize))) {
        return EINVAL;
    }
    const int direction = DirectionOf(fields);
    if (direction == 0 || fields.transferLength > kBounceBufferSize) return EINVAL;
    const std::uint64_t timeoutMs = fields.timeoutSeconds * kMillisecondsPerSecond;
    if (timeoutMs > std::numeric_limits<decltype(sg_io_hdr_t::timeout)>::max()) return EINVAL;

    if (direction == SG_DXFER_TO_DEV) {
        const std::uint8_t* source = DataSource(call, fields, in, inSize);
        if (source == nullptr) return EINVAL;
        std::memcpy(call.data, source, fields.transferLength);
    } else if (direction == SG_DXFER_FROM_DEV) {
        if (!DataTargetFits(call, fields, outSize)) return EINVAL;
        // A drive that sends less than it announced leaves zeros, not the last call's bytes.
        std::memset(call.data, 0, fields.transferLength);
    }

    std::memcpy(call.cdb, call.direct ? call.directHeader.Cdb : call.bufferedHeader.Cdb,
                kCdbCapacity);
    sg_io_hdr_t& header = call.header;
    header = sg_io_hdr_t{};
    header.interface_id = 'S';
    header.dxfer_direction = direction;
    header.cmd_len = fields.cdbLength;
    header.cmdp = call.cdb;
    header.mx_sb_len = fields.senseInfoLength;
    header.sbp = call.sense;
    header.dxfer_len = fields.transferLength;
    header.dxferp = fields.transferLength > 0 ? call.data : nullptr;
    header.timeout = static_cast<unsigned int>(timeoutMs);
    return 0;
}

int CompleteSgIo(const SgIoCall& call, void* out, std::uint32_t& bytesReturned) {
    const sg_io_hdr_t& header = call.header;
    if (!CompletedOnDevice(header)) return EIO;

    const RecordFields fields = FieldsOf(call);
    const std::uint32_t transfer = header.dxfer_len;
    const std::uint32_t residue =
        header.resid <= 0 ? 0 : std::min(static_cast<std::uint32_t>(header.resid), transfer);
    std::uint32_t moved = transfer - residue;
    if (header.dxfer_direction == SG_DXFER_FROM_DEV) {
        // Only what the drive sent with status GOOD is data; anything else in the bounce buffer
        // may be the driver's own leftovers.
        if (header.status != kScsiStatusGood) moved = 0;
        if (moved > 0) std::memcpy(DataTarget(call, out), call.data, moved);
    } else if (header.dxfer_direction != SG_DXFER_TO_DEV) {
        moved = 0;
    }

    const std::uint8_t senseLength = std::min(header.sb_len_wr, header.mx_sb_len);
    if (senseLength > 0) {
        std::memcpy(static_cast<std::uint8_t*>(out) + fields.senseInfoOffset, call.sense,
                    senseLength);
    }
    if (call.direct) {
        WriteHeader(call.directHeader, out, header.status, moved, senseLength);
    } else {
        WriteHeader(call.bufferedHeader, out, header.status, moved, senseLength);
    }

    const bool dataInRecord = !call.direct && header.dxfer_direction == SG_DXFER_FROM_DEV;
    bytesReturned = dataInRecord
                        ? static_cast<std::uint32_t>(call.bufferedHeader.DataBufferOffset + moved)
                        : static_cast<std::uint32_t>(fields.headerSize);
    return 0;
}

}  // namespace vardel
