#include "outcome/unchanged_write.h"

#include "drive/lun_type.h"
#include "texts/hex_text.h"

namespace vardel::frontend {
namespace {

// "Removable", or "Removable (0x05)" for a byte that is neither type's own.
std::string TypeShown(std::uint8_t type) {
    const std::string text = LunTypeText(type);
    if (type == kLunTypeFixedDisk || type == kLunTypeRemovable) return text;
    return text + " (" + ByteText(type) + ")";
}

}  // namespace

std::string UnchangedWriteText(const CommandOutcome& outcome) {
    const std::string text = "Nothing was written: ";
    if (outcome.command == CommandKind::SetLunMode) {
        const bool lun0 = outcome.row == LunRow::Lun0;
        return text + (lun0 ? "LUN 0" : "LUN 1") + " is already " +
               TypeShown(lun0 ? outcome.types.lun0 : outcome.types.lun1) + ".";
    }
    return text + "LUN 0 is already " + TypeShown(outcome.types.lun0) + " and LUN 1 is already " +
           TypeShown(outcome.types.lun1) + ".";
}

}  // namespace vardel::frontend
