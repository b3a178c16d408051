#pragma once
// Whether a person can be asked: standard input and standard error (where questions go, so that
// standard output holds only the report) are both a terminal.

namespace vardel::cli {

bool IsInteractive();

}  // namespace vardel::cli
