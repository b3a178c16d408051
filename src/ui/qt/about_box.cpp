#include "ui/qt/about_box.h"

#include <QLabel>
#include <QPushButton>

#include "ui/qt/dialog_layout.h"
#include "ui/qt/translated_text.h"
#include "ui/qt/window_captions.h"

namespace vardel::qt {

AboutBox::AboutBox(const QIcon& icon, QWidget* owner) : QDialog(owner) {
    setWindowTitle(Translated(kAboutCaption));
    QFont dialogFont = font();
    dialogFont.setPointSize(kAboutBoxPointSize);
    setFont(dialogFont);
    const DialogUnits units(dialogFont);
    setFixedSize(units.ToPixels(kAboutBoxWidth, kAboutBoxHeight));

    auto* picture = new QLabel(this);
    picture->setPixmap(icon.pixmap(kAboutIconPixels, kAboutIconPixels));
    picture->move(units.ToPixels(kAboutIconRect).topLeft());
    picture->resize(kAboutIconPixels, kAboutIconPixels);

    auto* version = new QLabel(Translated(kAboutVersion).arg(QStringLiteral(VARDEL_VERSION)), this);
    version->setTextFormat(Qt::PlainText);
    version->setGeometry(
        TallEnoughFor(units.ToPixels(kAboutTextRect), version->sizeHint().height()));

    okButton_ = new QPushButton(Translated(kAboutOk), this);
    okButton_->setGeometry(units.ToPixels(kAboutOkRect));
    okButton_->setDefault(true);
    okButton_->setFocus();
    connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace vardel::qt
