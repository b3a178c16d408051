#include "vardelctl/suggestion.h"

#include <algorithm>
#include <cctype>
#include <cstddef>

namespace vardel::cli {
namespace {

// Two edits cover the usual slips (a swapped pair and a missing letter) without turning short
// words into one another.
constexpr std::size_t kMostEdits = 2;

char Folded(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

// Edits from a to b, where swapping two neighbouring letters counts as one.
std::size_t EditDistance(const std::string& a, const std::string& b) {
    const std::size_t rows = a.size() + 1;
    const std::size_t columns = b.size() + 1;
    std::vector<std::size_t> d(rows * columns);
    const auto at = [columns](std::size_t i, std::size_t j) { return i * columns + j; };
    for (std::size_t i = 0; i < rows; ++i) d[at(i, 0)] = i;
    for (std::size_t j = 0; j < columns; ++j) d[at(0, j)] = j;
    for (std::size_t i = 1; i < rows; ++i) {
        for (std::size_t j = 1; j < columns; ++j) {
            const std::size_t cost = Folded(a[i - 1]) == Folded(b[j - 1]) ? 0 : 1;
            std::size_t best =
                std::min({d[at(i - 1, j)] + 1, d[at(i, j - 1)] + 1, d[at(i - 1, j - 1)] + cost});
            if (i > 1 && j > 1 && Folded(a[i - 1]) == Folded(b[j - 2]) &&
                Folded(a[i - 2]) == Folded(b[j - 1])) {
                best = std::min(best, d[at(i - 2, j - 2)] + 1);
            }
            d[at(i, j)] = best;
        }
    }
    return d[at(rows - 1, columns - 1)];
}

bool StartsAs(const std::string& word, const std::string& start) {
    if (start.size() > word.size()) return false;
    for (std::size_t i = 0; i < start.size(); ++i) {
        if (Folded(word[i]) != Folded(start[i])) return false;
    }
    return true;
}

}  // namespace

std::string ClosestWord(const std::string& typed, const std::vector<std::string>& candidates) {
    // Ranked by edits, then by whether the word starts as typed: "stat" is "status" cut short
    // rather than "set" misspelt, though both are two edits away.
    std::string closest;
    std::size_t closestRank = 2 * (kMostEdits + 1);
    bool tie = false;
    for (const std::string& candidate : candidates) {
        const std::size_t distance = EditDistance(typed, candidate);
        // A word no longer than its edits could be anything.
        if (distance > kMostEdits || distance >= typed.size()) continue;
        const std::size_t rank = 2 * distance + (StartsAs(candidate, typed) ? 0 : 1);
        if (rank < closestRank) {
            closest = candidate;
            closestRank = rank;
            tie = false;
        } else if (rank == closestRank) {
            tie = true;
        }
    }
    return tie ? std::string() : closest;
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::string DidYouMean(const std::string& typed, const std::vector<std::string>& words) {
    const std::string close = ClosestWord(typed, words);
    return close.empty() ? "" : "; did you mean " + Quoted(close) + "?";
}

}  // namespace vardel::cli
