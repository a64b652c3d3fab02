// Windows error codes of failed copies, explained in words.
#pragma once

#include <cstdint>
#include <string>

namespace tolvex::frontend {

// "access denied: the target is read-only or protected" and the like; an
// unknown code gives "Windows error N".
std::string ExplainError(uint32_t code);

}  // namespace tolvex::frontend
