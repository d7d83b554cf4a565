#include "ApplicationEnd.h"

#include <QCoreApplication>
#include <algorithm>
#include <vector>

namespace {

std::vector<void (*)()>& Steps() {
  static std::vector<void (*)()> Registered;
  return Registered;
}

bool GPostRoutineAdded = false;

void RunAsPostRoutine() {
  GPostRoutineAdded = false;
  RunApplicationEndSteps();
}

}  // namespace

void AtApplicationEnd(void (*AStep)()) {
  std::vector<void (*)()>& Registered = Steps();
  if (std::find(Registered.begin(), Registered.end(), AStep) == Registered.end())
    Registered.push_back(AStep);
  if (!GPostRoutineAdded && QCoreApplication::instance() != nullptr) {
    qAddPostRoutine(&RunAsPostRoutine);
    GPostRoutineAdded = true;
  }
}

void RunApplicationEndSteps() {
  const std::vector<void (*)()> Due = std::move(Steps());
  Steps().clear();
  for (void (*Step)() : Due) Step();
}
