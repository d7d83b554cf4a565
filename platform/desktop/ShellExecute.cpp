#include <fcntl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ShellApi.h"

extern char** environ;

namespace {

// The longest address the shell takes, as Windows' own limit for addresses.
constexpr size_t MaxAddress = 2083;
constexpr uintptr_t OpenerStarted = 42;

HINSTANCE Result(uintptr_t AValue) { return reinterpret_cast<HINSTANCE>(AValue); }

enum class TAddressKind { Openable, NotOpenable, Malformed };

std::string LowerCase(std::string AText) {
  for (char& Letter : AText)
    Letter = static_cast<char>(std::tolower(static_cast<unsigned char>(Letter)));
  return AText;
}

// Only web and mail addresses are handed on: anything else (a file, a script
// address, a program's own scheme) could run or reveal something on this
// machine by a click on a label.
TAddressKind Classify(LPCSTR AFile) {
  if (AFile == nullptr) return TAddressKind::Malformed;
  const size_t Length = strnlen(AFile, MaxAddress + 1);
  if (Length == 0 || Length > MaxAddress) return TAddressKind::Malformed;
  const std::string Address(AFile, Length);
  for (unsigned char Byte : Address)
    if (Byte < 0x20 || Byte == 0x7f) return TAddressKind::Malformed;
  const size_t Colon = Address.find(':');
  if (Colon == std::string::npos) return TAddressKind::NotOpenable;
  const std::string Scheme = LowerCase(Address.substr(0, Colon));
  const std::string Rest = Address.substr(Colon + 1);
  if (Scheme == "http" || Scheme == "https")
    return Rest.size() > 2 && Rest.compare(0, 2, "//") == 0 ? TAddressKind::Openable
                                                            : TAddressKind::Malformed;
  if (Scheme == "mailto") return Rest.empty() ? TAddressKind::Malformed : TAddressKind::Openable;
  return TAddressKind::NotOpenable;
}

bool FindOnPath(const char* AProgram, std::string& APath) {
  const char* Path = std::getenv("PATH");
  std::string Folders = Path != nullptr && *Path != '\0' ? Path : "/usr/local/bin:/usr/bin:/bin";
  size_t Start = 0;
  while (Start <= Folders.size()) {
    size_t End = Folders.find(':', Start);
    if (End == std::string::npos) End = Folders.size();
    const std::string Folder = End > Start ? Folders.substr(Start, End - Start) : ".";
    const std::string Candidate = Folder + "/" + AProgram;
    if (access(Candidate.c_str(), X_OK) == 0) {
      APath = Candidate;
      return true;
    }
    Start = End + 1;
  }
  return false;
}

// Starts the opener with an argument vector and does not wait for it: a
// short-lived middle process starts it and ends at once, so that the opener
// belongs to init, which reaps it. Returns when the opener has started or
// failed to.
HINSTANCE StartOpener(const std::string& AProgram, const std::string& AAddress) {
  char* const Arguments[] = {const_cast<char*>("xdg-open"), const_cast<char*>(AAddress.c_str()),
                             nullptr};
  int ExecFailure[2];
  if (pipe2(ExecFailure, O_CLOEXEC) != 0) return Result(SE_ERR_OOM);
  const pid_t Middle = fork();
  if (Middle < 0) {
    close(ExecFailure[0]);
    close(ExecFailure[1]);
    return Result(SE_ERR_OOM);
  }
  if (Middle == 0) {
    const pid_t Opener = fork();
    if (Opener == 0) {
      setsid();
      execve(AProgram.c_str(), Arguments, environ);
      const int Error = errno;
      ssize_t Written = write(ExecFailure[1], &Error, sizeof(Error));
      (void)Written;
      _exit(127);
    }
    _exit(Opener < 0 ? 1 : 0);
  }
  close(ExecFailure[1]);
  int Status = 0;
  while (waitpid(Middle, &Status, 0) < 0 && errno == EINTR) {
  }
  int Error = 0;
  ssize_t Read;
  while ((Read = read(ExecFailure[0], &Error, sizeof(Error))) < 0 && errno == EINTR) {
  }
  close(ExecFailure[0]);
  if (!WIFEXITED(Status) || WEXITSTATUS(Status) != 0) return Result(SE_ERR_OOM);
  if (Read > 0) return Result(SE_ERR_NOASSOC);
  return Result(OpenerStarted);
}

}  // namespace

HINSTANCE WINAPI ShellExecuteA(HWND hwnd, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR lpParameters,
                               LPCSTR lpDirectory, int nShowCmd) {
  if (ShellStandIns().Execute)
    return ShellStandIns().Execute(hwnd, lpOperation, lpFile, lpParameters, lpDirectory, nShowCmd);
  if (lpOperation != nullptr && std::strcmp(lpOperation, "open") != 0)
    return Result(SE_ERR_NOASSOC);
  switch (Classify(lpFile)) {
    case TAddressKind::Malformed:
      return Result(SE_ERR_FNF);
    case TAddressKind::NotOpenable:
      return Result(SE_ERR_NOASSOC);
    case TAddressKind::Openable:
      break;
  }
  std::string Opener;
  if (!FindOnPath("xdg-open", Opener)) return Result(SE_ERR_NOASSOC);
  // Schemes are the same in any case, but the desktop looks up its program
  // for the scheme as written: it gets the scheme's usual small letters.
  std::string Address(lpFile, strnlen(lpFile, MaxAddress));
  const size_t Colon = Address.find(':');
  Address.replace(0, Colon, LowerCase(Address.substr(0, Colon)));
  return StartOpener(Opener, Address);
}
