#include "vardelctl/change_text.h"

#include <sstream>

#include "drive/lun_type.h"
#include "texts/display_text.h"
#include "texts/hex_text.h"

namespace vardel::cli {
using frontend::DisplayText;

using frontend::ByteText;
namespace {

// "Removable", or "Removable (0x05)" where the text alone would hide a change of the byte.
std::string TypeShown(std::uint8_t type, bool withByte) {
    const std::string text = LunTypeText(type);
    return withByte ? text + " (" + ByteText(type) + ")" : text;
}

}  // namespace

std::string RowChange(std::uint8_t before, std::uint8_t after) {
    if (before == after) return LunTypeText(after);
    const bool sameText = std::string(LunTypeText(before)) == LunTypeText(after);
    return TypeShown(before, sameText) + " -> " + TypeShown(after, sameText);
}

std::string BytesCount(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " byte" : " bytes");
}

std::string RestoreQuestion(const std::string& file, const std::string& serial,
                            const RunNotes& notes, char target) {
    std::ostringstream text;
    text << file << " changes " << BytesCount(notes.changes.size())
         << " of the configuration block on " << target << ": (offset: now -> after):\n";
    for (const ByteChange& change : notes.changes) text << "  " << ByteChangeText(change) << '\n';
    text << "Write the configuration block from " << file << " onto the drive with serial "
         << (serial.empty() ? "(none)" : serial) << "?";
    if (serial.empty()) {
        text << " Neither carries a serial: nothing shows that the backup is this drive's.";
    }
    return text.str();
}

std::string UndoQuestion(const std::string& serial, const RunNotes& notes, char target) {
    std::ostringstream text;
    text << "Undoing " << notes.undoneChange << " changes " << BytesCount(notes.changes.size())
         << " of the configuration block on " << target << ": (offset: now -> after):\n";
    for (const ByteChange& change : notes.changes) text << "  " << ByteChangeText(change) << '\n';
    text << "Put back the block that change replaced on the drive with serial "
         << (serial.empty() ? "(none)" : DisplayText(serial)) << "?";
    return text.str();
}

std::string RowsText(const VendorBlock& identity, const VendorBlock& before,
                     const VendorBlock& after) {
    const RowTypes was = RowTypesOf(before, IsSwappedLayout(identity, before));
    const RowTypes is = RowTypesOf(after, IsSwappedLayout(identity, after));
    return "Lun0: " + RowChange(was.lun0, is.lun0) + ", Lun1: " + RowChange(was.lun1, is.lun1);
}

}  // namespace vardel::cli
