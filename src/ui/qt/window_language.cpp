#include "ui/qt/window_language.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace vardel::qt {

QStringList TranslationFolders() {
    const QString programFolder = QCoreApplication::applicationDirPath();
    return {programFolder + QStringLiteral("/translations"),
            programFolder + QStringLiteral("/../share/vardel/translations")};
}

WindowLanguage::~WindowLanguage() {
    if (qtInstalled_) QCoreApplication::removeTranslator(&qt_);
    if (windowInstalled_) QCoreApplication::removeTranslator(&window_);
}

QString WindowLanguage::Install(const QLocale& locale, const QStringList& folders) {
    for (const QString& folder : folders) {
        if (window_.load(locale, QStringLiteral("vardel"), QStringLiteral("_"), folder)) break;
    }
    if (window_.isEmpty()) return QString();
    windowInstalled_ = QCoreApplication::installTranslator(&window_);
    // Qt's words only in the window's language: a locale the window has no translation for keeps
    // them English too.
    const QString language = window_.language();
    if (qt_.load(QStringLiteral("qtbase_") + language,
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        qtInstalled_ = QCoreApplication::installTranslator(&qt_);
    }
    return language;
}

}  // namespace vardel::qt
