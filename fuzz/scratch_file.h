#pragma once
// The readers under test take a path, so each input goes through a file of the process's own.

#include <cstddef>
#include <cstdint>
#include <string>

namespace vardel::fuzz {

// Writes the bytes to this process's scratch file `name` (made once under TMPDIR) and returns
// its path.
std::string WriteScratchFile(const char* name, const std::uint8_t* data, std::size_t size);

}  // namespace vardel::fuzz
