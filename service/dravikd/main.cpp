// dravikd: the address rotation as a service.
#include <unistd.h>

#include <cstdio>

#include "TDravikd.h"

int main(int argc, char** argv) {
  const int Status = RunDravikd(argc, argv);
  if (Status != DravikdRestart) return Status;
  // Started anew in the same process, as systemd expects of a reload: the
  // configuration is read again and everything set up from it.
  execv("/proc/self/exe", argv);
  std::perror("dravikd: cannot start again");
  return 1;
}
