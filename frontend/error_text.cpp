#include "frontend/error_text.h"

#include <filesystem>
#include <fstream>

#include "include/tolvex32.h"

namespace tolvex::frontend {

std::string ExplainError(uint32_t code) {
  switch (code) {
    case 2: return "the file was not found";
    case 3: return "the folder was not found";
    case 5: return "access denied: the target is read-only or protected";
    case 19: return "the medium is write-protected";
    case 21: return "the drive is not ready";
    case 32: return "the file is in use by another process, or source and target are one file";
    case 33: return "a part of the file is locked by another process";
    case 39:
    case 112: return "there is not enough space on the disk";
    case 80: return "the file exists";
    case 87: return "a parameter is not valid";
    case 123: return "the file name is not valid";
    case 145: return "the folder is not empty";
    case 183: return "a file or folder with that name already exists";
    case 206: return "the file name or path is too long";
    case TOLVEX_ERROR_INTERRUPTED: return "interrupted by you";
    case TOLVEX_ERROR_COPY_STOPPED: return "stopped by Ctrl-C; the target is as it was";
    default: return "Windows error " + std::to_string(code);
  }
}

std::string ExplainCopyError(uint32_t code, const std::string& from, const std::string& to) {
  if (code != 5) return ExplainError(code);
  if (!std::ifstream(from, std::ios::binary).is_open()) {
    return "access denied: the source file cannot be read";
  }
  std::error_code error;
  if (std::filesystem::is_directory(to, error)) return "access denied: a folder has the target's name";
  if (std::filesystem::exists(to, error)) {
    const auto permissions = std::filesystem::status(to, error).permissions();
    if ((permissions & std::filesystem::perms::owner_write) == std::filesystem::perms::none) {
      return "access denied: the target is read-only";
    }
  }
  return ExplainError(code);
}

}  // namespace tolvex::frontend
