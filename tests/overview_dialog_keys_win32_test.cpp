// The overview dialog of a real run on Windows, driven from the keyboard:
// Tab moves the focus, Enter presses the button that has it (OK from the
// list), as in any Windows dialog; Print, outside the dialog's area, never
// takes the focus. The keys go through the system's input queue
// (SendInput), so the dialog manager of the real dialog handles them.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "resources/overview_ids.h"
#include "tests/overview_dialog_driver.h"

namespace tolvex::runtest {
namespace {

// The window with the keyboard focus in the thread of `dialog`.
HWND FocusOf(HWND dialog) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(dialog, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

int FocusIdOf(HWND dialog) {
  HWND focus = FocusOf(dialog);
  return focus && ::GetParent(focus) == dialog ? ::GetDlgCtrlID(focus) : 0;
}

// A key pressed and released as the keyboard would, with Alt held for an
// Alt+key.
bool Press(WORD key, bool alt = false) {
  std::vector<INPUT> inputs;
  const auto add = [&](WORD vk, bool up) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    inputs.push_back(input);
  };
  if (alt) add(VK_MENU, false);
  add(key, false);
  add(key, true);
  if (alt) add(VK_MENU, true);
  return ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) ==
         inputs.size();
}

// Waits until `done` holds (checked every 10 ms); false after 5 s.
bool Await(const std::function<bool()>& done) {
  for (int i = 0; i < 500; ++i) {
    if (done()) return true;
    ::Sleep(10);
  }
  return false;
}

// Presses Tab until control `id` has the focus; the ids focused on the way.
std::vector<int> TabTo(HWND dialog, int id) {
  std::vector<int> passed;
  for (int i = 0; i < 20 && FocusIdOf(dialog) != id; ++i) {
    const HWND before = FocusOf(dialog);
    if (!Press(VK_TAB) || !Await([&] { return FocusOf(dialog) != before; })) break;
    passed.push_back(FocusIdOf(dialog));
  }
  return passed;
}

class OverviewKeys : public OverviewDialog {
 protected:
  OverviewKeys() {
    Write("S:\\Data\\a.txt", "a", kNew);
    job_.displayMode = 2;
  }
};

// Enter with the focus on each place a user may leave it: the button
// there is pressed; from the list, OK.
TEST_F(OverviewKeys, EnterPressesTheButtonThatHasTheFocus) {
  struct Case {
    const char* where;
    int focus;
    bool planRuns;
    bool helpShown;
  };
  const Case cases[] = {
      {"Cancel", IDCANCEL, false, false},
      {"Help", IDC_HELP_BUTTON, false, true},
      {"OK", IDOK, true, false},
      {"the list", IDC_PLAN_LIST, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where);
    ::DeleteFileA("T:\\Backup\\Data\\a.txt");  // the case before may have copied it
    shell_.help.clear();
    std::vector<int> passed;
    bool focused = false, still_open = false;
    const int result = RunWithDriver([&](Overview& o) {
      ::SetForegroundWindow(o.dialog());
      passed = TabTo(o.dialog(), c.focus);
      focused = FocusIdOf(o.dialog()) == c.focus;
      if (!focused) {
        o.Click(IDCANCEL);
        return;
      }
      if (c.focus == IDCANCEL) {
        EXPECT_TRUE(o.Shot("overview_focus_on_cancel.png"));
      }
      Press(VK_RETURN);
      if (c.helpShown) {
        // Help leaves the dialog open; Escape then cancels.
        still_open = Await([&] { return !shell_.help.empty(); }) && ::IsWindowVisible(o.dialog());
        Press(VK_ESCAPE);
      }
    });
    ASSERT_TRUE(focused) << "Tab never reached it";
    EXPECT_EQ(result, c.planRuns ? 1 : 0);
    EXPECT_EQ(Exists("T:\\Backup\\Data\\a.txt"), c.planRuns);
    EXPECT_EQ(LogBody(), c.planRuns ? (Lines{"File copied: S:\\Data\\a.txt", "to: T:\\Backup\\Data\\a.txt"})
                                    : Lines{"Aborted by user."});
    EXPECT_EQ(shell_.help.size(), c.helpShown ? 1u : 0u);
    if (c.helpShown) {
      EXPECT_TRUE(still_open);
    }
    for (int id : passed) EXPECT_NE(id, IDC_PRINT);
  }
}

// Neither Tab nor the arrow keys nor its mnemonic leave the focus on
// Print, where nobody could see it.
TEST_F(OverviewKeys, PrintNeverKeepsTheFocus) {
  std::vector<int> tabbed;
  int after_arrow = -1, after_mnemonic = -1;
  const int result = RunWithDriver([&](Overview& o) {
    HWND dialog = o.dialog();
    ::SetForegroundWindow(dialog);
    // Twice round every tab stop.
    for (int i = 0; i < 16; ++i) {
      const HWND before = FocusOf(dialog);
      if (!Press(VK_TAB) || !Await([&] { return FocusOf(dialog) != before; })) break;
      tabbed.push_back(FocusIdOf(dialog));
    }
    TabTo(dialog, IDC_HELP_BUTTON);
    // The arrow keys move within the group of controls Help belongs to.
    Press(VK_RIGHT);
    Await([&] { return FocusIdOf(dialog) != IDC_HELP_BUTTON; });
    after_arrow = FocusIdOf(dialog);
    TabTo(dialog, IDC_HELP_BUTTON);
    // Alt+P clicks Print; the focus comes back to Help.
    Press('P', true);
    ::Sleep(200);
    Await([&] { return FocusIdOf(dialog) == IDC_HELP_BUTTON; });
    after_mnemonic = FocusIdOf(dialog);
    o.Click(IDCANCEL);
  });
  EXPECT_EQ(result, 0);
  ASSERT_GE(tabbed.size(), 8u) << "Tab did not move the focus";
  for (int id : tabbed) EXPECT_NE(id, IDC_PRINT);
  EXPECT_NE(after_arrow, IDC_PRINT);
  EXPECT_EQ(after_mnemonic, IDC_HELP_BUTTON);
}

}  // namespace
}  // namespace tolvex::runtest
