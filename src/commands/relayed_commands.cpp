#include "commands/relayed_commands.h"

#include "commands/type_text.h"
#include "drive/lun_type.h"

namespace vardel {
namespace {

// The text the other process gets for a row: WriteRaw keeps the byte of an unreadable text as of
// an empty one, and the drive service takes only texts it can read.
std::string RelayedRowText(std::string text) {
    TrimSpaces(text);
    return ReadRowText(text).kind == RowTextKind::Unreadable ? std::string() : text;
}

// An outcome that did not come back: nothing is known of the drive.
CommandOutcome NoOutcome(CommandKind command) {
    CommandOutcome outcome;
    outcome.command = command;
    outcome.code = OutcomeCode::UnknownError;
    return outcome;
}

bool Relay(const CommandRelay& relay, const RelayedCommand& command, CommandOutcome& outcome) {
    outcome = NoOutcome(command.command);
    if (relay(command, outcome)) return true;
    outcome = NoOutcome(command.command);
    return false;
}

}  // namespace

CommandOutcome RelayReadStatus(CommandContext& context, const CommandRelay& relay) {
    RelayedCommand command;
    command.command = CommandKind::ReadStatus;
    context.window.EnableCommandButtons(false);
    CommandOutcome outcome;
    if (!Relay(relay, command, outcome)) {
        context.window.EnableCommandButtons(true);
        return outcome;
    }
    if (outcome.code != OutcomeCode::Done || !outcome.typesKnown) {
        context.window.ShowMessage(outcome);
        context.window.EnableCommandButtons(true);
        return outcome;
    }
    context.state.lun0Text = LunTypeText(outcome.types.lun0);
    context.state.lun1Text = LunTypeText(outcome.types.lun1);
    context.window.Refresh();
    context.window.EnableCommandButtons(true);
    return outcome;
}

CommandOutcome RelaySetLunMode(CommandContext& context, const LunModeBinding& binding,
                               const CommandRelay& relay) {
    RelayedCommand command;
    command.command = CommandKind::SetLunMode;
    command.row = binding.row;
    command.type = binding.type;
    command.dryRun = context.dryRun;
    CommandOutcome outcome;
    // The buttons stay as they were, as SetLunMode leaves them.
    if (!Relay(relay, command, outcome)) return outcome;
    if (context.dryRun && outcome.code == OutcomeCode::Done) return outcome;
    if (outcome.code != OutcomeCode::Done) {
        context.window.ShowMessage(outcome);
        return outcome;
    }
    (binding.row == LunRow::Lun0 ? context.state.lun0Text : context.state.lun1Text) =
        LunTypeText(binding.type);
    context.window.Refresh();
    return outcome;
}

CommandOutcome RelayWriteRaw(CommandContext& context, const CommandRelay& relay) {
    context.window.EnableCommandButtons(false);
    // The texts go with the call, so they are taken before it (WriteRaw takes them once it found
    // the drive); a prompt from the length check does not stop the command.
    context.window.Take();
    RelayedCommand command;
    command.command = CommandKind::WriteRaw;
    command.lun0Text = RelayedRowText(context.state.lun0Text);
    command.lun1Text = RelayedRowText(context.state.lun1Text);
    command.dryRun = context.dryRun;
    CommandOutcome outcome;
    if (!Relay(relay, command, outcome)) {
        context.window.EnableCommandButtons(true);
        return outcome;
    }
    // A dry run, or a write that would change nothing, ends without a message.
    if (outcome.code == OutcomeCode::Done && outcome.writeSkipped) {
        if (!context.dryRun) context.window.EnableCommandButtons(true);
        return outcome;
    }
    context.window.ShowMessage(outcome);
    context.window.EnableCommandButtons(true);
    return outcome;
}

}  // namespace vardel
