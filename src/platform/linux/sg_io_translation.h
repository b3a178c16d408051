#pragma once
// The translation between the pass-through record that the device layer sends (the one the
// Windows storage driver takes) and the SG_IO request that the Linux SCSI drivers take, in both
// directions. Both are pure: no descriptor and no kernel, so that every case can be checked
// without a drive.

#include <scsi/sg.h>

#include <cstddef>
#include <cstdint>

#include "platform/scsi_pass_through.h"

namespace vardel {

// The largest transfer the backend takes: every data phase goes through a buffer of its own. The
// tool's largest is a 528-byte block; a page leaves room and keeps the call small enough for the
// stack.
constexpr std::size_t kBounceBufferSize = 4096;
// SenseInfoLength is one byte, so no record can announce more sense than this.
constexpr std::size_t kMaxSenseLength = 255;

// One SG_IO request and the buffers it points into. The kernel never sees the caller's memory:
// after a failed command the sg driver may copy stale bytes into the data-in buffer, so the
// drive's data reaches the caller only through CompleteSgIo. Not copyable, as the header points
// into the object itself. The bounce buffer has no initialiser, so that a call made on the
// stack costs no clearing of bytes that no transfer uses: PrepareSgIo clears the transfer.
struct SgIoCall {
    SgIoCall() = default;
    SgIoCall(const SgIoCall&) = delete;
    SgIoCall& operator=(const SgIoCall&) = delete;

    sg_io_hdr_t header{};
    bool direct = false;
    // The caller's header as it came in, echoed back with the results.
    ScsiPassThrough bufferedHeader{};
    ScsiPassThroughDirect directHeader{};
    std::uint8_t cdb[kCdbCapacity] = {};
    std::uint8_t sense[kMaxSenseLength] = {};
    std::uint8_t data[kBounceBufferSize];
};

// Reads the record at `in` (IOCTL_SCSI_PASS_THROUGH or IOCTL_SCSI_PASS_THROUGH_DIRECT) into
// `call`: the same CDB bytes and length, direction, transfer length, time-out in milliseconds
// and a sense buffer of the announced length; data to the device is copied into the bounce
// buffer, and the part of it that data from the device is to fill is cleared. 0, or EINVAL for a
// record the backend cannot accept.
int PrepareSgIo(std::uint32_t controlCode, const void* in, std::uint32_t inSize, const void* out,
                std::uint32_t outSize, SgIoCall& call);

// Writes the completed call back into the record at `out`: ScsiStatus, DataTransferLength (the
// length less the residue), the sense written and its length, and the drive's data when it
// answered GOOD. EIO, leaving the record as it was, when the host or the driver says the command
// never completed on the device.
int CompleteSgIo(const SgIoCall& call, void* out, std::uint32_t& bytesReturned);

}  // namespace vardel
