#include "UserConfigDirectory.h"

#include <cctype>
#include <cstdlib>
#include <cwchar>

#include "WideText.h"

namespace {

// "C:/..." or a network share "//server/...", after the slashes are turned.
bool IsAbsolute(const std::string& APath) {
  const bool DriveLetter = APath.size() >= 3 &&
                           std::isalpha(static_cast<unsigned char>(APath[0])) && APath[1] == ':' &&
                           APath[2] == '/';
  const bool Share = APath.size() >= 3 && APath[0] == '/' && APath[1] == '/';
  return DriveLetter || Share;
}

}  // namespace

bool FolderFromEnvironment(const char* AName, std::string& AFolder) {
  // The environment's wide form: a folder may have any name.
  const std::wstring Name = dravik::windows::WideFromUtf8(AName);
  const wchar_t* Value = _wgetenv(Name.c_str());
  if (Value == nullptr || std::wcslen(Value) > 3000) return false;
  std::string Folder = dravik::windows::ForwardSlashes(dravik::windows::Utf8FromWide(Value));
  if (!IsAbsolute(Folder)) return false;
  // A drive's own folder keeps its slash ("C:/").
  while (Folder.size() > 3 && Folder.back() == '/') Folder.pop_back();
  AFolder = Folder;
  return true;
}

std::string UserConfigDirectory() {
  std::string Folder;
  if (FolderFromEnvironment("APPDATA", Folder)) return Folder + "/dravik";
  return {};
}
