#pragma once

// The file system's names on Windows are UTF-16; ours are UTF-8 with "/"
// between the parts, which the system's calls take as well.

#include <string>

namespace dravik::windows {

std::wstring WideFromUtf8(const std::string& AText);
std::string Utf8FromWide(const std::wstring& AText);

// "\" turned into "/", as the rest of the program splits paths.
std::string ForwardSlashes(std::string APath);

}  // namespace dravik::windows
