#include "ui/qt/application.h"

#include <memory>
#include <optional>
#include <ostream>

#include <QApplication>
#include <QPixmap>
#include <QTimer>

#include "frontend_common/access_watch.h"
#include "frontend_common/machine_platform.h"
#include "frontend_common/scenario.h"
#include "platform/emulated/emulated_platform.h"
#include "resource.h"
#include "ui/lun_mode_dialog_model.h"
#include "ui/qt/lun_mode_window.h"
#include "ui/qt/rights_hint_boxes.h"

namespace vardel::qt {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitProblem = 2;  // as vardelctl: a scenario or file that cannot be used

// A screenshot run has nobody to close a box: each message is written out instead.
class PrintedMessageBoxes : public MessageBoxes {
  public:
    explicit PrintedMessageBoxes(std::ostream& out) : out_(out) {}
    void Show(QWidget*, const QString& text, const QString& caption, MessageIcon) override {
        out_ << "Message (caption \"" << caption.toStdString() << "\"): " << text.toStdString()
             << '\n';
    }

  private:
    std::ostream& out_;
};

// Presses the status button once the window is up, saves the window and ends the event loop.
void ScreenshotAfterStatus(LunModeWindow& window, const std::string& file, std::ostream& out,
                           std::ostream& err) {
    window.RunCommand(IDC_STATUS_BUTTON);
    const QString path = QString::fromStdString(file);
    if (!window.grab().save(path, "PNG")) {
        err << "vardel: the screenshot could not be written to " << file << '\n';
        QApplication::exit(kExitProblem);
        return;
    }
    out << "Screenshot of the window after the status button: " << file << '\n';
    QApplication::exit(kExitOk);
}

}  // namespace

int RunVardel(const LaunchOptions& options, std::ostream& out, std::ostream& err) {
    std::unique_ptr<Platform> machine;
    emulated::EmulatedPlatform emulatedPlatform;
    std::optional<frontend::Scenario> scenario;
    Platform* platform = &emulatedPlatform;
    if (options.emulate && !options.scenarioFile.empty()) {
        try {
            scenario = frontend::Scenario::Load(options.scenarioFile);
        } catch (const frontend::ScenarioError& error) {
            err << error.what() << '\n';
            return kExitProblem;
        }
        scenario->SetUp(emulatedPlatform);
    } else if (options.emulate) {
        emulated::SetUpStandardMachine(emulatedPlatform);
    } else {
        machine = frontend::MakeMachinePlatform();
        if (machine == nullptr) {
            err << "This vardel is built without access to the machine's drives; try vardel "
                   "--emulate\n";
            return kExitProblem;
        }
        platform = machine.get();
    }

    frontend::AccessWatch watch(*platform, machine != nullptr
                                               ? frontend::IsNoRightsError
                                               : frontend::IsEmulatedNoRightsError);
    ModalMessageBoxes modalBoxes;
    PrintedMessageBoxes printedBoxes(out);
    MessageBoxes& shownBoxes =
        options.screenshotFile.empty() ? static_cast<MessageBoxes&>(modalBoxes) : printedBoxes;
    RightsHintBoxes boxes(shownBoxes, watch, frontend::NoRightsAdvice());

    LunModeWindow window(watch, boxes);
    int exitCode = kExitOk;
    window.SetAfterCommand([&] {
        watch.ForgetNoRights();
        if (!scenario) return;
        try {
            scenario->SaveChanges(emulatedPlatform);
        } catch (const frontend::ScenarioError& error) {
            err << error.what() << '\n';
            shownBoxes.Show(&window, QString::fromUtf8(error.what()),
                            QString::fromUtf8(kApplicationName), MessageIcon::Exclamation);
            exitCode = kExitProblem;
        }
    });
    window.show();

    if (!options.screenshotFile.empty()) {
        QTimer::singleShot(0, &window,
                           [&] { ScreenshotAfterStatus(window, options.screenshotFile, out, err); });
        const int screenshotCode = QApplication::exec();
        return exitCode != kExitOk ? exitCode : screenshotCode;
    }
    // The window is a dialog: closing it (Escape too) hides it, which ends the program.
    QObject::connect(&window, &QDialog::finished, [] { QApplication::quit(); });
    QApplication::exec();
    return exitCode;
}

}  // namespace vardel::qt
