#include "SimRemark.h"

namespace dravik::ras {

std::string& SimRemark() {
  thread_local std::string Remark;
  return Remark;
}

}  // namespace dravik::ras
