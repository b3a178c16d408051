// The emulated driver's checks of pass-through records: arbitrary records, sizes and control
// codes through EmulatedPlatform::Control. A refused call changes nothing; an accepted one
// writes only inside the buffers it was given, reports no more bytes than the output holds, and
// changes the drive only by a write it logged.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_check.h"
#include "fuzz_input.h"
#include "platform/emulated/emulated_drive.h"
#include "platform/emulated/emulated_platform.h"
#include "platform/platform_constants.h"
#include "platform/scsi_pass_through.h"
#include "record_shape.h"

namespace {

using vardel::emulated::CallRecord;
using vardel::emulated::EmulatedPlatform;
using vardel::emulated::Operation;

// The firmware never moves more than one block.
constexpr std::size_t kLargestMove = vardel::emulated::kBlockSize;

vardel::VolumeHandle OpenSome(vardel::fuzz::FuzzInput& input, EmulatedPlatform& platform) {
    using namespace vardel;
    switch (input.Below(4)) {
        case 0:
            return platform.Open("\\\\.\\C:", kGenericRead | kGenericWrite,
                                 kFileShareRead | kFileShareWrite, kOpenExisting, 0);
        case 1:
            return platform.Open("\\\\.\\F:", kGenericRead, kFileShareRead | kFileShareWrite,
                                 kOpenExisting, 0);
        case 2:
            return input.U32();
        default:
            return platform.Open("\\\\.\\F:", kGenericRead | kGenericWrite,
                                 kFileShareRead | kFileShareWrite, kOpenExisting, 0);
    }
}

void OneCall(vardel::fuzz::FuzzInput& input, EmulatedPlatform& platform, int drive,
             vardel::VolumeHandle handle) {
    vardel::fuzz::FuzzRecord record =
        ShapeRecord(input, vardel::fuzz::PointerCheck::Alignment, kLargestMove);
    std::vector<std::uint8_t>& in = record.bytes;
    // Mostly one buffer for both directions, as the device commands send it.
    const bool sameBuffer = input.Flag();
    std::vector<std::uint8_t> separate(sameBuffer ? 0 : input.U16() % 2049);
    input.Bytes(separate.data(), separate.size());
    std::vector<std::uint8_t>& out = sameBuffer ? in : separate;
    void* inPointer = input.Below(16) == 0 ? nullptr : in.data();
    void* outPointer = input.Below(16) == 0 ? nullptr : out.data();
    std::uint32_t returned = 0xDEADBEEF;
    std::uint32_t* returnedPointer = input.Below(16) == 0 ? nullptr : &returned;

    const std::vector<std::uint8_t> inBefore = in;
    const std::vector<std::uint8_t> outBefore = out;
    std::vector<std::uint8_t> dataBefore;
    if (record.dataBuffer) {
        dataBefore.assign(record.dataBuffer->data(),
                          record.dataBuffer->data() + record.dataBuffer->size());
    }
    const vardel::emulated::Block configBefore = platform.DriveAt(drive).configBlock;
    const std::size_t logBefore = platform.Log().size();

    const bool accepted = platform.Control(handle, record.controlCode, inPointer,
                                           static_cast<std::uint32_t>(in.size()), outPointer,
                                           static_cast<std::uint32_t>(out.size()), returnedPointer);

    VARDEL_FUZZ_CHECK(platform.Log().size() == logBefore + 1);
    const CallRecord& call = platform.Log().back();
    VARDEL_FUZZ_CHECK(call.kind == CallRecord::Kind::Control && call.succeeded == accepted);
    if (!sameBuffer) VARDEL_FUZZ_CHECK(in == inBefore);
    const vardel::emulated::Block& config = platform.DriveAt(drive).configBlock;
    if (!accepted) {
        VARDEL_FUZZ_CHECK(platform.LastError() != 0);
        VARDEL_FUZZ_CHECK(out == outBefore && returned == 0xDEADBEEF);
        VARDEL_FUZZ_CHECK(config == configBefore);
        if (record.dataBuffer) {
            VARDEL_FUZZ_CHECK(
                std::equal(dataBefore.begin(), dataBefore.end(), record.dataBuffer->data()));
        }
        return;
    }
    VARDEL_FUZZ_CHECK(returned <= out.size());
    if (call.operation == Operation::Address) {
        // The port driver's answer of where the volume sits: no record, and no drive sees it.
        VARDEL_FUZZ_CHECK(returned == sizeof(vardel::ScsiAddress));
        VARDEL_FUZZ_CHECK(config == configBefore);
        return;
    }
    VARDEL_FUZZ_CHECK(call.transferLength == record.transferLength);
    if (config != configBefore) {
        // Only a write changes the drive: its 512 bytes, and nothing after them.
        VARDEL_FUZZ_CHECK(call.operation == Operation::Write);
        VARDEL_FUZZ_CHECK(call.dataSent.size() == vardel::emulated::kWrittenSize);
        VARDEL_FUZZ_CHECK(std::equal(call.dataSent.begin(), call.dataSent.end(), config.begin()));
        VARDEL_FUZZ_CHECK(std::equal(config.begin() + vardel::emulated::kWrittenSize, config.end(),
                                     configBefore.begin() + vardel::emulated::kWrittenSize));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vardel::fuzz::FuzzInput input(data, size);
    EmulatedPlatform platform;
    const int drive = vardel::emulated::SetUpStandardMachine(platform);
    const vardel::VolumeHandle handle = OpenSome(input, platform);
    const std::size_t calls = 1 + input.Below(3);
    for (std::size_t i = 0; i < calls; ++i) OneCall(input, platform, drive, handle);
    return 0;
}
