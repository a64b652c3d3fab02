// The text of "tolvex --help", and the same text as the manual page
// tolvex(1) ("tolvex --help=man"): one text, two outputs.
#pragma once

#include <ostream>
#include <string>

namespace tolvex::frontend {

void PrintHelp(std::ostream& out);
// The help as a roff manual page: each line that starts in the first column
// heads a section, the lines below it keep their layout.
void PrintManPage(std::ostream& out);

// The command's version ("3.0.0").
std::string Version();

}  // namespace tolvex::frontend
