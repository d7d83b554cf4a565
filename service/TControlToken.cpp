#include "TControlToken.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QRandomGenerator>
#include <cerrno>
#include <cstring>

namespace {

constexpr size_t MinTokenBytes = 16;
constexpr size_t MaxTokenBytes = 512;

bool IsTokenCharacter(char C) {
  return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z') || (C >= '0' && C <= '9') ||
         std::strchr("-._~+/=", C) != nullptr;
}

std::string Create(const std::string& APath) {
  const int Fd = open(APath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (Fd < 0) return APath + ": cannot be created: " + std::strerror(errno);
  static const char Hex[] = "0123456789abcdef";
  std::string Text;
  for (int I = 0; I < 32; ++I) {
    const quint32 Byte = QRandomGenerator::system()->generate() & 0xFF;
    Text += Hex[Byte >> 4];
    Text += Hex[Byte & 0xF];
  }
  Text += '\n';
  const bool Written = write(Fd, Text.data(), Text.size()) == static_cast<ssize_t>(Text.size());
  if (close(Fd) != 0 || !Written) {
    unlink(APath.c_str());
    return APath + ": cannot be written";
  }
  return {};
}

}  // namespace

std::string LoadControlToken(const std::string& APath, bool ACreate, std::string& AToken) {
  // Without blocking: a FIFO under the name would otherwise stop the service
  // at start until some writer came; the check below refuses it. A symbolic
  // link is followed: what counts is the file it leads to.
  constexpr int Flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC;
  int Fd = open(APath.c_str(), Flags);
  struct stat Link {};
  const bool IsLink = lstat(APath.c_str(), &Link) == 0 && S_ISLNK(Link.st_mode);
  if (Fd < 0 && errno == ENOENT && IsLink)
    return APath + ": a symbolic link to a file that is not there";
  if (Fd < 0 && errno == ELOOP) return APath + ": symbolic links in a loop";
  if (Fd < 0 && errno == ENOENT && ACreate) {
    const std::string Problem = Create(APath);
    if (!Problem.empty()) return Problem;
    Fd = open(APath.c_str(), Flags | O_NOFOLLOW);
  }
  if (Fd < 0) return APath + ": cannot be read: " + std::strerror(errno);
  struct stat Info;
  std::string Problem;
  const std::string Named = IsLink ? APath + " (a symbolic link)" : APath;
  if (fstat(Fd, &Info) != 0 || !S_ISREG(Info.st_mode)) {
    Problem = Named + ": not a plain file";
  } else if ((Info.st_mode & 077) != 0) {
    Problem = Named + ": others may read or change it; it must have mode 0600";
  } else if (ACreate && Info.st_uid != geteuid()) {
    // Whoever owns the file chooses the service's token.
    Problem = Named + ": owned by user " + std::to_string(Info.st_uid) +
              ", not by the service's user " + std::to_string(geteuid());
  }
  std::string Text;
  if (Problem.empty()) {
    char Buffer[MaxTokenBytes + 2];
    const ssize_t Read = read(Fd, Buffer, sizeof Buffer);
    if (Read < 0) Problem = APath + ": cannot be read: " + std::strerror(errno);
    if (Read > 0) Text.assign(Buffer, static_cast<size_t>(Read));
  }
  close(Fd);
  if (!Problem.empty()) return Problem;
  while (!Text.empty() && (Text.back() == '\n' || Text.back() == '\r')) Text.pop_back();
  bool Safe = Text.size() >= MinTokenBytes && Text.size() <= MaxTokenBytes;
  for (const char C : Text) Safe = Safe && IsTokenCharacter(C);
  if (!Safe) return APath + ": the token must be one line of 16 to 512 letters, digits or -._~+/=";
  AToken = Text;
  return {};
}

bool SameSecret(const std::string& A, const std::string& B) {
  unsigned char Difference = A.size() == B.size() ? 0 : 1;
  const std::string& Longer = A.size() >= B.size() ? A : B;
  for (size_t I = 0; I < Longer.size(); ++I) {
    const unsigned char X = I < A.size() ? static_cast<unsigned char>(A[I]) : 0;
    const unsigned char Y = I < B.size() ? static_cast<unsigned char>(B[I]) : 0;
    Difference |= static_cast<unsigned char>(X ^ Y);
  }
  return Difference == 0;
}
