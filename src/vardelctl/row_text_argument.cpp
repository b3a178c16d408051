#include "vardelctl/row_text_argument.h"

#include <cctype>

#include "commands/type_text.h"
#include "drive/lun_type.h"
#include "vardelctl/suggestion.h"

namespace vardel::cli {
namespace {

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The accepted word `text` was probably meant to be; "removable" is left out of the candidates as
// "Removable" covers it, case not counting.
std::string Suggestion(const std::string& text) {
    return ClosestWord(text, {kRemovableText, kFixedDiskText, "fixed"});
}

bool LooksLikeANumber(const std::string& text) {
    const auto first = static_cast<unsigned char>(text[0]);
    return std::isdigit(first) != 0 || first == '-' || first == '+';
}

}  // namespace

bool RowTextFromArgument(const std::string& argument, std::string& rowText, std::string& problem) {
    std::string text = argument;
    TrimSpaces(text);
    const std::string lower = Lower(text);
    if (lower == "removable") text = kRemovableText;
    if (lower == "fixed") text = kFixedDiskText;
    if (ReadRowText(text).kind != RowTextKind::Unreadable) {
        rowText = text;
        return true;
    }
    problem = "\"" + argument + "\" is no row text: give removable, fixed, \"Removable\", \"" +
              kFixedDiskText + "\" or a hexadecimal byte (00 to FF)";
    const std::string suggestion = LooksLikeANumber(text) ? "" : Suggestion(text);
    if (!suggestion.empty()) problem += "; did you mean \"" + suggestion + "\"?";
    return false;
}

}  // namespace vardel::cli
