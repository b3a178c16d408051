#pragma once
// The texts `write --lun0/--lun1` accept for a row: what the console adds to the window's rule for
// row texts is only the short words that `set` takes, and a refusal with a suggestion for anything
// that rule would not write.

#include <string>

namespace vardel::cli {

// Turns the argument into the row text the Write command gets: "removable" and "fixed" (any case)
// become "Removable" and "Fixed Disk"; "Removable", "Fixed Disk", an empty text and a whole
// hexadecimal byte pass as they are (spaces at the ends removed). False for anything else, with
// `problem` saying why and what was probably meant.
bool RowTextFromArgument(const std::string& argument, std::string& rowText, std::string& problem);

}  // namespace vardel::cli
