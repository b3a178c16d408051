#pragma once
// The language the window speaks: the first of the user's languages (QLocale's ui languages, which
// follow LANGUAGE, LC_ALL, LC_MESSAGES and LANG) that the window has a translation for; English
// where none fits. Qt's own words (the message boxes' standard buttons, an edit's menu) come in
// the same language, so that one window never mixes two.

#include <QLocale>
#include <QString>
#include <QStringList>
#include <QTranslator>

namespace vardel::qt {

// Where the window's translations are: beside the program in a build tree ("translations"), and
// in share/vardel/translations of the prefix it is installed in.
QStringList TranslationFolders();

class WindowLanguage {
  public:
    WindowLanguage() = default;
    WindowLanguage(const WindowLanguage&) = delete;
    WindowLanguage& operator=(const WindowLanguage&) = delete;
    // Takes the translations out of the application again.
    ~WindowLanguage();

    // Installs the window's translation for `locale` from the first of `folders` that has one,
    // and Qt's own for the same language where the system has it. Returns the language installed
    // ("zh_CN"), or an empty text for English, which needs none. A QCoreApplication must exist.
    QString Install(const QLocale& locale, const QStringList& folders);

  private:
    QTranslator window_;
    QTranslator qt_;
    bool windowInstalled_ = false;
    bool qtInstalled_ = false;
};

}  // namespace vardel::qt
