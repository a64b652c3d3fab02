// The erase limit's warning on Windows, driven in the real dialogs: the
// overview dialog has no room for the warning line of the terminal
// overview, so a message box asks first (Yes: on to the overview, whose OK
// then runs the plan all the same; No: the run stops), and asks again at OK
// when the marks made the plan go over the limit. The front end here
// answers the plan's end as the tolvex command does: it stops a plan over
// the limit unless the overview confirmed it.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <thread>

#include "include/tolvex32.h"
#include "resources/overview_ids.h"
#include "tests/overview_dialog_driver.h"

namespace tolvex::runtest {
namespace {

// The static text of a message box.
constexpr int kMessageText = 0xFFFF;

int TOLVEX_CALLBACK AnswerLikeTheCommand(const TolvexItem* item) {
  RecordPlanItem(item);
  if (item->kind != TOLVEX_ITEM_END) return TOLVEX_PLAN_GO;
  const bool over = item->reason == TOLVEX_REASON_ERASE_LIMIT;
  return !over || (item->state & TOLVEX_PLAN_CONFIRMED) ? TOLVEX_PLAN_GO : TOLVEX_PLAN_STOP;
}

// A message box with Yes and No of this process; null after 30 s.
HWND WaitForQuestion() {
  for (int i = 0; i < 3000; ++i) {
    HWND box = DialogDriver::FindDialogWithItem(IDNO);
    if (box && ::GetDlgItem(box, IDYES)) return box;
    ::Sleep(10);
  }
  return nullptr;
}

struct Question {
  bool shown = false;
  std::string caption, text;
};

// Reads the question and answers it; a picture of it in the artifacts.
Question Answer(HWND box, int answer) {
  Question question;
  if (!box) return question;
  question.shown = true;
  EXPECT_TRUE(DialogDriver::SaveScreenshot(box, ArtifactPath("overview_erase_limit_question.png")));
  question.caption = DialogDriver::WindowText(box);
  // (Wine's message box shows each line end as CR LF.)
  for (char c : DialogDriver::Control(box, kMessageText).text) {
    if (c != '\r') question.text += c;
  }
  DialogDriver::Click(box, answer);
  return question;
}

class OverviewWarning : public OverviewDialog {
 protected:
  OverviewWarning() {
    job_.displayMode = 2;
    job_.sortMode = 1;
    SetEraseLimit(10, 50);
    SetPlanProc(AnswerLikeTheCommand);
  }
  ~OverviewWarning() override {
    SetEraseLimit(-1, 0);
    SetPlanProc(nullptr);
  }

  // The source folder is empty: the plan erases the whole backup.
  void MakeBackupOfAnEmptySource() const {
    drives_.MakeDirs("S:\\Data");
    for (int i = 0; i < 20; ++i) {
      Write("T:\\Backup\\Data\\file" + std::to_string(i) + ".txt", "backup", kOld);
    }
  }

  int BackupFiles() const { return static_cast<int>(NativeNames("T:\\Backup\\Data").size()); }

  // The run with a driver that answers the question before the overview
  // with `answer` and, after Yes, acts in the overview.
  int RunAnswering(int answer, Question* question, const std::function<void(Overview&)>& act) {
    bool overview_shown = false;
    std::thread driver([&] {
      *question = Answer(WaitForQuestion(), answer);
      if (!question->shown) {
        // An overview shown without the question is cancelled, so that the
        // run ends and the test fails instead of waiting for ever.
        if (HWND dialog = DialogDriver::FindDialogWithItem(IDC_PLAN_LIST)) {
          DialogDriver::Click(dialog, IDCANCEL);
        }
        return;
      }
      if (answer != IDYES) return;
      if (HWND dialog = WaitForOverview()) {
        overview_shown = true;
        Overview overview(dialog, views_);
        act(overview);
      }
    });
    ApplyJob(job_);
    const int result = CallUpdate(RecordNotify, RecordConfirm, RecordCopyError, RecordMakeDir);
    driver.join();
    EXPECT_EQ(overview_shown, answer == IDYES);
    EXPECT_TRUE(DialogDriver::ProcessDialogs().empty()) << "every dialog is gone after the run";
    return result;
  }
};

TEST_F(OverviewWarning, NoStopsTheRunBeforeThePlanIsShown) {
  MakeBackupOfAnEmptySource();
  Question question;
  const int result = RunAnswering(IDNO, &question, nullptr);
  ASSERT_TRUE(question.shown) << "no question before the overview";
  EXPECT_EQ(question.caption, "Tolvex 3.0 - " + job_.filename);
  EXPECT_EQ(question.text,
            "The plan erases 20 of the 20 files in the destination tree (T:\\Backup\\), "
            "more than the erase limit (10 files and 50% of a side) allows. A disk that is not "
            "mounted, or a source folder emptied by mistake, looks like this.\n\nYes: show the "
            "plan; OK there runs it all the same.\nNo: stop the run before anything is erased "
            "or copied.");
  EXPECT_EQ(result, 0);
  EXPECT_EQ(LogBody(), Lines{"Aborted by user."});
  EXPECT_EQ(BackupFiles(), 20);
}

// Yes shows the plan; OK there runs it as the tolvex command's --force
// would, Cancel runs nothing.
TEST_F(OverviewWarning, YesShowsThePlanAndItsOkRunsItAllTheSame) {
  for (const bool ok : {false, true}) {
    SCOPED_TRACE(ok ? "OK" : "Cancel");
    MakeBackupOfAnEmptySource();
    Channels() = ChannelRecorder();
    Question question;
    const int result = RunAnswering(IDYES, &question, [&](Overview& o) {
      EXPECT_EQ(o.Entries().size(), 20u);
      if (ok) {
        EXPECT_TRUE(o.Shot("overview_after_the_erase_warning.png"));
      }
      o.Click(ok ? IDOK : IDCANCEL);
    });
    ASSERT_TRUE(question.shown);
    EXPECT_EQ(result, ok ? 1 : 0);
    EXPECT_EQ(BackupFiles(), ok ? 0 : 20);
    const std::vector<ChannelItem> end = ChannelRecorder::OfKind(Channels().plan, TOLVEX_ITEM_END);
    if (ok) {
      ASSERT_EQ(end.size(), 1u);
      EXPECT_EQ(end[0].reason, TOLVEX_REASON_ERASE_LIMIT);
      EXPECT_EQ(end[0].state, static_cast<uint32_t>(TOLVEX_PLAN_CONFIRMED));
    } else {
      EXPECT_TRUE(end.empty());
      EXPECT_EQ(LogBody(), Lines{"Aborted by user."});
    }
  }
}

// A plan under the limit asks nothing (the overview opens at once); marked
// over it in the overview, OK asks. No stops the run, Yes runs the plan as
// marked.
TEST_F(OverviewWarning, MarksThatGoOverTheLimitAreAskedAboutAtOk) {
  for (const int answer : {IDNO, IDYES}) {
    SCOPED_TRACE(answer == IDYES ? "Yes" : "No");
    for (int i = 0; i < 12; ++i) Write("S:\\Data\\new" + std::to_string(i) + ".txt", "n", kNew);
    Channels() = ChannelRecorder();
    Question question;
    const int result = RunWithDriver([&](Overview& o) {
      Lines all;
      for (int i = 0; i < 12; ++i) all.push_back("new" + std::to_string(i) + ".txt");
      o.Select(all);
      o.Click(IDC_ERASE);
      // OK waits in the question; the answer comes from here.
      std::thread answering([&] { question = Answer(WaitForQuestion(), answer); });
      o.Click(IDOK);
      answering.join();
    });
    ASSERT_TRUE(question.shown) << "OK asked nothing";
    EXPECT_EQ(question.text.rfind("The plan erases 12 of the 12 files in the source tree (S:\\Data\\), "
                                  "more than the erase limit",
                                  0),
              0u)
        << question.text;
    const int left = static_cast<int>(NativeNames("S:\\Data").size());
    EXPECT_EQ(result, answer == IDYES ? 1 : 0);
    EXPECT_EQ(left, answer == IDYES ? 0 : 12);
    EXPECT_FALSE(Exists("T:\\Backup\\Data\\new0.txt"));
  }
}

}  // namespace
}  // namespace tolvex::runtest
