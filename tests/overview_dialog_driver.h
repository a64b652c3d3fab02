// What a user sees of the overview dialog of a real run and does in it, for
// the tests that drive the library's own dialogs under Wine: CallUpdate
// runs on the test's main thread, a driver thread reads and clicks the
// dialog as a user at the screen would.
//
// The run thread sits in the dialog's modal loop while the driver acts;
// every message to the dialog is sent (SendMessageTimeout), so each click
// has been handled when the driver's next step begins.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "model/parameters.h"
#include "model/plan.h"
#include "resources/overview_ids.h"
#include "testing/shell_recording_platform.h"
#include "testing/win32_dialog_driver.h"
#include "tests/plan_seeing_views.h"
#include "tests/run_fixture.h"

namespace tolvex::runtest {

using Lines = std::vector<std::string>;

inline LRESULT Send(HWND window, UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
  DWORD_PTR result = 0;
  ::SendMessageTimeoutA(window, message, wparam, lparam, SMTO_NORMAL, 10000, &result);
  return static_cast<LRESULT>(result);
}

// Waits until the overview is on the screen (its list exists and the
// dialog is visible); null after 30 s.
inline HWND WaitForOverview() {
  for (int i = 0; i < 3000; ++i) {
    if (HWND dialog = DialogDriver::FindDialogWithItem(IDC_PLAN_LIST)) return dialog;
    ::Sleep(10);
  }
  return nullptr;
}

// What a user sees of the overview and does in it.
class Overview {
 public:
  // `views`: the library's views the run shows the overview through.
  Overview(HWND dialog, const PlanSeeingViews& views)
      : dialog_(dialog), list_(::GetDlgItem(dialog, IDC_PLAN_LIST)), views_(views) {}
  HWND dialog() const { return dialog_; }

  // The names the entries show: the candidates' names in the candidate
  // views, the groups' titles in the group view. (The run thread waits in
  // the dialog's loop meanwhile.)
  Lines Entries() const {
    Lines entries;
    const LRESULT count = Send(list_, LB_GETCOUNT);
    for (LRESULT i = 0; i < count; ++i) entries.push_back(NameOf(Record(static_cast<int>(i))));
    return entries;
  }
  int Record(int position) const {
    char text[32] = {};
    if (Send(list_, LB_GETTEXTLEN, position) >= static_cast<LRESULT>(sizeof text)) return -1;
    Send(list_, LB_GETTEXT, position, reinterpret_cast<LPARAM>(text));
    return std::atoi(text);
  }
  std::string NameOf(int record) const {
    const Plan& plan = views_.plan();
    if (views_.parameters().DisplayMode == 0) return plan.groups.at(record).title;
    return plan.candidates.at(record).name + plan.candidates.at(record).extension;
  }
  int Top() const { return static_cast<int>(Send(list_, LB_GETTOPINDEX)); }
  // Whole rows the list shows at once.
  int VisibleRows() const {
    RECT client = {};
    ::GetClientRect(list_, &client);
    const LRESULT height = Send(list_, LB_GETITEMHEIGHT, 0);
    return height > 0 ? static_cast<int>(client.bottom / height) : 0;
  }
  std::string TopName() const { return NameOf(Record(Top())); }
  Lines SelectedNames() const {
    Lines names;
    const LRESULT count = Send(list_, LB_GETCOUNT);
    for (LRESULT i = 0; i < count; ++i) {
      if (Send(list_, LB_GETSEL, i) > 0) names.push_back(NameOf(Record(static_cast<int>(i))));
    }
    return names;
  }
  int PositionOf(const std::string& name) const {
    const Lines entries = Entries();
    for (size_t i = 0; i < entries.size(); ++i) {
      if (entries[i] == name) return static_cast<int>(i);
    }
    return -1;
  }

  // A click on entries (Ctrl-clicks for the others): the list box selects
  // them and tells the dialog.
  void Select(const Lines& names) {
    Send(list_, LB_SETSEL, FALSE, -1);
    for (const std::string& name : names) Send(list_, LB_SETSEL, TRUE, PositionOf(name));
    if (!names.empty()) Send(list_, LB_SETCARETINDEX, PositionOf(names.front()), FALSE);
    Send(dialog_, WM_COMMAND, MAKEWPARAM(IDC_PLAN_LIST, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list_));
  }
  // The double click the list box reports after selecting the entry.
  void DoubleClick(const std::string& name) {
    Select({name});
    Send(dialog_, WM_COMMAND, MAKEWPARAM(IDC_PLAN_LIST, LBN_DBLCLK), reinterpret_cast<LPARAM>(list_));
  }
  // The same with the right mouse button held down meanwhile.
  bool RightDoubleClick(const std::string& name) {
    Select({name});
    if (!PressRightButton(true)) return false;
    Send(dialog_, WM_COMMAND, MAKEWPARAM(IDC_PLAN_LIST, LBN_DBLCLK), reinterpret_cast<LPARAM>(list_));
    return PressRightButton(false);
  }
  bool Click(int id) { return DialogDriver::Click(dialog_, id); }
  // An indicator does not notify: the click reaches the dialog at its centre.
  void ClickIndicator(int id) {
    const RECT r = DialogDriver::Control(dialog_, id).rect;
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    Send(dialog_, WM_LBUTTONDOWN, MK_LBUTTON, at);
    Send(dialog_, WM_LBUTTONUP, 0, at);
  }
  std::string Text(int id) const { return DialogDriver::Control(dialog_, id).text; }
  bool Enabled(int id) const { return DialogDriver::Control(dialog_, id).enabled; }
  bool Visible(int id) const { return DialogDriver::Control(dialog_, id).visible; }
  bool Shot(const std::string& name) const {
    return DialogDriver::SaveScreenshot(dialog_, ArtifactPath(name));
  }

 private:
  // The button goes down (or up) as the hardware would report it; true once
  // the system's key state shows it.
  static bool PressRightButton(bool down) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = down ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_RIGHTUP;
    if (::SendInput(1, &input, sizeof input) != 1) return false;
    for (int i = 0; i < 3000; ++i) {
      if (((::GetAsyncKeyState(VK_RBUTTON) & 0x8000) != 0) == down) return true;
      ::Sleep(1);
    }
    return false;
  }

  HWND dialog_;
  HWND list_;
  const PlanSeeingViews& views_;
};

// The run's job on S: and T:, the library's own dialogs, a driver thread
// that acts once the overview is up.
class OverviewDialog : public RunTest {
 protected:
  OverviewDialog() {
    SetRunUi(&views_);  // the library's views
    SetSys(&shell_);
    job_.confirmMode = 2;
    job_.sortMode = 0;
    job_.orphanModeD2 = 2;
    job_.fileIncludes = {"*.txt"};
  }

  int RunWithDriver(const std::function<void(Overview&)>& act) {
    bool found = false;
    std::thread driver([&] {
      HWND dialog = WaitForOverview();
      if (!dialog) return;
      found = true;
      Overview overview(dialog, views_);
      act(overview);
    });
    ApplyJob(job_);
    const int result = CallUpdate(RecordNotify, RecordConfirm, RecordCopyError, RecordMakeDir);
    driver.join();
    EXPECT_TRUE(found) << "the overview never showed";
    EXPECT_TRUE(DialogDriver::ProcessDialogs().empty()) << "every dialog is gone after the run";
    return result;
  }

  PlanSeeingViews views_;
  ShellRecordingPlatform shell_;  // View opens nothing
};

}  // namespace tolvex::runtest
