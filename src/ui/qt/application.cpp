#include "ui/qt/application.h"

#include <ostream>
#include <string>

#include <QApplication>
#include <QPixmap>
#include <QTimer>

#include "journal/drive_journal.h"
#include "journal/journal_place.h"
#include "machine/machine_platform.h"
#include "outcome/exit_codes.h"
#include "resource.h"
#include "texts/no_drive_text.h"
#include "ui/lun_mode_dialog_model.h"
#include "ui/qt/lun_mode_window.h"
#include "ui/qt/service_call.h"
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
        out_ << "Question (caption \"" << caption.toStdString()
             << "\"), answered No: " << text.toStdString() << '\n';
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

VardelSession::VardelSession(const LaunchOptions& options, bool throughService, MessageBoxes& boxes,
                             std::ostream& err)
    : options_(options), throughService_(throughService), boxes_(boxes), err_(err) {}

bool VardelSession::SetUp(std::string& problem, int& exitCode) {
    if (!platform_.SetUp(options_, throughService_, problem)) {
        exitCode = platform_.SetUpExitCode();
        return false;
    }
    window_ = std::make_unique<LunModeWindow>(platform_.Watched(), boxes_);
    LunModeWindow& window = *window_;
    if (platform_.ThroughService()) {
        // The service keeps the journal of the changes it makes, and knows the failed command's
        // nodes and the rights of its own reach.
        relay_.emplace(CallServiceFromWindow, boxes_, &window,
                       [&window](bool busy) { window.SetBusy(busy); });
        window.SetRelay(relay_->Relay());
        window.SetFailedPaths(
            [this](const CommandOutcome&) { return relay_->LastReply().failedPaths; });
        window.SetJournalProblem([this] { return relay_->LastReply().journalProblem; });
    } else {
        // The emulated machines keep a journal of their own, apart from the real drives'.
        std::string journalProblem;
        const std::string journalFolder = frontend::JournalFolder(options_.emulate, journalProblem);
        journal_.emplace(journalFolder, journalProblem,
                         "vardel " + QApplication::applicationVersion().toStdString());
        window.SetJournal(&*journal_);
    }
    window.SetOnMachine(platform_.OnMachine());
    // What discovery looked at and what to do, as vardelctl says it.
    window.SetNoDriveHint([this](const CommandOutcome& outcome) {
        const bool served = platform_.ThroughService();
        const bool noRights =
            served ? relay_->LastReply().noRights : platform_.Watched().SawNoRights();
        if (!outcome.scan.done) {
            // The service's reach is its own: the user's rights on the nodes do not matter.
            return noRights && !served ? Translated(kNoRightsAdvice).toStdString() : std::string();
        }
        frontend::NoDriveFacts facts;
        facts.scan = outcome.scan;
        if (served) {
            facts.noRightsDisks = relay_->LastReply().noRightsDisks;
        } else {
            for (std::uint32_t letters = platform_.Watched().NoRightsLetters(); letters != 0;
                 letters &= letters - 1) {
                ++facts.noRightsDisks;
            }
        }
        facts.runsAsRoot = platform_.OnMachine() && !served && frontend::RunsAsRoot();
        facts.linuxMachine = platform_.OnMachine() && frontend::LinuxMachine();
        facts.throughService = served;
        facts.program = nullptr;  // the window does not run as root
        return frontend::NoDriveGuidance(facts);
    });
    window.SetBeforeCommand([this] {
        std::string holdProblem;
        int holdCode = kExitOk;
        if (platform_.BeforeCommand(holdProblem, holdCode)) return true;
        err_ << holdProblem << '\n';
        boxes_.Show(window_.get(), QString::fromStdString(holdProblem),
                    QString::fromUtf8(kApplicationName), MessageIcon::Exclamation);
        exitCode_ = holdCode;
        return false;
    });
    window.SetAfterCommand([this] {
        std::string writeProblem;
        if (platform_.AfterCommand(writeProblem)) return true;
        err_ << writeProblem << '\n';
        boxes_.Show(window_.get(), QString::fromStdString(writeProblem),
                    QString::fromUtf8(kApplicationName), MessageIcon::Exclamation);
        exitCode_ = kExitFileNotWritten;
        return false;
    });
    return true;
}

int RunVardel(const LaunchOptions& options, bool throughService, std::ostream& out,
              std::ostream& err) {
    ModalMessageBoxes modalBoxes;
    PrintedMessageBoxes printedBoxes(out);
    MessageBoxes& shownBoxes =
        options.screenshotFile.empty() ? static_cast<MessageBoxes&>(modalBoxes) : printedBoxes;
    VardelSession session(options, throughService, shownBoxes, err);
    std::string problem;
    int setUpCode = kExitOk;
    if (!session.SetUp(problem, setUpCode)) {
        err << problem << '\n';
        return setUpCode;
    }
    LunModeWindow& window = session.Window();
    window.show();

    if (!options.screenshotFile.empty()) {
        QTimer::singleShot(
            0, &window, [&] { ScreenshotAfterStatus(window, options.screenshotFile, out, err); });
        const int screenshotCode = QApplication::exec();
        return session.ExitCode() != kExitOk ? session.ExitCode() : screenshotCode;
    }
    // The window is a dialog: closing it (Escape too) hides it, which ends the program.
    QObject::connect(&window, &QDialog::finished, [] { QApplication::quit(); });
    QApplication::exec();
    return session.ExitCode();
}

}  // namespace vardel::qt
