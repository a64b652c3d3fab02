// The progress dialogs of a real run on Windows (under Wine on a virtual
// display): CallUpdate shows the library's own dialogs, and a driver thread
// reads and clicks them while the run is held at a chosen platform call
// (testing/win32_dialog_driver.h). Each flow leaves PNG screenshots and the
// measured layout in <build>/artifacts.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "model/plan.h"
#include "resources/progress_ids.h"
#include "testing/holding_platform.h"
#include "testing/win32_dialog_driver.h"
#include "tests/plan_seeing_views.h"
#include "tests/run_fixture.h"

namespace tolvex::runtest {
namespace {

using Lines = std::vector<std::string>;

// One control of a template: its id (or its text, for the labels without
// one), its window class, its rectangle in dialog units, bold or not.
struct TemplateControl {
  int id;
  const char* label;
  const char* className;
  RECT units;  // x, y, width, height
  bool bold;
  LONG alignment;  // SS_LEFT / SS_RIGHT for texts, -1 for buttons
};

const TemplateControl kSearchTemplate[] = {
    {IDC_SEARCH_STATUS, nullptr, "Static", {4, 4, 264, 9}, true, SS_LEFT},
    {IDCANCEL, nullptr, "Button", {106, 34, 60, 16}, true, -1},
};

const TemplateControl kCopyTemplate[] = {
    {-1, "Copying", "Static", {8, 4, 60, 9}, false, SS_LEFT},
    {IDC_COPY_PATH, nullptr, "Static", {8, 17, 278, 9}, true, SS_LEFT},
    {IDC_COPY_SIZE, nullptr, "Static", {295, 17, 42, 9}, true, SS_RIGHT},
    {IDC_COPY_STAMP, nullptr, "Static", {340, 17, 76, 9}, true, SS_RIGHT},
    {-1, "to", "Static", {8, 30, 60, 9}, false, SS_LEFT},
    {IDC_COPY_TO_PATH, nullptr, "Static", {8, 43, 278, 9}, true, SS_LEFT},
    {IDC_COPY_TO_SIZE, nullptr, "Static", {295, 43, 42, 9}, true, SS_RIGHT},
    {IDC_COPY_TO_STAMP, nullptr, "Static", {340, 43, 76, 9}, true, SS_RIGHT},
    {IDC_INTERRUPT, nullptr, "Button", {170, 79, 80, 16}, true, -1},
};

std::string RectText(const RECT& r) {
  std::ostringstream text;
  text << "(" << r.left << ", " << r.top << ") " << (r.right - r.left) << " x "
       << (r.bottom - r.top);
  return text.str();
}

bool IsBold(HWND control) {
  DWORD_PTR font = 0;
  ::SendMessageTimeoutA(control, WM_GETFONT, 0, 0, SMTO_NORMAL, 5000, &font);
  LOGFONTA described = {};
  if (!font || !::GetObjectA(reinterpret_cast<HFONT>(font), sizeof described, &described)) {
    return false;
  }
  return described.lfWeight == FW_BOLD;
}

// Checks the dialog against its template and the pixel rectangle of its
// bar, and appends what it measured to <build>/artifacts/<name>.txt.
void ExpectLayout(HWND dialog, const std::string& name, const TemplateControl* controls,
                  size_t count, const RECT& dialog_units, const RECT& bar_pixels,
                  const char* bar_class) {
  std::ostringstream measured;
  RECT frame = {};
  ::GetWindowRect(dialog, &frame);
  const SIZE client = DialogDriver::ClientSize(dialog);
  const RECT expected_client = DialogDriver::TemplateRect(dialog, 0, 0, dialog_units.right,
                                                          dialog_units.bottom);
  measured << name << ": window " << RectText(frame) << ", client " << client.cx << " x "
           << client.cy << " (template " << dialog_units.right << " x " << dialog_units.bottom
           << " units)\n";
  EXPECT_EQ(client.cx, expected_client.right);
  EXPECT_EQ(client.cy, expected_client.bottom);
  const LONG style = ::GetWindowLongA(dialog, GWL_STYLE);
  EXPECT_TRUE(style & WS_CAPTION);
  EXPECT_FALSE(style & WS_SYSMENU) << "no system menu";
  // Centred on the screen (DS_CENTER), to a pixel.
  const int screen_x = ::GetSystemMetrics(SM_CXSCREEN);
  EXPECT_LE(std::abs((frame.left + frame.right) - screen_x), 2) << RectText(frame);

  for (size_t i = 0; i < count; ++i) {
    const TemplateControl& c = controls[i];
    HWND control = c.label ? ::FindWindowExA(dialog, nullptr, "Static", c.label)
                           : ::GetDlgItem(dialog, c.id);
    ASSERT_NE(control, nullptr) << (c.label ? c.label : std::to_string(c.id));
    const int id = ::GetDlgCtrlID(control);
    const ControlState state = DialogDriver::Control(dialog, id);
    RECT rect = {};
    ::GetWindowRect(control, &rect);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    const RECT expected = DialogDriver::TemplateRect(dialog, c.units.left, c.units.top,
                                                     c.units.right, c.units.bottom);
    const std::string what = c.label ? c.label : std::to_string(c.id);
    measured << "  " << what << " " << c.className << ": " << RectText(rect) << " px (units "
             << c.units.left << ", " << c.units.top << ", " << c.units.right << ", "
             << c.units.bottom << ")" << (IsBold(control) ? " bold" : "") << "\n";
    EXPECT_TRUE(::EqualRect(&rect, &expected)) << what << ": " << RectText(rect) << " vs "
                                                << RectText(expected);
    EXPECT_EQ(state.className, c.className) << what;
    EXPECT_TRUE(state.visible) << what;
    EXPECT_EQ(IsBold(control), c.bold) << what;
    if (c.alignment >= 0) {
      EXPECT_EQ(state.style & SS_TYPEMASK, c.alignment) << what;
    } else {
      EXPECT_EQ(state.style & BS_TYPEMASK, BS_OWNERDRAW) << what << ": a glyph button";
    }
  }
  const ControlState bar = DialogDriver::Control(dialog, IDC_PROGRESS_BAR);
  measured << "  2002 " << bar.className << ": " << RectText(bar.rect) << " px\n";
  EXPECT_EQ(bar.className, bar_class);
  EXPECT_TRUE(::EqualRect(&bar.rect, &bar_pixels)) << RectText(bar.rect);

  std::ofstream out(ArtifactPath(name + ".txt"), std::ios::trunc);
  out << measured.str();
}

// The run's job on drives S: and T:, with a driver thread beside it.
class ProgressDialogs : public RunTest {
 protected:
  ProgressDialogs() : hold_(&DefaultPlatform()) {
    // The library's own views and the real pump step, held where asked.
    SetRunUi(&views_);
    SetSys(&hold_);
    job_.fileIncludes = {"*.txt"};
  }
  ~ProgressDialogs() override {
    if (driver_.joinable()) driver_.join();
  }

  // At the first call that `match` accepts, holds the run and lets the
  // driver thread run `act`.
  void HoldAt(HoldingPlatform::Match match, std::function<void()> act) {
    acts_.push_back(std::move(act));
    hold_.HoldAt(std::move(match), [this](const PlatformCall&) { run_hold_.HoldHere(); });
  }

  // Runs CallUpdate; the driver thread performs the acts, one per hold.
  int RunWithDriver(TCopyErrorProc copy_error = RecordCopyError) {
    driver_ = std::thread([this] {
      for (const std::function<void()>& act : acts_) {
        if (!run_hold_.WaitUntilHeld()) {
          ADD_FAILURE() << "the run never reached a hold";
          return;
        }
        act();
        run_hold_.Release();
      }
    });
    ApplyJob(job_);
    const int result = CallUpdate(RecordNotify, RecordConfirm, copy_error, RecordMakeDir);
    driver_.join();
    EXPECT_TRUE(hold_.AllFired());
    EXPECT_TRUE(DialogDriver::ProcessDialogs().empty()) << "every dialog is gone after the run";
    return result;
  }

  static bool Pattern(const PlatformCall& call, const char* ending) {
    return call.kind == CallKind::kFind && call.path.size() >= std::strlen(ending) &&
           call.path.compare(call.path.size() - std::strlen(ending), std::string::npos, ending) == 0;
  }

  PlanSeeingViews views_;
  HoldingPlatform hold_;
  RunHold run_hold_;
  std::vector<std::function<void()>> acts_;
  std::thread driver_;
};

TEST_F(ProgressDialogs, CancelWhileSearchingForFilesCopiesAndErasesNothing) {
  Write("S:\\Data\\a.txt", "a", kNew);
  Write("S:\\Data\\Docs\\b.txt", "b", kNew);
  Write("T:\\Backup\\Data\\x.txt", "x", kOld);  // an orphan that would be erased
  job_.orphanModeD2 = 2;

  std::string caption, status;
  std::pair<int, int> range;
  int position = -1;
  bool clicked = false, gone = false;
  HoldAt([](const PlatformCall& call) { return Pattern(call, "\\*.txt"); }, [&] {
    HWND dialog = DialogDriver::FindDialogWithItem(IDC_SEARCH_STATUS);
    ASSERT_NE(dialog, nullptr);
    caption = DialogDriver::WindowText(dialog);
    status = DialogDriver::Control(dialog, IDC_SEARCH_STATUS).text;
    HWND bar = ::GetDlgItem(dialog, IDC_PROGRESS_BAR);
    range = DialogDriver::ProgressRange(bar);
    position = DialogDriver::ProgressPosition(bar);
    ExpectLayout(dialog, "search_files", kSearchTemplate, std::size(kSearchTemplate),
                 {0, 0, 272, 54}, {7, 28, 401, 44}, "msctls_progress32");
    EXPECT_TRUE(DialogDriver::SaveScreenshot(dialog, ArtifactPath("search_files.png")));
    clicked = DialogDriver::Click(dialog, IDCANCEL);
    gone = !::IsWindow(dialog);
  });

  EXPECT_EQ(RunWithDriver(), 0);

  EXPECT_EQ(caption, "Tolvex 3.0 - Job.tvx");
  EXPECT_EQ(status, "Searching for files...");
  // dirList holds S:\Data, S:\Data\Docs and T:\Backup\Data (the twin of
  // the first); the run is held at the first folder.
  EXPECT_EQ(range.first, 0);
  EXPECT_GE(range.second, 3);
  EXPECT_EQ(position, 1);
  EXPECT_TRUE(clicked);
  EXPECT_TRUE(gone) << "Cancel closes the dialog at once";
  EXPECT_EQ(LogBody(), Lines{"Aborted by user."});
  EXPECT_FALSE(Exists("T:\\Backup\\Data\\a.txt"));
  EXPECT_TRUE(Exists("T:\\Backup\\Data\\x.txt"));
}

TEST_F(ProgressDialogs, CancelWhileErasingKeepsWhatWasErasedAndEndsTheRun) {
  Write("S:\\Data\\a.txt", "a", kNew);
  Write("T:\\Backup\\Data\\x.txt", "x", kOld);
  Write("T:\\Backup\\Data\\y.txt", "y", kOld);
  job_.orphanModeD2 = 2;
  job_.deleteDestDirs = 1;

  std::string status;
  std::pair<int, int> range;
  HoldAt([](const PlatformCall& call) { return call.kind == CallKind::kRemoveFile; }, [&] {
    HWND dialog = DialogDriver::FindDialogWithItem(IDC_SEARCH_STATUS);
    ASSERT_NE(dialog, nullptr);
    status = DialogDriver::Control(dialog, IDC_SEARCH_STATUS).text;
    range = DialogDriver::ProgressRange(::GetDlgItem(dialog, IDC_PROGRESS_BAR));
    ExpectLayout(dialog, "erasing_files", kSearchTemplate, std::size(kSearchTemplate),
                 {0, 0, 272, 54}, {7, 28, 401, 44}, "msctls_progress32");
    EXPECT_TRUE(DialogDriver::SaveScreenshot(dialog, ArtifactPath("erasing_files.png")));
    EXPECT_TRUE(DialogDriver::Click(dialog, IDCANCEL));
  });

  EXPECT_EQ(RunWithDriver(), 0);

  EXPECT_EQ(status, "Erasing files...");
  EXPECT_EQ(range, (std::pair<int, int>{0, 3}));  // a, x, y
  // The held deletion (y.txt, the last candidate) completes; then the run
  // stops: x.txt stays, nothing is copied, no folder is removed.
  EXPECT_EQ(LogBody(), (Lines{"File erased: T:\\Backup\\Data\\y.txt", "Aborted by user."}));
  EXPECT_FALSE(Exists("T:\\Backup\\Data\\y.txt"));
  EXPECT_TRUE(Exists("T:\\Backup\\Data\\x.txt"));
  EXPECT_FALSE(Exists("T:\\Backup\\Data\\a.txt"));
}

// What the copy dialog shows at one moment.
struct CopyDialogSeen {
  std::string caption;
  std::string fields[6];
  std::string percent;
  int position = -1;
  bool interruptEnabled = false;
};

CopyDialogSeen SeeCopyDialog(HWND dialog) {
  CopyDialogSeen seen;
  seen.caption = DialogDriver::WindowText(dialog);
  const int ids[6] = {IDC_COPY_PATH, IDC_COPY_SIZE, IDC_COPY_STAMP,
                      IDC_COPY_TO_PATH, IDC_COPY_TO_SIZE, IDC_COPY_TO_STAMP};
  for (int i = 0; i < 6; ++i) seen.fields[i] = DialogDriver::Control(dialog, ids[i]).text;
  const ControlState bar = DialogDriver::Control(dialog, IDC_PROGRESS_BAR);
  seen.percent = bar.text;
  seen.position = DialogDriver::ProgressPosition(::GetDlgItem(dialog, IDC_PROGRESS_BAR));
  seen.interruptEnabled = DialogDriver::Control(dialog, IDC_INTERRUPT).enabled;
  return seen;
}

// The Interrupt button's state while the front end answers the interruption.
bool interrupt_enabled_during_question = true;

int TOLVEX_CALLBACK CheckButtonThenRecord(const char* path, const char* counter_path, uint32_t size,
                                          uint32_t counter_size, uint32_t stamp,
                                          uint32_t counter_stamp, uint32_t error) {
  HWND dialog = DialogDriver::FindDialogWithItem(IDC_COPY_PATH);
  interrupt_enabled_during_question =
      dialog && ::IsWindowEnabled(::GetDlgItem(dialog, IDC_INTERRUPT));
  return RecordCopyError(path, counter_path, size, counter_size, stamp, counter_stamp, error);
}

TEST_F(ProgressDialogs, InterruptLetsTheCopyFinishAndTurnsTheNextIntoAQuestion) {
  // By name: a.txt (Interrupt pressed while it is copied), b.txt (the next
  // copy: interrupted, answered "skip"), c.txt (copied; the button is
  // enabled again by then).
  Write("S:\\Data\\a.txt", std::string(600, 'a'), kNew);
  Write("S:\\Data\\b.txt", std::string(300, 'b'), kNew);
  Write("S:\\Data\\c.txt", std::string(100, 'c'), kNew);
  Write("T:\\Backup\\Data\\c.txt", "old c", kOld);
  Recorder().copyErrorAnswers.Push({20});

  CopyDialogSeen first, after_click, third;
  bool clicked = false;
  HoldAt([](const PlatformCall& call) { return call.kind == CallKind::kCopyOver; }, [&] {
    HWND dialog = DialogDriver::FindDialogWithItem(IDC_COPY_PATH);
    ASSERT_NE(dialog, nullptr);
    first = SeeCopyDialog(dialog);
    ExpectLayout(dialog, "copy_interrupt", kCopyTemplate, std::size(kCopyTemplate),
                 {0, 0, 424, 100}, {12, 95, 624, 117}, "TolvexPercentBar");
    EXPECT_TRUE(DialogDriver::SaveScreenshot(dialog, ArtifactPath("copy_first_file.png")));
    clicked = DialogDriver::Click(dialog, IDC_INTERRUPT);
    after_click = SeeCopyDialog(dialog);
    EXPECT_TRUE(DialogDriver::SaveScreenshot(dialog, ArtifactPath("copy_interrupt_pending.png")));
  });
  HoldAt([](const PlatformCall& call) { return call.kind == CallKind::kCopyOver; }, [&] {
    HWND dialog = DialogDriver::FindDialogWithItem(IDC_COPY_PATH);
    ASSERT_NE(dialog, nullptr);
    third = SeeCopyDialog(dialog);
    EXPECT_TRUE(DialogDriver::SaveScreenshot(dialog, ArtifactPath("copy_enabled_again.png")));
  });

  EXPECT_EQ(RunWithDriver(CheckButtonThenRecord), 1);

  const std::string stamp_new = "03.14.99 10:22:40";
  EXPECT_EQ(first.caption, "Tolvex 3.0 - Job.tvx");
  EXPECT_EQ(first.fields[0], "S:\\Data\\a.txt");
  EXPECT_EQ(first.fields[1], "      600");
  EXPECT_EQ(first.fields[2], stamp_new);
  EXPECT_EQ(first.fields[3], "T:\\Backup\\Data\\a.txt");
  EXPECT_EQ(first.fields[4], "") << "no target yet";
  EXPECT_EQ(first.fields[5], "");
  EXPECT_EQ(first.percent, "0%");
  EXPECT_TRUE(first.interruptEnabled);
  EXPECT_TRUE(clicked);
  EXPECT_FALSE(after_click.interruptEnabled) << "disabled while the request is pending";
  EXPECT_TRUE(views_.interruptRequestAtCopyEnd == false);

  ASSERT_EQ(Recorder().copyErrors.size(), 1u);
  EXPECT_EQ(Recorder().copyErrors[0].path, "S:\\Data\\b.txt");
  EXPECT_EQ(Recorder().copyErrors[0].value, kInterrupted);
  EXPECT_FALSE(interrupt_enabled_during_question);

  EXPECT_EQ(third.fields[0], "S:\\Data\\c.txt");
  EXPECT_EQ(third.fields[4], "        5") << "the existing target's size";
  EXPECT_EQ(third.fields[5], "03.10.99 17:05:12");
  EXPECT_TRUE(third.interruptEnabled) << "enabled again after the answer";
  // 600 of 1000 bytes copied.
  EXPECT_EQ(third.position, 60);
  EXPECT_EQ(third.percent, "60%");

  EXPECT_EQ(LogBody(), (Lines{"File copied: S:\\Data\\a.txt", "to: T:\\Backup\\Data\\a.txt",
                              "Error at copying: S:\\Data\\b.txt", "to: T:\\Backup\\Data\\b.txt",
                              "File skipped: S:\\Data\\b.txt", "and: T:\\Backup\\Data\\b.txt",
                              "File copied: S:\\Data\\c.txt", "to: T:\\Backup\\Data\\c.txt"}));
  EXPECT_FALSE(Exists("T:\\Backup\\Data\\b.txt"));
  EXPECT_EQ(Read("T:\\Backup\\Data\\c.txt"), std::string(100, 'c'));
}

}  // namespace
}  // namespace tolvex::runtest
