#include "ui/qt/rights_hint_boxes.h"

#include "commands/command_messages.h"

namespace vardel::qt {

// The model hands the window the message alone, not the outcome behind it; the message of "no
// drive" is the one constant that outcome always shows.
void RightsHintBoxes::Show(QWidget* owner, const QString& text, const QString& caption,
                           MessageIcon icon) {
    if (watch_.SawNoRights() && text == QString::fromUtf8(kNoDriveMessage)) {
        inner_.Show(owner, text + QStringLiteral("\n\n") + QString::fromUtf8(advice_), caption,
                    icon);
        return;
    }
    inner_.Show(owner, text, caption, icon);
}

}  // namespace vardel::qt
