// The dialog model without a toolkit: button routing and the exchange between the status texts
// and the edits.

#include "ui/lun_mode_dialog_model.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "drive/vendor_blocks.h"
#include "platform/emulated/emulated_platform.h"
#include "resource.h"

namespace vardel {
namespace {

using Events = std::vector<std::string>;

// Edits that hold text, and a log of everything else the model does to the controls.
class FakeControls : public DialogControls {
  public:
    std::string EditText(int editId) override {
        events.push_back("get " + std::to_string(editId));
        return edits[editId];
    }
    void SetEditText(int editId, const std::string& text) override {
        events.push_back("set " + std::to_string(editId) + " " + text);
        edits[editId] = text;
    }
    void LimitEditText(int editId, int maxCharacters) override {
        events.push_back("limit " + std::to_string(editId) + " " + std::to_string(maxCharacters));
    }
    void FocusAndSelectEdit(int editId) override {
        events.push_back("select " + std::to_string(editId));
    }
    void EnableControl(int controlId, bool enable) override {
        events.push_back((enable ? "enable " : "disable ") + std::to_string(controlId));
    }
    void ShowMessageBox(const std::string& text, const std::string& caption,
                        MessageIcon icon) override {
        events.push_back("box [" + caption + "] " + text +
                         (icon == MessageIcon::Exclamation ? " (!)" : ""));
    }

    Events Boxes() const {
        Events boxes;
        for (const std::string& event : events) {
            if (event.rfind("box ", 0) == 0) boxes.push_back(event);
        }
        return boxes;
    }

    std::map<int, std::string> edits;
    Events events;
};

class DialogModelTest : public ::testing::Test {
  protected:
    DialogModelTest() { drive_ = emulated::SetUpStandardMachine(platform_); }

    emulated::EmulatedPlatform platform_;
    int drive_ = 0;
    FakeControls controls_;
    LunModeDialogModel model_{platform_, controls_};
};

TEST_F(DialogModelTest, RefreshFillsEdit1004Then1002AndLimitsTyping) {
    ASSERT_TRUE(model_.OnCommand(IDC_STATUS_BUTTON));
    EXPECT_EQ(controls_.events,
              (Events{"disable 1", "disable 1003", "set 1004 Fixed Disk", "limit 1004 2",
                      "set 1002 Removable", "limit 1002 2", "enable 1", "enable 1003"}));
}

TEST_F(DialogModelTest, TakeReadsBothEditsWhenTheyPassTheCheck) {
    controls_.edits[IDC_LUN1_EDIT] = "A1";
    controls_.edits[IDC_LUN0_EDIT] = "";
    EXPECT_TRUE(model_.Take());
    EXPECT_EQ(controls_.events, (Events{"get 1004", "limit 1004 2", "get 1002", "limit 1002 2"}));
    EXPECT_EQ(model_.State().lun1Text, "A1");
    EXPECT_EQ(model_.State().lun0Text, "");
}

TEST_F(DialogModelTest, TakeStopsAtTheFirstTextTooLong) {
    struct Case {
        const char* lun1;
        const char* lun0;
        Events expected;
    } const cases[] = {
        {"Removable",
         "Fixed Disk",
         {"get 1004", "box [Vardel] 請輸入少於 2個文字. (!)", "select 1004"}},
        {"",
         "abc",
         {"get 1004", "limit 1004 2", "get 1002", "box [Vardel] 請輸入少於 2個文字. (!)",
          "select 1002"}},
        // Two characters pass; the count is of characters, not bytes.
        {"固定", "0F", {"get 1004", "limit 1004 2", "get 1002", "limit 1002 2"}},
    };
    for (const Case& c : cases) {
        controls_.events.clear();
        controls_.edits[IDC_LUN1_EDIT] = c.lun1;
        controls_.edits[IDC_LUN0_EDIT] = c.lun0;
        model_.Take();
        EXPECT_EQ(controls_.events, c.expected) << c.lun1 << " / " << c.lun0;
    }
}

TEST_F(DialogModelTest, EnterAfterStatusPromptsOnceForEdit1004ThenWrites) {
    model_.OnCommand(IDC_STATUS_BUTTON);
    const emulated::Block before = platform_.DriveAt(drive_).configBlock;
    controls_.events.clear();

    ASSERT_TRUE(model_.OnCommand(1));
    EXPECT_EQ(controls_.Boxes(),
              (Events{"box [Vardel] 請輸入少於 2個文字. (!)", "box [ ] Write Success"}));
    EXPECT_EQ(platform_.DriveAt(drive_).configBlock, before);
    EXPECT_EQ(controls_.events.back(), "enable 1003");
}

// Each button's row and type, and the order of its two reads: only 1006 reads the identity block
// before the configuration block.
TEST_F(DialogModelTest, ModeButtonsRouteToTheirRowTypeAndReadOrder) {
    struct Case {
        int button;
        const char* edit1002;
        const char* edit1004;
        bool identityFirst;
    } const cases[] = {
        {IDC_LUN0_FIXED, "Fixed Disk", "", false},
        {IDC_LUN1_REMOVABLE, "Fixed Disk", "Removable", true},
        {IDC_LUN1_FIXED, "Fixed Disk", "Fixed Disk", false},
        {IDC_LUN0_REMOVABLE, "Removable", "Fixed Disk", false},
    };
    for (const Case& c : cases) {
        platform_.ClearLog();
        ASSERT_TRUE(model_.OnCommand(c.button)) << c.button;
        EXPECT_EQ(controls_.edits[IDC_LUN0_EDIT], c.edit1002) << c.button;
        EXPECT_EQ(controls_.edits[IDC_LUN1_EDIT], c.edit1004) << c.button;
        // After discovery's three inquiries, four identity reads and two address questions.
        const Events trace = platform_.CommandTrace();
        ASSERT_EQ(trace.size(), 13u) << c.button;
        const Events reads = c.identityFirst ? Events{"READ ID F", "READ INFO F"}
                                             : Events{"READ INFO F", "READ ID F"};
        EXPECT_EQ(Events(trace.begin() + 9, trace.begin() + 11), reads) << c.button;
    }
    EXPECT_TRUE(controls_.Boxes().empty());
}

TEST_F(DialogModelTest, CommandMessagesHaveTheBlankCaptionAndNoIcon) {
    platform_.SetLetterExists('E', false);
    platform_.SetLetterExists('F', false);
    model_.OnCommand(IDC_STATUS_BUTTON);
    EXPECT_EQ(controls_.Boxes(), Events{"box [ ] No drive found"});
}

TEST_F(DialogModelTest, OtherIdsAreNotCommands) {
    for (int id : {0, 2, 1002, 1004, 1009, 0x0010}) EXPECT_FALSE(model_.OnCommand(id)) << id;
    EXPECT_TRUE(platform_.Log().empty());
}

}  // namespace
}  // namespace vardel

namespace vardel {
namespace {

std::size_t WritesSent(const emulated::EmulatedPlatform& platform) {
    std::size_t writes = 0;
    for (const std::string& command : platform.CommandTrace()) {
        if (command.find("WRITE") != std::string::npos) ++writes;
    }
    return writes;
}

// LUN 1 of the standard drive is already Fixed Disk. The Windows dialog writes it again, as it
// always has; a window that skips such writes sends none.
TEST_F(DialogModelTest, AModeButtonThatChangesNothingWritesOnlyWhereNotSkipped) {
    ASSERT_TRUE(model_.OnCommand(IDC_LUN1_FIXED));
    EXPECT_EQ(WritesSent(platform_), 1u);

    platform_.ClearLog();
    model_.SetSkipUnchangedWrites(true);
    ASSERT_TRUE(model_.OnCommand(IDC_LUN1_FIXED));
    EXPECT_EQ(WritesSent(platform_), 0u);
    EXPECT_TRUE(model_.LastOutcome().unchanged);
    EXPECT_TRUE(model_.LastOutcome().writeSkipped);
    EXPECT_EQ(model_.State().lun1Text, "Fixed Disk");
    EXPECT_TRUE(controls_.Boxes().empty());
    EXPECT_FALSE(model_.CanUndo());

    // A button that changes the drive still writes.
    ASSERT_TRUE(model_.OnCommand(IDC_LUN0_FIXED));
    EXPECT_EQ(WritesSent(platform_), 1u);
    EXPECT_TRUE(model_.CanUndo());
}

// The window's undo names its own change to the journal, which refuses it when another change of
// the drive came after; nothing is written then.
class NotLastJournal : public WriteJournal {
  public:
    int BeforeWrite(const JournalWrite& write) override {
        if (write.undoes == nullptr) return kJournalSaved;
        named = (*write.undoes->written)[kTypeSlotAOffset];
        return kJournalUndoneNotLast;
    }
    int named = -1;
};

TEST_F(DialogModelTest, AnUndoTheJournalNoLongerHoldsAsLastWritesNothing) {
    NotLastJournal journal;
    model_.SetJournal(&journal);
    ASSERT_TRUE(model_.OnCommand(IDC_LUN0_FIXED));
    ASSERT_TRUE(model_.CanUndo());
    platform_.ClearLog();
    model_.UndoLastChange();
    EXPECT_EQ(model_.LastOutcome().code, OutcomeCode::NotAsChanged);
    EXPECT_EQ(journal.named, kLunTypeFixedDisk);
    EXPECT_EQ(WritesSent(platform_), 0u);
}

}  // namespace
}  // namespace vardel
