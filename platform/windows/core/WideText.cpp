#include "WideText.h"

#include <windows.h>

namespace dravik::windows {

std::wstring WideFromUtf8(const std::string& AText) {
  if (AText.empty()) return {};
  const int Length =
      MultiByteToWideChar(CP_UTF8, 0, AText.data(), static_cast<int>(AText.size()), nullptr, 0);
  if (Length <= 0) return {};
  std::wstring Wide(static_cast<size_t>(Length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, AText.data(), static_cast<int>(AText.size()), Wide.data(),
                      Length);
  return Wide;
}

std::string Utf8FromWide(const std::wstring& AText) {
  if (AText.empty()) return {};
  const int Length = WideCharToMultiByte(CP_UTF8, 0, AText.data(), static_cast<int>(AText.size()),
                                         nullptr, 0, nullptr, nullptr);
  if (Length <= 0) return {};
  std::string Text(static_cast<size_t>(Length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, AText.data(), static_cast<int>(AText.size()), Text.data(), Length,
                      nullptr, nullptr);
  return Text;
}

std::string ForwardSlashes(std::string APath) {
  for (char& Char : APath)
    if (Char == '\\') Char = '/';
  return APath;
}

}  // namespace dravik::windows
