// The tool's own CPU time per command on a machine of 26 letters with one drive over E and F,
// the drive answering at once (InstantPlatform). The same commands on the emulated platform show
// what its driver checks and call log add on top.

#include <benchmark/benchmark.h>

#include "command_machine.h"
#include "commands/command_context.h"
#include "commands/lun_mode_commands.h"
#include "commands/silent_window.h"
#include "instant_platform.h"

namespace vardel::bench {
namespace {

// Runs the command in a loop; the status texts come from one status first, as in the window.
template <typename Command>
void TimeCommand(benchmark::State& state, Platform& platform, Command command,
                 emulated::EmulatedPlatform* logged) {
    CommandState commandState;
    SilentWindow window;
    CommandContext context{platform, commandState, window, nullptr};
    ReadStatus(context);
    for (auto _ : state) {
        CommandOutcome outcome = command(context);
        benchmark::DoNotOptimize(outcome);
        if (outcome.code != OutcomeCode::Done) {
            state.SkipWithError("the command did not end Done");
            break;
        }
        if (logged != nullptr) logged->ClearLog();
    }
}

CommandOutcome Status(CommandContext& context) {
    return ReadStatus(context);
}
CommandOutcome SetLun0Fixed(CommandContext& context) {
    return SetLunMode(context, kLun0FixedBinding);
}
CommandOutcome Write(CommandContext& context) {
    return WriteRaw(context);
}

template <CommandOutcome (*command)(CommandContext&)>
void BM_Command_Instant(benchmark::State& state) {
    InstantPlatform platform;
    TimeCommand(state, platform, command, nullptr);
}

template <CommandOutcome (*command)(CommandContext&)>
void BM_Command_Emulated(benchmark::State& state) {
    emulated::EmulatedPlatform platform;
    SetUpTwentySixLetters(platform);
    TimeCommand(state, platform, command, &platform);
}

BENCHMARK_TEMPLATE(BM_Command_Instant, Status)->Name("BM_CommandTime_Instant/status");
BENCHMARK_TEMPLATE(BM_Command_Instant, SetLun0Fixed)->Name("BM_CommandTime_Instant/set");
BENCHMARK_TEMPLATE(BM_Command_Instant, Write)->Name("BM_CommandTime_Instant/write");
BENCHMARK_TEMPLATE(BM_Command_Emulated, Status)->Name("BM_CommandTime_Emulated/status");
BENCHMARK_TEMPLATE(BM_Command_Emulated, SetLun0Fixed)->Name("BM_CommandTime_Emulated/set");
BENCHMARK_TEMPLATE(BM_Command_Emulated, Write)->Name("BM_CommandTime_Emulated/write");

}  // namespace
}  // namespace vardel::bench
