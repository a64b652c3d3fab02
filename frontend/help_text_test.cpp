#include "frontend/help_text.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "frontend/job.h"

namespace tolvex::frontend {
namespace {

std::string Help() {
  std::ostringstream out;
  PrintHelp(out);
  return out.str();
}

std::string ManPage() {
  std::ostringstream out;
  PrintManPage(out);
  return out.str();
}

// The manual page is the help in roff: each heading a section, each line of
// a section kept, with the escapes roff needs.
TEST(HelpText, TheManualPageHoldsEveryLineOfTheHelp) {
  const std::string help = Help();
  const std::string man = ManPage();
  EXPECT_EQ(man.rfind(".TH TOLVEX 1", 0), 0u);
  EXPECT_NE(man.find(".SH NAME\ntolvex \\- run a backup"), std::string::npos);
  std::istringstream lines(help);
  std::string line;
  std::getline(lines, line);
  int headings = 0;
  while (std::getline(lines, line)) {
    if (line.empty()) continue;
    if (line[0] != ' ') {
      ++headings;
      EXPECT_NE(man.find(".SH \"" + line + "\"\n"), std::string::npos) << line;
      continue;
    }
    std::string roff;
    for (char c : line) roff += c == '\\' ? std::string("\\e") : c == '-' ? "\\-" : std::string(1, c);
    EXPECT_NE(man.find("\n" + roff + "\n"), std::string::npos) << line;
  }
  EXPECT_GE(headings, 6);
  for (const KeyRule& rule : JobKeys()) {
    EXPECT_NE(help.find("  " + std::string(rule.key)), std::string::npos) << rule.key;
  }
}

TEST(HelpText, KeyDescriptionsStayWithinTheLine) {
  std::istringstream lines(Help());
  for (std::string line; std::getline(lines, line);) {
    EXPECT_LE(line.size(), 80u) << line;
  }
}

}  // namespace
}  // namespace tolvex::frontend
