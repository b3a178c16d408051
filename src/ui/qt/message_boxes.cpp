#include "ui/qt/message_boxes.h"

#include <algorithm>

#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QScreen>
#include <QTextLayout>

namespace vardel::qt {
namespace {

// Whether a label `width` pixels wide breaks a line of `text` inside a word, as the line breaker
// does at the slashes and dashes of a path ("/usr/lib/" over "udev/...").
bool BreaksInsideAWord(const QString& text, const QFont& font, int width) {
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        QTextLayout layout(line, font);
        layout.beginLayout();
        bool inside = false;
        for (QTextLine piece = layout.createLine(); piece.isValid(); piece = layout.createLine()) {
            piece.setLineWidth(width);
            const int end = piece.textStart() + piece.textLength();
            if (end < line.size() && !line.at(end - 1).isSpace()) inside = true;
        }
        layout.endLayout();
        if (inside) return true;
    }
    return false;
}

// A box that keeps the words of its text whole: once it has chosen its size, it grows, as far as
// the screen allows, until no line breaks inside a word. A narrow box at a large scale would
// otherwise show a path in pieces.
class WholeWordsMessageBox : public QMessageBox {
  public:
    using QMessageBox::QMessageBox;

  protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event);
        auto* label = findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        if (label == nullptr || !label->wordWrap() || layout() == nullptr) return;
        layout()->activate();
        const int labelWidth = label->contentsRect().width();
        const int room = screen()->availableGeometry().width() - width();
        const int step = std::max(1, label->fontMetrics().averageCharWidth());
        int grow = 0;
        while (grow + step <= room && BreaksInsideAWord(text(), label->font(), labelWidth + grow)) {
            grow += step;
        }
        if (grow == 0) return;
        setFixedSize(width() + grow, layout()->totalHeightForWidth(width() + grow));
    }
};

}  // namespace

std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* owner, const QString& text,
                                            const QString& caption, MessageIcon icon) {
    auto box = std::make_unique<WholeWordsMessageBox>(
        icon == MessageIcon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon, caption,
        text, QMessageBox::Ok, owner);
    // The texts are the commands' own; none of them is markup.
    box->setTextFormat(Qt::PlainText);
    return box;
}

std::unique_ptr<QMessageBox> MakeQuestionBox(QWidget* owner, const QString& text,
                                             const QString& caption) {
    auto box = std::make_unique<WholeWordsMessageBox>(
        QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, owner);
    box->setTextFormat(Qt::PlainText);
    // Enter twice must not write: the answer that changes the drive is chosen on purpose.
    box->setDefaultButton(QMessageBox::No);
    box->setEscapeButton(QMessageBox::No);
    return box;
}

bool ModalMessageBoxes::Ask(QWidget* owner, const QString& text, const QString& caption) {
    return MakeQuestionBox(owner, text, caption)->exec() == QMessageBox::Yes;
}

void ModalMessageBoxes::Show(QWidget* owner, const QString& text, const QString& caption,
                             MessageIcon icon) {
    MakeMessageBox(owner, text, caption, icon)->exec();
}

}  // namespace vardel::qt
