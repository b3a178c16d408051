// Device calls per command: the calls each command made on the emulated machine of 26 letters,
// counted from the platform's call log, against the calls the command requires, written down
// here as data. The ratio must be exactly 1: no extra open, read or write.

#include <benchmark/benchmark.h>

#include <cstddef>
#include <string>
#include <vector>

#include "command_machine.h"
#include "commands/command_context.h"
#include "commands/lun_mode_commands.h"
#include "commands/silent_window.h"

namespace vardel::bench {
namespace {

using emulated::CallRecord;
using emulated::Operation;

// One step of a required sequence: the calls in `calls` (comma-separated, '%' standing for the
// letter) made for each letter of `letters` in turn, or once when there are none.
struct Step {
    const char* calls;
    const char* letters;
};

constexpr const char* kAllLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";

// Discovery: the version gate and the letter mask; for every letter its mounted-device entry
// (key opened and closed per letter) and an INQUIRY on a volume opened for it alone; the identity
// block of each candidate (E, F) and its SCSI address, each on a volume opened for it alone (the
// address tells two drives of one serial apart); then the identity blocks again, to order the
// letters by LUN.
const std::vector<Step> kDiscovery = {
    {"VERSION", ""},
    {"LETTERS", ""},
    {"REGOPEN,REGQUERY %,REGCLOSE,OPEN %,INQUIRY %,CLOSE %", kAllLetters},
    {"OPEN %,READ ID %,CLOSE %,OPEN %,ADDRESS %,CLOSE %", "EF"},
    {"OPEN %,READ ID %,CLOSE %", "EF"},
};

// Each command's own calls, all on the LUN 1 letter (F). A command that writes holds the drive's
// lock from its first block read to its last read.
const std::vector<Step> kStatus = {{"OPEN %,READ ID %,CLOSE %,OPEN %,READ INFO %,CLOSE %", "F"}};
const std::vector<Step> kSetLun0Fixed = {
    {"LOCK %", "F"},
    {"OPEN %,READ INFO %,CLOSE %,OPEN %,READ ID %,CLOSE %", "F"},
    {"OPEN %,WRITE %,CLOSE %", "F"},
    {"OPEN %,READ INFO %,CLOSE %", "F"},  // the read-back
    {"UNLOCK %", "F"},
};
const std::vector<Step> kWrite = {
    {"LOCK %", "F"},
    {"OPEN %,READ INFO %,CLOSE %,OPEN %,READ ID %,CLOSE %", "F"},
    {"OPEN %,WRITE %,CLOSE %", "F"},
    {"UNLOCK %", "F"},
};

std::vector<std::string> Expand(const std::vector<Step>& steps) {
    std::vector<std::string> calls;
    for (const Step& step : steps) {
        const std::string letters = *step.letters != 0 ? step.letters : " ";
        for (char letter : letters) {
            std::string call;
            for (const char* c = step.calls;; ++c) {
                if (*c == ',' || *c == 0) {
                    calls.push_back(call);
                    call.clear();
                    if (*c == 0) break;
                } else {
                    call += *c == '%' ? letter : *c;
                }
            }
        }
    }
    return calls;
}

std::string Describe(const CallRecord& call) {
    const std::string letter(1, call.letter != 0 ? call.letter : '?');
    switch (call.kind) {
        case CallRecord::Kind::Open:
            return "OPEN " + letter;
        case CallRecord::Kind::Control:
            return std::string(emulated::TraceName(call.operation)) + " " + letter;
        case CallRecord::Kind::Close:
            return "CLOSE " + letter;
        case CallRecord::Kind::LogicalDrives:
            return "LETTERS";
        case CallRecord::Kind::RegistryOpen:
            return "REGOPEN";
        case CallRecord::Kind::RegistryQuery:
            return "REGQUERY " + letter;
        case CallRecord::Kind::RegistryClose:
            return "REGCLOSE";
        case CallRecord::Kind::Version:
            return "VERSION";
        case CallRecord::Kind::Lock:
            return "LOCK " + letter;
        case CallRecord::Kind::Unlock:
            return "UNLOCK " + letter;
    }
    return "?";
}

bool IsDeviceCall(const std::string& call) {
    return call.rfind("OPEN", 0) == 0 || call.rfind("CLOSE", 0) == 0 ||
           call.rfind("INQUIRY", 0) == 0 || call.rfind("READ", 0) == 0 ||
           call.rfind("WRITE", 0) == 0 || call.rfind("ADDRESS", 0) == 0 ||
           call.rfind("LOCK", 0) == 0 || call.rfind("UNLOCK", 0) == 0;
}

std::size_t CountDeviceCalls(const std::vector<std::string>& calls) {
    std::size_t count = 0;
    for (const std::string& call : calls) count += IsDeviceCall(call) ? 1 : 0;
    return count;
}

template <typename Command>
void DeviceCalls(benchmark::State& state, const std::vector<Step>& own, Command command) {
    std::vector<Step> steps = kDiscovery;
    steps.insert(steps.end(), own.begin(), own.end());
    const std::vector<std::string> required = Expand(steps);
    std::vector<std::string> made;
    for (auto _ : state) {
        emulated::EmulatedPlatform platform;
        SetUpTwentySixLetters(platform);
        CommandState commandState;
        SilentWindow window;
        CommandContext context{platform, commandState, window, nullptr};
        benchmark::DoNotOptimize(command(context));
        made.clear();
        for (const CallRecord& call : platform.Log()) made.push_back(Describe(call));
    }
    const double requiredCalls = static_cast<double>(CountDeviceCalls(required));
    const double madeCalls = static_cast<double>(CountDeviceCalls(made));
    state.counters["required"] = requiredCalls;
    state.counters["made"] = madeCalls;
    state.counters["ratio"] = madeCalls / requiredCalls;
    state.counters["same_sequence"] = made == required ? 1 : 0;
    if (made != required) {
        std::size_t i = 0;
        while (i < made.size() && i < required.size() && made[i] == required[i]) ++i;
        const std::string got = i < made.size() ? made[i] : "(end)";
        const std::string want = i < required.size() ? required[i] : "(end)";
        state.SkipWithError(
            ("call " + std::to_string(i) + " is \"" + got + "\", required \"" + want + "\"")
                .c_str());
    }
}

void BM_DeviceCalls_Status(benchmark::State& state) {
    DeviceCalls(state, kStatus, [](CommandContext& context) { return ReadStatus(context); });
}
void BM_DeviceCalls_SetLun0Fixed(benchmark::State& state) {
    DeviceCalls(state, kSetLun0Fixed,
                [](CommandContext& context) { return SetLunMode(context, kLun0FixedBinding); });
}
void BM_DeviceCalls_Write(benchmark::State& state) {
    DeviceCalls(state, kWrite, [](CommandContext& context) { return WriteRaw(context); });
}

BENCHMARK(BM_DeviceCalls_Status)->Iterations(1);
BENCHMARK(BM_DeviceCalls_SetLun0Fixed)->Iterations(1);
BENCHMARK(BM_DeviceCalls_Write)->Iterations(1);

}  // namespace
}  // namespace vardel::bench
