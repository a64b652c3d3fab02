#include "ui/overview/terminal/terminal_overview.h"

#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <fcntl.h>
#include <string>

#include "model/ordering.h"
#include "model/parameters.h"
#include "model/plan.h"
#include "testing/pty_terminal.h"
#include "ui/overview/overview_controls.h"
#include "ui/terminal/terminal_session.h"

namespace tolvex::overview {
namespace {

using Pty = PtyTerminal;

// The child's exit status from a wait status.
int ExitStatus(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

// The plan the child process reviews (its own copy of the lists), by folder:
//   0 a.txt    Normal, with counterpart
//   1 b.txt    Normal, without
//   2 c.txt    Normal, with counterpart
//   3 d.txt    Normal, in a folder whose path does not fit 80 columns
void MakePlan(Plan& plan, TParameters& job) {
  job.DisplayMode = kCompactView;
  plan.SourceDrive = 'S';
  plan.DestinationDrive = 'T';
  job.DateSeparator = '/';
  job.TimeSeparator = ':';
  job.BlockColor1 = 0xFFFFFF;
  job.BlockColor2 = 0xE8E8E8;
  plan.dirList = {STRING("S:\\Data\\"),
                  STRING("S:\\Data\\Projects\\Quarterly reports\\Archive\\2019\\Final versions\\")};
  plan.counterpartList = {
      STRING("T:\\Backup\\", 1),
      STRING("T:\\Backup\\Projects\\Quarterly reports\\Archive\\2019\\Final versions\\", 1)};
  const uint32_t stamp = (19u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u;
  plan.candidates = {CANDIDATE("a", ".txt", 0, 10, 5, stamp, stamp, 0, 0, STATE_NORMAL),
                     CANDIDATE("b", ".txt", 0, 20, 0, stamp, 0, 0, 0, STATE_NORMAL),
                     CANDIDATE("c", ".txt", 0, 30, 7, stamp, stamp, 0, 0, STATE_NORMAL),
                     CANDIDATE("d", ".txt", 1, 40, 9, stamp, stamp, 0, 0, STATE_NORMAL)};
  OrderAndGroup(job, plan);
}

// One letter per candidate: N, I, E or T.
std::string ActionLetters(const Plan& plan) {
  std::string letters;
  for (const CANDIDATE& c : plan.candidates) {
    switch (c.state & STATE_ACTION) {
      case STATE_NORMAL: letters += 'N'; break;
      case STATE_IGNORE: letters += 'I'; break;
      case STATE_ERASE: letters += 'E'; break;
      case STATE_INVERT: letters += 'T'; break;
      default: letters += '?'; break;
    }
  }
  return letters;
}

// The terminal's line discipline flags, to see that they come back.
std::string TerminalModes() {
  const int tty = open("/dev/tty", O_RDONLY | O_CLOEXEC);
  termios modes{};
  if (tty < 0 || tcgetattr(tty, &modes) != 0) return "none";
  close(tty);
  return std::to_string(modes.c_lflag) + "/" + std::to_string(modes.c_iflag) + "/" +
         std::to_string(modes.c_oflag);
}

// The child: reviews the plan on a terminal session as a run does, then
// reports on its (restored) terminal what the overview left behind. Exit
// status: 1 confirmed, 0 cancelled, 3 no session.
int ReviewPlan() {
  Plan plan;
  TParameters job;
  MakePlan(plan, job);
  const std::string modes_before = TerminalModes();
  bool confirmed = false;
  {
    std::unique_ptr<TerminalSession> session = TerminalSession::Open();
    if (!session) return 3;
    OverviewRequest request{plan, job, {}, {}};
    request.eraseWarningLine = [&plan] {
      int erases = 0;
      for (const CANDIDATE& c : plan.candidates) erases += (c.state & STATE_ERASE) ? 1 : 0;
      return erases >= 2 ? "The plan erases " + std::to_string(erases) + " files." : std::string();
    };
    confirmed = RunTerminalOverview(*session, request).confirmed;
  }
  std::printf("\r\nRESULT actions=%s aborted=%d view=%d restored=%d\r\n",
              ActionLetters(plan).c_str(), plan.Aborted ? 1 : 0, job.DisplayMode,
              TerminalModes() == modes_before ? 1 : 0);
  std::fflush(stdout);
  return confirmed ? 1 : 0;
}

TEST(TerminalOverview, APersonChangesThePlanWithKeysAndConfirmsIt) {
  Pty terminal(24, 80);
  ASSERT_TRUE(terminal.Start(ReviewPlan));
  ASSERT_TRUE(terminal.WaitForScreen("h Help")) << terminal.Screen();
  // The statistics line and the compact rows as drawn.
  EXPECT_EQ(terminal.Row(1).substr(0, 10), "> 4 / 1   ") << terminal.Screen();
  EXPECT_EQ(terminal.Row(2).substr(0, 16), ">  S:\\Data\\a.txt") << terminal.Screen();
  // b and c selected (Down, Shift-Down) and marked Erase, which the plan
  // did not hold: asked once more, with every file the erase takes (c's
  // counterpart too); n leaves both as they were.
  terminal.Type(std::string(Pty::kDown) + Pty::kShiftDown + "e");
  ASSERT_TRUE(terminal.WaitForScreen("y  erase them")) << terminal.Screen();
  const std::string question = terminal.Screen();
  EXPECT_NE(question.find("the SOURCE file S:\\Data\\b.txt\n"), std::string::npos) << question;
  EXPECT_NE(question.find("the SOURCE file S:\\Data\\c.txt\n   the DESTINATION file T:\\Backup\\c.txt\n"),
            std::string::npos)
      << question;
  EXPECT_EQ(question.find("a.txt"), std::string::npos) << question;
  terminal.Type("n");
  ASSERT_TRUE(terminal.WaitForScreen("h Help")) << terminal.Screen();
  EXPECT_EQ(terminal.Row(3).substr(0, 3), ">  ") << terminal.Screen();
  // Again, and y: the warning line appears once two files are erased.
  terminal.Type("e");
  ASSERT_TRUE(terminal.WaitForScreen("y  erase them")) << terminal.Screen();
  terminal.Type("y");
  ASSERT_TRUE(terminal.WaitForScreen("! The plan erases 2 files.")) << terminal.Screen();
  EXPECT_EQ(terminal.Row(3).substr(0, 3), "x  ") << terminal.Screen();
  // a alone: Invert; the double click (Enter) on d: Ignore; c alone: back
  // to Normal; the detailed view; OK.
  terminal.Type(std::string(Pty::kHome) + "t" + Pty::kEnd + Pty::kEnter + Pty::kUp + "n" + "3");
  ASSERT_TRUE(terminal.WaitForScreen("c.txt\n")) << terminal.Screen();  // a name line of its own
  EXPECT_EQ(terminal.Screen().find("! The plan"), std::string::npos) << "the warning is gone";
  terminal.Type("k");
  EXPECT_EQ(ExitStatus(terminal.WaitForExit()), 1) << terminal.Output();
  EXPECT_NE(terminal.Output().find("RESULT actions=TENI aborted=0 view=1 restored=1"),
            std::string::npos)
      << terminal.Output();
  EXPECT_FALSE(terminal.AlternateScreen());
}

// Entries that are not next to each other, as the help says: Space adds
// the entry under the cursor, a move leaves it selected, Space adds the
// next one; the marks and the run take both.
TEST(TerminalOverview, SpaceAddsEntriesThatAreNotNextToEachOther) {
  Pty terminal(24, 80);
  ASSERT_TRUE(terminal.Start(ReviewPlan));
  ASSERT_TRUE(terminal.WaitForScreen("h Help")) << terminal.Screen();
  terminal.Type(std::string(Pty::kHome) + " " + Pty::kDown + Pty::kDown + " " + "o");
  ASSERT_TRUE(terminal.WaitForScreen("-  S:\\Data\\c.txt")) << terminal.Screen();
  EXPECT_EQ(terminal.Row(2).substr(0, 3), "-  ") << terminal.Screen();
  EXPECT_EQ(terminal.Row(3).substr(0, 3), ">  ") << terminal.Screen();
  terminal.Type("k");
  EXPECT_EQ(ExitStatus(terminal.WaitForExit()), 1) << terminal.Output();
  EXPECT_NE(terminal.Output().find("RESULT actions=ININ aborted=0"), std::string::npos)
      << terminal.Output();
}

TEST(TerminalOverview, EscapeCancelsAndRestoresTheTerminal) {
  Pty terminal(24, 80);
  ASSERT_TRUE(terminal.Start(ReviewPlan));
  ASSERT_TRUE(terminal.WaitForScreen("h Help")) << terminal.Screen();
  // A lone Esc: no other byte follows it.
  terminal.Type(std::string(Pty::kDown) + "o" + "\x1b");
  EXPECT_EQ(ExitStatus(terminal.WaitForExit()), 0) << terminal.Output();
  // The change made before Cancel stays in the list; the run does not use it.
  EXPECT_NE(terminal.Output().find("RESULT actions=NINN aborted=1 view=2 restored=1"),
            std::string::npos)
      << terminal.Output();
  EXPECT_FALSE(terminal.AlternateScreen());
}

TEST(TerminalOverview, AResizedWindowIsDrawnAgainAtItsNewWidth) {
  Pty terminal(24, 80);
  ASSERT_TRUE(terminal.Start(ReviewPlan));
  ASSERT_TRUE(terminal.WaitForScreen("h Help")) << terminal.Screen();
  // At 80 columns the long folder is cut in its middle (the dots take the
  // two cells around the middle of the path column).
  EXPECT_EQ(terminal.Screen().find("Quarterly reports"), std::string::npos) << terminal.Screen();
  EXPECT_NE(terminal.Screen().find("Projects\\Quarte..019\\Final versions\\d.txt"), std::string::npos)
      << terminal.Screen();
  terminal.Resize(30, 120);
  EXPECT_TRUE(terminal.WaitForScreen("Quarterly reports")) << terminal.Screen();
  terminal.Type("c");
  EXPECT_EQ(ExitStatus(terminal.WaitForExit()), 0);
}

TEST(TerminalOverview, HelpShowsTheKeysAndAnyKeyReturns) {
  Pty terminal(30, 80);
  ASSERT_TRUE(terminal.Start(ReviewPlan));
  ASSERT_TRUE(terminal.WaitForScreen("h Help")) << terminal.Screen();
  terminal.Type("?");
  ASSERT_TRUE(terminal.WaitForScreen("Press any key to return.")) << terminal.Screen();
  EXPECT_NE(terminal.Screen().find("Cancel: run nothing"), std::string::npos);
  terminal.Type(" ");
  ASSERT_TRUE(terminal.WaitForScreen("h Help")) << terminal.Screen();
  terminal.Type("c");
  EXPECT_EQ(ExitStatus(terminal.WaitForExit()), 0);
}

}  // namespace
}  // namespace tolvex::overview
