#include "ui/qt/launch_options.h"

namespace vardel::qt {
namespace {

// The value of "--name=VALUE"; false when `argument` is not of that form.
bool ValueOf(const std::string& argument, const std::string& name, std::string& value) {
    const std::string prefix = name + "=";
    if (argument.compare(0, prefix.size(), prefix) != 0) return false;
    value = argument.substr(prefix.size());
    return true;
}

}  // namespace

bool ParseLaunchOptions(const std::vector<std::string>& arguments, LaunchOptions& options,
                        std::string& problem) {
    for (const std::string& argument : arguments) {
        std::string value;
        if (argument == "--emulate") {
            options.emulate = true;
        } else if (ValueOf(argument, "--emulate", value)) {
            if (value.empty()) {
                problem = "--emulate=: the scenario file is missing";
                return false;
            }
            options.emulate = true;
            options.scenarioFile = value;
        } else if (ValueOf(argument, "--screenshot-after-status", value)) {
            if (value.empty()) {
                problem = "--screenshot-after-status=: the file is missing";
                return false;
            }
            options.screenshotFile = value;
        } else if (argument == "--help" || argument == "-h") {
            options.help = true;
        } else if (argument == "--version") {
            options.version = true;
        } else {
            problem = "unknown argument: " + argument;
            return false;
        }
    }
    return true;
}

}  // namespace vardel::qt
