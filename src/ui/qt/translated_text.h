#pragma once
// The window's words in the user's language: a text marked for translation (window_captions.h,
// window_texts.h) through the translations the program installed, and the commands' messages
// chosen by the outcome, never by their English text.

#include <cstdint>

#include <QString>

#include "commands/command_outcome.h"

namespace vardel::qt {

// `source` (UTF-8, marked with QT_TRANSLATE_NOOP in the window's context) in the installed
// language; the English source where no translation is installed.
QString Translated(const char* source);

// The English text the window translates for a message of the commands: the same words as
// MessageText(id), marked for translation here; nullptr for None.
const char* MessageSource(OutcomeMessageId id);

// The message for an outcome in the installed language; empty where the command ends without one.
QString OutcomeText(const CommandOutcome& outcome);

// A type byte in the words of the mode buttons: "Removable" or "Fixed Disk", as LunTypeText.
QString TypeWord(std::uint8_t type);

// What the window says of a write the drive acknowledged but no read confirmed: the status line,
// and the whole advice beside it (the words of UnconfirmedWriteAdvice for the status button).
QString UnconfirmedWriteLineText();
QString UnconfirmedWriteAdviceText();
// The English sources of both, which the commands' texts must equal.
extern const char kUnconfirmedWriteLineSource[];
extern const char kUnconfirmedWriteAdviceSource[];

}  // namespace vardel::qt
