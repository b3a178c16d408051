#pragma once
// The about box: the icon, the version line and an OK button, laid out as the Windows template.

#include <QDialog>
#include <QIcon>

class QPushButton;

namespace vardel::qt {

class AboutBox : public QDialog {
  public:
    AboutBox(const QIcon& icon, QWidget* owner);

    QPushButton* OkButton() const { return okButton_; }

  private:
    QPushButton* okButton_;
};

}  // namespace vardel::qt
