#include "platform/name_case.h"

#include <gtest/gtest.h>

#include <string>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace tolvex {
namespace {

TEST(NameCase, AsciiLettersFoldEverywhereAndKeysOfPathsCompareFolderByFolder) {
  EXPECT_EQ(NameCaseKey("S:\\Data\\Cache\\a.TXT"), NameCaseKey("s:\\DATA\\cache\\A.txt"));
  EXPECT_NE(NameCaseKey("S:\\Data\\a_b"), NameCaseKey("S:\\Data\\a-b"));
  EXPECT_EQ(NameCaseKey("S:\\Data\\") + NameCaseKey("Cache\\"), NameCaseKey("S:\\Data\\Cache\\"));
}

#ifdef _WIN32
// The name in the ANSI code page; empty when it has no such characters.
std::string Ansi(const wchar_t* name) {
  BOOL lost = FALSE;
  char bytes[64];
  const int length = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name, -1, bytes,
                                           sizeof bytes, nullptr, &lost);
  return length > 0 && !lost ? std::string(bytes) : std::string();
}

// Windows folds every letter of the BMP as its file system does, one for
// one: a-umlaut is A-umlaut, e-acute E-acute; sharp s stays one letter.
TEST(NameCase, WindowsFoldsLettersBeyondAsciiAsItsFileSystemDoes) {
  const std::string upper = Ansi(L"\u00C4pfel\\\u00C9t\u00E9.txt");
  const std::string lower = Ansi(L"\u00E4PFEL\\\u00E9T\u00C9.TXT");
  const std::string sharp = Ansi(L"Stra\u00DFe");
  if (upper.empty() || lower.empty() || sharp.empty()) {
    GTEST_SKIP() << "the ANSI code page has no such letters";
  }
  EXPECT_TRUE(kNamesFoldBeyondAscii);
  EXPECT_EQ(NameCaseKey(upper), NameCaseKey(lower));
  EXPECT_EQ(NameCaseKey(upper), NameCaseKey("\\" + upper).substr(1));
  EXPECT_NE(NameCaseKey(sharp), NameCaseKey("STRASSE"));
  EXPECT_EQ(NameCaseKey("plain.txt"), "PLAIN.TXT");
}
#else
// The POSIX back end finds a name in another case by A-Z only: "Ä.txt" and
// "ä.txt" (UTF-8) are two names there.
TEST(NameCase, PosixFoldsAsciiLettersOnly) {
  EXPECT_FALSE(kNamesFoldBeyondAscii);
  EXPECT_NE(NameCaseKey("\xC3\x84.txt"), NameCaseKey("\xC3\xA4.txt"));
  EXPECT_EQ(NameCaseKey("\xC3\x84.txt"), NameCaseKey("\xC3\x84.TXT"));
}
#endif

}  // namespace
}  // namespace tolvex
