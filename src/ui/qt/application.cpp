#include "ui/qt/application.h"

#include <ostream>
#include <string>

#include <QApplication>
#include <QPixmap>
#include <QTimer>

#include "frontend_common/drive_journal.h"
#include "frontend_common/exit_codes.h"
#include "frontend_common/journal_place.h"
#include "frontend_common/machine_platform.h"
#include "frontend_common/no_drive_text.h"
#include "resource.h"
#include "ui/lun_mode_dialog_model.h"
#include "ui/qt/lun_mode_window.h"
#include "ui/qt/translated_text.h"
#include "ui/qt/window_platform.h"
#include "ui/qt/window_texts.h"

namespace vardel::qt {
namespace {

using frontend::kExitFileNotWritten;
constexpr int kExitOk = frontend::kExitSuccess;

// A screenshot run has nobody to close a box: each message is written out instead.
class PrintedMessageBoxes : public MessageBoxes {
  public:
    explicit PrintedMessageBoxes(std::ostream& out) : out_(out) {}
    void Show(QWidget*, const QString& text, const QString& caption, MessageIcon) override {
        out_ << "Message (caption \"" << caption.toStdString() << "\"): " << text.toStdString()
             << '\n';
    }
    // Nobody answers: nothing is written.
    bool Ask(QWidget*, const QString& text, const QString& caption) override {
        out_ << "Question (caption \"" << caption.toStdString() << "\"), answered No: "
             << text.toStdString() << '\n';
        return false;
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
        QApplication::exit(kExitFileNotWritten);
        return;
    }
    out << "Screenshot of the window after the status button: " << file << '\n';
    QApplication::exit(kExitOk);
}

}  // namespace

int RunVardel(const LaunchOptions& options, std::ostream& out, std::ostream& err) {
    WindowPlatform platform;
    std::string problem;
    if (!platform.SetUp(options, problem)) {
        err << problem << '\n';
        return platform.SetUpExitCode();
    }

    ModalMessageBoxes modalBoxes;
    PrintedMessageBoxes printedBoxes(out);
    MessageBoxes& shownBoxes =
        options.screenshotFile.empty() ? static_cast<MessageBoxes&>(modalBoxes) : printedBoxes;
    LunModeWindow window(platform.Watched(), shownBoxes);
    // The emulated machines keep a journal of their own, apart from the real drives'.
    std::string journalProblem;
    const std::string journalFolder = frontend::JournalFolder(options.emulate, journalProblem);
    frontend::DriveJournal journal(journalFolder, journalProblem,
                                   "vardel " + QApplication::applicationVersion().toStdString());
    window.SetJournal(&journal);
    window.SetOnMachine(platform.OnMachine());
    // What discovery looked at and what to do, as vardelctl says it.
    window.SetNoDriveHint([&platform](const CommandOutcome& outcome) {
        if (!outcome.scan.done) {
            return platform.Watched().SawNoRights() ? Translated(kNoRightsAdvice).toStdString()
                                                    : std::string();
        }
        frontend::NoDriveFacts facts;
        facts.scan = outcome.scan;
        for (std::uint32_t letters = platform.Watched().NoRightsLetters(); letters != 0;
             letters &= letters - 1) {
            ++facts.noRightsDisks;
        }
        facts.runsAsRoot = platform.OnMachine() && frontend::RunsAsRoot();
        facts.linuxMachine = platform.OnMachine() && frontend::LinuxMachine();
        facts.program = nullptr;  // the window does not run as root
        return frontend::NoDriveGuidance(facts);
    });
    int exitCode = kExitOk;
    window.SetBeforeCommand([&] {
        std::string holdProblem;
        int holdCode = kExitOk;
        if (platform.BeforeCommand(holdProblem, holdCode)) return true;
        err << holdProblem << '\n';
        shownBoxes.Show(&window, QString::fromStdString(holdProblem),
                        QString::fromUtf8(kApplicationName), MessageIcon::Exclamation);
        exitCode = holdCode;
        return false;
    });
    window.SetAfterCommand([&] {
        std::string writeProblem;
        if (platform.AfterCommand(writeProblem)) return true;
        err << writeProblem << '\n';
        shownBoxes.Show(&window, QString::fromStdString(writeProblem),
                        QString::fromUtf8(kApplicationName), MessageIcon::Exclamation);
        exitCode = kExitFileNotWritten;
        return false;
    });
    window.show();

    if (!options.screenshotFile.empty()) {
        QTimer::singleShot(
            0, &window, [&] { ScreenshotAfterStatus(window, options.screenshotFile, out, err); });
        const int screenshotCode = QApplication::exec();
        return exitCode != kExitOk ? exitCode : screenshotCode;
    }
    // The window is a dialog: closing it (Escape too) hides it, which ends the program.
    QObject::connect(&window, &QDialog::finished, [] { QApplication::quit(); });
    QApplication::exec();
    return exitCode;
}

}  // namespace vardel::qt
