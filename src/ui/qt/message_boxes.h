#pragma once
// How the window shows a message box. The window asks through this interface, so that a test can
// answer the boxes without a modal loop and a screenshot run can write them out instead.

#include <memory>

#include <QString>

#include "ui/dialog_controls.h"

class QMessageBox;
class QWidget;

namespace vardel::qt {

class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    // A box owned by `owner` with an OK button only; returns when it is closed.
    virtual void Show(QWidget* owner, const QString& text, const QString& caption,
                      MessageIcon icon) = 0;
    // A question owned by `owner` with Yes and No, No the default; true for Yes.
    virtual bool Ask(QWidget* owner, const QString& text, const QString& caption) = 0;
};

// The box as the window shows it, not yet shown.
std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* owner, const QString& text,
                                            const QString& caption, MessageIcon icon);

// The question as the window asks it, not yet shown.
std::unique_ptr<QMessageBox> MakeQuestionBox(QWidget* owner, const QString& text,
                                             const QString& caption);

// Runs each box modally until the user closes it.
class ModalMessageBoxes : public MessageBoxes {
  public:
    void Show(QWidget* owner, const QString& text, const QString& caption,
              MessageIcon icon) override;
    bool Ask(QWidget* owner, const QString& text, const QString& caption) override;
};

}  // namespace vardel::qt
