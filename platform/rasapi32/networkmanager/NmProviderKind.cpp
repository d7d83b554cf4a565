#include "NmProviderKind.h"

#include "NmBus.h"
#include "TNmProvider.h"

namespace dravik::ras::nm {

bool DetectNetworkManager() {
  constexpr uint64_t DetectTimeoutUs = 1000000;
  const TBus Bus = OpenSystemBus();
  return Bus && NameHasOwner(Bus.get(), NmService, DetectTimeoutUs);
}

std::shared_ptr<RasProvider> MakeNetworkManagerProvider(const std::string& AConfigFile,
                                                        std::string& AProblem) {
  auto Provider = std::make_shared<TNmProvider>(AConfigFile, AProblem);
  if (!AProblem.empty()) return nullptr;
  return Provider;
}

}  // namespace dravik::ras::nm
