#include "frontend/error_text.h"

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
    case TOLVEX_ERROR_INTERRUPTED: return "interrupted by the user";
    default: return "Windows error " + std::to_string(code);
  }
}

}  // namespace tolvex::frontend
