// The window in the user's language, on Qt's offscreen platform: the language follows the locale
// (English where no translation fits), Qt's own buttons come in the same language, a Chinese
// window shows no English where a translation exists, the title and the about box say Vardel and
// its version, and no caption is cut off. CTest runs it at scale 1 and again at QT_SCALE_FACTOR=2;
// both runs keep screenshots of each language.

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <QTest>
#include <memory>
#include <string>

#include "commands/command_outcome.h"
#include "drive/lun_type.h"
#include "platform/emulated/emulated_platform.h"
#include "resource.h"
#include "service_client/call_problem_text.h"
#include "ui/qt/about_box.h"
#include "ui/qt/call_problem_words.h"
#include "ui/qt/lun_mode_window.h"
#include "ui/qt/translated_text.h"
#include "ui/qt/window_captions.h"
#include "ui/qt/window_language.h"
#include "ui/qt/window_texts.h"
#include "window_fixtures.h"

namespace vardel::qt {
namespace {

const QString kBuiltTranslations = QStringLiteral(VARDEL_TRANSLATIONS_DIR);

constexpr OutcomeMessageId kMessageIds[] = {
    OutcomeMessageId::UnknownError, OutcomeMessageId::NoDrive,      OutcomeMessageId::MoreDrives,
    OutcomeMessageId::Fail,         OutcomeMessageId::WriteSuccess, OutcomeMessageId::WriteFail,
    OutcomeMessageId::DriveBusy,
};

// What is left of `text` once the words that stay as they are in every language are taken out:
// the product's name, the LUNs' names, numbers, paths and the names of files and tools in them,
// the programs' options.
QString WithoutNames(QString text) {
    text.remove(QRegularExpression(QStringLiteral("\\S*/\\S*")));  // paths
    text.remove(QRegularExpression(QStringLiteral("--[a-z-]+")));   // options
    text.remove(
        QRegularExpression(QStringLiteral("\\b(Vardel|vardel|udev|polkit|LUN|Lun\\d|v?[\\d.]+)\\b")));
    text.remove(
        QRegularExpression(QStringLiteral("\\(&\\w\\)")));     // a mnemonic after a Chinese caption
    text.remove(QRegularExpression(QStringLiteral("\t.*$")));  // a menu entry's shortcut
    text.remove(QStringLiteral("&"));
    return text;
}

bool HasLatinWords(const QString& text) {
    return WithoutNames(text).contains(QRegularExpression(QStringLiteral("[A-Za-z]")));
}

// Every text a user sees or hears of `window` and its menus: captions, labels, titles, the names
// a screen reader says, tooltips. The edits' own texts are the drive's type words, which Write
// reads back, and are not among them.
QStringList ShownTexts(const QWidget& window) {
    QStringList texts{window.windowTitle()};
    for (const QWidget* widget : window.findChildren<QWidget*>()) {
        texts << widget->accessibleName() << widget->toolTip();
        if (const auto* button = qobject_cast<const QPushButton*>(widget)) texts << button->text();
        if (const auto* label = qobject_cast<const QLabel*>(widget)) texts << label->text();
        if (const auto* group = qobject_cast<const QGroupBox*>(widget)) texts << group->title();
    }
    for (const QAction* action : window.actions()) texts << action->text();
    texts.removeAll(QString());
    return texts;
}

// The captions of `window` that do not fit their control: each visible button's text against its
// contents rectangle, each label's and group box title's against its own width, all in the
// control's font.
QStringList ClippedCaptions(const QWidget& window) {
    QStringList clipped;
    const auto check = [&](const QWidget& control, const QString& text, const QRect& room) {
        const QFontMetrics metrics(control.font());
        const QSize needed = metrics.size(Qt::TextShowMnemonic, text);
        if (needed.width() > room.width() || needed.height() > room.height()) {
            clipped << QStringLiteral("%1 (%2x%3 in %4x%5)")
                           .arg(text)
                           .arg(needed.width())
                           .arg(needed.height())
                           .arg(room.width())
                           .arg(room.height());
        }
    };
    for (const QWidget* widget : window.findChildren<QWidget*>()) {
        if (!widget->isVisible()) continue;
        if (const auto* button = qobject_cast<const QPushButton*>(widget)) {
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = button->text();
            const QRect room =
                button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
            check(*button, button->text(), room);
        } else if (const auto* label = qobject_cast<const QLabel*>(widget)) {
            if (label->text().isEmpty() || label->wordWrap()) continue;
            check(*label, label->text(), label->contentsRect());
        } else if (const auto* group = qobject_cast<const QGroupBox*>(widget)) {
            QStyleOptionGroupBox option;
            option.initFrom(group);
            option.text = group->title();
            option.subControls = QStyle::SC_GroupBoxLabel;
            const QRect room = group->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                              QStyle::SC_GroupBoxLabel, group);
            check(*group, group->title(), room.intersected(group->rect()));
        }
    }
    return clipped;
}

}  // namespace

class VardelLanguageTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<WindowLanguage> language_;
    std::unique_ptr<emulated::EmulatedPlatform> platform_;
    std::unique_ptr<RecordingBoxes> boxes_;

    // Installs the translations for `locale` from the build tree, as the program does at start.
    QString UseLocale(const char* locale) {
        language_ = std::make_unique<WindowLanguage>();
        return language_->Install(QLocale(QString::fromLatin1(locale)), {kBuiltTranslations});
    }

    std::unique_ptr<LunModeWindow> ShownWindow() {
        auto window = std::make_unique<LunModeWindow>(*platform_, *boxes_);
        window->show();
        return QTest::qWaitForWindowExposed(window.get()) ? std::move(window) : nullptr;
    }

  private slots:
    void init() {
        platform_ = std::make_unique<emulated::EmulatedPlatform>();
        emulated::SetUpStandardMachine(*platform_);
        boxes_ = std::make_unique<RecordingBoxes>();
    }

    void cleanup() {
        language_.reset();
        boxes_.reset();
        platform_.reset();
    }

    // The first of the locale's languages with a translation wins; Qt's own words follow it, and
    // stay English with the window's (a French Qt beside an English window would mix two).
    void theLanguageFollowsTheLocale_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("statusButton");
        QTest::addColumn<QString>("qtOk");
        // clang-format off
        QTest::newRow("Simplified Chinese") << "zh_CN" << "zh_CN" << "读取状态" << "确定";
        QTest::newRow("Traditional Chinese") << "zh_TW" << "zh_TW" << "讀取狀態" << "確定";
        QTest::newRow("English") << "en_US" << "" << "Show status" << "OK";
        QTest::newRow("no translation: French") << "fr_FR" << "" << "Show status" << "OK";
        QTest::newRow("no translation: German") << "de_DE" << "" << "Show status" << "OK";
        QTest::newRow("C") << "C" << "" << "Show status" << "OK";
        // clang-format on
    }

    void theLanguageFollowsTheLocale() {
        QFETCH(QString, locale);
        QTEST(UseLocale(locale.toLatin1().constData()), "language");
        QTEST(Translated(kStatusButton), "statusButton");
        QTEST(QCoreApplication::translate("QPlatformTheme", "OK"), "qtOk");
    }

    // Installed, the translations are not beside the program: the first folder that has one is
    // taken, and none at all leaves the window English.
    void theTranslationsAreFoundInAnyOfTheFolders() {
        WindowLanguage installed;
        QCOMPARE(installed.Install(QLocale(QStringLiteral("zh_TW")),
                                   {QStringLiteral("/nonexistent"), kBuiltTranslations}),
                 QStringLiteral("zh_TW"));
        QCOMPARE(Translated(kStatusGroup), QStringLiteral("狀態"));
        WindowLanguage none;
        QCOMPARE(none.Install(QLocale(QStringLiteral("zh_CN")), {QStringLiteral("/nonexistent")}),
                 QString());
    }

    // Run by CTest with LANGUAGE, LC_ALL, LC_MESSAGES or LANG set, and the language they should
    // give in VARDEL_EXPECTED_LANGUAGE: the program's own choice from the system's locale.
    void theSystemLocaleChoosesTheLanguage() {
        if (!qEnvironmentVariableIsSet("VARDEL_EXPECTED_LANGUAGE")) {
            QSKIP("run by CTest with a locale in the environment");
        }
        WindowLanguage language;
        QCOMPARE(language.Install(QLocale::system(), {kBuiltTranslations}),
                 qEnvironmentVariable("VARDEL_EXPECTED_LANGUAGE"));
    }

    // The window's messages are the commands' words, marked here for translation: in English
    // they are the same texts, so that the window says what vardelctl and Windows say.
    void theEnglishSourcesAreTheCommandsTexts() {
        for (const OutcomeMessageId id : kMessageIds) {
            QCOMPARE(MessageSource(id), MessageText(id));
        }
        QCOMPARE(MessageSource(OutcomeMessageId::None), nullptr);
        QCOMPARE(kUnconfirmedWriteLineSource, kUnconfirmedWriteLine);
        QCOMPARE(std::string(kUnconfirmedWriteAdviceSource),
                 UnconfirmedWriteAdvice(kReadAgainInWindow));
        QCOMPARE(kRemovableButton, LunTypeText(kLunTypeRemovable));
        QCOMPARE(kFixedButton, LunTypeText(kLunTypeFixedDisk));
    }

    // A call on the drive service that gave no outcome: in English the client's own words, which
    // the marked sources are with the bus's words and the action filled in; in Chinese their
    // translation, chosen by how the call ended, with the bus's words or the action kept.
    void aServiceCallWithoutOutcomeSpeaksTheWindowsLanguage_data() {
        QTest::addColumn<QString>("locale");
        QTest::newRow("en") << "en";
        QTest::newRow("zh_CN") << "zh_CN";
        QTest::newRow("zh_TW") << "zh_TW";
    }

    void aServiceCallWithoutOutcomeSpeaksTheWindowsLanguage() {
        using service_client::CallEnd;
        QFETCH(QString, locale);
        UseLocale(locale.toLatin1().constData());
        const CallEnd ends[] = {
            CallEnd::NoClient,          CallEnd::NoBus,         CallEnd::ServiceMissing,
            CallEnd::ServiceNotStarted, CallEnd::NotAuthorized, CallEnd::AuthenticationRequired,
            CallEnd::Refused,           CallEnd::NoAnswer,      CallEnd::ReadNotAnswered,
            CallEnd::BadReply,          CallEnd::Failed};
        for (const CallEnd end : ends) {
            service_client::CallResult call;
            call.end = end;
            call.message = "the bus's words";
            call.action = "org.vardel.drives.change";
            const QString english =
                QString::fromStdString(service_client::CallProblemText(call, WindowOtherWays()));
            QString source = QString::fromUtf8(CallProblemSource(end));
            source.replace(QLatin1String("%1"), QString::fromStdString(call.message));
            source.replace(QLatin1String("%2"), QString::fromUtf8(call.action));
            QCOMPARE(source, english);
            const QString words = CallProblemWords(call);
            if (locale == QLatin1String("en")) {
                QCOMPARE(words, english);
                continue;
            }
            QVERIFY2(words != english && !words.contains(QLatin1Char('%')), qPrintable(words));
            const QString kept = QString::fromUtf8(CallProblemSource(end)).contains("%2")
                                     ? QString::fromUtf8(call.action)
                                     : QString::fromStdString(call.message);
            if (QString::fromUtf8(CallProblemSource(end)).contains(QLatin1Char('%'))) {
                QVERIFY2(words.contains(kept), qPrintable(words));
            }
        }
        QCOMPARE(CallProblemSource(CallEnd::Replied), nullptr);
    }

    // Each outcome's message comes from its code in the window's language; the technical detail
    // after it may stay English.
    void theResultsComeInTheWindowsLanguage_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("noDrive");
        QTest::addColumn<QString>("writeSuccess");
        QTest::newRow("zh_CN") << "zh_CN"
                               << "未找到磁盘"
                               << "写入成功";
        QTest::newRow("zh_TW") << "zh_TW"
                               << "找不到磁碟"
                               << "寫入成功";
        QTest::newRow("en") << "en"
                            << "No drive found"
                            << "Write Success";
    }

    void theResultsComeInTheWindowsLanguage() {
        QFETCH(QString, locale);
        UseLocale(locale.toLatin1().constData());
        {
            const auto window = ShownWindow();
            QVERIFY(window != nullptr);
            boxes_->answer = true;
            window->RunCommand(IDC_STATUS_BUTTON);
            qobject_cast<QLineEdit*>(window->Control(IDC_LUN0_EDIT))->setText(kFixedDiskText);
            window->RunCommand(1);  // Enter: the write, asked first
            QCOMPARE(boxes_->asked.size(), std::size_t{1});
            QVERIFY2(boxes_->asked[0].text.contains(Translated(kFixedButton)),
                     qPrintable(boxes_->asked[0].text));
            QCOMPARE(boxes_->shown.size(), std::size_t{1});
            QTEST(boxes_->shown[0].text, "writeSuccess");
            QCOMPARE(window->StatusLine()->text(), Translated(kReplugReminder));
        }
        platform_->SetLetterExists('E', false);
        platform_->SetLetterExists('F', false);
        const auto window = ShownWindow();
        window->RunCommand(IDC_STATUS_BUTTON);
        QCOMPARE(boxes_->shown.size(), std::size_t{2});
        QTEST(boxes_->shown[1].text, "noDrive");
    }

    // Simplified Chinese throughout: the window, its menus, an edit's own menu, every message and
    // line it may show, and Qt's buttons in its boxes. Only names and numbers stay.
    void aChineseWindowShowsNoEnglish() {
        QCOMPARE(UseLocale("zh_CN"), QStringLiteral("zh_CN"));
        const auto window = ShownWindow();
        QVERIFY(window != nullptr);
        window->RunCommand(IDC_STATUS_BUTTON);
        QStringList texts = ShownTexts(*window);
        auto* edit = qobject_cast<QLineEdit*>(window->Control(IDC_LUN0_EDIT));
        const std::unique_ptr<QMenu> editMenu(edit->createStandardContextMenu());
        for (const QAction* action : editMenu->actions()) texts << action->text();
        for (const OutcomeMessageId id : kMessageIds) texts << Translated(MessageSource(id));
        for (const char* source :
             {kUndoMenuEntry, kJournalNotSavedNote, kWriteQuestion, kWriteQuestionUnchangedRow,
              kNothingToWrite, kReplugReminder, kChangeNotKept, kNoRightsAdvice}) {
            texts << Translated(source);
        }
        texts << UnconfirmedWriteLineText() << UnconfirmedWriteAdviceText();
        const auto question =
            MakeQuestionBox(window.get(), QStringLiteral("x"), QStringLiteral("x"));
        const auto message = MakeMessageBox(window.get(), QStringLiteral("x"), QStringLiteral("x"),
                                            MessageIcon::None);
        for (const QAbstractButton* button : question->buttons() + message->buttons()) {
            texts << button->text();
        }
        texts.removeAll(QString());
        QStringList english;
        for (const QString& text : texts) {
            if (HasLatinWords(text)) english << text;
        }
        QVERIFY2(english.isEmpty(), qPrintable(english.join(QStringLiteral(" | "))));
        // Qt's own words are there, in Chinese: the edit's Copy.
        QVERIFY2(!texts.filter(QRegularExpression(QStringLiteral("^复制\\(&C\\)"))).isEmpty(),
                 qPrintable(texts.join(QStringLiteral(" | "))));
    }

    // Vardel and its one version in the title, the about entry and the about box, in every
    // language.
    void theTitleAndTheAboutBoxSayVardelAndItsVersion_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("aboutEntry");
        QTest::addColumn<QString>("aboutCaption");
        QTest::addColumn<QString>("versionLine");
        QTest::addColumn<QString>("ok");
        const QString version = QStringLiteral(VARDEL_VERSION);
        QTest::newRow("en") << "en"
                            << "&About Vardel..."
                            << "About Vardel"
                            << "Vardel Version " + version << "OK";
        QTest::newRow("zh_CN") << "zh_CN"
                               << "关于 Vardel(&A)..."
                               << "关于 Vardel"
                               << "Vardel 版本 " + version << "确定";
        QTest::newRow("zh_TW") << "zh_TW"
                               << "關於 Vardel(&A)..."
                               << "關於 Vardel"
                               << "Vardel 版本 " + version << "確定";
    }

    void theTitleAndTheAboutBoxSayVardelAndItsVersion() {
        QFETCH(QString, locale);
        UseLocale(locale.toLatin1().constData());
        const auto window = ShownWindow();
        QVERIFY(window != nullptr);
        QCOMPARE(window->windowTitle(), QStringLiteral("Vardel v" VARDEL_VERSION));
        QTEST(window->AboutAction()->text(), "aboutEntry");
        QString caption, ok;
        QStringList lines;
        InspectNextModal([&](QWidget* shown) {
            auto* box = dynamic_cast<AboutBox*>(shown);
            if (box == nullptr) return;
            caption = box->windowTitle();
            ok = box->OkButton()->text();
            for (const QLabel* label : box->findChildren<QLabel*>()) {
                if (!label->text().isEmpty()) lines << label->text();
            }
        });
        window->AboutAction()->trigger();
        QTEST(caption, "aboutCaption");
        QTEST(lines.value(0), "versionLine");
        QCOMPARE(lines.size(), 1);
        QTEST(ok, "ok");
    }

    // Every caption fits its control at this run's scale, in each language, before and after a
    // change (the reminder to replug in the status line); the pictures are kept as
    // vardel-<language>.png (@2x at scale 2).
    void nothingIsCutOff_data() {
        QTest::addColumn<QString>("locale");
        QTest::newRow("en") << "en";
        QTest::newRow("zh_CN") << "zh_CN";
        QTest::newRow("zh_TW") << "zh_TW";
    }

    void nothingIsCutOff() {
        QFETCH(QString, locale);
        UseLocale(locale.toLatin1().constData());
        const auto window = ShownWindow();
        QVERIFY(window != nullptr);
        QStringList clipped = ClippedCaptions(*window);
        window->RunCommand(IDC_LUN0_FIXED);
        window->RunCommand(IDC_STATUS_BUTTON);
        clipped << ClippedCaptions(*window);
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QStringLiteral(" | "))));
        // The reminder a change leaves fits the line's two rows.
        QLabel* line = window->StatusLine();
        QVERIFY(!line->text().isEmpty());
        QVERIFY2(line->heightForWidth(line->width()) <= line->height(), qPrintable(line->text()));
        const QString name = QStringLiteral("vardel-") + locale;
        QVERIFY(window->grab().save(ScreenshotPath(*window, name.toLatin1().constData())));

        QStringList aboutClipped;
        InspectNextModal([&](QWidget* shown) {
            if (shown == nullptr) return;
            aboutClipped = ClippedCaptions(*shown);
            const QString aboutName = QStringLiteral("about-") + locale;
            shown->grab().save(ScreenshotPath(*shown, aboutName.toLatin1().constData()));
        });
        window->AboutAction()->trigger();
        QVERIFY2(aboutClipped.isEmpty(), qPrintable(aboutClipped.join(QStringLiteral(" | "))));
    }
};

}  // namespace vardel::qt

QTEST_MAIN(vardel::qt::VardelLanguageTest)
#include "vardel_language_test.moc"
