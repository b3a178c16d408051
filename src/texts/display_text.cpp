#include "texts/display_text.h"

namespace vardel::frontend {

std::string DisplayText(const std::string& text) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string shown;
    shown.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '\\') {
            shown += "\\\\";
        } else if (byte >= 0x20 && byte < 0x7F) {
            shown += c;
        } else {
            shown += "\\x";
            shown += kDigits[byte >> 4];
            shown += kDigits[byte & 0x0F];
        }
    }
    return shown;
}

}  // namespace vardel::frontend
