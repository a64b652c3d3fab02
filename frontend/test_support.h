// A fresh temporary folder for the front end's tests, removed afterwards.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace tolvex::frontend {

class TempFolder {
 public:
  explicit TempFolder(const std::filesystem::path& base = std::filesystem::temp_directory_path()) {
    std::random_device random;
    path_ = base / ("tolvex-frontend-" + std::to_string(random()));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The native path of `relative` inside the folder, as text.
  std::string Path(const std::string& relative = "") const {
    return relative.empty() ? path_.string() : (path_ / relative).string();
  }
  void Write(const std::string& relative, const std::string& content) const {
    const auto file = path_ / relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << content;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace tolvex::frontend
