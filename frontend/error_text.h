// Windows error codes of failed copies, explained in words.
#pragma once

#include <cstdint>
#include <string>

namespace tolvex::frontend {

// "access denied: the target is read-only or protected" and the like; an
// unknown code gives "Windows error N".
std::string ExplainError(uint32_t code);

// The same for a failed copy of the native file `from` onto `to`, naming
// the side that refused where the code alone does not tell it: access
// denied (5) is a source that cannot be read as much as a read-only target.
// Looks at both files now, after the failure.
std::string ExplainCopyError(uint32_t code, const std::string& from, const std::string& to);

}  // namespace tolvex::frontend
