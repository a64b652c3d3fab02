// The text of "tolvex --help".
#pragma once

#include <ostream>

namespace tolvex::frontend {

void PrintHelp(std::ostream& out);

}  // namespace tolvex::frontend
