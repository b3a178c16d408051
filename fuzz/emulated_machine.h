#pragma once
// An emulated machine described by fuzz input: drives with any INQUIRY signature, serial and LUN
// index, the 26 letters in any state, mounted-device entries and faults. The description is kept
// beside the machine, so that a harness can tell what discovery ought to find.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz_input.h"
#include "platform/emulated/emulated_platform.h"

namespace vardel::fuzz {

constexpr int kLetters = 26;

struct LetterSetUp {
    int driveIndex = -1;  // -1: no drive of ours behind the letter
    std::uint8_t lunIndex = 0;
    bool exists = false;
};

struct MachineSetUp {
    std::vector<emulated::Drive> drives;
    std::array<LetterSetUp, kLetters> letters{};
    std::uint32_t version = 0;
    bool everyReadWhole = true;  // no faults, no short answers
};

// Builds the machine into `platform` and returns its description.
MachineSetUp BuildMachine(FuzzInput& input, emulated::EmulatedPlatform& platform);

}  // namespace vardel::fuzz
