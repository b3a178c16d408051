#pragma once
// Pass-through records from fuzz input: the raw bytes, with some of the fields a driver checks
// first put right on request, so that the fuzzer reaches the device behind the checks as often
// as it meets the checks themselves.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "fuzz_input.h"
#include "owned_buffer.h"

namespace vardel::fuzz {

// A record as a caller hands it over: control code, bytes, and the buffer a direct record points
// at when it points at one this harness owns.
struct FuzzRecord {
    std::uint32_t controlCode = 0;
    std::vector<std::uint8_t> bytes;
    std::unique_ptr<OwnedBuffer> dataBuffer;
    std::uint32_t transferLength = 0;
};

// Who follows a direct record's DataBuffer without looking: a backend that refuses a buffer the
// adapter's alignment rules out never follows a misaligned one.
enum class PointerCheck { Alignment, NullOnly };

// Builds one record. A DataBuffer from the fuzz input is kept only where the code under test
// must not follow it (null, nothing to transfer, or a misaligned address under
// PointerCheck::Alignment); any other DataBuffer points at a buffer of the record's own, as
// large as the transfer (at most `largestMove` bytes: the most the code under test may move).
FuzzRecord ShapeRecord(FuzzInput& input, PointerCheck check, std::size_t largestMove);

}  // namespace vardel::fuzz
