#pragma once
// "Did you mean": the known word a mistyped one was probably meant to be.

#include <string>
#include <vector>

namespace vardel::cli {

// The one candidate closest to `typed` (letters swapped, left out, added or changed; letter case
// does not count), or empty when none is close enough or two are equally close.
std::string ClosestWord(const std::string& typed, const std::vector<std::string>& candidates);

// "\"text\"": a word of the command line, as the errors quote it.
std::string Quoted(const std::string& text);

// "; did you mean \"status\"?" after an error on `typed`, or empty without a close word.
std::string DidYouMean(const std::string& typed, const std::vector<std::string>& words);

}  // namespace vardel::cli
