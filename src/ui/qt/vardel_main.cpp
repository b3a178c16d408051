// vardel: the Vardel window on Linux, over the machine's drives or an emulated machine.

#include <unistd.h>

#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include <QApplication>

#include "frontend_common/exit_codes.h"
#include "frontend_common/standard_output.h"
#include "ui/qt/application.h"
#include "ui/qt/launch_options.h"

namespace {


// A window program with root's rights takes the whole desktop's risk for one drive node.
bool RunsAsRoot() {
    return getuid() == 0 || geteuid() == 0;
}

constexpr char kRootRefusal[] =
    "vardel: not starting as root. The window needs no more rights than the drive's own device\n"
    "node: install the udev rule 70-vardel.rules (the package puts it in /usr/lib/udev/rules.d;\n"
    "from the sources: sudo cp res/linux/70-vardel.rules /etc/udev/rules.d/ && sudo udevadm\n"
    "control --reload), replug the drive and start vardel as yourself. To try it without a\n"
    "drive: vardel --emulate\n";

// What the program printed (--help, --version, a screenshot run's lines) counts once the system
// took it; a run that failed on its own keeps its code.
int EndOutput(int exitCode) {
    const std::string why = vardel::frontend::FinishStandardOutput();
    if (why.empty()) return exitCode;
    std::cerr << "vardel: standard output could not be written (" << why << ")\n";
    return exitCode == vardel::frontend::kExitSuccess ? vardel::frontend::kExitFileNotWritten
                                                      : exitCode;
}

}  // namespace

int main(int argc, char** argv) {
    vardel::frontend::GuardStandardStreams();
    // --help and --version answer without a display.
    {
        const std::vector<std::string> raw(argv + 1, argv + argc);
        vardel::qt::LaunchOptions early;
        std::string ignored;
        if (vardel::qt::ParseLaunchOptions(raw, early, ignored) && (early.help || early.version)) {
            std::cout << (early.help ? std::string(vardel::qt::kLaunchUsage)
                                     : std::string("vardel ") + VARDEL_VERSION + "\n");
            return EndOutput(vardel::frontend::kExitSuccess);
        }
    }
    if (RunsAsRoot()) {
        std::cerr << kRootRefusal;
        return vardel::frontend::kExitRunsAsRoot;
    }
    try {
        QApplication application(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Vardel"));
        QApplication::setApplicationVersion(QStringLiteral(VARDEL_VERSION));
        // Qt has taken its own arguments out of argv.
        const std::vector<std::string> arguments(argv + 1, argv + argc);
        vardel::qt::LaunchOptions options;
        std::string problem;
        if (!vardel::qt::ParseLaunchOptions(arguments, options, problem)) {
            std::cerr << "vardel: " << problem << '\n' << vardel::qt::kLaunchUsage;
            return vardel::qt::kLaunchUsageExit;
        }
        return EndOutput(vardel::qt::RunVardel(options, std::cout, std::cerr));
    } catch (const std::exception& error) {
        std::cerr << "Unknown error\n" << error.what() << '\n';
    } catch (...) {
        std::cerr << "Unknown error\n";
    }
    return vardel::frontend::kExitUnknownError;
}
