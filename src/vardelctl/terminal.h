#pragma once
// Whether a person can be asked: standard input and output are both a terminal.

namespace vardel::cli {

bool IsInteractive();

}  // namespace vardel::cli
