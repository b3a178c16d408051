#pragma once
// The standard emulated machine (a system disk C, and one drive over E and F) with the faults the
// command tests arm on F, the letter every block command goes to.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/emulated/emulated_platform.h"

namespace vardel::testing_support {

using Trace = std::vector<std::string>;

// What discovery sends on the standard machine: the scan, then the LUN ordering.
inline const Trace kStandardDiscovery = {"INQUIRY C", "INQUIRY E", "INQUIRY F",
                                         "READ ID E", "ADDRESS E", "READ ID F",
                                         "ADDRESS F", "READ ID E", "READ ID F"};

struct StandardMachine {
    emulated::EmulatedPlatform platform;
    int drive = emulated::SetUpStandardMachine(platform);

    emulated::Drive& Drive() { return platform.DriveAt(drive); }

    // Strikes the `skip`+1-th matching call on F with `effect` and `code`.
    void Fail(emulated::Operation operation, emulated::FaultEffect effect, std::uint32_t code,
              int skip = 0) {
        emulated::Fault fault;
        fault.letter = 'F';
        fault.operation = operation;
        fault.effect = effect;
        fault.code = code;
        fault.skip = skip;
        platform.InjectFault(fault);
    }
};

}  // namespace vardel::testing_support
