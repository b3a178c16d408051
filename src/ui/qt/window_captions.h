#pragma once
// The captions of the window and its about box, in English: each language's words come from the
// window's translations (translations/*.ts), looked up through Translated(). The Windows dialog
// keeps its own captions (res/ui_texts.h).

#include <QtGlobal>

namespace vardel::qt {

// The context of every text the window translates.
constexpr char kTextContext[] = "Vardel";

// The row labels name the LUNs as the drive does, in every language.
constexpr char kLun0Label[] = "Lun0";
constexpr char kLun1Label[] = "Lun1";
constexpr char kStatusGroup[] = QT_TRANSLATE_NOOP("Vardel", "Status");
// The button reads both LUNs' types and shows them; it changes nothing.
constexpr char kStatusButton[] = QT_TRANSLATE_NOOP("Vardel", "Show status");
// The mode buttons say the type they give their row, in the words of the edits and vardelctl
// (LunTypeText); the question before a write names the types in the same words.
constexpr char kRemovableButton[] = QT_TRANSLATE_NOOP("Vardel", "Removable");
constexpr char kFixedButton[] = QT_TRANSLATE_NOOP("Vardel", "Fixed Disk");
// The hidden default button that Enter reaches.
constexpr char kWriteButton[] = QT_TRANSLATE_NOOP("Vardel", "Write");

constexpr char kAboutMenuEntry[] = QT_TRANSLATE_NOOP("Vardel", "&About Vardel...");
constexpr char kAboutCaption[] = QT_TRANSLATE_NOOP("Vardel", "About Vardel");
// %1 is the version, as --version prints it.
constexpr char kAboutVersion[] = QT_TRANSLATE_NOOP("Vardel", "Vardel Version %1");
constexpr char kAboutOk[] = QT_TRANSLATE_NOOP("Vardel", "OK");

}  // namespace vardel::qt
