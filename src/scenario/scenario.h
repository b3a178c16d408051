#pragma once
// A scenario file: the emulated machine that `vardelctl --emulate=FILE` runs on, in JSON (the
// format is described in docs/scenario-format.md). After a command has changed a drive, the new
// state goes back into the file, so that a sequence of runs sees its own writes.

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "files/file_lock.h"
#include "platform/emulated/emulated_platform.h"

namespace vardel::frontend {

// A scenario that cannot be read or written back; the text names the file and the place in it.
class ScenarioError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Another run kept the scenario file locked for the whole wait: the emulated drive is busy.
class ScenarioBusy : public ScenarioError {
  public:
    using ScenarioError::ScenarioError;
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
    // The same for a run that may change the drives: the file is the emulated drives' state, so
    // the run holds the file's lock (FileLock) from before the file is read until this scenario
    // and its copies are gone, after its last save. Waits up to `waitMilliseconds` for another run
    // to let go, and throws ScenarioBusy when it does not.
    static Scenario LoadToChange(const std::string& path, std::uint32_t waitMilliseconds);

    // For a program that keeps the machine between commands (the window): before each command
    // that may change a drive, takes the file's lock as LoadToChange does and brings into the
    // platform's drives the configuration blocks that another run has written into the file
    // since; a change of this program's own that is still pending stays, unless the file was
    // changed under it. Throws ScenarioBusy, or ScenarioError (the file can no longer be read,
    // or no longer describes the same drives). Release lets go after the command's save.
    void HoldAndRefresh(emulated::EmulatedPlatform& platform, std::uint32_t waitMilliseconds);
    void Release() { lock_.reset(); }

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
    std::shared_ptr<FileLock> lock_;  // held by a scenario loaded to change
    nlohmann::ordered_json document_;
    std::vector<DriveEntry> drives_;
    std::vector<char> otherVolumes_;
    std::vector<emulated::Fault> faults_;
    bool hasVersion_ = false;
    std::uint32_t version_ = 0;
};

}  // namespace vardel::frontend
