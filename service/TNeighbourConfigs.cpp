#include "TNeighbourConfigs.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

// A folder of configurations holds a handful; more are not looked at.
constexpr size_t MaxNeighbours = 256;

bool EndsWith(const std::string& AText, const std::string& AEnd) {
  return AText.size() >= AEnd.size() &&
         AText.compare(AText.size() - AEnd.size(), AEnd.size(), AEnd) == 0;
}

// Whether a service of each would take the same listening socket.
bool SameListener(const TServiceConfig& A, const TServiceConfig& B) {
  if (A.ListenPort == 0 || A.ListenPort != B.ListenPort) return false;
  return A.ListenAddress == B.ListenAddress || A.ListenAddress == "0.0.0.0" ||
         B.ListenAddress == "0.0.0.0";
}

}  // namespace

std::string CheckNeighbourConfigs(const std::string& AFileName, const TServiceConfig& AConfig) {
  const size_t Slash = AFileName.rfind('/');
  const std::string Folder = Slash == std::string::npos ? "." : AFileName.substr(0, Slash);
  const std::string Own = AFileName.substr(Slash == std::string::npos ? 0 : Slash + 1);
  std::unique_ptr<DIR, int (*)(DIR*)> Dir(opendir(Folder.c_str()), &closedir);
  if (!Dir) return {};
  std::vector<std::string> Names;
  while (const dirent* Item = readdir(Dir.get())) {
    const std::string Name = Item->d_name;
    if (Name == Own || Name.empty() || Name[0] == '.' || !EndsWith(Name, ".conf")) continue;
    Names.push_back(Name);
    if (Names.size() >= MaxNeighbours) break;
  }
  std::sort(Names.begin(), Names.end());
  struct stat OwnInfo {};
  const bool OwnKnown = stat(AFileName.c_str(), &OwnInfo) == 0;
  std::string Clashes;
  for (const std::string& Name : Names) {
    const std::string Path = Folder + "/" + Name;
    struct stat Info {};
    // The same file under another name (a link) is no neighbour.
    if (OwnKnown && stat(Path.c_str(), &Info) == 0 && Info.st_dev == OwnInfo.st_dev &&
        Info.st_ino == OwnInfo.st_ino)
      continue;
    TServiceConfig Other;
    // A file that does not read as a configuration runs no service.
    if (!LoadServiceConfig(Path, Other).empty()) continue;
    std::string Line;
    if (Other.Entry == AConfig.Entry) Line += "rotates the same entry \"" + AConfig.Entry + "\"";
    if (SameListener(Other, AConfig)) {
      Line += std::string(Line.empty() ? "" : ", ") + "listens on the same port " +
              std::to_string(AConfig.ListenPort);
    }
    if (!AConfig.StateDir.empty() && Other.StateDir == AConfig.StateDir)
      Line += std::string(Line.empty() ? "" : ", ") + "keeps its state in the same folder " +
              AConfig.StateDir;
    if (!Line.empty()) Clashes += (Clashes.empty() ? "" : "\n") + Path + " " + Line;
  }
  return Clashes;
}
