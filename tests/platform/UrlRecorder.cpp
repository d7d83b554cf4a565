// Stands in for the user's browser and mail program: appends its one argument
// and a zero byte to the file that DRAVIK_URL_RECORD names.
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
  const char* Record = std::getenv("DRAVIK_URL_RECORD");
  if (argc != 2 || Record == nullptr) return 2;
  const std::string Line = std::string(argv[1]) + '\0';
  const int File = open(Record, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
  if (File < 0) return 1;
  const bool Written = write(File, Line.data(), Line.size()) == static_cast<ssize_t>(Line.size());
  close(File);
  return Written ? 0 : 1;
}
