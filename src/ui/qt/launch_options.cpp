#include "ui/qt/launch_options.h"

#include <cstddef>

namespace vardel::qt {
namespace {

enum class Match { No, WithoutValue, WithValue };

// The value of an option given as "--name=VALUE" or as "--name VALUE", as vardelctl's options
// take theirs; an argument that starts with "-" is the next option, not a value. `at` is the
// option's index; a value in the next argument moves it on. Without a value, an `optional` option
// matches WithoutValue, any other WithValue with an empty value.
Match TakeOption(const std::vector<std::string>& arguments, std::size_t& at,
                 const std::string& name, bool optional, std::string& value) {
    const std::string& argument = arguments[at];
    const std::string prefix = name + "=";
    if (argument.compare(0, prefix.size(), prefix) == 0) {
        value = argument.substr(prefix.size());
        return Match::WithValue;
    }
    if (argument != name) return Match::No;
    const bool nextIsValue = at + 1 < arguments.size() && arguments[at + 1].rfind("-", 0) != 0;
    if (!nextIsValue) {
        value.clear();
        return optional ? Match::WithoutValue : Match::WithValue;
    }
    value = arguments[++at];
    return Match::WithValue;
}

}  // namespace

bool ParseLaunchOptions(const std::vector<std::string>& arguments, LaunchOptions& options,
                        std::string& problem) {
    for (std::size_t at = 0; at < arguments.size(); ++at) {
        const std::string& argument = arguments[at];
        std::string value;
        Match match = TakeOption(arguments, at, "--emulate", true, value);
        if (match == Match::WithoutValue) {
            options.emulate = true;
            continue;
        }
        if (match == Match::WithValue) {
            if (value.empty()) {
                problem = "--emulate: the scenario file is missing";
                return false;
            }
            options.emulate = true;
            options.scenarioFile = value;
            continue;
        }
        match = TakeOption(arguments, at, "--screenshot-after-status", false, value);
        if (match == Match::WithValue) {
            if (value.empty()) {
                problem = "--screenshot-after-status: the file is missing";
                return false;
            }
            options.screenshotFile = value;
        } else if (argument == "--direct") {
            options.direct = true;
        } else if (argument == "--service") {
            options.service = true;
        } else if (argument == "--help" || argument == "-h") {
            options.help = true;
        } else if (argument == "--version") {
            options.version = true;
        } else if (argument.rfind("-", 0) != 0) {
            // "vardel status": the commands are the console tool's.
            problem = "unknown argument: " + argument +
                      " (the window takes no commands; the console tool does: vardelctl " +
                      argument + ", or vardelctl --help for them all)";
            return false;
        } else {
            problem = "unknown argument: " + argument;
            return false;
        }
    }
    if (options.direct && options.service) {
        problem =
            "--direct reaches the drive itself, --service through the drive service: give only "
            "one of them";
        return false;
    }
    if (options.service && options.emulate) {
        problem =
            "--emulate runs on an emulated machine of the window's own, never through the drive "
            "service: leave out --service";
        return false;
    }
    return true;
}

}  // namespace vardel::qt
