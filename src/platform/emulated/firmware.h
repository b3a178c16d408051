#pragma once
// The firmware model: how a drive of ours (or some other disk) answers the CDB of a record the
// driver let through, the sense data it leaves on CHECK CONDITION, and which of the served
// commands a CDB is.

#include <cstdint>

#include "platform/emulated/emulated_drive.h"
#include "platform/emulated/emulated_platform.h"
#include "platform/emulated/pass_through_record.h"

namespace vardel::emulated {

constexpr std::uint8_t kStatusGood = 0x00;
constexpr std::uint8_t kStatusCheckCondition = 0x02;

struct FirmwareAnswer {
    std::uint8_t status = kStatusGood;
    std::uint32_t moved = 0;
    std::uint8_t asc = 0;   // with CHECK CONDITION
    bool tookData = false;  // the firmware accepted `moved` data-out bytes
};

// Runs the record's command against `drive`, reading or writing the data phase at `data`.
// `drive` is null for a volume with no drive of ours behind it; `lunIndex` is the LUN the
// volume sits in front of.
FirmwareAnswer RunFirmware(Drive* drive, std::uint8_t lunIndex, const PassThroughRecord& record,
                           std::uint8_t* data);

// Fixed-format sense for an ILLEGAL REQUEST with `asc`, written at the record's sense offset in
// `out` and cut to the room the caller gave.
void WriteSense(const PassThroughRecord& record, void* out, std::uint8_t asc);
// The same for the UNIT ATTENTION a drive reports once after a reset or a replug (ASC 0x29,
// power on or reset): the command was not run.
void WriteUnitAttentionSense(const PassThroughRecord& record, void* out);

// Which served command a CDB is; OtherCommand for anything else.
Operation ClassifyCommand(const Cdb& cdb);

}  // namespace vardel::emulated
