// The overview dialog of a real run on Windows (under Wine on a virtual
// display): CallUpdate shows the library's own dialog, and a driver thread
// reads and clicks it as a user at the screen would, then presses OK or
// Cancel; the test checks on the file system that exactly the chosen
// actions ran. PNG screenshots of the three views go to <build>/artifacts.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "model/parameters.h"
#include "model/plan.h"
#include "resources/overview_ids.h"
#include "tests/overview_dialog_driver.h"

namespace tolvex::runtest {
namespace {

TEST_F(OverviewDialog, TheUserChangesThePlanInAllThreeViewsAndTheRunDoesExactlyThat) {
  Write("S:\\Data\\a.txt", "a", kNew);          // new: stays Normal, copied
  Write("S:\\Data\\b.txt", "b", kNew);          // new: Ignore
  Write("S:\\Data\\c.txt", "c, new", kNew);     // newer: Invert, the backup's copy comes back
  Write("T:\\Backup\\Data\\c.txt", "c, old", kOld);
  Write("S:\\Data\\d.txt", "d, new", kNew);     // newer: Erase, both copies go
  Write("T:\\Backup\\Data\\d.txt", "d, old", kOld);
  Write("S:\\Data\\e.txt", "e", kNew);          // new: the double click makes it Ignore
  Write("S:\\Data\\Sub\\f.txt", "f", kNew);     // its group is set to Ignore
  Write("T:\\Backup\\Data\\gone.txt", "gone", kOld);  // an orphan to erase: set to Normal
  job_.displayMode = 0;

  struct Seen {
    Lines groups, byName, afterMarks;
    std::string toDest, toSource, space, toDestAfter, toSourceAfter;
    bool actionsDisabled = false, enabledBySelection = false, hiddenInGroups = false,
         shownInCandidates = false, printOutside = false;
    int32_t viewAfterRightClick = -1;
    Lines selectedAfterRightClick;
    Lines opened;
  } seen;
  const int result = RunWithDriver([&](Overview& o) {
    seen.groups = o.Entries();
    seen.toDest = o.Text(IDC_TO_DEST_COUNTS);
    seen.toSource = o.Text(IDC_TO_SOURCE_COUNTS);
    seen.space = o.Text(IDC_SPACE_TEXT);
    seen.actionsDisabled = !o.Enabled(IDC_NORMAL) && !o.Enabled(IDC_IGNORE) && !o.Enabled(IDC_ERASE);
    seen.hiddenInGroups = !o.Visible(IDC_INVERT) && !o.Visible(IDC_VIEW) &&
                          !o.Visible(IDC_PREVIOUS_BLOCK) && !o.Visible(IDC_NEXT_BLOCK);
    const RECT print = DialogDriver::Control(o.dialog(), IDC_PRINT).rect;
    const SIZE client = DialogDriver::ClientSize(o.dialog());
    seen.printOutside = print.top >= client.cy;
    o.Select({"Path S:\\Data\\Sub\\"});
    seen.enabledBySelection = o.Enabled(IDC_NORMAL) && o.Enabled(IDC_ERASE);
    EXPECT_TRUE(o.Click(IDC_IGNORE));
    EXPECT_TRUE(o.Shot("overview_groups.png"));

    o.ClickIndicator(IDC_COMPACT_VIEW);
    o.ClickIndicator(IDC_SORT_NAME);  // a stable order for the candidates
    seen.byName = o.Entries();
    seen.shownInCandidates = o.Visible(IDC_INVERT) && o.Visible(IDC_VIEW);
    o.Select({"b.txt"});
    o.Click(IDC_IGNORE);
    o.Select({"c.txt"});
    o.Click(IDC_INVERT);
    o.Click(IDC_VIEW);  // opens both copies of c.txt
    o.Select({"d.txt"});
    o.Click(IDC_ERASE);
    o.Select({"gone.txt"});
    o.Click(IDC_NORMAL);
    o.DoubleClick("e.txt");  // Normal -> Ignore
    seen.toDestAfter = o.Text(IDC_TO_DEST_COUNTS);
    seen.toSourceAfter = o.Text(IDC_TO_SOURCE_COUNTS);
    o.Select({"a.txt", "b.txt"});
    EXPECT_TRUE(o.Shot("overview_compact.png"));

    // The right-button double click on d.txt: the detailed view, d.txt on top.
    if (o.RightDoubleClick("d.txt")) {
      seen.viewAfterRightClick = views_.parameters().DisplayMode;
      seen.selectedAfterRightClick = o.SelectedNames();
    }
    o.ClickIndicator(IDC_DETAILED_VIEW);  // (already there when the right click worked)
    o.Select({"c.txt"});
    EXPECT_TRUE(o.Shot("overview_detailed.png"));
    seen.opened = Lines(shell_.opened.begin(), shell_.opened.end());
    EXPECT_TRUE(o.Click(IDC_HELP_BUTTON));
    EXPECT_TRUE(o.Click(IDC_PRINT)) << "Print answers, and does nothing";
    EXPECT_TRUE(o.Click(IDOK));
  });

  EXPECT_EQ(result, 1);
  EXPECT_EQ(seen.groups, (Lines{"Path S:\\Data\\", "Path S:\\Data\\Sub\\", "Path T:\\Backup\\Data\\"}));
  EXPECT_EQ(seen.toDest, "6 / 4");  // a b c d e f; c and d exist
  EXPECT_EQ(seen.toSource, "0 / 0");
  EXPECT_EQ(seen.space.substr(0, 9), "0.000 MB ");
  EXPECT_NE(seen.space.find("   S: +"), std::string::npos) << seen.space;
  EXPECT_NE(seen.space.find("   T: +"), std::string::npos) << seen.space;
  EXPECT_TRUE(seen.actionsDisabled);
  EXPECT_TRUE(seen.enabledBySelection);
  EXPECT_TRUE(seen.hiddenInGroups);
  EXPECT_TRUE(seen.printOutside);
  EXPECT_TRUE(seen.shownInCandidates);
  EXPECT_EQ(seen.byName, (Lines{"a.txt", "b.txt", "c.txt", "d.txt", "e.txt", "f.txt", "gone.txt"}));
  // Into T: a alone; c (inverted) and gone now copy into S:.
  EXPECT_EQ(seen.toDestAfter, "1 / 1");
  EXPECT_EQ(seen.toSourceAfter, "2 / 1");
  EXPECT_EQ(seen.opened, (Lines{"S:\\Data\\c.txt", "T:\\Backup\\Data\\c.txt"}));
  ASSERT_EQ(shell_.help.size(), 1u);
  EXPECT_EQ(shell_.help[0], (std::pair<std::string, uint32_t>{"Tolvex32.hlp", 4320}));
  EXPECT_EQ(seen.viewAfterRightClick, 1) << "GetAsyncKeyState did not see the right button";
  // d.txt is selected (all seven rows fit, so the list does not scroll).
  EXPECT_EQ(seen.selectedAfterRightClick, Lines{"d.txt"});

  // On the file system: exactly the chosen actions.
  EXPECT_EQ(Read("T:\\Backup\\Data\\a.txt"), "a");
  EXPECT_FALSE(Exists("T:\\Backup\\Data\\b.txt"));
  EXPECT_EQ(Read("S:\\Data\\c.txt"), "c, old");
  EXPECT_EQ(Read("T:\\Backup\\Data\\c.txt"), "c, old");
  EXPECT_FALSE(Exists("S:\\Data\\d.txt"));
  EXPECT_FALSE(Exists("T:\\Backup\\Data\\d.txt"));
  EXPECT_FALSE(Exists("T:\\Backup\\Data\\e.txt"));
  EXPECT_FALSE(Exists("T:\\Backup\\Data\\Sub\\f.txt"));
  EXPECT_EQ(Read("S:\\Data\\gone.txt"), "gone");
  EXPECT_EQ(Read("T:\\Backup\\Data\\gone.txt"), "gone");
  // The run carries the plan out in its order by name.
  EXPECT_EQ(LogBody(), (Lines{"File erased: S:\\Data\\d.txt", "File erased: T:\\Backup\\Data\\d.txt",
                              "File copied: S:\\Data\\a.txt", "to: T:\\Backup\\Data\\a.txt",
                              "File skipped: S:\\Data\\b.txt", "and: T:\\Backup\\Data\\b.txt",
                              "File copied: T:\\Backup\\Data\\c.txt", "to: S:\\Data\\c.txt",
                              "File skipped: S:\\Data\\e.txt", "and: T:\\Backup\\Data\\e.txt",
                              "File skipped: S:\\Data\\Sub\\f.txt", "and: T:\\Backup\\Data\\Sub\\f.txt",
                              "File copied: T:\\Backup\\Data\\gone.txt", "to: S:\\Data\\gone.txt"}));
  // The view, order and filters chosen in the dialog stay in the parameter set.
  EXPECT_EQ(Parameters.DisplayMode, 1);
  EXPECT_EQ(Parameters.SortMode, 1);
}

TEST_F(OverviewDialog, CancelRunsNothingAndThePositionIsKeptForTheNextRun) {
  Write("S:\\Data\\a.txt", "a", kNew);
  Write("T:\\Backup\\Data\\gone.txt", "gone", kOld);
  job_.displayMode = 2;
  ::WritePrivateProfileStringA("Overview Dialog", "Left", "37", "Tolvex32.ini");
  ::WritePrivateProfileStringA("Overview Dialog", "Top", "45", "Tolvex32.ini");

  RECT opened_at = {};
  const int result = RunWithDriver([&](Overview& o) {
    ::GetWindowRect(o.dialog(), &opened_at);
    o.Select({"a.txt", "gone.txt"});
    o.Click(IDC_ERASE);
    // The user drags the dialog elsewhere, then cancels.
    ::SetWindowPos(o.dialog(), nullptr, 120, 80, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_TRUE(o.Click(IDCANCEL));
  });

  EXPECT_EQ(result, 0);
  EXPECT_EQ(opened_at.left, 37);
  EXPECT_EQ(opened_at.top, 45);
  EXPECT_EQ(::GetPrivateProfileIntA("Overview Dialog", "Left", -1, "Tolvex32.ini"), 120);
  EXPECT_EQ(::GetPrivateProfileIntA("Overview Dialog", "Top", -1, "Tolvex32.ini"), 80);
  EXPECT_EQ(LogBody(), Lines{"Aborted by user."});
  EXPECT_FALSE(Exists("T:\\Backup\\Data\\a.txt"));
  EXPECT_TRUE(Exists("S:\\Data\\a.txt"));
  EXPECT_TRUE(Exists("T:\\Backup\\Data\\gone.txt"));

  // The next run opens where this one was left, and closing it by its
  // window's close box counts as Cancel.
  RECT reopened_at = {};
  const int second = RunWithDriver([&](Overview& o) {
    ::GetWindowRect(o.dialog(), &reopened_at);
    Send(o.dialog(), WM_SYSCOMMAND, SC_CLOSE);
  });
  EXPECT_EQ(second, 0);
  EXPECT_EQ(reopened_at.left, 120);
  EXPECT_EQ(reopened_at.top, 80);
}

// One control of template 1000: id, window class, rectangle in dialog
// units, caption, and the style bits it must carry.
struct TemplateControl {
  int id;
  const char* className;
  RECT units;  // x, y, width, height
  const char* caption;
  LONG style;
};

const TemplateControl kTemplate[] = {
    {IDC_GROUP_VIEW, "Static", {4, 4, 20, 18}, "", SS_OWNERDRAW},
    {IDC_COMPACT_VIEW, "Static", {25, 4, 20, 18}, "", SS_OWNERDRAW},
    {IDC_DETAILED_VIEW, "Static", {46, 4, 20, 18}, "", SS_OWNERDRAW},
    {IDC_SORT_FOLDER, "Static", {76, 4, 20, 18}, "", SS_OWNERDRAW},
    {IDC_SORT_NAME, "Static", {97, 4, 20, 18}, "", SS_OWNERDRAW},
    {IDC_SORT_TYPE, "Static", {118, 4, 20, 18}, "", SS_OWNERDRAW},
    {IDC_SORT_SIZE, "Static", {139, 4, 20, 18}, "", SS_OWNERDRAW},
    {IDC_SORT_DATE, "Static", {160, 4, 20, 18}, "", SS_OWNERDRAW},
    {IDC_REVERSE_OFF, "Static", {189, 4, 20, 18}, "", SS_OWNERDRAW},
    {IDC_REVERSE_ON, "Static", {210, 4, 20, 18}, "", SS_OWNERDRAW},
    {IDC_SIZE_FILTER, "Static", {240, 4, 20, 18}, "", SS_OWNERDRAW},
    {IDC_DOUBLE_FILTER, "Static", {261, 4, 20, 18}, "", SS_OWNERDRAW},
    {IDC_TO_DEST_COUNTS, "Static", {304, 4, 50, 8}, nullptr, SS_LEFT},
    {IDC_TO_SOURCE_COUNTS, "Static", {368, 4, 50, 8}, nullptr, SS_LEFT},
    {IDC_SPACE_TEXT, "Static", {294, 15, 124, 8}, nullptr, SS_CENTER},
    {IDC_PLAN_LIST, "ListBox", {4, 25, 414, 219}, nullptr,
     LBS_OWNERDRAWVARIABLE | LBS_HASSTRINGS | LBS_EXTENDEDSEL | LBS_NOTIFY | WS_VSCROLL |
         WS_BORDER | WS_TABSTOP},
    {IDC_NORMAL, "Button", {4, 248, 42, 29}, "&Normal", BS_OWNERDRAW},
    {IDC_IGNORE, "Button", {48, 248, 42, 29}, "Ign&ore", BS_OWNERDRAW},
    {IDC_ERASE, "Button", {92, 248, 42, 29}, "&Erase", BS_OWNERDRAW},
    {IDC_INVERT, "Button", {136, 248, 42, 29}, "Inver&t", BS_OWNERDRAW},
    {IDC_VIEW, "Button", {180, 248, 42, 29}, "&View", BS_OWNERDRAW},
    {IDC_PREVIOUS_BLOCK, "Button", {225, 248, 15, 14}, "", BS_OWNERDRAW},
    {IDC_NEXT_BLOCK, "Button", {225, 263, 15, 14}, "", BS_OWNERDRAW},
    {IDOK, "Button", {288, 248, 42, 29}, "O&K", BS_OWNERDRAW},
    {IDCANCEL, "Button", {332, 248, 42, 29}, "&Cancel", BS_OWNERDRAW},
    {IDC_HELP_BUTTON, "Button", {376, 248, 42, 29}, "&Help", BS_OWNERDRAW},
    {IDC_PRINT, "Button", {244, 376, 248, 42}, "&Print", BS_OWNERDRAW},
};

std::string RectText(const RECT& r) {
  std::ostringstream text;
  text << "(" << r.left << ", " << r.top << ") " << (r.right - r.left) << " x " << (r.bottom - r.top);
  return text.str();
}

// The colour on the screen at a point of a window's client area.
COLORREF ScreenPixel(HWND window, int x, int y) {
  POINT at = {x, y};
  ::ClientToScreen(window, &at);
  HDC screen = ::GetDC(nullptr);
  const COLORREF colour = ::GetPixel(screen, at.x, at.y);
  ::ReleaseDC(nullptr, screen);
  return colour;
}

// The profile holds only where the dialog stood: when it can be neither
// read nor written, the dialog opens where the system puts it, the plan
// runs as confirmed, and nothing else changes.
TEST_F(OverviewDialog, AProfileThatCannotBeReadOrWrittenCostsOnlyThePosition) {
  Write("S:\\Data\\a.txt", "a", kNew);
  ::WritePrivateProfileStringA("Overview Dialog", "Left", "37", "Tolvex32.ini");
  ::WritePrivateProfileStringA("Overview Dialog", "Top", "45", "Tolvex32.ini");
  FaultInjectingPlatform faulty(&shell_);
  faulty.FailCall(CallKind::kReadProfile, 1, kErrAccessDenied,
                  FaultInjectingPlatform::Repeat::kFromThenOn);
  faulty.FailCall(CallKind::kWriteProfile, 1, kErrAccessDenied,
                  FaultInjectingPlatform::Repeat::kFromThenOn);
  SetSys(&faulty);

  RECT opened_at = {};
  const int result = RunWithDriver([&](Overview& o) {
    ::GetWindowRect(o.dialog(), &opened_at);
    ::SetWindowPos(o.dialog(), nullptr, 120, 80, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_TRUE(o.Click(IDOK));
  });
  SetSys(&shell_);

  EXPECT_EQ(result, 1);
  EXPECT_GT(faulty.fired(), 0u);
  EXPECT_FALSE(opened_at.left == 37 && opened_at.top == 45);
  EXPECT_EQ(Read("T:\\Backup\\Data\\a.txt"), "a");
  EXPECT_EQ(::GetPrivateProfileIntA("Overview Dialog", "Left", -1, "Tolvex32.ini"), 37);
  EXPECT_EQ(::GetPrivateProfileIntA("Overview Dialog", "Top", -1, "Tolvex32.ini"), 45);
}

TEST_F(OverviewDialog, TheDialogIsLaidOutAsItsTemplateSays) {
  Write("S:\\Data\\a.txt", "a", kNew);
  job_.displayMode = 2;
  std::ostringstream measured;
  const int result = RunWithDriver([&](Overview& o) {
    HWND dialog = o.dialog();
    EXPECT_EQ(DialogDriver::WindowText(dialog), "Overview");
    const LONG style = ::GetWindowLongA(dialog, GWL_STYLE);
    EXPECT_TRUE((style & WS_CAPTION) == WS_CAPTION && (style & WS_SYSMENU) && (style & WS_POPUP));
    const SIZE client = DialogDriver::ClientSize(dialog);
    const RECT expected_client = DialogDriver::TemplateRect(dialog, 0, 0, 423, 280);
    EXPECT_EQ(client.cx, expected_client.right);
    EXPECT_EQ(client.cy, expected_client.bottom);
    RECT frame = {};
    ::GetWindowRect(dialog, &frame);
    measured << "overview: window " << RectText(frame) << ", client " << client.cx << " x "
             << client.cy << " (template 423 x 280 units)\n";
    for (const TemplateControl& c : kTemplate) {
      const ControlState state = DialogDriver::Control(dialog, c.id);
      const RECT expected =
          DialogDriver::TemplateRect(dialog, c.units.left, c.units.top, c.units.right, c.units.bottom);
      measured << "  " << c.id << " " << state.className << ": " << RectText(state.rect)
               << " px (units " << c.units.left << ", " << c.units.top << ", " << c.units.right
               << ", " << c.units.bottom << ")\n";
      ASSERT_TRUE(state.exists) << c.id;
      EXPECT_TRUE(::EqualRect(&state.rect, &expected))
          << c.id << ": " << RectText(state.rect) << " vs " << RectText(expected);
      EXPECT_EQ(state.className, c.className) << c.id;
      if (c.caption) {
        EXPECT_EQ(state.text, c.caption) << c.id;
      }
      if (std::string(c.className) == "Static") {
        EXPECT_EQ(state.style & SS_TYPEMASK, c.style) << c.id;
      } else if (std::string(c.className) == "Button") {
        EXPECT_EQ(state.style & BS_TYPEMASK, BS_OWNERDRAW) << c.id << ": a glyph button";
      } else {
        // The list box keeps its own LBS_ bits; it draws WS_BORDER as a
        // client edge and shows WS_VSCROLL only while the list is longer
        // than the box (checked with the long list).
        const LONG own = c.style & ~(WS_BORDER | WS_VSCROLL);
        EXPECT_EQ(state.style & own, own) << c.id;
        EXPECT_FALSE(state.style & LBS_SORT);
        const LONG ex = ::GetWindowLongA(::GetDlgItem(dialog, c.id), GWL_EXSTYLE);
        measured << "  (list style " << std::hex << state.style << " ex " << ex << std::dec << ")\n";
      }
    }
    // Print lies outside the dialog's area: never seen.
    EXPECT_GE(DialogDriver::Control(dialog, IDC_PRINT).rect.top, client.cy);
    // The two page pictures, 10 units left of their counts.
    int pictures = 0;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
      if ((::GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_BITMAP) continue;
      RECT rect = {};
      ::GetWindowRect(child, &rect);
      ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
      const RECT at = DialogDriver::TemplateRect(dialog, pictures == 0 ? 294 : 358, 5, 18, 15);
      EXPECT_EQ(rect.left, at.left);
      EXPECT_EQ(rect.top, at.top);
      measured << "  picture " << (pictures == 0 ? 1043 : 1044) << ": " << RectText(rect) << " px\n";
      ++pictures;
    }
    EXPECT_EQ(pictures, 2);
    // The tooltip: one tool, indicator 1002, "Folders".
    HWND tooltip = nullptr;
    for (HWND w = ::FindWindowExA(nullptr, nullptr, "tooltips_class32", nullptr); w;
         w = ::FindWindowExA(nullptr, w, "tooltips_class32", nullptr)) {
      if (::GetWindow(w, GW_OWNER) == dialog) tooltip = w;
    }
    ASSERT_NE(tooltip, nullptr);
    EXPECT_EQ(Send(tooltip, TTM_GETTOOLCOUNT), 1);
    char text[64] = {};
    TOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V1_SIZE;
    tool.lpszText = text;
    EXPECT_TRUE(Send(tooltip, TTM_ENUMTOOLSA, 0, reinterpret_cast<LPARAM>(&tool)));
    EXPECT_EQ(tool.uId, static_cast<UINT_PTR>(IDC_GROUP_VIEW));
    EXPECT_STREQ(text, "Folders");
    const RECT indicator = DialogDriver::Control(dialog, IDC_GROUP_VIEW).rect;
    EXPECT_TRUE(::EqualRect(&tool.rect, &indicator)) << RectText(tool.rect);

    // A changed button face: every glyph is loaded again with the new face
    // where its olive was (the OK glyph's top-left pixel is olive).
    const int element = COLOR_BTNFACE;
    const COLORREF old_face = ::GetSysColor(COLOR_BTNFACE);
    const COLORREF new_face = RGB(200, 180, 120);
    ::SetSysColors(1, &element, &new_face);
    Send(dialog, WM_SYSCOLORCHANGE);
    ::RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    HWND ok = ::GetDlgItem(dialog, IDOK);
    RECT button = {};
    ::GetClientRect(ok, &button);
    const COLORREF glyph_corner = ScreenPixel(ok, (button.right - 20) / 2, 7);
    EXPECT_TRUE(o.Shot("overview_new_face.png"));
    ::SetSysColors(1, &element, &old_face);
    Send(dialog, WM_SYSCOLORCHANGE);
    EXPECT_EQ(glyph_corner, new_face);
    EXPECT_TRUE(o.Click(IDCANCEL));
  });
  EXPECT_EQ(result, 0);
  std::ofstream(ArtifactPath("overview_layout.txt"), std::ios::trunc) << measured.str();
}

// A long list: 3 folders of 20 new files each, and 3 larger files whose
// backups are far smaller (size warnings).
class LongOverview : public OverviewDialog {
 protected:
  LongOverview() {
    for (char folder : {'A', 'B', 'C'}) {
      for (int i = 0; i < 20; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "S:\\Data\\%c\\%c%02d.txt", folder, folder, i);
        Write(name, "x", kNew);
      }
    }
    for (const char* name : {"w1.txt", "w2.txt", "w3.txt"}) {
      Write(std::string("S:\\Data\\C\\") + name, std::string(100, 'w'), kNew);
      Write(std::string("T:\\Backup\\Data\\C\\") + name, "w", kOld);
    }
    job_.checkSizes = 10;
    job_.sortMode = 1;  // by name: A00..A19, B00..B19, C00..C19, w1..w3
    job_.displayMode = 2;
  }
};

TEST_F(LongOverview, IndicatorsBlocksAndTheRightDoubleClickKeepTheUsersPlace) {
  struct Seen {
    int blockDown = -1, blockDownAgain = -1, blockUp = -1;
    bool scrollBar = false;
    std::string compactTop;
    int reversedFrom = -1, reversedTop = -1, reversedTopRecord = -1;
    Lines filtered;
    std::string unfilteredTop;
    bool w2Seen = false, lastPage = false;
    std::string groupJumpTop;
    Lines groupJumpSelected;
  } seen;
  const int result = RunWithDriver([&](Overview& o) {
    o.ClickIndicator(IDC_SORT_FOLDER);  // by folder: blocks A, B, C
    seen.scrollBar = (::GetWindowLongA(::GetDlgItem(o.dialog(), IDC_PLAN_LIST), GWL_STYLE) &
                      WS_VSCROLL) != 0;
    o.Click(IDC_NEXT_BLOCK);
    seen.blockDown = o.Top();
    o.Click(IDC_NEXT_BLOCK);
    seen.blockDownAgain = o.Top();
    o.Click(IDC_PREVIOUS_BLOCK);
    o.Click(IDC_PREVIOUS_BLOCK);
    seen.blockUp = o.Top();

    // The detailed view scrolled to an entry; the compact view keeps it on top.
    o.ClickIndicator(IDC_DETAILED_VIEW);
    Send(::GetDlgItem(o.dialog(), IDC_PLAN_LIST), LB_SETTOPINDEX, 25);
    const std::string detailed_top = o.TopName();
    o.ClickIndicator(IDC_COMPACT_VIEW);
    seen.compactTop = o.TopName() == detailed_top ? "kept" : o.TopName() + " vs " + detailed_top;

    // Reverse: the entry of candidate (63 - 1 - M) comes to the top.
    Send(::GetDlgItem(o.dialog(), IDC_PLAN_LIST), LB_SETTOPINDEX, 30);
    seen.reversedFrom = o.Record(o.Top());
    o.ClickIndicator(IDC_REVERSE_ON);
    seen.reversedTop = o.Top();
    seen.reversedTopRecord = o.Record(o.Top());
    o.ClickIndicator(IDC_REVERSE_OFF);

    // The size filter shows the warned files; off again, the list shows the
    // record that was on top of the filtered list (w2, scrolled to), as far
    // as the list can scroll.
    o.ClickIndicator(IDC_SIZE_FILTER);
    seen.filtered = o.Entries();
    Send(::GetDlgItem(o.dialog(), IDC_PLAN_LIST), LB_SETTOPINDEX, 1);
    o.ClickIndicator(IDC_SIZE_FILTER);
    seen.unfilteredTop = o.TopName();
    seen.w2Seen = o.PositionOf("w2.txt") - o.Top() < o.VisibleRows();
    seen.lastPage = o.Top() + o.VisibleRows() >= 63;
    EXPECT_TRUE(o.Shot("overview_compact_long.png"));

    // Group view; the right double click on group B opens the compact view
    // with B's first file on top and selected.
    o.ClickIndicator(IDC_GROUP_VIEW);
    if (o.RightDoubleClick("Path S:\\Data\\B\\")) {
      seen.groupJumpTop = o.TopName();
      seen.groupJumpSelected = o.SelectedNames();
    }
    EXPECT_TRUE(o.Click(IDCANCEL));
  });
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(seen.scrollBar);
  EXPECT_EQ(seen.blockDown, 20);
  // The list cannot scroll past a full last page: 63 entries, about 26 seen.
  EXPECT_GT(seen.blockDownAgain, 20);
  EXPECT_LT(seen.blockDownAgain, 40);
  EXPECT_EQ(seen.blockUp, 0);
  EXPECT_EQ(seen.compactTop, "kept");
  // Unfiltered, entry k shows candidate k: M = 30, so candidate 32 on top.
  EXPECT_EQ(seen.reversedFrom, 30);
  EXPECT_EQ(seen.reversedTopRecord, 32);
  EXPECT_EQ(seen.reversedTop, 32);
  EXPECT_EQ(seen.filtered, (Lines{"w1.txt", "w2.txt", "w3.txt"}));
  EXPECT_TRUE(seen.w2Seen) << seen.unfilteredTop;
  EXPECT_TRUE(seen.lastPage) << seen.unfilteredTop;
  EXPECT_EQ(seen.groupJumpTop, "B00.txt");
  EXPECT_EQ(seen.groupJumpSelected, Lines{"B00.txt"});
}

}  // namespace
}  // namespace tolvex::runtest
