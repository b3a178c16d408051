// vardelctl's scenario reader on arbitrary files: it accepts a file or refuses it with a
// ScenarioError, nothing else. An accepted scenario builds a machine a command can run on, and
// the state a command leaves goes back into the file in a form the reader takes again.

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include <nlohmann/json.hpp>

#include "commands/command_context.h"
#include "commands/lun_mode_commands.h"
#include "commands/silent_window.h"
#include "fuzz_check.h"
#include "platform/emulated/emulated_platform.h"
#include "scenario/scenario.h"
#include "scratch_file.h"

namespace {

using vardel::emulated::EmulatedPlatform;
using vardel::frontend::Scenario;
using vardel::frontend::ScenarioError;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = vardel::fuzz::WriteScratchFile("scenario.json", data, size);
    Scenario scenario;
    try {
        scenario = Scenario::Load(path);
    } catch (const ScenarioError&) {
        return 0;
    }
    const std::size_t drives = nlohmann::json::parse(data, data + size)["drives"].size();

    EmulatedPlatform platform;
    scenario.SetUp(platform);
    vardel::CommandState state;
    vardel::SilentWindow window;
    vardel::CommandContext context{platform, state, window, nullptr};
    vardel::SetLunMode(context, vardel::kLun1RemovableBinding);
    vardel::SetLunMode(context, vardel::kLun0FixedBinding);

    bool saved = false;
    try {
        saved = scenario.SaveChanges(platform);
    } catch (const ScenarioError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        VARDEL_FUZZ_FAIL("the changed state could not be saved");
    }
    if (!saved) return 0;

    // The file as saved reads back into the same drives.
    Scenario again;
    try {
        again = Scenario::Load(path);
    } catch (const ScenarioError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        VARDEL_FUZZ_FAIL("the saved scenario does not load");
    }
    EmulatedPlatform reloaded;
    again.SetUp(reloaded);
    for (std::size_t i = 0; i < drives; ++i) {
        const int index = static_cast<int>(i);
        VARDEL_FUZZ_CHECK(reloaded.DriveAt(index).configBlock ==
                          platform.DriveAt(index).configBlock);
        VARDEL_FUZZ_CHECK(reloaded.DriveAt(index).identityBlock ==
                          platform.DriveAt(index).identityBlock);
    }
    return 0;
}
