#pragma once

// What the benchmarks set the library against: a program run as a script
// would run it, by argument vector, waited for.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

// Runs a program (looked up in PATH) with an argument vector; its output
// goes to AOut, else is discarded with the error output. Its exit code, -1
// when it did not end normally.
inline int Run(std::vector<std::string> AArgs, std::string* AOut = nullptr) {
  int Pipe[2] = {-1, -1};
  if (AOut != nullptr && pipe2(Pipe, O_CLOEXEC) != 0) return -1;
  const pid_t Child = fork();
  if (Child == 0) {
    const int Null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    dup2(AOut != nullptr ? Pipe[1] : Null, 1);
    dup2(Null, 2);
    std::vector<char*> Argv;
    for (std::string& Arg : AArgs) Argv.push_back(Arg.data());
    Argv.push_back(nullptr);
    execvp(Argv[0], Argv.data());
    _exit(127);
  }
  if (AOut != nullptr) {
    close(Pipe[1]);
    char Buffer[4096];
    ssize_t Count = 0;
    while ((Count = read(Pipe[0], Buffer, sizeof Buffer)) > 0) AOut->append(Buffer, Count);
    close(Pipe[0]);
  }
  int Status = 0;
  if (Child < 0 || waitpid(Child, &Status, 0) < 0) return -1;
  return WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
}
