#include "ui/qt/call_problem_words.h"

#include <QByteArray>
#include <QCoreApplication>

#include "ui/qt/translated_text.h"

namespace vardel::qt {

using service_client::CallEnd;

service_client::OtherWays WindowOtherWays() {
    return {"vardel", "sudo vardelctl ...", "the status button"};
}

// Each source is CallProblemText's words with WindowOtherWays() filled in (a test holds them
// together).
const char* CallProblemSource(CallEnd end) {
    switch (end) {
        case CallEnd::Replied:
            break;
        case CallEnd::NoClient:
            return QT_TRANSLATE_NOOP(
                "Vardel", "this vardel is built without the drive service's client; give --direct");
        case CallEnd::NoBus:
            return QT_TRANSLATE_NOOP(
                "Vardel",
                "the system bus cannot be reached (%1), so neither can the drive service; vardel "
                "--direct reaches the drive itself, with rights on its node, and root always may "
                "(sudo vardelctl ...)");
        case CallEnd::ServiceMissing:
            return QT_TRANSLATE_NOOP(
                "Vardel",
                "the drive service (org.vardel.Drives1) is not installed: install the package's "
                "service files (docs/service.md), or use another way: vardel --direct reaches the "
                "drive itself, with rights on its node, and root always may (sudo vardelctl ...)");
        case CallEnd::ServiceNotStarted:
            return QT_TRANSLATE_NOOP(
                "Vardel",
                "the drive service (org.vardel.Drives1) could not be started (%1); journalctl -u "
                "vardel-service tells why. Meanwhile vardel --direct reaches the drive itself, "
                "with rights on its node, and root always may (sudo vardelctl ...)");
        case CallEnd::NotAuthorized:
            return QT_TRANSLATE_NOOP(
                "Vardel",
                "polkit refused %2 to this user: nothing was written. An administrator may allow "
                "it (docs/service.md, Authorization), or run it as root (sudo vardelctl ...)");
        case CallEnd::AuthenticationRequired:
            return QT_TRANSLATE_NOOP(
                "Vardel",
                "polkit asks for a password for %2, and no authentication agent here can ask it: "
                "nothing was written. Run it in a desktop session, start pkttyagent, or run it as "
                "root (sudo vardelctl ...)");
        case CallEnd::Refused:
            return QT_TRANSLATE_NOOP("Vardel",
                                     "the drive service refused the call: %1; nothing was written");
        case CallEnd::NoAnswer:
            return QT_TRANSLATE_NOOP(
                "Vardel",
                "the drive service did not answer (%1): whether the drive changed is not known; "
                "the status button shows what it holds");
        case CallEnd::ReadNotAnswered:
            return QT_TRANSLATE_NOOP("Vardel",
                                     "the drive service did not answer (%1); the call only reads, "
                                     "so nothing was changed: try again in a while");
        case CallEnd::BadReply:
            return QT_TRANSLATE_NOOP(
                "Vardel",
                "the drive service's answer could not be read (another version of "
                "vardel-service?); vardel --direct reaches the drive itself, with rights on its "
                "node, and root always may (sudo vardelctl ...)");
        case CallEnd::Failed:
            return QT_TRANSLATE_NOOP("Vardel", "the drive service failed (%1)");
    }
    return nullptr;
}

QString CallProblemWords(const service_client::CallResult& call) {
    const char* source = CallProblemSource(call.end);
    if (source == nullptr) return QString();
    const QString translated = Translated(source);
    // Untranslated, the words are the client's own, exactly.
    if (translated == QString::fromUtf8(source)) {
        return QString::fromStdString(service_client::CallProblemText(call, WindowOtherWays()));
    }
    // Each text holds one of the two, so what is filled in is never searched again.
    QString text = translated;
    if (QByteArray(source).contains("%1")) {
        text.replace(QLatin1String("%1"), QString::fromStdString(call.message));
    } else if (QByteArray(source).contains("%2")) {
        text.replace(QLatin1String("%2"), QString::fromUtf8(call.action));
    }
    return text;
}

}  // namespace vardel::qt
