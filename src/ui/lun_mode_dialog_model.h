#pragma once
// The main dialog without a toolkit: the command state it owns, the routing of its buttons to the
// commands, and the data exchange between the status texts and the two edits.

#include <functional>
#include <string>
#include <utility>

#include "commands/command_context.h"
#include "commands/command_outcome.h"
#include "commands/command_state.h"
#include "commands/relayed_commands.h"
#include "commands/window_operations.h"
#include "commands/write_journal.h"
#include "platform/platform.h"
#include "ui/dialog_controls.h"

namespace vardel {

constexpr char kApplicationName[] = "Vardel";
constexpr char kMessageCaption[] = " ";
// The prompt of the length check; %1 is the largest number of characters.
constexpr char kMaxCharsPromptTemplate[] = "請輸入少於 %1個文字.";
constexpr int kStatusTextMaxCharacters = 2;

class LunModeDialogModel : public WindowOperations, private WriteJournal {
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
    using NoDriveHint = std::function<std::string(const CommandOutcome& outcome)>;
    void SetNoDriveHint(NoDriveHint hint) { noDriveHint_ = std::move(hint); }

    // The message shown for an outcome, for a front end that shows it in the user's language
    // (chosen by OutcomeMessageOf). Unset (the Windows dialog): OutcomeMessage, as it is.
    using OutcomeText = std::function<std::string(const CommandOutcome&)>;
    void SetOutcomeText(OutcomeText text) { outcomeText_ = std::move(text); }

    // Words that follow a failure's message after a colon, as vardelctl prints them (which command
    // failed where, and the drive's or the system's answer); an empty text adds nothing. Unset
    // (the Windows dialog): the message stands alone.
    using FailureDetail = std::function<std::string(const CommandOutcome&)>;
    void SetFailureDetail(FailureDetail detail) { failureDetail_ = std::move(detail); }

    // With a question set, Write (Enter) takes the texts without a length check, reads the drive
    // and, where the write would change a row, asks with the rows as read and as they would be
    // written: only a yes writes. Where nothing would change, `unchanged` is told and nothing is
    // written. Unset (the Windows dialog): Write writes at once, after the length check.
    struct WriteQuestion {
        std::function<bool(const RowTypes& before, const RowTypes& after)> ask;
        std::function<void(const RowTypes& rows)> unchanged;
    };
    void SetWriteQuestion(WriteQuestion question) { writeQuestion_ = std::move(question); }

    // On: a mode button or Write whose block would leave the drive's configuration block as read
    // sends nothing (each write costs the drive a flash write); the row shows the type it has.
    // Off (the Windows dialog): every button writes, as it always has.
    void SetSkipUnchangedWrites(bool skip) { skipUnchangedWrites_ = skip; }

    // How the machine tells a disk that may hold a drive of the kind among those that said
    // nothing (CommandState); null, as on Windows: only a disk that showed the signature.
    void SetMayHoldDrive(MayHoldDriveTest test) { state_.mayHoldDrive = test; }

    // Set: the buttons' commands run in another process (the drive service), which keeps its own
    // journal; the window's undo has nothing of its own to put back then. Unset: the commands
    // reach the drive through the platform.
    void SetRelay(CommandRelay relay) { relay_ = std::move(relay); }

    // The journal each change goes through before its write (null: none). A change whose entry
    // the journal refuses is not made.
    void SetJournal(WriteJournal* journal) { journal_ = journal; }
    // Whether this window changed the drive, so that its last change can be undone.
    bool CanUndo() const { return lastChange_.held; }
    // Puts back the block the window's last change replaced, as restore does (the same drive, by
    // its whole serial) and only while the drive still holds what that change wrote; the undo is
    // itself a change, journaled, and the next undo puts it back in turn.
    void UndoLastChange();

    // WindowOperations, for the commands.
    void ShowMessage(const CommandOutcome& outcome) override;
    void EnableCommandButtons(bool enable) override;
    void Refresh() override;
    bool Take() override;

  private:
    // What one change read and wrote, as the journal was given it.
    struct Change {
        bool held = false;
        alignas(kVendorBlockAlignment) VendorBlock identity = {};
        alignas(kVendorBlockAlignment) VendorBlock asRead = {};
        alignas(kVendorBlockAlignment) VendorBlock written = {};
    };

    bool TakeEdit(int editId, std::string& text);
    // The commands, on the platform or through the relay.
    CommandOutcome Status(CommandContext& context);
    CommandOutcome Set(CommandContext& context, const LunModeBinding& binding);
    CommandOutcome Write(CommandContext& context);
    // Write with the question asked first (see SetWriteQuestion).
    CommandOutcome WriteAfterQuestion(CommandContext& context);
    // Every write passes here: the blocks are kept for an undo, then the journal has its say.
    int BeforeWrite(const JournalWrite& write) override;
    // A command that changed the drive becomes the one an undo puts back.
    void Ended(const CommandOutcome& outcome);

    Platform& platform_;
    DialogControls& controls_;
    CommandState state_;
    CommandOutcome lastOutcome_;
    NoDriveHint noDriveHint_;
    OutcomeText outcomeText_;
    FailureDetail failureDetail_;
    WriteQuestion writeQuestion_;
    CommandRelay relay_;
    bool skipUnchangedWrites_ = false;
    WriteJournal* journal_ = nullptr;
    Change pending_;
    Change lastChange_;
};

}  // namespace vardel
