#pragma once
// Message boxes that say how to get the rights when "No drive found" follows an open refused for
// lack of them, as vardelctl does after the same message.

#include "frontend_common/access_watch.h"
#include "ui/qt/message_boxes.h"

namespace vardel::qt {

class RightsHintBoxes : public MessageBoxes {
  public:
    RightsHintBoxes(MessageBoxes& inner, const frontend::AccessWatch& watch, const char* advice)
        : inner_(inner), watch_(watch), advice_(advice) {}

    void Show(QWidget* owner, const QString& text, const QString& caption,
              MessageIcon icon) override;

  private:
    MessageBoxes& inner_;
    const frontend::AccessWatch& watch_;
    const char* advice_;
};

}  // namespace vardel::qt
