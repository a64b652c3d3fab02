// Generations that share unchanged files (SetShareUnchanged): rotating runs
// through the exports and CallUpdate on real trees. A file the run copies
// into Grandson that equals its version in Son becomes another name of
// that version; a changed file is a copy of its own, and no run changes a
// file another generation holds.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "include/tolvex32.h"
#include "platform/fault_injection.h"
#include "tests/run_fixture.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace tolvex::runtest {
namespace {

using Lines = std::vector<std::string>;

const char* const kGenerations[] = {"Grandson", "Son", "Father"};

// The source tree: a few folders deep, files of several sizes.
const std::map<std::string, std::string> kTree = {
    {"a.txt", "alpha"},
    {"b.bin", std::string(70000, 'b')},
    {"sub\\c.txt", "gamma"},
    {"sub\\deeper\\d.txt", "delta delta"},
    {"empty.dat", ""},
};

// A file's identity and its number of names.
struct FileId {
  uint64_t volume = 0;
  uint64_t index = 0;
  uint64_t names = 0;
  bool operator==(const FileId& other) const {
    return volume == other.volume && index == other.index;
  }
};

class SharedGenerations : public RunTest {
 protected:
  SharedGenerations() {
    job_.varyMode = TOLVEX_VARY_GENERATIONS;
    job_.pathMode = 2;  // S:\Data\ straight into each generation folder
  }

  void WriteTree() const {
    int minute = 0;
    for (const auto& [name, content] : kTree) {
      Write("S:\\Data\\" + name, content, Stamp(2020, 1, 2, 3, minute += 2));
    }
  }

  // Runs with the extension's switch as given; the run must complete.
  void RunSharing(bool share) {
    SetShareUnchanged(share ? 1 : 0);
    Recorder() = CallbackRecorder();
    ASSERT_EQ(Run(), 1);
  }

  static std::string InGeneration(const char* generation, const std::string& name) {
    return std::string("T:\\Backup\\") + generation + "\\" + name;
  }

  FileId IdOf(const std::string& path) const {
    FileId id;
#ifdef _WIN32
    const HANDLE file = ::CreateFileA(path.c_str(), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    BY_HANDLE_FILE_INFORMATION info{};
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << path;
    if (file == INVALID_HANDLE_VALUE) return id;
    EXPECT_TRUE(::GetFileInformationByHandle(file, &info)) << path;
    ::CloseHandle(file);
    id.volume = info.dwVolumeSerialNumber;
    id.index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    id.names = info.nNumberOfLinks;
#else
    struct stat st {};
    EXPECT_EQ(stat(drives_.Native(path).c_str(), &st), 0) << path;
    id.volume = st.st_dev;
    id.index = st.st_ino;
    id.names = st.st_nlink;
#endif
    return id;
  }

  // For each file of the tree: whether the three generations hold one
  // file (3 names) and their content equals the source's.
  void ExpectSharedAndEqual(const std::string& name) const {
    SCOPED_TRACE(name);
    const FileId grandson = IdOf(InGeneration("Grandson", name));
    for (const char* generation : kGenerations) {
      const std::string path = InGeneration(generation, name);
      EXPECT_EQ(Read(path), Read("S:\\Data\\" + name)) << generation;
      const FileId id = IdOf(path);
      EXPECT_TRUE(id == grandson) << generation;
      EXPECT_EQ(id.names, 3u) << generation;
    }
  }

  // The content of `name` in each generation, and its number of names.
  Lines Versions(const std::string& name) const {
    Lines held;
    for (const char* generation : kGenerations) {
      const std::string path = InGeneration(generation, name);
      held.push_back(std::string(generation) + " " + Read(path) + " x" +
                     std::to_string(IdOf(path).names));
    }
    return held;
  }
};

TEST_F(SharedGenerations, ThreeRotatingRunsOfAnUnchangedTreeShareEveryFile) {
  WriteTree();
  for (int run = 1; run <= 3; ++run) {
    SCOPED_TRACE(run);
    RunSharing(true);
    // Each run copies the whole tree into its new Grandson: still a copy
    // in the log.
    EXPECT_EQ(LogBody().size(), 2 * kTree.size());
    EXPECT_EQ(LogBody().front().rfind("File copied: S:\\Data\\", 0), 0u) << LogBody().front();
  }
  for (const auto& [name, content] : kTree) ExpectSharedAndEqual(name);

  // The steady state: the old Father becomes Grandson, already up to date.
  RunSharing(true);
  EXPECT_EQ(LogBody(), Lines{"No files found."});
  for (const auto& [name, content] : kTree) ExpectSharedAndEqual(name);
  EXPECT_EQ(NativeNames("T:\\Backup\\Grandson\\"),
            (std::vector<std::string>{"a.txt", "b.bin", "empty.dat", "sub"}));
}

// A file changed between two runs is copied on its own; the generations
// before keep their version, also when the changed file's name in Grandson
// was shared with them.
TEST_F(SharedGenerations, AChangedFileIsACopyOfItsOwnAndOlderGenerationsKeepTheirs) {
  WriteTree();
  RunSharing(true);
  RunSharing(true);
  Write("S:\\Data\\a.txt", "second version", Stamp(2021, 6, 1, 12, 0));
  RunSharing(true);
  EXPECT_EQ(Versions("a.txt"),
            (Lines{"Grandson second version x1", "Son alpha x2", "Father alpha x2"}));

  // Father (alpha, shared with Son) becomes Grandson: its name is replaced
  // by the version in Son ("second version"), and the alpha in Father (the
  // old Son) stays.
  RunSharing(true);
  EXPECT_EQ(Versions("a.txt"), (Lines{"Grandson second version x2", "Son second version x2",
                                      "Father alpha x1"}));

  // A version no generation holds: a new copy replaces Grandson's name only.
  Write("S:\\Data\\a.txt", "third", Stamp(2022, 1, 1, 1, 0));
  RunSharing(true);
  EXPECT_EQ(Versions("a.txt"),
            (Lines{"Grandson third x1", "Son second version x2", "Father second version x2"}));
  EXPECT_EQ(LogBody(), (Lines{"File copied: S:\\Data\\a.txt", "to: T:\\Backup\\Grandson\\a.txt"}));
  // The unchanged files are shared all along.
  ExpectSharedAndEqual("sub\\deeper\\d.txt");
}

#ifndef _WIN32
// A mode is the file's, shared by all its names: a mode changed in the
// source reaches Grandson as a copy of its own, never as a mode set on a
// name Son and Father share; and a version in Son whose mode is not the
// source's is not linked.
TEST_F(SharedGenerations, AModeChangedInTheSourceNeverChangesAnotherGeneration) {
  WriteTree();
  for (int run = 1; run <= 3; ++run) RunSharing(true);
  ExpectSharedAndEqual("a.txt");
  const auto mode_of = [this](const std::string& path) {
    struct stat st {};
    EXPECT_EQ(stat(drives_.Native(path).c_str(), &st), 0) << path;
    return st.st_mode & 0777;
  };
  const unsigned before = mode_of(InGeneration("Son", "a.txt"));
  ASSERT_EQ(chmod(drives_.Native("S:\\Data\\a.txt").c_str(), 0600), 0);

  RunSharing(true);  // the old Father, shared with Son, becomes Grandson
  EXPECT_EQ(mode_of(InGeneration("Grandson", "a.txt")), 0600u);
  EXPECT_EQ(mode_of(InGeneration("Son", "a.txt")), before);
  EXPECT_EQ(mode_of(InGeneration("Father", "a.txt")), before);
  EXPECT_EQ(Versions("a.txt"), (Lines{"Grandson alpha x1", "Son alpha x2", "Father alpha x2"}));

  // The next rotation fills a Grandson whose version in Son has mode 600:
  // linked. The one after finds Son's version at 600 too.
  RunSharing(true);
  EXPECT_EQ(mode_of(InGeneration("Grandson", "a.txt")), 0600u);
  EXPECT_EQ(mode_of(InGeneration("Father", "a.txt")), before);
}
#endif

// Erasing an orphan in Grandson takes only that name: the generations that
// share the file keep it.
TEST_F(SharedGenerations, ErasingAFileInGrandsonLeavesItInTheOtherGenerations) {
  job_.orphanModeD2 = TOLVEX_ORPHAN_ERASE;
  WriteTree();
  for (int run = 1; run <= 3; ++run) RunSharing(true);
  ASSERT_EQ(Sys().RemoveFile("S:\\Data\\sub\\c.txt"), kErrOk);

  RunSharing(true);

  EXPECT_EQ(LogBody(), (Lines{"File erased: T:\\Backup\\Grandson\\sub\\c.txt"}));
  EXPECT_FALSE(Exists("T:\\Backup\\Grandson\\sub\\c.txt"));
  for (const char* generation : {"Son", "Father"}) {
    EXPECT_EQ(Read(InGeneration(generation, "sub\\c.txt")), "gamma") << generation;
    EXPECT_EQ(IdOf(InGeneration(generation, "sub\\c.txt")).names, 2u) << generation;
  }
}

// Without the switch (a caller of the library that sets nothing), and where
// the volume makes no links, every file is a copy of its own; the log is
// the same byte for byte as with shared files.
TEST_F(SharedGenerations, WithoutLinksEveryFileIsACopyAndTheLogIsTheSame) {
  const auto three_runs = [this](bool share) {
    ClearDrives();
    WriteTree();
    std::string logs;
    for (int run = 1; run <= 3; ++run) {
      RunSharing(share);
      logs += LogText();
    }
    return logs;
  };
  const std::string shared_log = three_runs(true);
  ASSERT_EQ(IdOf(InGeneration("Father", "a.txt")).names, 3u);

  struct Case {
    const char* label;
    bool share;
    bool volume_without_links;
  };
  for (const Case& c : {Case{"switch off", false, false},
                        Case{"volume without links", true, true}}) {
    SCOPED_TRACE(c.label);
    if (c.volume_without_links) {
      platform_.FailCall(CallKind::kLinkOver, 1, kErrNotSupported,
                         FaultInjectingPlatform::Repeat::kFromThenOn);
    }
    EXPECT_EQ(three_runs(c.share), shared_log);
    for (const auto& [name, content] : kTree) {
      for (const char* generation : kGenerations) {
        const std::string path = InGeneration(generation, name);
        EXPECT_EQ(Read(path), content) << path;
        EXPECT_EQ(IdOf(path).names, 1u) << path;
      }
    }
  }
}

// A file whose version in Son differs in its stamp, or that is read-only,
// is copied; the others are shared.
TEST_F(SharedGenerations, OnlyFilesEqualInSizeStampAndAttributesAreShared) {
  WriteTree();
  RunSharing(true);
  // Son's version gets another stamp with the same size and content: not
  // the file the source holds by the engine's rule.
  Write("T:\\Backup\\Grandson\\a.txt", "alpha", Stamp(2019, 1, 1, 0, 0));
  ASSERT_EQ(Sys().SetAttributes("S:\\Data\\sub\\c.txt", kAttrReadOnly), kErrOk);
  RunSharing(true);  // one copy of each in Grandson; c.txt's copy read-only
  RunSharing(true);

  EXPECT_EQ(IdOf(InGeneration("Grandson", "a.txt")).names, 2u);  // with Son's
  EXPECT_EQ(IdOf(InGeneration("Father", "a.txt")).names, 1u);
  for (const char* generation : kGenerations) {
    EXPECT_EQ(IdOf(InGeneration(generation, "sub\\c.txt")).names, 1u) << generation;
  }
  ExpectSharedAndEqual("b.bin");
  Sys().SetAttributes("S:\\Data\\sub\\c.txt", 0);
  for (const char* generation : kGenerations) {
    Sys().SetAttributes(InGeneration(generation, "sub\\c.txt"), 0);
  }
}

}  // namespace
}  // namespace tolvex::runtest
