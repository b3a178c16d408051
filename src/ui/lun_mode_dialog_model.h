#pragma once
// The main dialog without a toolkit: the command state it owns, the routing of its buttons to the
// commands, and the data exchange between the status texts and the two edits.

#include <functional>
#include <string>
#include <utility>

#include "commands/command_outcome.h"
#include "commands/command_state.h"
#include "commands/window_operations.h"
#include "platform/platform.h"
#include "ui/dialog_controls.h"

namespace vardel {

constexpr char kApplicationName[] = "Vardel";
constexpr char kMessageCaption[] = " ";
// The prompt of the length check; %1 is the largest number of characters.
constexpr char kMaxCharsPromptTemplate[] = "請輸入少於 %1個文字.";
constexpr int kStatusTextMaxCharacters = 2;

class LunModeDialogModel : public WindowOperations {
  public:
    LunModeDialogModel(Platform& platform, DialogControls& controls);

    // A click on a button of the dialog, or IDOK for Enter. Returns false for an id that is not
    // a command of this dialog.
    bool OnCommand(int controlId);

    const CommandState& State() const { return state_; }
    // How the last command ended, for a front end that reminds the user to replug after a change.
    const CommandOutcome& LastOutcome() const { return lastOutcome_; }

    // Words that follow "No drive found" when the front end knows why no drive was found (the
    // opens were refused for lack of rights, say); an empty text adds nothing.
    using NoDriveHint = std::function<std::string()>;
    void SetNoDriveHint(NoDriveHint hint) { noDriveHint_ = std::move(hint); }

    // WindowOperations, for the commands.
    void ShowMessage(const CommandOutcome& outcome) override;
    void EnableCommandButtons(bool enable) override;
    void Refresh() override;
    bool Take() override;

  private:
    bool TakeEdit(int editId, std::string& text);

    Platform& platform_;
    DialogControls& controls_;
    CommandState state_;
    CommandOutcome lastOutcome_;
    NoDriveHint noDriveHint_;
};

}  // namespace vardel
