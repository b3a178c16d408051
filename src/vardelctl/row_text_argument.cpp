#include "vardelctl/row_text_argument.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "commands/type_text.h"
#include "drive/lun_type.h"

namespace vardel::cli {
namespace {

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Edits (insertions, deletions, substitutions) that turn one text into the other.
std::size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// The accepted word nearest to `text`, regardless of case, when one is near enough to be meant.
std::string Suggestion(const std::string& text) {
    static const char* const kWords[] = {kRemovableText, kFixedDiskText, "removable", "fixed"};
    const std::string lower = Lower(text);
    std::string best;
    std::size_t bestDistance = 4;
    for (const char* word : kWords) {
        const std::size_t distance = EditDistance(lower, Lower(word));
        // The exact texts first: "Fixed disk" means "Fixed Disk" rather than "fixed".
        if (distance < bestDistance) {
            best = word;
            bestDistance = distance;
        }
    }
    return best;
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
    if (lower == "removable" && text != kRemovableText) text = kRemovableText;
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
