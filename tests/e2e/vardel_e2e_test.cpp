// The finished program in a real window, worked from outside as a person would: VardelDemo.exe on
// its emulated drive (LUN 0 removable over E, LUN 1 fixed over F), and Vardel.exe on a machine
// without such a drive. Each test starts its own process and ends it with Escape or the close box.
//
// UsbDriveWindowTest is Vardel.exe over a real drive path: Wine's own SCSI pass-through, a Linux
// kernel and a USB drive whose LUN 0 (E) starts removable and LUN 1 (F) fixed. The guest job that
// runs it (tests/kernel/jobs/wine-window.sh) runs one case at a time and checks what the drive
// received between them; on a machine without that drive these cases fail.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "window_driver.h"

namespace vardel::e2e {
namespace {

struct Options {
    std::string demoExe;
    std::string realExe;
    std::string menuProbeDll;
    std::string screenshotDir;
};
Options options;

// A fresh Wine prefix can take a while to start its first program; a step of a command on the
// emulated drive takes milliseconds, so its limit only guards against a hang.
constexpr Milliseconds kStartTimeout{60000};
constexpr Milliseconds kStepTimeout{15000};
constexpr Milliseconds kExitTimeout{15000};

constexpr int kLun0Edit = 1002;
constexpr int kStatusButton = 1003;
constexpr int kLun1Edit = 1004;
constexpr int kLun0Removable = 1005;
constexpr int kLun1Removable = 1006;
constexpr int kLun0Fixed = 1007;
constexpr int kLun1Fixed = 1008;
constexpr UINT kAboutCommand = 0x0010;
const std::string kAboutMenuText = "關於 Kestrin(&A)...";

const std::string kMainCaption = "Vardel v1.0.0.3";
const std::string kRemovable = "Removable";
const std::string kFixed = "Fixed Disk";
const std::string kCommandCaption = " ";
const std::string kTooLongPrompt = "請輸入少於 2個文字.";

struct ExpectedBox {
    std::string text;
    std::string caption;
    bool icon;
};
const ExpectedBox kWriteSuccess{"Write Success", kCommandCaption, false};
const ExpectedBox kNoDrive{"No drive found", kCommandCaption, false};
const ExpectedBox kPrompt{kTooLongPrompt, "Vardel", true};

class VardelWindowTest : public ::testing::Test {
  protected:
    void StartProgram(const std::string& exePath) {
        ASSERT_FALSE(exePath.empty()) << "the path of the program was not passed to the test";
        std::string error;
        process_ = Process::Start(exePath, error);
        ASSERT_TRUE(process_) << error;
        HWND window = nullptr;
        WaitUntil(
            [&] {
                window = TopLevelDialog(process_->Id(), kMainCaption);
                return window || process_->HasExited();
            },
            kStartTimeout);
        ASSERT_TRUE(window) << "waited " << kStartTimeout.count() << " ms for the dialog \""
                            << kMainCaption << "\" of " << exePath << "; the process "
                            << (process_->HasExited() ? "has exited" : "shows:\n")
                            << (process_->HasExited() ? "" : DescribeWindows(process_->Id()));
        dialog_ = DialogDriver(window);
    }

    void TearDown() override {
        if (!process_) return;
        if (process_->HasExited()) {
            ADD_FAILURE() << "the program ended by itself during the test";
            return;
        }
        // A test that stopped half way may have left a box open; only a clean dialog is closed as
        // a person would, the rest is ended by force.
        if (dialog_.OwnedDialog()) {
            process_->Kill();
            return;
        }
        const bool escape = endBy_ == EndBy::Escape;
        const bool posted = escape ? dialog_.PressKey(VK_ESCAPE) : dialog_.SystemCommand(SC_CLOSE);
        EXPECT_TRUE(posted && process_->WaitForExit(kExitTimeout))
            << "waited " << kExitTimeout.count() << " ms for the program to end after "
            << (escape ? "Escape" : "the close box") << "; it shows:\n"
            << DescribeWindows(process_->Id());
    }

    std::string Screen() const { return DescribeWindows(process_->Id()); }

    ::testing::AssertionResult EditsShow(const std::string& lun0, const std::string& lun1) const {
        const std::string shown0 = dialog_.ControlText(kLun0Edit);
        const std::string shown1 = dialog_.ControlText(kLun1Edit);
        if (shown0 == lun0 && shown1 == lun1) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << "expected Lun0 \"" << lun0 << "\" and Lun1 \"" << lun1 << "\", the edits show \""
               << shown0 << "\" and \"" << shown1 << "\"";
    }

    // Clicks a button whose command ends without a message box and waits for it to end.
    ::testing::AssertionResult RunQuietCommand(int buttonId) const {
        Click click;
        if (!dialog_.ClickButton(buttonId, &click)) {
            return ::testing::AssertionFailure()
                   << "button " << buttonId << " cannot be clicked (missing, hidden or disabled):\n"
                   << Screen();
        }
        HWND box = nullptr;
        const bool ended = WaitUntil(
            [&] { return click.Done() || (box = dialog_.OwnedDialog()) != nullptr; }, kStepTimeout);
        if (box) {
            const MessageBoxContent content = ReadMessageBox(box);
            return ::testing::AssertionFailure()
                   << "button " << buttonId << " opened a message box \"" << content.text
                   << "\" (caption \"" << content.caption << "\")";
        }
        if (!ended) {
            return ::testing::AssertionFailure()
                   << "waited " << kStepTimeout.count() << " ms for the command of button "
                   << buttonId << " to end; the program shows:\n"
                   << Screen();
        }
        return ::testing::AssertionSuccess();
    }

    // Waits for the next message box of the dialog, checks it, and presses its OK.
    ::testing::AssertionResult AnswerMessageBox(const ExpectedBox& expected) const {
        HWND box = dialog_.WaitForOwnedDialog(kStepTimeout);
        if (!box) {
            return ::testing::AssertionFailure()
                   << "waited " << kStepTimeout.count() << " ms for the message box \""
                   << expected.text << "\" owned by the dialog; the program shows:\n"
                   << Screen();
        }
        const MessageBoxContent content = ReadMessageBox(box);
        const std::vector<std::string> okOnly{"OK"};
        if (content.text != expected.text || content.caption != expected.caption ||
            content.hasIcon != expected.icon || content.buttons != okOnly) {
            std::string buttons;
            for (const auto& button : content.buttons) buttons += " \"" + button + "\"";
            return ::testing::AssertionFailure()
                   << "expected the box \"" << expected.text << "\", caption \"" << expected.caption
                   << "\", " << (expected.icon ? "an icon" : "no icon") << ", OK only; got \""
                   << content.text << "\", caption \"" << content.caption << "\", "
                   << (content.hasIcon ? "an icon" : "no icon") << ", buttons" << buttons;
        }
        if (!PressOk(box) || !WaitForWindowGone(box, kStepTimeout)) {
            return ::testing::AssertionFailure()
                   << "the box \"" << expected.text << "\" did not close on OK within "
                   << kStepTimeout.count() << " ms";
        }
        return ::testing::AssertionSuccess();
    }

    // Waits until the command that opened the last box has given the buttons back.
    ::testing::AssertionResult CommandButtonsEnabled() const {
        if (WaitUntil([&] { return dialog_.IsEnabled(IDOK) && dialog_.IsEnabled(kStatusButton); },
                      kStepTimeout)) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure()
               << "waited " << kStepTimeout.count()
               << " ms for the Write and status buttons to be enabled again: Write "
               << (dialog_.IsEnabled(IDOK) ? "enabled" : "disabled") << ", status "
               << (dialog_.IsEnabled(kStatusButton) ? "enabled" : "disabled");
    }

    void Screenshot(HWND window, const std::string& name) const {
        if (options.screenshotDir.empty()) return;
        CreateDirectoryW(WindowsPath(options.screenshotDir).c_str(), nullptr);
        std::string error;
        EXPECT_TRUE(SaveScreenshot(window, options.screenshotDir + "/" + name, error))
            << "screenshot " << name << ": " << error;
    }

    std::optional<Process> process_;
    DialogDriver dialog_{nullptr};
    enum class EndBy { Escape, CloseBox };
    EndBy endBy_ = EndBy::Escape;
};

class DemoWindowTest : public VardelWindowTest {
  protected:
    void SetUp() override { StartProgram(options.demoExe); }
};

TEST_F(DemoWindowTest, StartsEmptyAndEnterWritesWithoutChangingTheTypes) {
    EXPECT_TRUE(EditsShow("", ""));
    EXPECT_FALSE(dialog_.IsVisible(IDOK)) << "the Write button is meant to be hidden";

    // The focus starts in the first edit, where Enter runs the hidden default button.
    ASSERT_TRUE(WaitUntil([&] { return dialog_.FocusedWindow() == dialog_.Control(kLun0Edit); },
                          kStepTimeout))
        << "the focus did not start in edit " << kLun0Edit;
    ASSERT_TRUE(dialog_.PressKey(VK_RETURN));
    ASSERT_TRUE(AnswerMessageBox(kWriteSuccess));
    ASSERT_TRUE(CommandButtonsEnabled());
    EXPECT_TRUE(EditsShow("", ""));

    ASSERT_TRUE(RunQuietCommand(kStatusButton));
    EXPECT_TRUE(EditsShow(kRemovable, kFixed));
    EXPECT_TRUE(dialog_.IsEnabled(IDOK) && dialog_.IsEnabled(kStatusButton));
}

TEST_F(DemoWindowTest, ModeButtonsSwitchOneLunAndStatusAgrees) {
    EXPECT_EQ(dialog_.ControlText(kStatusButton), "更改状态");
    EXPECT_EQ(dialog_.ControlText(IDOK), "Write");
    // Each step changes what its edit shows, so a button that does nothing cannot pass, and the
    // caption a person reads on the button is the type its row gets.
    struct Step {
        int button;
        std::string caption;
        std::string lun0;
        std::string lun1;
        std::string lun1AfterStatus;  // a mode button fills its own row only
    };
    const Step steps[] = {
        {kLun0Fixed, "固定磁盘", kFixed, "", kFixed},
        {kLun0Removable, "可移动磁盘", kRemovable, kFixed, kFixed},
        {kLun1Removable, "可移动磁盘", kRemovable, kRemovable, kRemovable},
        {kLun1Fixed, "固定磁盘", kRemovable, kFixed, kFixed},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE("button " + std::to_string(step.button));
        EXPECT_EQ(dialog_.ControlText(step.button), step.caption);
        ASSERT_TRUE(RunQuietCommand(step.button));
        EXPECT_TRUE(EditsShow(step.lun0, step.lun1));
        ASSERT_TRUE(RunQuietCommand(kStatusButton));
        EXPECT_TRUE(EditsShow(step.lun0, step.lun1AfterStatus));
    }
}

TEST_F(DemoWindowTest, EnterAfterStatusPromptsOnceThenWritesTheSameTypes) {
    ASSERT_TRUE(RunQuietCommand(kStatusButton));
    ASSERT_TRUE(EditsShow(kRemovable, kFixed));

    // The status button has the focus now and Enter would press it; a person clicks into an edit.
    ASSERT_TRUE(dialog_.ClickInto(kLun0Edit));
    ASSERT_TRUE(WaitUntil([&] { return dialog_.FocusedWindow() == dialog_.Control(kLun0Edit); },
                          kStepTimeout))
        << "the click did not put the focus into edit " << kLun0Edit;
    ASSERT_TRUE(dialog_.PressKey(VK_RETURN));

    // The exchange checks edit 1004 first and stops there; the command goes on to its own box.
    ASSERT_TRUE(AnswerMessageBox(kPrompt));
    ASSERT_TRUE(AnswerMessageBox(kWriteSuccess));
    ASSERT_TRUE(CommandButtonsEnabled());
    EXPECT_TRUE(WaitUntil([&] { return dialog_.FocusedWindow() == dialog_.Control(kLun1Edit); },
                          kStepTimeout))
        << "the prompt should leave the focus in the edit it complained about";
    EXPECT_TRUE(EditsShow(kRemovable, kFixed));

    // What was written is what the window showed: both LUNs kept their types.
    ASSERT_TRUE(RunQuietCommand(kStatusButton));
    EXPECT_TRUE(EditsShow(kRemovable, kFixed));
}

TEST_F(DemoWindowTest, AboutBoxOpensFromTheSystemMenu) {
    ASSERT_TRUE(RunQuietCommand(kStatusButton));
    Screenshot(dialog_.Window(), "main-window.bmp");

    // The entry a person finds at the end of the window's menu, chosen there.
    SystemMenuItem entry;
    std::string error;
    ASSERT_TRUE(ReadLastSystemMenuItem(dialog_.Window(), options.menuProbeDll, entry, error))
        << error;
    EXPECT_EQ(entry.text, kAboutMenuText);
    EXPECT_TRUE(entry.separatorBefore) << "the entry should follow a separator";
    EXPECT_EQ(entry.id & 0xFFF0u, kAboutCommand);
    ASSERT_TRUE(dialog_.SystemCommand(entry.id));
    HWND about = dialog_.WaitForOwnedDialog(kStepTimeout);
    ASSERT_TRUE(about) << "waited " << kStepTimeout.count()
                       << " ms for the about box owned by the dialog; the program shows:\n"
                       << Screen();
    const MessageBoxContent content = ReadMessageBox(about);
    EXPECT_EQ(content.caption, "關於 Kestrin");
    EXPECT_EQ(content.text, "Kestrin Version 1.0");
    EXPECT_TRUE(content.hasIcon);
    EXPECT_EQ(content.buttons, std::vector<std::string>{"確定"});
    Screenshot(about, "about-box.bmp");

    ASSERT_TRUE(PressOk(about));
    ASSERT_TRUE(WaitForWindowGone(about, kStepTimeout)) << "the about box stayed open after OK";
    EXPECT_TRUE(EditsShow(kRemovable, kFixed));
    endBy_ = EndBy::CloseBox;
}

class RealWindowTest : public VardelWindowTest {
  protected:
    void SetUp() override { StartProgram(options.realExe); }
};

TEST_F(RealWindowTest, EveryCommandSaysNoDriveFoundWithoutTheDrive) {
    const int buttons[] = {kStatusButton, kLun0Removable, kLun1Removable, kLun0Fixed, kLun1Fixed};
    for (int button : buttons) {
        SCOPED_TRACE("button " + std::to_string(button));
        ASSERT_TRUE(dialog_.ClickButton(button)) << Screen();
        ASSERT_TRUE(AnswerMessageBox(kNoDrive));
        ASSERT_TRUE(CommandButtonsEnabled());
    }
    SCOPED_TRACE("Enter");
    ASSERT_TRUE(dialog_.ClickInto(kLun1Edit));
    ASSERT_TRUE(WaitUntil([&] { return dialog_.FocusedWindow() == dialog_.Control(kLun1Edit); },
                          kStepTimeout));
    ASSERT_TRUE(dialog_.PressKey(VK_RETURN));
    ASSERT_TRUE(AnswerMessageBox(kNoDrive));
    ASSERT_TRUE(CommandButtonsEnabled());
    EXPECT_TRUE(EditsShow("", ""));
}

class UsbDriveWindowTest : public RealWindowTest {};

TEST_F(UsbDriveWindowTest, StatusShowsBothTypes) {
    ASSERT_TRUE(RunQuietCommand(kStatusButton));
    EXPECT_TRUE(EditsShow(kRemovable, kFixed));
}

// The job checks that the drive received one write changing byte 304 alone.
TEST_F(UsbDriveWindowTest, Lun0FixedButtonSwitchesLun0) {
    ASSERT_TRUE(RunQuietCommand(kLun0Fixed));
    EXPECT_TRUE(EditsShow(kFixed, ""));
    ASSERT_TRUE(RunQuietCommand(kStatusButton));
    EXPECT_TRUE(EditsShow(kFixed, kFixed));
}

// Enter writes the types the edits show; the job checks that the block went back unchanged.
TEST_F(UsbDriveWindowTest, EnterWritesWhatIsShown) {
    ASSERT_TRUE(RunQuietCommand(kStatusButton));
    const std::string lun0 = dialog_.ControlText(kLun0Edit);
    const std::string lun1 = dialog_.ControlText(kLun1Edit);
    ASSERT_FALSE(lun0.empty() || lun1.empty()) << "status left an edit empty";
    ASSERT_TRUE(dialog_.ClickInto(kLun0Edit));
    ASSERT_TRUE(WaitUntil([&] { return dialog_.FocusedWindow() == dialog_.Control(kLun0Edit); },
                          kStepTimeout));
    ASSERT_TRUE(dialog_.PressKey(VK_RETURN));
    ASSERT_TRUE(AnswerMessageBox(kPrompt));
    ASSERT_TRUE(AnswerMessageBox(kWriteSuccess));
    ASSERT_TRUE(CommandButtonsEnabled());
    ASSERT_TRUE(RunQuietCommand(kStatusButton));
    EXPECT_TRUE(EditsShow(lun0, lun1));
}

}  // namespace
}  // namespace vardel::e2e

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    using vardel::e2e::options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        auto value = [&](const std::string& name) {
            return argument.rfind(name, 0) == 0 ? argument.substr(name.size()) : std::string();
        };
        if (!value("--demo=").empty()) options.demoExe = value("--demo=");
        if (!value("--real=").empty()) options.realExe = value("--real=");
        if (!value("--menu-probe=").empty()) options.menuProbeDll = value("--menu-probe=");
        if (!value("--screenshots=").empty()) options.screenshotDir = value("--screenshots=");
    }
    return RUN_ALL_TESTS();
}
