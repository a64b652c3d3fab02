// The real platform with the shell's part recorded instead of carried out:
// ShellOpen (View) and ShowHelp (Help) would start other programs.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace tolvex {

class ShellRecordingPlatform : public PlatformWrapper {
 public:
  ShellRecordingPlatform() : PlatformWrapper(&DefaultPlatform()) {}
  bool ShellOpen(const std::string& target) override {
    opened.push_back(target);
    return true;
  }
  bool ShowHelp(const std::string& file, uint32_t context) override {
    help.emplace_back(file, context);
    return true;
  }
  std::vector<std::string> opened;
  std::vector<std::pair<std::string, uint32_t>> help;
};

}  // namespace tolvex
