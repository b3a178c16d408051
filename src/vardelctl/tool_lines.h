#pragma once
// vardelctl's own lines on standard error begin with its name, as other tools' do, so that they
// can be told apart from the system's messages ("Fail", "No drive found"), which stand alone.

#include <iosfwd>
#include <string>

namespace vardel::cli {

constexpr char kToolLinePrefix[] = "vardelctl: ";

// Writes each line of `text` with the prefix, each ended by a line break.
void SayLines(std::ostream& err, const std::string& text);

}  // namespace vardel::cli
