// POSIX: folders that stand in for other file systems, through the back
// end's switch TOLVEX_TEST_VOLUMES (platform/posix/volume_rules.h), for the
// life of the object: "windows-names=DIR" makes DIR a folder that holds
// only Windows names and ignores case (as a FAT disk), "caseless=DIR" one
// that ignores case. The drives are reloaded on both ends.
#pragma once

#ifndef _WIN32

#include <cstdlib>
#include <string>

#include "platform/platform.h"

namespace tolvex {

class ScopedTestVolumes {
 public:
  explicit ScopedTestVolumes(const std::string& rules) {
    if (const char* previous = std::getenv("TOLVEX_TEST_VOLUMES")) {
      had_previous_ = true;
      previous_ = previous;
    }
    setenv("TOLVEX_TEST_VOLUMES", rules.c_str(), 1);
    Sys().ReloadDrives();
  }
  ~ScopedTestVolumes() {
    if (had_previous_) {
      setenv("TOLVEX_TEST_VOLUMES", previous_.c_str(), 1);
    } else {
      unsetenv("TOLVEX_TEST_VOLUMES");
    }
    Sys().ReloadDrives();
  }
  ScopedTestVolumes(const ScopedTestVolumes&) = delete;
  ScopedTestVolumes& operator=(const ScopedTestVolumes&) = delete;

 private:
  bool had_previous_ = false;
  std::string previous_;
};

}  // namespace tolvex

#endif  // _WIN32
