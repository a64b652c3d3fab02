// Whole runs over trees a Linux user (or an attacker with write access to a
// backup) can make and Windows cannot: names with \ : * ? and control
// characters, invalid UTF-8, 255-byte names, very deep trees, links to
// folders above a drive's root, out of it and into a loop (copied as the
// links they are), and folders replaced by a file or a link between the
// scan and the copy. The run never leaves its drives, never enters a link,
// never touches another file than the one it names, and logs what it left
// out.
#ifndef _WIN32

#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/run_fixture.h"
#include "testing/test_volumes.h"

namespace tolvex::runtest {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

bool Has(const Lines& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class HostileNames : public RunTest {
 protected:
  std::string Native(const std::string& path) const { return drives_.Native(path); }
  void WriteNative(const std::string& path, const std::string& content) const {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << content;
  }
  void Link(const std::string& target, const std::string& link) const {
    ASSERT_EQ(symlink(target.c_str(), Native(link).c_str()), 0) << link;
  }
};

// The source here holds only Windows names (a FAT disk): elsewhere such
// names travel mapped (platform/posix/host_names.h).
TEST_F(HostileNames, OnlyNamesWindowsCanHoldAreCopiedLinksAreCopiedAsLinksAndAllIsReported) {
  const std::string data = Native("S:\\Data");
  const ScopedTestVolumes fat("windows-names=" + data);
  const Lines unusable = {"a\\b.txt", "c:d.txt", "e*f.txt", "g?h.txt", "ctl\x01.txt",
                          "new\nline.txt", "trail.", "dir:x"};
  for (const std::string& name : unusable) {
    WriteNative(data + "/" + (name == "dir:x" ? name + "/inner.txt" : name), "not copied");
  }
  Write("S:\\Data\\ok.txt", "ok", kNew);
  const std::string invalid_utf8 = "bad\xff\xfe.txt";
  WriteNative(data + "/" + invalid_utf8, "bytes, not characters");
  const std::string longest = std::string(251, 'n') + ".txt";  // 255 bytes
  WriteNative(data + "/" + longest, "long");
  std::string deep = "S:\\Data";
  for (int level = 0; level < 40; ++level) deep += "\\level" + std::to_string(level / 10) + std::to_string(level % 10);
  Write(deep + "\\bottom.txt", "deep", kNew);
  Write("T:\\Elsewhere\\secret.txt", "not this job's", kOld);
  Link("../../../../../../..", "S:\\Data\\up");  // above the drive's root
  Link(".", "S:\\Data\\loop");
  Link("/", "S:\\Data\\root");
  Link(Native("T:\\Elsewhere"), "S:\\Data\\out");
  Link("ok.txt", "S:\\Data\\same-as-ok.txt");

  ASSERT_EQ(Run(), 1);

  const Lines body = LogBody();
  for (const std::string& name : unusable) {
    // Control characters are written as '?' in the log.
    std::string shown = data + "/" + name;
    for (char& c : shown) c = static_cast<unsigned char>(c) < 0x20 ? '?' : c;
    EXPECT_TRUE(Has(body, "Unusable name: " + shown)) << shown;
  }
  // Each link is copied as the link it is, its text as written; none is
  // entered, and none is reported.
  const std::pair<const char*, std::string> links[] = {
      {"up", "../../../../../../.."}, {"loop", "."}, {"root", "/"},
      {"out", Native("T:\\Elsewhere")}, {"same-as-ok.txt", "ok.txt"}};
  for (const auto& [link, text] : links) {
    char buffer[4096];
    const ssize_t length =
        readlink(Native(std::string("T:\\Backup\\Data\\") + link).c_str(), buffer, sizeof buffer);
    EXPECT_EQ(length < 0 ? std::string() : std::string(buffer, static_cast<size_t>(length)), text)
        << link;
  }
  for (const std::string& line : body) EXPECT_EQ(line.find("Link not followed"), std::string::npos) << line;
  EXPECT_EQ(Read("T:\\Backup\\Data\\ok.txt"), "ok");
  EXPECT_EQ(Read("T:\\Backup\\Data\\" + invalid_utf8), "bytes, not characters");
  EXPECT_EQ(Read("T:\\Backup\\Data\\" + longest), "long");
  EXPECT_EQ(Read("T:\\Backup" + deep.substr(2) + "\\bottom.txt"), "deep");
  // Nothing else reached the backup: no hostile name, nothing from behind
  // a link.
  Lines names;
  for (const auto& entry : fs::directory_iterator(Native("T:\\Backup\\Data"))) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  Lines expected = {"level00", "loop", "ok.txt", "out", "root", "same-as-ok.txt", "up",
                    invalid_utf8, longest};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(names, expected);
  EXPECT_EQ(Read("T:\\Elsewhere\\secret.txt"), "not this job's");

  // The next run has nothing to do, and says again what it leaves out.
  ASSERT_EQ(Run(), 1);
  const Lines again = LogBody();
  EXPECT_TRUE(Has(again, "No files found."));
}

// Between the scan and the erase or the copy, a folder of the backup is
// replaced: by a link to a folder outside the drive (holding files of the
// same names), or by a file. The run neither erases nor writes through the
// link, nor touches the file; it says what failed.
TEST_F(HostileNames, AFolderReplacedAfterTheScanIsNeverWrittenThrough) {
  enum class Moment { kBeforeErase, kBeforeCopy, kBeforeFolderRemoval };
  struct Case {
    const char* name;
    Moment moment;
    bool by_link;
  };
  const Case cases[] = {
      {"link before the erase", Moment::kBeforeErase, true},
      {"link before the copy", Moment::kBeforeCopy, true},
      {"file before the copy", Moment::kBeforeCopy, false},
      {"link before the folder removal", Moment::kBeforeFolderRemoval, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(Native("S:\\Data"));
    fs::remove_all(Native("T:\\Backup"));
    fs::remove_all(Native("U:\\outside"));
    Write("S:\\Data\\Docs\\b.txt", "new b", kNew);
    Write("T:\\Backup\\Data\\Docs\\b.txt", "old b", kOld);
    Write("T:\\Backup\\Data\\Docs\\x.txt", "orphan x", kOld);
    drives_.MakeDirs("T:\\Backup\\Data\\Empty");
    Write("U:\\outside\\b.txt", "precious b", kOld);
    Write("U:\\outside\\x.txt", "precious x", kOld);
    job_.orphanModeD2 = TOLVEX_ORPHAN_ERASE;
    job_.deleteDestDirs = 1;
    const std::string swapped = c.moment == Moment::kBeforeFolderRemoval ? "T:\\Backup\\Data\\Empty"
                                                                          : "T:\\Backup\\Data\\Docs";
    bool done = false;
    const auto swap = [&] {
      if (done) return;
      done = true;
      fs::remove_all(Native(swapped));
      if (c.by_link) {
        fs::create_directory_symlink(Native("U:\\outside"), Native(swapped));
      } else {
        std::ofstream(Native(swapped)) << "a file now";
      }
    };
    platform_.beforeRemove = [&](const std::string& path) {
      if ((c.moment == Moment::kBeforeErase && path.find("x.txt") != std::string::npos) ||
          (c.moment == Moment::kBeforeFolderRemoval && path.find("Empty") != std::string::npos)) {
        swap();
      }
    };
    platform_.beforeCopy = [&](int, const std::string&, const std::string&) {
      if (c.moment == Moment::kBeforeCopy) swap();
    };

    ASSERT_EQ(Run(), 1);

    EXPECT_TRUE(done);
    EXPECT_EQ(Read("U:\\outside\\b.txt"), "precious b");
    EXPECT_EQ(Read("U:\\outside\\x.txt"), "precious x");
    EXPECT_TRUE(Exists("U:\\outside"));
    if (!c.by_link) {
      EXPECT_EQ(Read(swapped), "a file now");
    }
    const Lines body = LogBody();
    if (c.moment == Moment::kBeforeErase) {
      EXPECT_TRUE(Has(body, "Error at erasing: T:\\Backup\\Data\\Docs\\x.txt"));
    }
    if (c.moment == Moment::kBeforeCopy) {
      EXPECT_TRUE(Has(body, "Error at copying: S:\\Data\\Docs\\b.txt"));
    }
    if (c.moment == Moment::kBeforeFolderRemoval) {
      EXPECT_TRUE(Has(body, "Error at erasing: T:\\Backup\\Data\\Empty\\"));
    }
  }
}

}  // namespace
}  // namespace tolvex::runtest

#endif  // _WIN32
