#pragma once
// A scenario file: the emulated machine that `vardelctl --emulate=FILE` runs on, in JSON (the
// format is described in docs/scenario-format.md). After a command has changed a drive, the new
// state goes back into the file, so that a sequence of runs sees its own writes.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/emulated/emulated_platform.h"

namespace vardel::frontend {

// A scenario that cannot be read or written back; the text names the file and the place in it.
class ScenarioError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// What fills the bytes of a block that the scenario does not name.
struct BlockFill {
    bool pattern = true;  // the standard drive's pattern
    std::uint8_t value = 0;
};

class Scenario {
  public:
    // Reads and checks the whole file. Throws ScenarioError naming the place of the first fault.
    static Scenario Load(const std::string& path);

    // Builds the machine the file describes.
    void SetUp(emulated::EmulatedPlatform& platform) const;

    // Writes the configuration blocks that the platform's drives now hold back into the file,
    // when any of them changed, replacing it whole (WriteFileAtomically). Returns whether it
    // wrote. Throws ScenarioError when the file cannot be written; the changes then stay pending,
    // and the next call writes them.
    bool SaveChanges(emulated::EmulatedPlatform& platform);

  private:
    struct DriveEntry {
        emulated::Drive drive;
        std::vector<std::pair<char, std::uint8_t>> volumes;  // letter, LUN index
        BlockFill configFill;
        bool wholeConfigBlock = false;  // given as "configBlock" rather than "config"
    };

    void UpdateDrive(std::size_t index, const emulated::Block& now);
    void WriteFile() const;

    std::string path_;
    nlohmann::ordered_json document_;
    std::vector<DriveEntry> drives_;
    std::vector<char> otherVolumes_;
    std::vector<emulated::Fault> faults_;
    bool hasVersion_ = false;
    std::uint32_t version_ = 0;
};

}  // namespace vardel::frontend
