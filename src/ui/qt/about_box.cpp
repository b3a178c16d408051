#include "ui/qt/about_box.h"

#include <QLabel>
#include <QPushButton>

#include "ui/qt/dialog_layout.h"
#include "ui_texts.h"

namespace vardel::qt {

AboutBox::AboutBox(const QIcon& icon, QWidget* owner) : QDialog(owner) {
    setWindowTitle(QString::fromUtf8(VARDEL_TEXT_ABOUT_CAPTION));
    QFont dialogFont = font();
    dialogFont.setPointSize(kAboutBoxPointSize);
    setFont(dialogFont);
    const DialogUnits units(dialogFont);
    setFixedSize(units.ToPixels(kAboutBoxWidth, kAboutBoxHeight));

    auto* picture = new QLabel(this);
    picture->setPixmap(icon.pixmap(kAboutIconPixels, kAboutIconPixels));
    picture->move(units.ToPixels(kAboutIconRect).topLeft());
    picture->resize(kAboutIconPixels, kAboutIconPixels);

    auto* version = new QLabel(QString::fromUtf8(VARDEL_TEXT_ABOUT_VERSION), this);
    version->setTextFormat(Qt::PlainText);
    version->setGeometry(units.ToPixels(kAboutTextRect));

    okButton_ = new QPushButton(QString::fromUtf8(VARDEL_TEXT_ABOUT_OK), this);
    okButton_->setGeometry(units.ToPixels(kAboutOkRect));
    okButton_->setDefault(true);
    okButton_->setFocus();
    connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace vardel::qt
