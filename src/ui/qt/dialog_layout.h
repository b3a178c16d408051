#pragma once
// Where the controls of the two dialogs sit, in dialog units, as the Windows templates place them
// (res/vardel.rc), and the point sizes of their fonts.

#include "ui/qt/dialog_units.h"

namespace vardel::qt {

// The main dialog, 236 x 78 units, 10-point font.
constexpr int kMainDialogWidth = 236;
constexpr int kMainDialogHeight = 78;
constexpr int kMainDialogPointSize = 10;
constexpr DialogRect kWriteButtonRect{195, 57, 34, 14};
constexpr DialogRect kLun0LabelRect{7, 18, 15, 8};
constexpr DialogRect kLun0EditRect{35, 17, 64, 12};
constexpr DialogRect kStatusButtonRect{28, 57, 78, 14};
constexpr DialogRect kLun1LabelRect{7, 35, 15, 8};
constexpr DialogRect kLun1EditRect{35, 32, 64, 12};
constexpr DialogRect kLun0RemovableRect{111, 16, 44, 14};
constexpr DialogRect kStatusGroupRect{30, 7, 75, 41};
constexpr DialogRect kLun1RemovableRect{111, 32, 44, 14};
constexpr DialogRect kLun0FixedRect{163, 16, 44, 14};
constexpr DialogRect kLun1FixedRect{163, 32, 44, 14};
// Not in the template: the Linux window's reminder to replug, beside the status button, where
// the Windows dialog has only its hidden Write button. Two lines high.
constexpr DialogRect kStatusLineRect{111, 55, 118, 18};

// The about box, 235 x 55 units, 9-point font. The icon keeps its own size of 32 pixels.
constexpr int kAboutBoxWidth = 235;
constexpr int kAboutBoxHeight = 55;
constexpr int kAboutBoxPointSize = 9;
constexpr DialogRect kAboutIconRect{11, 17, 20, 20};
constexpr DialogRect kAboutTextRect{40, 10, 119, 8};
constexpr DialogRect kAboutOkRect{178, 7, 50, 14};
constexpr int kAboutIconPixels = 32;

}  // namespace vardel::qt
