#pragma once
// What `vardel` is asked to do on its command line (after Qt has taken its own arguments).

#include <string>
#include <vector>

#include "outcome/exit_codes.h"

namespace vardel::qt {

struct LaunchOptions {
    bool emulate = false;
    std::string scenarioFile;  // with --emulate=FILE or --emulate FILE
    // With --screenshot-after-status=FILE: press the status button, save the window, quit.
    std::string screenshotFile;
    // --direct: the drives through their nodes; --service: through the drive service (without
    // either, main chooses: the service when run without root).
    bool direct = false;
    bool service = false;
    bool help = false;
    bool version = false;
};

constexpr char kLaunchUsage[] =
    "Usage: vardel [--direct | --service] [--emulate[=FILE]] [--screenshot-after-status=FILE]\n"
    "  --direct           reach the drive through its device node (rights on the node needed)\n"
    "  --service          go through the drive service (org.vardel.Drives1), as every run of\n"
    "                     the window on the machine's drives does unless --direct is given\n"
    "  --emulate          run on an emulated drive (LUN 0 removable, LUN 1 fixed)\n"
    "  --emulate=FILE     run on the emulated machine of a scenario file; changes go back to it\n"
    "                     (--emulate FILE alike)\n"
    "  --screenshot-after-status=FILE\n"
    "                     press the status button, save the window as a PNG and quit; messages\n"
    "                     are printed instead of shown\n"
    "  --version          print the version\n"
    "  --help             print this text\n";

// The exit code of a usage error, as vardelctl's.
constexpr int kLaunchUsageExit = frontend::kExitUsage;

// `arguments` without the program's name. False with `problem` for anything else.
bool ParseLaunchOptions(const std::vector<std::string>& arguments, LaunchOptions& options,
                        std::string& problem);

}  // namespace vardel::qt
