#pragma once
// The model speaks UTF-8, the system UTF-16; texts cross here and nowhere else.

#include <string>

namespace vardel::win32 {

std::wstring ToWide(const std::string& utf8);
std::string ToUtf8(const std::wstring& wide);

}  // namespace vardel::win32
