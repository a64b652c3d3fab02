// The DOS wildcard rules of the POSIX back end, checked against tables
// measured elsewhere: the pattern rewriting that kernel32 does (as a
// kernel-mode test driver observed it on Windows) and the matching of
// FsRtlIsNameInExpression (as the .NET runtime's tests pin it down).
#ifndef _WIN32

#include "platform/posix/dos_wildcard.h"

#include <gtest/gtest.h>

namespace tolvex::posix {
namespace {

TEST(DosWildcardTest, RewritesPatternsAsKernel32Does) {
  struct Case {
    const char* pattern;
    const char* rewritten;
  };
  const Case cases[] = {
      {"Hello", "Hello"},       {"*", "*"},                 {"a*", "a*"},
      {"*a", "*a"},             {"a*a", "a*a"},             {"**", "**"},
      {"*.*", "*"},             {"a*.*", "a<\"*"},          {"*.*a", "<\"*a"},
      {"a*.*a", "a<\"*a"},      {"*.**.*", "<\"*<\"*"},     {"*.*a*.*", "<\"*a<\"*"},
      {".*", "\"*"},            {"a.*", "a\"*"},            {".*.*", "\"<\"*"},
      {".*a.*", "\"*a\"*"},     {"*.", "<"},                {"a*.", "a<"},
      {"*.a", "<.a"},           {"a*.a", "a<.a"},           {"*.*.", "*"},
      {"*.a*.", "<.a<"},        {"a*.a*.a", "a<.a<.a"},     {"?", ">"},
      {"a?", "a>"},             {"??", ">>"},               {"?a?", ">a>"},
      {"?.?", ">\">"},          {"a?.?", "a>\">"},          {"?.??.?", ">\">>\">"},
      {".?", "\">"},            {".?.?", "\">\">"},         {"?.", ">"},
      {"a?.", "a>"},            {"?.a", ">.a"},             {"?.?.", ">\">"},
      {"?.a?.", ">.a>"},        {"f*.", "f<"},              {"f.*", "f\"*"},
      {"f*.*", "f<\"*"},        {"f*.f*", "f<.f*"},         {"f*f.*", "f*f\"*"},
      {"f*.*f", "f<\"*f"},      {"x.txt. ", "x.txt"},       {"*.txt..", "<.txt"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RewriteDosPattern(c.pattern), c.rewritten) << c.pattern;
  }
}

// "*" and "*.*" take every name, whatever its dots, case, spaces or bytes;
// "*." still takes only names without a dot.
TEST(DosWildcardTest, StarPatternsTakeEveryNameButTheEmptyOne) {
  const char* const names[] = {".",     "..",    ".hidden", "a.",       "noext",   "a.b.c",
                               "A B.T", " ",     "...",     "\xC3\x84.txt", "\xFF\xFE", "x*"};
  for (const char* pattern : {"*", "*.*", "*.*.", "**"}) {
    const DosPattern matcher(pattern);
    for (const char* name : names) EXPECT_TRUE(matcher.Matches(name)) << pattern << " " << name;
    EXPECT_FALSE(matcher.Matches("")) << pattern;
  }
  const DosPattern no_dot("*.");
  const struct {
    const char* name;
    bool matches;
  } cases[] = {{"noext", true}, {"a.b", false}, {".hidden", false}, {"a.", true}};
  for (const auto& c : cases) EXPECT_EQ(no_dot.Matches(c.name), c.matches) << c.name;
}

TEST(DosWildcardTest, MatchesRewrittenExpressionsAsTheFileSystemDoes) {
  struct Case {
    const char* expression;
    const char* name;
    bool matches;
  };
  const Case cases[] = {
      {"*", "ab", true},          {"*foo", "NoFOO", true},     {"<\"*", "footxt", true},
      {"<\"*", "foo.txt", true},  {"<\"*", ".foo", true},      {"<\"*", "foo.", true},
      {">\">", "a.b", true},      {">\">", "a.", true},        {">\">", "a", true},
      {">\">", "ab", false},      {">\">", "a.bc", false},     {">\">", "ab.c", false},
      {">>\">>", "a.b", true},    {">>\"\">>", "a.b", false},  {">>\">>", "a.bc", true},
      {">>\">>", "ab.ba", true},  {">>\">>", "ab.", true},     {">>\"\"\">>", "ab.", true},
      {">>b\">>", "ab.ba", false}, {"a>>\">>", "ab.ba", true}, {">>\">>a", "ab.ba", false},
      {">>\"b>>", "ab.ba", true}, {">>\"b>>", "ab.b", true},   {">>b.>>", "ab.ba", false},
      {"a>>.>>", "ab.ba", true},  {">>.>>a", "ab.ba", false},  {">>.b>>", "ab.ba", true},
      {">>.b>>", "ab.b", true},   {">>\">>\">>", "ab.ba", true}, {">>\">>\">>", "abba", false},
      {">>\"ab\"ba", "ab.ba", false}, {"ab\"ba\">>", "ab.ba", true},
      {"ab\">>\"ba", "ab.ba", false}, {">>\">>\">>>", "ab.ba.cab", true},
      {"a>>\"b>>\"c>>>", "ab.ba.cab", true},
      {"<", "a", true},           {"<", "a.", true},           {"<", "a. ", false},
      {"<", "a.b", false},        {"foo<", "foo.", true},      {"foo<", "foo. ", false},
      {"<<", "a.b", true},        {"<<", "a.b.c", true},       {"<\"", "a.b.c", false},
      {"<.", "a", false},         {"<.", "a.", true},          {"<.", "a.b", false},
      // "." and ".." against DOS_STAR: the last '.' may be its last character.
      {"<", ".", true},           {"<", "..", true},           {"<", ".x", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DosPattern::FromExpression(c.expression).Matches(c.name), c.matches)
        << c.expression << " vs " << c.name;
  }
}

TEST(DosWildcardTest, MatchesPatternsWithoutRegardToAsciiCase) {
  EXPECT_TRUE(DosPattern("*.TXT").Matches("a.txt"));
  EXPECT_TRUE(DosPattern("A?.txt").Matches("ab.TXT"));
  EXPECT_TRUE(DosPattern("README").Matches("readme"));
  // Letters beyond ASCII keep their case, like upper-casing does.
  EXPECT_FALSE(DosPattern("\xC3\x89t\xC3\xA9.txt").Matches("\xC3\xA9t\xC3\xA9.txt"));
  EXPECT_TRUE(DosPattern("\xC3\xA9T\xC3\xA9.TXT").Matches("\xC3\xA9t\xC3\xA9.txt"));
}

TEST(DosWildcardTest, QuestionMarkTakesOneWholeUtf8Character) {
  // "Grüße.txt": five characters before the dot, seven bytes.
  const char name[] = "Gr\xC3\xBC\xC3\x9F" "e.txt";
  EXPECT_TRUE(DosPattern("?????.txt").Matches(name));
  EXPECT_FALSE(DosPattern("????.txt").Matches(name));
  EXPECT_TRUE(DosPattern("Gr?\xC3\x9F" "e.*").Matches(name));
  // Three-byte and four-byte characters count once too.
  EXPECT_TRUE(DosPattern("?.txt").Matches("\xE6\x97\xA5.txt"));
  EXPECT_TRUE(DosPattern("?.txt").Matches("\xF0\x9F\x98\x80.txt"));
  // A byte outside valid UTF-8 is a character of its own.
  EXPECT_TRUE(DosPattern("??.txt").Matches("\xFF\xFE.txt"));
}

TEST(DosWildcardTest, NamesWindowsCannotHold) {
  const char* const unusable[] = {"a:b", "a*b", "a?b", "a\"b", "a<b", "a>b", "a|b", "a\\b",
                                  "tab\there", "new\nline", "\x01start", "ends.in.dot.",
                                  "ends in space ", "...", "x. "};
  for (const char* name : unusable) EXPECT_FALSE(WindowsCanHoldName(name)) << name;
  const char* const usable[] = {"plain.txt", ".hidden", "with space", ("Gr\xC3\xBC\xC3\x9F" "e"),
                                "semi;colon", "percent%", "[brackets]", ".", "..", " leading"};
  for (const char* name : usable) EXPECT_TRUE(WindowsCanHoldName(name)) << name;
}

}  // namespace
}  // namespace tolvex::posix

#endif  // _WIN32
