// The terminal progress views of a real run: CallUpdate runs in a child
// process on a pseudo-terminal (testing/pty_terminal.h), held at chosen
// platform calls while the test reads the screen and types keys, as a user
// at the terminal would.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "library/run_views.h"
#include "model/plan.h"
#include "platform/copy_progress.h"
#include "testing/holding_platform.h"
#include "testing/pty_terminal.h"
#include "tests/run_fixture.h"

namespace tolvex::runtest {
namespace {

using Lines = std::vector<std::string>;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The front end's answer to a copy failure, printed on the terminal as a
// front end asking a question would.
int TOLVEX_CALLBACK PrintAndSkip(const char* path, const char*, uint32_t, uint32_t, uint32_t,
                                 uint32_t, uint32_t error) {
  std::printf("Copy failed: %s (error 0x%08X), skipped\n", path, error);
  std::fflush(stdout);
  return 20;
}

bool EndsWith(const std::string& text, const std::string& ending) {
  return text.size() >= ending.size() &&
         text.compare(text.size() - ending.size(), std::string::npos, ending) == 0;
}

// Copies whose every chunk takes `milliseconds` on a clock of its own, and
// the run held once, half-way through the first copy of a file larger than
// half a chunk: the view is seen mid-copy on any machine, at known times.
class TimedChunkPlatform final : public HoldingPlatform {
 public:
  TimedChunkPlatform(Platform* target, uint64_t milliseconds)
      : HoldingPlatform(target), milliseconds_(milliseconds) {}

  uint64_t TickMilliseconds() override { return ticks_; }
  // Wrappers forward staging, so the run may copy either way: both are timed.
  uint32_t CopyOver(const std::string& from, const std::string& to) override {
    return Timed([&] { return HoldingPlatform::CopyOver(from, to); });
  }
  StageResult StageCopy(const std::string& from, const std::string& to) override {
    return Timed([&] { return HoldingPlatform::StageCopy(from, to); });
  }

 private:
  template <typename Copy>
  auto Timed(Copy copy) -> decltype(copy()) {
    const CopyWatchScope watch([&](uint64_t done, uint64_t size) {
      ticks_ += milliseconds_;
      const bool go_on = !watch.previous() || watch.previous()(done, size);
      if (!held_ && done >= size / 2 && done < size) {
        held_ = true;
        HoldInChild();
      }
      return go_on;
    });
    return copy();
  }

  uint64_t milliseconds_;
  uint64_t ticks_ = 0;
  bool held_ = false;
};

class TerminalViews : public RunTest {
 protected:
  TerminalViews() {
    job_.fileIncludes = {"*.txt"};
    Write("S:\\Data\\a.txt", std::string(600, 'a'), kNew);
    Write("S:\\Data\\b.txt", std::string(300, 'b'), kNew);
    Write("S:\\Data\\c.txt", std::string(100, 'c'), kNew);
  }

  // Starts the run in the child, held at each call `holds` accepts in turn.
  void StartRun(std::vector<HoldingPlatform::Match> holds, bool quiet = false,
                bool stdin_terminal = true) {
    ASSERT_TRUE(terminal_->Start([this, holds, quiet, stdin_terminal] {
      if (!stdin_terminal) freopen("/dev/null", "r", stdin);
      HoldingPlatform hold(&DefaultPlatform());
      for (const HoldingPlatform::Match& match : holds) {
        hold.HoldAt(match, [](const PlatformCall&) { HoldInChild(); });
      }
      SetSys(&hold);
      SetRunUi(nullptr);  // the library's own views
      SetQuietViews(quiet);
      ApplyJob(job_);
      const int result = CallUpdate(RecordNotify, RecordConfirm, PrintAndSkip, RecordMakeDir);
      std::fflush(stdout);
      return result;
    }));
  }

  // The run's exit status, after checking that the terminal is itself again.
  int Finish() {
    const int status = terminal_->WaitForExit();
    EXPECT_FALSE(terminal_->AlternateScreen()) << terminal_->Screen();
    const termios modes = terminal_->Modes();
    EXPECT_TRUE(modes.c_lflag & ICANON) << "line mode restored";
    EXPECT_TRUE(modes.c_lflag & ECHO) << "echo restored";
    return status;
  }

  static bool FilePattern(const PlatformCall& call) {
    return call.kind == CallKind::kFind && EndsWith(call.path, "\\*.txt");
  }
  static bool Copy(const PlatformCall& call) { return call.kind == CallKind::kCopyOver; }

  std::unique_ptr<PtyTerminal> terminal_ = std::make_unique<PtyTerminal>(30, 100);
};

TEST_F(TerminalViews, CancelKeysWhileSearchingForFilesEndTheRunAndOtherKeysDoNot) {
  struct Case {
    const char* name;
    std::string keys;
    bool cancels;
  };
  const Case cases[] = {
      {"c", "c", true},
      {"lone Esc", "\x1b", true},
      {"arrow key (Esc [ A)", "\x1b[A", false},
      {"Alt+c (Esc c)", "\x1b" "c", false},
      {"other letter", "x", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(drives_.Native("T:\\Backup"));
    terminal_ = std::make_unique<PtyTerminal>(30, 100);
    Write("S:\\Data\\Docs\\d.txt", "d", kNew);
    // Held at the first folder's file pattern, then again at the next one.
    StartRun({&FilePattern, &FilePattern});

    ASSERT_TRUE(terminal_->WaitForHold());
    const std::string screen = terminal_->Screen();
    EXPECT_TRUE(terminal_->AlternateScreen());
    EXPECT_TRUE(Contains(screen, "Tolvex 3.0 - Job.tvx")) << screen;
    EXPECT_TRUE(Contains(screen, "Searching for files...")) << screen;
    EXPECT_TRUE(Contains(screen, "[ Cancel ]  c or Esc")) << screen;
    EXPECT_TRUE(Contains(screen, "[#")) << "the first of the folders is searched: " << screen;
    terminal_->Resume(c.keys);

    if (c.cancels) {
      const int status = Finish();
      ASSERT_TRUE(WIFEXITED(status)) << status;
      EXPECT_EQ(WEXITSTATUS(status), 0) << "CallUpdate gives 0 after Cancel";
      EXPECT_EQ(LogBody(), Lines{"Aborted by user."});
      EXPECT_FALSE(Exists("T:\\Backup\\Data\\a.txt"));
    } else {
      ASSERT_TRUE(terminal_->WaitForHold()) << "the search goes on";
      EXPECT_TRUE(Contains(terminal_->Screen(), "Searching for files..."));
      terminal_->Resume();
      const int status = Finish();
      ASSERT_TRUE(WIFEXITED(status)) << status;
      EXPECT_EQ(WEXITSTATUS(status), 1);
      EXPECT_EQ(Read("T:\\Backup\\Data\\c.txt"), std::string(100, 'c'));
    }
  }
}

TEST_F(TerminalViews, CancelWhileErasingKeepsWhatWasErased) {
  Write("T:\\Backup\\Data\\x.txt", "x", kOld);
  Write("T:\\Backup\\Data\\y.txt", "y", kOld);
  job_.orphanModeD2 = 2;
  job_.deleteDestDirs = 1;
  StartRun({[](const PlatformCall& call) { return call.kind == CallKind::kRemoveFile; }});

  ASSERT_TRUE(terminal_->WaitForHold());
  EXPECT_TRUE(Contains(terminal_->Screen(), "Erasing files...")) << terminal_->Screen();
  terminal_->Resume("c");

  const int status = Finish();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(LogBody(), (Lines{"File erased: T:\\Backup\\Data\\y.txt", "Aborted by user."}));
  EXPECT_TRUE(Exists("T:\\Backup\\Data\\x.txt"));
  EXPECT_FALSE(Exists("T:\\Backup\\Data\\a.txt"));
}

TEST_F(TerminalViews, InterruptLetsTheCopyFinishAndTheFrontEndsQuestionStaysReadable) {
  Write("T:\\Backup\\Data\\c.txt", "old c", kOld);
  StartRun({&Copy, &Copy});

  ASSERT_TRUE(terminal_->WaitForHold());
  const std::string first = terminal_->Screen();
  EXPECT_TRUE(Contains(first, "Copying")) << first;
  EXPECT_TRUE(Contains(first, "S:\\Data\\a.txt")) << first;
  EXPECT_TRUE(Contains(first, "600  03.14.99 10:22:40")) << first;
  EXPECT_TRUE(Contains(first, "T:\\Backup\\Data\\a.txt")) << first;
  EXPECT_TRUE(Contains(first, " 0% ")) << first;
  EXPECT_TRUE(Contains(first, "[ Interrupt ]  i")) << first;
  EXPECT_FALSE(Contains(first, "Cancel")) << "the copy has no Cancel";
  terminal_->Resume("i");

  // c.txt: the view is back after the front end's question about b.txt,
  // with the button usable again and 600 of 1000 bytes done.
  ASSERT_TRUE(terminal_->WaitForHold());
  const std::string third = terminal_->Screen();
  EXPECT_TRUE(terminal_->AlternateScreen());
  EXPECT_TRUE(Contains(third, "S:\\Data\\c.txt")) << third;
  EXPECT_TRUE(Contains(third, "5  03.10.99 17:05:12")) << "the existing target: " << third;
  EXPECT_TRUE(Contains(third, " 60% ")) << third;
  EXPECT_TRUE(Contains(third, "[ Interrupt ]  i")) << third;
  terminal_->Resume();

  const int status = Finish();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  // The question was printed while the view was away: whole, on its own line.
  const std::string screen = terminal_->Screen();
  EXPECT_TRUE(Contains(screen, "Copy failed: S:\\Data\\b.txt (error 0x20000000), skipped\n"))
      << screen;
  EXPECT_EQ(LogBody(), (Lines{"File copied: S:\\Data\\a.txt", "to: T:\\Backup\\Data\\a.txt",
                              "Error at copying: S:\\Data\\b.txt", "to: T:\\Backup\\Data\\b.txt",
                              "File skipped: S:\\Data\\b.txt", "and: T:\\Backup\\Data\\b.txt",
                              "File copied: S:\\Data\\c.txt", "to: T:\\Backup\\Data\\c.txt"}));
}

// A large file mid-copy: the bar, the bytes of the whole run with the rate
// and the time left, and how far the file is; a file's chunks are drawn at
// most every 250 ms. The log is as ever. The run copies a.txt and b.txt
// (one chunk each: two reports), then big.txt in 8 MiB chunks, held at its
// report of 24 MiB.
TEST_F(TerminalViews, ALargeFileMidCopyShowsTheBytesTheRateTheTimeLeftAndItsOwnProgress) {
  struct Case {
    const char* name;
    uint64_t milliseconds;  // a chunk
    const char* percent;
    const char* bytes;
    const char* file;
    bool rate;  // the rate and time left shown
  };
  const Case cases[] = {
      {"a second a chunk: every report drawn", 1000, " 60% ",
       "24.0 MiB of 40.0 MiB   3.4 MiB/s   0:05 left", "This file: 60% of 40.0 MiB", true},
      // Reports at 100, 200, ... ms: drawn at 100, 400 and 700 (16 MiB),
      // not at 800 (24 MiB); no rate before a second has passed.
      {"100 ms a chunk: drawn every 250 ms at most", 100, " 40% ", "16.0 MiB of 40.0 MiB",
       "This file: 40% of 40.0 MiB", false},
  };
  Write("S:\\Data\\big.txt", std::string(size_t{40} << 20, 'g'), kNew);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(drives_.Native("T:\\Backup"));
    std::filesystem::remove(drives_.Native(job_.logFile));
    terminal_ = std::make_unique<PtyTerminal>(30, 100);
    ASSERT_TRUE(terminal_->Start([this, &c] {
      TimedChunkPlatform platform(&DefaultPlatform(), c.milliseconds);
      SetSys(&platform);
      SetRunUi(nullptr);
      SetQuietViews(false);
      ApplyJob(job_);
      const int result = CallUpdate(RecordNotify, RecordConfirm, PrintAndSkip, RecordMakeDir);
      std::fflush(stdout);
      return result;
    }));

    ASSERT_TRUE(terminal_->WaitForHold());
    const std::string screen = terminal_->Screen();
    EXPECT_TRUE(Contains(screen, "S:\\Data\\big.txt")) << screen;
    EXPECT_TRUE(Contains(screen, c.percent)) << screen;
    EXPECT_TRUE(Contains(screen, c.bytes)) << screen;
    EXPECT_TRUE(Contains(screen, c.file)) << screen;
    EXPECT_EQ(Contains(screen, "/s   "), c.rate) << screen;
    EXPECT_EQ(Contains(screen, " left"), c.rate) << screen;
    EXPECT_TRUE(Contains(screen, "[ Interrupt ]  i")) << screen;
    terminal_->Resume();

    const int status = Finish();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(LogBody(), (Lines{"File copied: S:\\Data\\a.txt", "to: T:\\Backup\\Data\\a.txt",
                                "File copied: S:\\Data\\b.txt", "to: T:\\Backup\\Data\\b.txt",
                                "File copied: S:\\Data\\big.txt", "to: T:\\Backup\\Data\\big.txt",
                                "File copied: S:\\Data\\c.txt", "to: T:\\Backup\\Data\\c.txt"}));
    EXPECT_EQ(Read("T:\\Backup\\Data\\big.txt").size(), size_t{40} << 20);
  }
}

TEST_F(TerminalViews, CtrlCEndsTheProcessWithTheTerminalRestored) {
  StartRun({&Copy});
  ASSERT_TRUE(terminal_->WaitForHold());
  EXPECT_TRUE(terminal_->AlternateScreen());
  // Ctrl-C reaches the held child as SIGINT; nothing lets it go on.
  terminal_->Type("\x03");

  const int status = Finish();
  ASSERT_TRUE(WIFSIGNALED(status)) << "the signal's own default, not an exit status: " << status;
  EXPECT_EQ(WTERMSIG(status), SIGINT);
}

TEST_F(TerminalViews, SilentWithoutATerminalOnStandardInputOrWhenQuietIsAsked) {
  struct Case {
    const char* name;
    bool quiet;
    bool stdinTerminal;
  };
  for (const Case& c : {Case{"input from /dev/null", false, false}, Case{"quiet", true, true}}) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(drives_.Native("T:\\Backup"));
    terminal_ = std::make_unique<PtyTerminal>(30, 100);
    StartRun({}, c.quiet, c.stdinTerminal);
    const int status = Finish();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(terminal_->Output(), "") << "nothing drawn";
    EXPECT_EQ(Read("T:\\Backup\\Data\\a.txt"), std::string(600, 'a'));
  }
}

}  // namespace
}  // namespace tolvex::runtest
