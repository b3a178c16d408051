// vardel: the Vardel window on Linux, over the machine's drives or an emulated machine.

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include <QApplication>
#include <QMessageBox>

#include "files/standard_output.h"
#include "outcome/exit_codes.h"
#include "service_client/service_client.h"
#include "ui/qt/application.h"
#include "ui/qt/launch_options.h"
#include "ui/qt/window_language.h"

namespace {

// A window program with root's rights takes the whole desktop's risk for one drive node.
bool RunsAsRoot() {
    return getuid() == 0 || geteuid() == 0;
}

constexpr char kRootRefusal[] =
    "vardel: not starting as root. Started as yourself, the window asks the drive service\n"
    "(vardel-service), which alone opens the drive and asks polkit about each change; sudo\n"
    "vardelctl ... reaches the drive as root from a console. To try it without a drive:\n"
    "vardel --emulate\n";

constexpr char kNoDisplay[] =
    "vardel: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are not set, or the\n"
    "display could not be reached). On a console, use vardelctl, which does the same from the\n"
    "command line: vardelctl --help lists its commands.\n";

bool Set(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

// Whether Qt has a display to open the window on: a platform other than X11 or Wayland chosen
// by QT_QPA_PLATFORM (offscreen, a framebuffer) needs neither variable.
bool DisplayNamed() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform != nullptr && platform[0] != '\0' && std::strncmp(platform, "xcb", 3) != 0 &&
        std::strncmp(platform, "wayland", 7) != 0) {
        return true;
    }
    return Set("DISPLAY") || Set("WAYLAND_DISPLAY");
}

// A display that is named but cannot be reached ends Qt's start in a fatal message and an abort;
// the program says what it means instead, with its own code.
void EndWithoutDisplayOnFatal(QtMsgType type, const QMessageLogContext& context,
                              const QString& message) {
    if (type != QtFatalMsg) {
        std::cerr << qFormatLogMessage(type, context, message).toStdString() << '\n';
        return;
    }
    std::cerr << kNoDisplay;
    std::_Exit(vardel::frontend::kExitNoDisplay);
}

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
        std::string problem;
        const bool parsed = vardel::qt::ParseLaunchOptions(raw, early, problem);
        if (parsed && (early.help || early.version)) {
            std::cout << (early.help ? std::string(vardel::qt::kLaunchUsage)
                                     : std::string("vardel ") + VARDEL_VERSION + "\n");
            return EndOutput(vardel::frontend::kExitSuccess);
        }
        // Without Qt's own options (single dash: -platform, -style ...), which Qt takes out of
        // the arguments later, a usage error is one before anything else: "vardel status" on a
        // console names vardelctl whatever the display.
        const bool qtOptions = std::any_of(raw.begin(), raw.end(), [](const std::string& a) {
            return a.size() > 1 && a[0] == '-' && a[1] != '-';
        });
        if (!parsed && !qtOptions) {
            std::cerr << "vardel: " << problem << '\n' << vardel::qt::kLaunchUsage;
            return vardel::qt::kLaunchUsageExit;
        }
    }
    if (!DisplayNamed()) {
        std::cerr << kNoDisplay;
        return vardel::frontend::kExitNoDisplay;
    }
    if (RunsAsRoot()) {
        // Started from a menu, nobody reads standard error: where a display is there, the refusal
        // is a box as well (printed instead in a screenshot run, which nobody watches either).
        std::cerr << kRootRefusal;
        const std::vector<std::string> raw(argv + 1, argv + argc);
        vardel::qt::LaunchOptions options;
        std::string ignored;
        vardel::qt::ParseLaunchOptions(raw, options, ignored);
        qInstallMessageHandler(EndWithoutDisplayOnFatal);
        QApplication application(argc, argv);
        const QString text = QString::fromUtf8(kRootRefusal + std::strlen("vardel: "))
                                 .replace(QLatin1Char('\n'), QLatin1Char(' '))
                                 .trimmed();
        if (!options.screenshotFile.empty()) {
            std::cout << "Message (caption \"Vardel\"): " << text.toStdString() << '\n';
            return EndOutput(vardel::frontend::kExitRunsAsRoot);
        }
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Vardel"), text, QMessageBox::Ok);
        box.setTextFormat(Qt::PlainText);
        box.exec();
        return vardel::frontend::kExitRunsAsRoot;
    }
    try {
        qInstallMessageHandler(EndWithoutDisplayOnFatal);
        QApplication application(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Vardel"));
        QApplication::setApplicationVersion(QStringLiteral(VARDEL_VERSION));
        vardel::qt::WindowLanguage language;
        language.Install(QLocale::system(), vardel::qt::TranslationFolders());
        // Qt has taken its own arguments out of argv.
        const std::vector<std::string> arguments(argv + 1, argv + argc);
        vardel::qt::LaunchOptions options;
        std::string problem;
        if (!vardel::qt::ParseLaunchOptions(arguments, options, problem)) {
            std::cerr << "vardel: " << problem << '\n' << vardel::qt::kLaunchUsage;
            return vardel::qt::kLaunchUsageExit;
        }
        // The route: without root (the window never runs as root) the machine's drives are the
        // drive service's, unless --direct asks for the nodes; an emulated machine is the
        // window's own.
        const bool throughService = !options.emulate && !options.direct &&
                                    (options.service || vardel::service_client::ServiceIsDefault());
        return EndOutput(vardel::qt::RunVardel(options, throughService, std::cout, std::cerr));
    } catch (const std::exception& error) {
        std::cerr << "Unknown error\n" << error.what() << '\n';
    } catch (...) {
        std::cerr << "Unknown error\n";
    }
    return vardel::frontend::kExitUnknownError;
}
