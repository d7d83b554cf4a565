#pragma once

// A scratch file for harnesses whose reader takes a file name: one private
// folder per run (in memory where /dev/shm exists), removed at exit.

#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzz {

inline const std::string& ScratchFolder() {
  static const std::string Folder = [] {
    const char* Base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : std::getenv("TMPDIR");
    std::string Pattern = std::string(Base != nullptr ? Base : "/tmp") + "/dravik-fuzz-XXXXXX";
    if (mkdtemp(Pattern.data()) == nullptr) std::abort();
    static std::string Made = Pattern;
    std::atexit([] {
      if (DIR* Folder = opendir(Made.c_str())) {
        while (const dirent* Entry = readdir(Folder)) {
          const std::string Name = Entry->d_name;
          if (Name != "." && Name != "..") std::remove((Made + "/" + Name).c_str());
        }
        closedir(Folder);
      }
      rmdir(Made.c_str());
    });
    return Pattern;
  }();
  return Folder;
}

// Writes AText as the scratch file and returns its name.
inline std::string WriteScratchFile(const std::string& AText) {
  const std::string Name = ScratchFolder() + "/file";
  std::FILE* File = std::fopen(Name.c_str(), "wb");
  if (File == nullptr) std::abort();
  if (!AText.empty() && std::fwrite(AText.data(), 1, AText.size(), File) != AText.size())
    std::abort();
  if (std::fclose(File) != 0) std::abort();
  return Name;
}

}  // namespace fuzz
