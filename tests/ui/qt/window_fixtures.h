#pragma once
// What the window's QTest suites share: boxes answered at once, the next modal window inspected,
// and where the screenshots go.

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <utility>
#include <vector>

#include "ui/dialog_controls.h"
#include "ui/qt/message_boxes.h"

namespace vardel::qt {

struct ShownBox {
    QWidget* owner;
    QString text;
    QString caption;
    MessageIcon icon;
};

// Answers every box at once and keeps what it was asked to show; a question gets `answer`.
class RecordingBoxes : public MessageBoxes {
  public:
    void Show(QWidget* owner, const QString& text, const QString& caption,
              MessageIcon icon) override {
        shown.push_back({owner, text, caption, icon});
    }
    bool Ask(QWidget* owner, const QString& text, const QString& caption) override {
        asked.push_back({owner, text, caption, MessageIcon::None});
        return answer;
    }
    std::vector<ShownBox> shown;
    std::vector<ShownBox> asked;
    bool answer = false;
};

// Runs `inspect` on the modal window that the next event loop opens, then closes it.
inline void InspectNextModal(std::function<void(QWidget*)> inspect) {
    QTimer::singleShot(0, [inspect] {
        QWidget* modal = QApplication::activeModalWidget();
        inspect(modal);
        if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->accept();
    });
}

inline QString Utf8(const char* text) {
    return QString::fromUtf8(text);
}

// "vardel.png" at scale 1, "vardel@2x.png" at scale 2: both runs keep their pictures.
inline QString ScreenshotPath(const QWidget& window, const char* name) {
    const QString folder = QStringLiteral(VARDEL_SCREENSHOT_DIR);
    QDir().mkpath(folder);
    const qreal scale = window.devicePixelRatioF();
    const QString suffix = scale == 1.0 ? QString() : QStringLiteral("@%1x").arg(scale);
    return folder + QLatin1Char('/') + QLatin1String(name) + suffix + QStringLiteral(".png");
}

}  // namespace vardel::qt
