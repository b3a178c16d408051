#include "ui/lun_mode_dialog_model.h"

#include <cstring>

#include "commands/block_backup.h"
#include "commands/lun_mode_commands.h"
#include "drive/lun_type.h"
#include "resource.h"

namespace vardel {
namespace {

struct ModeButton {
    int controlId;
    LunModeBinding binding;
};

constexpr ModeButton kModeButtons[] = {
    {IDC_LUN0_REMOVABLE, kLun0RemovableBinding},
    {IDC_LUN1_REMOVABLE, kLun1RemovableBinding},
    {IDC_LUN0_FIXED, kLun0FixedBinding},
    {IDC_LUN1_FIXED, kLun1FixedBinding},
};

constexpr int kWriteButtonId = 1;  // IDOK

std::size_t CharacterCount(const std::string& utf8) {
    std::size_t count = 0;
    for (unsigned char c : utf8) count += (c & 0xC0u) != 0x80u ? 1 : 0;
    return count;
}

std::string MaxCharsPrompt(int maxCharacters) {
    std::string prompt = kMaxCharsPromptTemplate;
    const std::size_t at = prompt.find("%1");
    if (at != std::string::npos) prompt.replace(at, 2, std::to_string(maxCharacters));
    return prompt;
}

}  // namespace

LunModeDialogModel::LunModeDialogModel(Platform& platform, DialogControls& controls)
    : platform_(platform), controls_(controls) {}

bool LunModeDialogModel::OnCommand(int controlId) {
    CommandContext context{platform_, state_, *this};
    context.journal = this;
    context.skipUnchangedWrite = skipUnchangedWrites_;
    pending_.held = false;
    if (controlId == kWriteButtonId) {
        lastOutcome_ = writeQuestion_.ask ? WriteAfterQuestion(context) : Write(context);
        Ended(lastOutcome_);
        return true;
    }
    if (controlId == IDC_STATUS_BUTTON) {
        lastOutcome_ = Status(context);
        return true;
    }
    for (const ModeButton& button : kModeButtons) {
        if (button.controlId == controlId) {
            lastOutcome_ = Set(context, button.binding);
            Ended(lastOutcome_);
            return true;
        }
    }
    return false;
}

// The first pass reads as the write would and stops before writing (a failure there has shown its
// message); the second, after a yes, reads again under the drive's lock and writes the same texts.
CommandOutcome LunModeDialogModel::WriteAfterQuestion(CommandContext& context) {
    context.dryRun = true;
    CommandOutcome preview = Write(context);
    context.dryRun = false;
    if (preview.code != OutcomeCode::Done || !preview.typesKnown) return preview;
    EnableCommandButtons(true);
    if (preview.unchanged) {
        if (writeQuestion_.unchanged) writeQuestion_.unchanged(preview.before);
        return preview;
    }
    if (!writeQuestion_.ask(preview.before, preview.types)) return preview;
    // The drive may have changed since the preview: a write that would now change nothing is
    // skipped as any other (with SetSkipUnchangedWrites).
    return Write(context);
}

CommandOutcome LunModeDialogModel::Status(CommandContext& context) {
    return relay_ ? RelayReadStatus(context, relay_) : ReadStatus(context);
}

CommandOutcome LunModeDialogModel::Set(CommandContext& context, const LunModeBinding& binding) {
    return relay_ ? RelaySetLunMode(context, binding, relay_) : SetLunMode(context, binding);
}

CommandOutcome LunModeDialogModel::Write(CommandContext& context) {
    return relay_ ? RelayWriteRaw(context, relay_) : WriteRaw(context);
}

void LunModeDialogModel::UndoLastChange() {
    if (!lastChange_.held) return;
    pending_.held = false;
    EnableCommandButtons(false);
    // The window's own last change, by the block it wrote: the journal refuses the undo when a
    // change of another program came after it.
    const NamedChange change{nullptr, 0, &lastChange_.written};
    RestoreGuard guard;
    guard.journal = this;
    guard.undoes = &change;
    // No drive without serial: nothing would show that it is the drive the window changed.
    lastOutcome_ = RestoreConfigBlock(platform_, state_, nullptr, lastChange_.asRead,
                                      lastChange_.identity, false, nullptr, guard);
    if (lastOutcome_.code == OutcomeCode::Done) {
        state_.lun0Text = LunTypeText(lastOutcome_.types.lun0);
        state_.lun1Text = LunTypeText(lastOutcome_.types.lun1);
        Refresh();
    } else {
        ShowMessage(lastOutcome_);
    }
    EnableCommandButtons(true);
    Ended(lastOutcome_);
}

int LunModeDialogModel::BeforeWrite(const JournalWrite& write) {
    std::memcpy(pending_.identity, write.identity, sizeof(pending_.identity));
    std::memcpy(pending_.asRead, write.asRead, sizeof(pending_.asRead));
    std::memcpy(pending_.written, write.toWrite, sizeof(pending_.written));
    pending_.held = true;
    return journal_ != nullptr ? journal_->BeforeWrite(write) : kJournalSaved;
}

void LunModeDialogModel::Ended(const CommandOutcome& outcome) {
    if (outcome.changed && pending_.held) lastChange_ = pending_;
}

void LunModeDialogModel::ShowMessage(const CommandOutcome& outcome) {
    std::string text = outcomeText_ ? outcomeText_(outcome) : OutcomeMessage(outcome);
    if (failureDetail_) {
        const std::string detail = failureDetail_(outcome);
        if (!detail.empty()) text += ": " + detail;
    }
    if (outcome.code == OutcomeCode::NoDrive && noDriveHint_) {
        const std::string hint = noDriveHint_(outcome);
        if (!hint.empty()) text += "\n\n" + hint;
    }
    controls_.ShowMessageBox(text, kMessageCaption, MessageIcon::None);
}

void LunModeDialogModel::EnableCommandButtons(bool enable) {
    controls_.EnableControl(kWriteButtonId, enable);
    controls_.EnableControl(IDC_STATUS_BUTTON, enable);
}

// Edit 1004 first, then 1002.
void LunModeDialogModel::Refresh() {
    controls_.SetEditText(IDC_LUN1_EDIT, state_.lun1Text);
    controls_.LimitEditText(IDC_LUN1_EDIT, kStatusTextMaxCharacters);
    controls_.SetEditText(IDC_LUN0_EDIT, state_.lun0Text);
    controls_.LimitEditText(IDC_LUN0_EDIT, kStatusTextMaxCharacters);
}

bool LunModeDialogModel::Take() {
    return TakeEdit(IDC_LUN1_EDIT, state_.lun1Text) && TakeEdit(IDC_LUN0_EDIT, state_.lun0Text);
}

// The text is taken before it is checked; a text that is too long stops the exchange with a
// prompt and leaves that edit selected.
bool LunModeDialogModel::TakeEdit(int editId, std::string& text) {
    text = controls_.EditText(editId);
    if (writeQuestion_.ask) return true;
    if (CharacterCount(text) > static_cast<std::size_t>(kStatusTextMaxCharacters)) {
        controls_.ShowMessageBox(MaxCharsPrompt(kStatusTextMaxCharacters), kApplicationName,
                                 MessageIcon::Exclamation);
        controls_.FocusAndSelectEdit(editId);
        return false;
    }
    controls_.LimitEditText(editId, kStatusTextMaxCharacters);
    return true;
}

}  // namespace vardel
