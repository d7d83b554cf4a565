#include "PppdSecrets.h"

#include "PppdWords.h"
#include "RasTexts.h"
#include "ReadBoundedFile.h"

namespace dravik::ras::pppd {

namespace {

constexpr size_t MaxSecretsBytes = 1024 * 1024;
constexpr size_t MaxSecretFileBytes = 4096;

// How far a line is from an exact match; -1 when it does not match.
int Distance(const TSecretLine& ALine, const std::string& AUser, const std::string& AServer) {
  int Result = 0;
  if (ALine.Client == "*") {
    Result += 1;
  } else if (ALine.Client != AUser) {
    return -1;
  }
  if (ALine.Server == "*") {
    Result += 1;
  } else if (AServer.empty()) {
    Result += 2;
  } else if (ALine.Server != AServer) {
    return -1;
  }
  return Result;
}

// The secret a line gives: its own word, or the first word of the file an
// "@/path" secret names; false when that file cannot be read.
bool SecretOf(const TSecretLine& ALine, std::string& ASecret) {
  if (ALine.Secret.size() < 2 || ALine.Secret[0] != '@' || ALine.Secret[1] != '/') {
    ASecret = ALine.Secret;
    return true;
  }
  std::string Text;
  if (ReadBoundedFile(ALine.Secret.substr(1), MaxSecretFileBytes, Text) != TFileRead::Read) {
    return false;
  }
  const std::vector<TPppdWord> Words = SplitPppdWords(Text);
  if (Words.empty()) return false;
  ASecret = Words.front().Text;
  return true;
}

bool SecretFromFile(const std::string& AFile, const std::string& AUser, const std::string& AServer,
                    std::string& ASecret) {
  std::string Text;
  if (ReadBoundedFile(AFile, MaxSecretsBytes, Text) != TFileRead::Read) return false;
  const std::vector<TSecretLine> Lines = ParseSecrets(Text);
  const TSecretLine* Line = FindSecret(Lines, AUser, AServer);
  std::string Secret;
  if (Line == nullptr || !SecretOf(*Line, Secret) || !IsCredential(Secret)) return false;
  ASecret = Secret;
  return true;
}

}  // namespace

std::vector<TSecretLine> ParseSecrets(std::string_view AText) {
  std::vector<TSecretLine> Lines;
  std::vector<std::string> Line;
  auto Take = [&Lines, &Line] {
    if (Line.size() >= 3) Lines.push_back({Line[0], Line[1], Line[2]});
    Line.clear();
  };
  for (TPppdWord& Word : SplitPppdWords(AText)) {
    if (Word.StartsLine) Take();
    // The addresses after the secret are not needed.
    if (Line.size() < 3) Line.push_back(std::move(Word.Text));
  }
  Take();
  return Lines;
}

const TSecretLine* FindSecret(const std::vector<TSecretLine>& ALines, const std::string& AUser,
                              const std::string& AServer) {
  const TSecretLine* Best = nullptr;
  int BestDistance = 0;
  for (const TSecretLine& Line : ALines) {
    const int Found = Distance(Line, AUser, AServer);
    if (Found < 0 || (Best != nullptr && Found >= BestDistance)) continue;
    Best = &Line;
    BestDistance = Found;
  }
  return Best;
}

bool ReadSecret(const std::string& AChapFile, const std::string& APapFile, const std::string& AUser,
                const std::string& AServer, std::string& ASecret) {
  ASecret.clear();
  return SecretFromFile(AChapFile, AUser, AServer, ASecret) ||
         SecretFromFile(APapFile, AUser, AServer, ASecret);
}

}  // namespace dravik::ras::pppd
