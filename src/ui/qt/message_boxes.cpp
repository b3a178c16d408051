#include "ui/qt/message_boxes.h"

#include <QMessageBox>

namespace vardel::qt {

std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* owner, const QString& text,
                                            const QString& caption, MessageIcon icon) {
    auto box = std::make_unique<QMessageBox>(
        icon == MessageIcon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon, caption,
        text, QMessageBox::Ok, owner);
    // The texts are the commands' own; none of them is markup.
    box->setTextFormat(Qt::PlainText);
    return box;
}

void ModalMessageBoxes::Show(QWidget* owner, const QString& text, const QString& caption,
                             MessageIcon icon) {
    MakeMessageBox(owner, text, caption, icon)->exec();
}

}  // namespace vardel::qt
