#include "BenchService.h"

#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "Ras.h"

namespace {

std::string ServiceDir;

}  // namespace

bool OpenBenchService() {
  char Template[] = "/tmp/dravik-bench-XXXXXX";
  if (mkdtemp(Template) == nullptr) return false;
  ServiceDir = Template;
  setenv("DRAVIK_RAS_DIR", Template, 1);
  setenv("DRAVIK_RAS_PROVIDER", "sim", 1);
  if (FILE* Phonebook = std::fopen((ServiceDir + "/phonebook.ini").c_str(), "w")) {
    std::fputs("[Broadband]\nUserName=user\nPassword=secret\nDialSeconds=0\n", Phonebook);
    std::fclose(Phonebook);
  }
  return true;
}

int HangUpAll() {
  RASCONNA Buffer[200];
  std::memset(Buffer, 0, sizeof Buffer);
  Buffer[0].dwSize = sizeof(RASCONNA);
  DWORD Bytes = sizeof Buffer;
  DWORD Count = 0;
  if (RasEnumConnectionsA(Buffer, &Bytes, &Count) != 0) return -1;
  for (DWORD Index = 0; Index < Count; ++Index) RasHangUpA(Buffer[Index].hrasconn);
  return static_cast<int>(Count);
}

void CloseBenchService() {
  HangUpAll();
  const std::string Remove[] = {"/run/state", "/run/state.lock", "/run", "/phonebook.ini", ""};
  for (const std::string& Part : Remove) std::remove((ServiceDir + Part).c_str());
}
