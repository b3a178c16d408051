#pragma once
// What a program writes to standard output counts only once the system took it: a full disk, a
// closed descriptor or a reader that went away is a failure, reported like a file not written.

#include <string>

namespace vardel::frontend {

// At the start of a program. A standard stream that was closed (`>&-`) is held by a descriptor
// that refuses every write, so that neither a file the program opens takes its number (and the
// report with it) nor its writes pass for done. A reader of a pipe that went away fails the write
// (EPIPE) instead of ending the program, so that the failure is said like any other.
void GuardStandardStreams();

// Flushes standard output, the C++ stream and the C stream beneath it. Empty when everything
// written so far reached the system; otherwise why not, in words ("No space left on device").
std::string FinishStandardOutput();

}  // namespace vardel::frontend
