#include "platform/folder_layout.h"

namespace tolvex {

std::string DestinationFolder(const std::string& destination) {
  if (destination.empty() || destination.back() == '\\' || destination.back() == '/') {
    return destination;
  }
  return destination + '\\';
}

}  // namespace tolvex
