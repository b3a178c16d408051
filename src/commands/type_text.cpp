#include "commands/type_text.h"

#include "drive/lun_type.h"

namespace vardel {
namespace {

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// True when the whole text is one hexadecimal number no larger than a byte.
bool ReadWholeHexByte(const std::string& text, std::uint8_t& byte) {
    std::size_t i = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) i = 2;
    if (i == text.size()) return false;
    unsigned value = 0;
    for (; i < text.size(); ++i) {
        const int digit = HexDigitValue(text[i]);
        if (digit < 0) return false;
        value = value * 16u + static_cast<unsigned>(digit);
        if (value > 0xFFu) return false;
    }
    byte = static_cast<std::uint8_t>(value);
    return true;
}

}  // namespace

void TrimSpaces(std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        text.clear();
        return;
    }
    text = text.substr(first, text.find_last_not_of(' ') - first + 1);
}

RowTextMeaning ReadRowText(const std::string& text) {
    RowTextMeaning meaning;
    if (text.empty()) {
        meaning.kind = RowTextKind::Empty;
    } else if (text == kRemovableText) {
        meaning.kind = RowTextKind::Removable;
    } else if (text == kFixedDiskText) {
        meaning.kind = RowTextKind::FixedDisk;
    } else if (ReadWholeHexByte(text, meaning.byte)) {
        meaning.kind = RowTextKind::Byte;
    } else {
        meaning.kind = RowTextKind::Unreadable;
    }
    return meaning;
}

std::uint8_t TypeByteFromText(const std::string& text, std::uint8_t asRead) {
    const RowTextMeaning meaning = ReadRowText(text);
    switch (meaning.kind) {
        case RowTextKind::Removable:
            return asRead == kLunTypeFixedDisk ? kLunTypeRemovable : asRead;
        case RowTextKind::FixedDisk:
            return kLunTypeFixedDisk;
        case RowTextKind::Byte:
            return meaning.byte;
        case RowTextKind::Empty:
        case RowTextKind::Unreadable:
            break;
    }
    return asRead;
}

}  // namespace vardel
