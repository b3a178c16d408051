#pragma once
// The storage driver's side of a pass-through call: the record the caller sent, read into one
// shape whichever header form it used, the checks the driver makes before anything reaches the
// device, where the data phase lives, and the header result written back.

#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/scsi_pass_through.h"

namespace vardel::emulated {

using Cdb = std::array<std::uint8_t, kCdbCapacity>;

// Both header forms read into one shape, so that the checks and the firmware need not care
// which one the caller sent.
struct PassThroughRecord {
    bool direct = false;
    std::size_t headerSize = 0;
    std::uint16_t length = 0;
    std::uint8_t cdbLength = 0;
    std::uint8_t senseInfoLength = 0;
    std::uint8_t dataIn = 0;
    std::uint32_t transferLength = 0;
    std::uint32_t timeoutSeconds = 0;
    std::uint64_t dataBufferOffset = 0;
    void* dataBuffer = nullptr;
    std::uint32_t senseInfoOffset = 0;
    Cdb cdb{};
};

// The adapter's alignment mask: the port driver refuses a direct-form buffer whose address has
// any of these bits set. USB storage adapters ask for no more than 16-byte alignment.
constexpr std::uintptr_t kAdapterAlignmentMask = 0xF;

bool IsPassThroughCode(std::uint32_t controlCode);
// The header size the control code asks for.
std::size_t HeaderSize(std::uint32_t controlCode);

// False when `in` is missing, the code is not a pass-through one or the input is too short to
// hold the header.
bool ReadRecord(std::uint32_t controlCode, const void* in, std::uint32_t inSize,
                PassThroughRecord& record);

// The checks the storage driver makes before anything reaches the device; 0 when the record
// passes. `readable` is what ReadRecord returned.
std::uint32_t RecordError(const PassThroughRecord& record, bool readable, std::uint32_t inSize,
                          const void* out, std::uint32_t outSize);

// Where the data phase reads or writes; null when the record moves no data.
std::uint8_t* DataArea(const PassThroughRecord& record, void* in, void* out);

// What the driver reports as returned once `moved` data bytes went through.
std::uint32_t BytesReturned(const PassThroughRecord& record, std::uint32_t moved);

// Echoes the caller's header into `out` with the status and the bytes actually moved.
void WriteHeaderResult(const PassThroughRecord& record, const void* in, void* out,
                       std::uint8_t scsiStatus, std::uint32_t moved);

}  // namespace vardel::emulated
