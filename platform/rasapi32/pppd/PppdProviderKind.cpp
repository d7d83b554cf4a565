#include "PppdProviderKind.h"

#include <sys/stat.h>

#include "PppdPaths.h"
#include "PppdPeers.h"
#include "RasCodes.h"
#include "TPppdProvider.h"

namespace dravik::ras::pppd {

bool DetectPppd(const std::string& AConfigFile) {
  std::string Problem;
  const TPppdPaths Paths = ChosenPppdPaths(AConfigFile, Problem);
  struct stat Info;
  if (!Problem.empty() || stat(Paths.Program.c_str(), &Info) != 0 || !S_ISREG(Info.st_mode)) {
    return false;
  }
  std::vector<std::string> Peers;
  const DWORD Listed = ListPeers(Paths.PeersDir(), Peers);
  return Listed == ErrorAccessDenied || (Listed == ERROR_SUCCESS && !Peers.empty());
}

std::shared_ptr<RasProvider> MakePppdProvider(const std::string& AConfigFile,
                                              std::string& AProblem) {
  const TPppdPaths Paths = ChosenPppdPaths(AConfigFile, AProblem);
  if (!AProblem.empty()) return nullptr;
  auto Provider = std::make_shared<TPppdProvider>(Paths, AProblem);
  if (!AProblem.empty()) return nullptr;
  return Provider;
}

}  // namespace dravik::ras::pppd
