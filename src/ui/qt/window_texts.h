#pragma once
// The words the Linux window adds to its captions: what a screen reader and a tooltip say of each
// control (the two rows' buttons carry the same captions), the reminder to replug, and how to get
// the rights to the drive. English, marked for the window's translations (Translated()).

#include <QtGlobal>

namespace vardel::qt {

constexpr char kLun0RemovableName[] = QT_TRANSLATE_NOOP("Vardel", "LUN 0: make removable");
constexpr char kLun0FixedName[] = QT_TRANSLATE_NOOP("Vardel", "LUN 0: make fixed");
constexpr char kLun1RemovableName[] = QT_TRANSLATE_NOOP("Vardel", "LUN 1: make removable");
constexpr char kLun1FixedName[] = QT_TRANSLATE_NOOP("Vardel", "LUN 1: make fixed");
constexpr char kStatusButtonName[] = QT_TRANSLATE_NOOP("Vardel", "Show the type of both LUNs");
constexpr char kLun0EditName[] = QT_TRANSLATE_NOOP("Vardel", "LUN 0 type");
constexpr char kLun1EditName[] = QT_TRANSLATE_NOOP("Vardel", "LUN 1 type");
constexpr char kStatusLineName[] = QT_TRANSLATE_NOOP("Vardel", "Status");

// The window's context menu, beside the about entry: the undo of this window's last change.
constexpr char kUndoMenuEntry[] = QT_TRANSLATE_NOOP("Vardel", "&Undo last change");

// The status line when a change was not made because its journal entry could not be saved; the
// reason follows.
constexpr char kJournalNotSavedNote[] = QT_TRANSLATE_NOOP(
    "Vardel", "Nothing was written: the block as read could not be saved to the journal first. ");

// Enter (the window's Write) asks before it writes, with each row as the drive holds it and as it
// would be: "LUN 0: Removable -> Fixed Disk", "LUN 1: Fixed Disk (unchanged)".
constexpr char kWriteQuestion[] = QT_TRANSLATE_NOOP("Vardel", "Write these types to the drive?");
constexpr char kWriteQuestionUnchangedRow[] = QT_TRANSLATE_NOOP("Vardel", "(unchanged)");
// Where the drive already holds the rows' types, Enter writes nothing and says so.
constexpr char kNothingToWrite[] =
    QT_TRANSLATE_NOOP("Vardel", "Nothing was written: the drive already holds these types.");

// The drive takes a new type when it starts again; vardelctl says the same after a change.
constexpr char kReplugReminder[] =
    QT_TRANSLATE_NOOP("Vardel", "Replug the drive for the change to take effect.");
// How the window reads the drive again, in the words every front end says after a write the
// drive acknowledged but no read confirmed.
constexpr char kReadAgainInWindow[] = "the status button";
// An emulated drive's new state that could not go back into its scenario file: the change is
// only in this run of the window (the next command tries to keep it again).
constexpr char kChangeNotKept[] = QT_TRANSLATE_NOOP(
    "Vardel", "The change could not be kept: the scenario file could not be written.");

// What follows "No drive found" when the drives' nodes could not be opened for lack of rights,
// which only --direct meets: the service opens them with its own.
// The window refuses to run as root, so it names no command run as root to start it; paragraphs
// carry no line breaks of their own, so that the box wraps them evenly at any width.
constexpr char kNoRightsAdvice[] = QT_TRANSLATE_NOOP(
    "Vardel",
    "The drives could not be opened: this user has no rights to their device nodes.\n"
    "\n"
    "The udev rule /usr/lib/udev/rules.d/70-vardel.rules, which the vardel package installs, "
    "gives the node of a drive of this kind to the drive service alone. Start vardel without "
    "--direct: it then asks the drive service, which polkit asks about each change.");

}  // namespace vardel::qt
