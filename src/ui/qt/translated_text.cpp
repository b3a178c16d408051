#include "ui/qt/translated_text.h"

#include <QCoreApplication>

#include "drive/lun_type.h"
#include "ui/qt/window_captions.h"

namespace vardel::qt {

const char kUnconfirmedWriteLineSource[] = QT_TRANSLATE_NOOP(
    "Vardel", "Write acknowledged, not confirmed: check the status, then replug.");
const char kUnconfirmedWriteAdviceSource[] = QT_TRANSLATE_NOOP(
    "Vardel",
    "The drive acknowledged the write, but reading the block back failed, so the change is not "
    "confirmed: the drive may hold it now. Read the drive again with the status button, and "
    "replug the drive for a change to take effect.");

QString Translated(const char* source) {
    return QCoreApplication::translate(kTextContext, source);
}

const char* MessageSource(OutcomeMessageId id) {
    switch (id) {
        case OutcomeMessageId::UnknownError:
            return QT_TRANSLATE_NOOP("Vardel", "Unknown error");
        case OutcomeMessageId::NoDrive:
            return QT_TRANSLATE_NOOP("Vardel", "No drive found");
        case OutcomeMessageId::MoreDrives:
            return QT_TRANSLATE_NOOP("Vardel", "More drives found, please remove others");
        case OutcomeMessageId::Fail:
            return QT_TRANSLATE_NOOP("Vardel", "Fail");
        case OutcomeMessageId::WriteSuccess:
            return QT_TRANSLATE_NOOP("Vardel", "Write Success");
        case OutcomeMessageId::WriteFail:
            return QT_TRANSLATE_NOOP("Vardel", "Write Fail");
        case OutcomeMessageId::DriveBusy:
            return QT_TRANSLATE_NOOP("Vardel", "The drive is busy: another program is changing it");
        case OutcomeMessageId::None:
            break;
    }
    return nullptr;
}

QString OutcomeText(const CommandOutcome& outcome) {
    const char* source = MessageSource(OutcomeMessageOf(outcome));
    return source != nullptr ? Translated(source) : QString();
}

QString TypeWord(std::uint8_t type) {
    return Translated(type == kLunTypeFixedDisk ? kFixedButton : kRemovableButton);
}

QString UnconfirmedWriteLineText() {
    return Translated(kUnconfirmedWriteLineSource);
}

QString UnconfirmedWriteAdviceText() {
    return Translated(kUnconfirmedWriteAdviceSource);
}

}  // namespace vardel::qt
