#include "ui/overview/win32/overview_dialog.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "engine/run_ui.h"
#include "model/parameters.h"
#include "model/plan.h"
#include "resources/overview_ids.h"
#include "ui/overview/overview_controls.h"
#include "ui/overview/overview_presenter.h"
#include "ui/overview/overview_warning.h"
#include "ui/overview/row_layout.h"
#include "ui/overview/win32/gdi_painter.h"
#include "ui/win32/bitmap_button.h"
#include "ui/win32/common_controls.h"
#include "ui/win32/dialog_window.h"

namespace tolvex::overview {

namespace {

using win32ui::BitmapButton;
using win32ui::GlyphPlacement;

struct ButtonGlyphs {
  int id;
  int glyph;
  int disabledGlyph;  // 0: none
};

// Every push button shows a glyph above its caption; the action buttons
// and Print also have a glyph of their own while disabled.
constexpr ButtonGlyphs kButtons[] = {
    {IDC_NORMAL, IDC_NORMAL, IDB_NORMAL_DISABLED},
    {IDC_IGNORE, IDC_IGNORE, IDB_IGNORE_DISABLED},
    {IDC_ERASE, IDC_ERASE, IDB_ERASE_DISABLED},
    {IDC_INVERT, IDC_INVERT, IDB_INVERT_DISABLED},
    {IDC_VIEW, IDC_VIEW, IDB_VIEW_DISABLED},
    {IDC_PREVIOUS_BLOCK, IDC_PREVIOUS_BLOCK, 0},
    {IDC_NEXT_BLOCK, IDC_NEXT_BLOCK, 0},
    {IDOK, IDB_OK, 0},
    {IDCANCEL, 2 /* the red cross of the progress dialogs */, 0},
    {IDC_HELP_BUTTON, IDB_HELP, 0},
    {IDC_PRINT, IDC_PRINT, IDB_PRINT_DISABLED},
};
constexpr int kButtonCount = sizeof kButtons / sizeof kButtons[0];

constexpr int kActionButtons[] = {IDC_NORMAL, IDC_IGNORE, IDC_ERASE, IDC_INVERT, IDC_VIEW};
// Hidden exactly while the group view is shown.
constexpr int kCandidateButtons[] = {IDC_INVERT, IDC_VIEW, IDC_PREVIOUS_BLOCK, IDC_NEXT_BLOCK};

constexpr int kIndicatorImageSize = 29;
constexpr COLORREF kPictureKey = RGB(128, 128, 0);

bool IsMouseMessage(UINT message) {
  switch (message) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
      return true;
    default:
      return false;
  }
}

// The warning of the overview's question source as a message box: true for
// Yes. No, and a box that cannot be shown, answer false.
bool AskWarning(HWND owner, const std::string& job_name, const std::string& question) {
  const std::string caption = DialogCaption(job_name);
  return ::MessageBoxA(owner, question.c_str(), caption.c_str(),
                       MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2 | MB_SETFOREGROUND) == IDYES;
}

class TOverviewDialog final : public win32ui::DialogWindow, public OverviewView {
 public:
  // `confirmed_warning`: the question answered Yes before the dialog opened.
  TOverviewDialog(Plan& plan, TParameters& parameters, std::string confirmed_warning)
      : plan_(plan),
        parameters_(parameters),
        presenter_(*this, plan, parameters),
        confirmed_warning_(std::move(confirmed_warning)) {}
  ~TOverviewDialog() override { ReleasePictures(); }

  INT_PTR Run() { return RunModal(IDD_OVERVIEW, nullptr); }

  // --- OverviewView ---------------------------------------------------------
  void FillList(const std::vector<int32_t>& records) override {
    HWND list = Item(IDC_PLAN_LIST);
    ::SendMessageA(list, LB_RESETCONTENT, 0, 0);
    char text[16];
    for (int32_t record : records) {
      // The entry's text is the record's number; every row reads it back.
      std::snprintf(text, sizeof text, "%ld", static_cast<long>(record));
      ::SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
  }
  void ShowList(bool shown) override { ::ShowWindow(Item(IDC_PLAN_LIST), shown ? SW_SHOW : SW_HIDE); }
  std::vector<int> SelectedPositions() override {
    HWND list = Item(IDC_PLAN_LIST);
    const LRESULT count = ::SendMessageA(list, LB_GETSELCOUNT, 0, 0);
    if (count <= 0) return {};
    std::vector<int> positions(static_cast<size_t>(count));
    const LRESULT got = ::SendMessageA(list, LB_GETSELITEMS, static_cast<WPARAM>(count),
                                       reinterpret_cast<LPARAM>(positions.data()));
    positions.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return positions;
  }
  void Reselect(const std::vector<int>& positions) override {
    HWND list = Item(IDC_PLAN_LIST);
    for (int position : positions) {
      ::SendMessageA(list, LB_SETSEL, TRUE, position);
      RECT row = {};
      if (::SendMessageA(list, LB_GETITEMRECT, position, reinterpret_cast<LPARAM>(&row)) != LB_ERR) {
        ::InvalidateRect(list, &row, FALSE);
      }
    }
  }
  void SelectEntry(int position) override {
    HWND list = Item(IDC_PLAN_LIST);
    ::SendMessageA(list, LB_SETSEL, TRUE, position);
    ::SendMessageA(list, LB_SETCARETINDEX, position, FALSE);
  }
  int TopPosition() override {
    const LRESULT top = ::SendMessageA(Item(IDC_PLAN_LIST), LB_GETTOPINDEX, 0, 0);
    return top == LB_ERR ? 0 : static_cast<int>(top);
  }
  void SetTopPosition(int position) override {
    ::SendMessageA(Item(IDC_PLAN_LIST), LB_SETTOPINDEX, position, 0);
  }
  int CaretPosition() override {
    HWND list = Item(IDC_PLAN_LIST);
    if (::SendMessageA(list, LB_GETCOUNT, 0, 0) <= 0) return -1;
    const LRESULT caret = ::SendMessageA(list, LB_GETCARETINDEX, 0, 0);
    return caret == LB_ERR ? -1 : static_cast<int>(caret);
  }
  void EnableActionButtons(bool enabled) override {
    for (int id : kActionButtons) ::EnableWindow(Item(id), enabled ? TRUE : FALSE);
  }
  void ShowCandidateButtons(bool shown) override {
    for (int id : kCandidateButtons) ::ShowWindow(Item(id), shown ? SW_SHOW : SW_HIDE);
  }
  void SetStatisticsTexts(const StatisticsTexts& texts) override {
    ::SetDlgItemTextA(hwnd(), IDC_TO_DEST_COUNTS, texts.toDestination.c_str());
    ::SetDlgItemTextA(hwnd(), IDC_TO_SOURCE_COUNTS, texts.toSource.c_str());
    ::SetDlgItemTextA(hwnd(), IDC_SPACE_TEXT, FittedSpaceText(texts).c_str());
  }
  void RedrawIndicators() override {
    // At once, each at its own place.
    for (int id = kIndicatorFirst; id <= kIndicatorLast; ++id) {
      ::InvalidateRect(Item(id), nullptr, FALSE);
      ::UpdateWindow(Item(id));
    }
  }
  void SetWaitCursor(bool wait) override {
    ::SetCursor(::LoadCursorA(nullptr, wait ? IDC_WAIT : IDC_ARROW));
  }

 protected:
  // --- Handlers ---------------------------------------------------------------
  bool OnInitDialog() override {
    const SavedPosition position = ReadSavedPosition();
    ::SetWindowPos(hwnd(), nullptr, position.left, position.top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    AssignGlyphs();
    strips_.Load(win32ui::ModuleInstance());
    presenter_.Setup();
    CreateTooltip();
    return true;
  }

  void OnCommand(int id, int code, HWND) override {
    switch (id) {
      case IDOK:
        if (!WarningConfirmed()) {
          presenter_.Cancel();
          EndModal(IDCANCEL);
          break;
        }
        presenter_.Ok();
        EndModal(IDOK);
        break;
      case IDCANCEL:  // the button, Escape and closing the window
        presenter_.Cancel();
        EndModal(IDCANCEL);
        break;
      case IDC_HELP_BUTTON: presenter_.Help(); break;
      case IDC_NORMAL: presenter_.MarkSelection(Action::kNormal); break;
      case IDC_IGNORE: presenter_.MarkSelection(Action::kIgnore); break;
      case IDC_ERASE: presenter_.MarkSelection(Action::kErase); break;
      case IDC_INVERT: presenter_.MarkSelection(Action::kInvert); break;
      case IDC_VIEW: presenter_.ViewFiles(); break;
      case IDC_PREVIOUS_BLOCK: presenter_.PreviousBlock(); break;
      case IDC_NEXT_BLOCK: presenter_.NextBlock(); break;
      case IDC_PRINT: break;
      case IDC_PLAN_LIST:
        if (code == LBN_SELCHANGE) presenter_.SelectionChanged();
        if (code == LBN_DBLCLK) {
          // The right button held at the moment the double click is
          // reported switches the view; otherwise the action cycles.
          if (::GetAsyncKeyState(VK_RBUTTON) & 0x8000) {
            presenter_.NextView();
          } else {
            presenter_.CycleAction();
          }
        }
        break;
      default: break;
    }
  }

  bool OnDrawItem(int id, const DRAWITEMSTRUCT& item) override {
    NoteFocus(id, item);
    if (id == IDC_PLAN_LIST) return DrawRow(item);
    if (id >= kIndicatorFirst && id <= kIndicatorLast) return DrawIndicator(id, item);
    for (const BitmapButton& button : buttons_) {
      if (button.Draw(item)) return true;
    }
    return false;
  }

  void OnDestroy() override {
    if (tooltip_) ::DestroyWindow(tooltip_);
    tooltip_ = nullptr;
    RECT frame = {};
    ::GetWindowRect(hwnd(), &frame);
    WriteSavedPosition({frame.left, frame.top});
  }

  INT_PTR OnOtherMessage(UINT message, WPARAM wparam, LPARAM lparam) override {
    if (IsMouseMessage(message) && tooltip_) {
      // The tooltip sees every mouse message first; none is consumed.
      MSG relayed = {hwnd(), message, wparam, lparam, 0, {0, 0}};
      ::SendMessageA(tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
    }
    switch (message) {
      case DM_GETDEFID:
        // Enter presses the button that has the focus, and OK from the
        // list. The glyph buttons are owner-drawn, so the dialog manager
        // never makes one of them its default button by itself.
        ::SetWindowLongPtrA(hwnd(), DWLP_MSGRESULT, MAKELONG(EnterButton(), DC_HASDEFID));
        return TRUE;
      case WM_MEASUREITEM: {
        auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lparam);
        if (measure->CtlID != IDC_PLAN_LIST) return FALSE;
        measure->itemHeight = static_cast<UINT>(RowHeight(
            parameters_.DisplayMode, static_cast<int>(measure->itemHeight), RowGeometry::Pixels()));
        return TRUE;
      }
      case WM_LBUTTONDOWN:
        ClickAt({static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))});
        return TRUE;
      case WM_SYSCOLORCHANGE:
        AssignGlyphs();
        return TRUE;
      default:
        return FALSE;
    }
  }

 private:
  // The space text in the shortest form needed to be shown whole in its
  // control, measured in the control's font.
  std::string FittedSpaceText(const StatisticsTexts& texts) const {
    HWND control = Item(IDC_SPACE_TEXT);
    RECT room = {};
    if (!::GetClientRect(control, &room)) return texts.space;
    HDC dc = ::GetDC(control);
    const HGDIOBJ old_font =
        ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageA(control, WM_GETFONT, 0, 0)));
    DcMeasure measure(dc);
    std::string text = SpaceTextThatFits(texts, measure, room.right);
    ::SelectObject(dc, old_font);
    ::ReleaseDC(control, dc);
    return text;
  }

  // The button Enter presses: the push button that has the focus, else OK.
  int EnterButton() const {
    HWND focus = ::GetFocus();
    for (const ButtonGlyphs& button : kButtons) {
      if (button.id != IDC_PRINT && focus && focus == Item(button.id)) return button.id;
    }
    return IDOK;
  }

  // Owner-drawn controls learn of the focus through their drawing. Print
  // lies outside the dialog, where nobody sees a focus: when it gets it
  // anyway (its mnemonic clicks it), the focus goes back where it was.
  void NoteFocus(int id, const DRAWITEMSTRUCT& item) {
    if (!(item.itemAction & ODA_FOCUS) || !(item.itemState & ODS_FOCUS)) return;
    if (id != IDC_PRINT) {
      last_focus_ = item.hwndItem;
      return;
    }
    HWND back = last_focus_ ? last_focus_ : Item(IDC_PLAN_LIST);
    ::PostMessageA(hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(back), TRUE);
  }

  // OK with the erase limit's warning: the plan as it now stands is over
  // the limit in a way the user has not confirmed (the marks changed it):
  // the question once more. False for No.
  bool WarningConfirmed() {
    const WarningSource& question = OverviewQuestionSource();
    if (!question) return true;
    const std::string now = question(parameters_, plan_);
    if (now.empty() || now == confirmed_warning_) return true;
    if (!AskWarning(hwnd(), parameters_.Filename, now)) return false;
    confirmed_warning_ = now;
    return true;
  }

  void AssignGlyphs() {
    const HINSTANCE module = win32ui::ModuleInstance();
    for (int i = 0; i < kButtonCount; ++i) {
      buttons_[i].Attach(hwnd(), kButtons[i].id, module, kButtons[i].glyph,
                         kButtons[i].disabledGlyph, GlyphPlacement::kAbove);
    }
    AssignPictures(module);
  }

  // The two page pictures: their olive becomes the button face, like the
  // glyphs'. They are the template's two bitmap statics, in order.
  void AssignPictures(HINSTANCE module) {
    ReleasePictures();
    const int ids[2] = {IDB_WHITE_PAGE, IDB_BLACK_PAGE};
    int next = 0;
    for (HWND child = ::GetWindow(hwnd(), GW_CHILD); child && next < 2;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
      if ((::GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_BITMAP) continue;
      pictures_[next] = win32ui::LoadBitmapOnFace(module, ids[next], kPictureKey);
      ::SendMessageA(child, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(pictures_[next]));
      ++next;
    }
  }

  void ReleasePictures() {
    for (HBITMAP& picture : pictures_) {
      if (picture) ::DeleteObject(picture);
      picture = nullptr;
    }
  }

  void CreateTooltip() {
    tooltip_ = ::CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd(), nullptr,
                                 win32ui::ModuleInstance(), nullptr);
    if (!tooltip_) return;
    TOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V1_SIZE;
    tool.uFlags = 0;
    tool.hwnd = hwnd();
    tool.uId = IDC_GROUP_VIEW;
    tool.rect = ClientRectOf(IDC_GROUP_VIEW);
    tool.hinst = nullptr;
    tool.lpszText = const_cast<char*>("Folders");
    ::SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
  }

  RECT ClientRectOf(int id) const {
    RECT rect = {};
    ::GetWindowRect(Item(id), &rect);
    ::MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
  }

  // A left click in the dialog: the indicator under it, if any (left and
  // top edges inside, right and bottom edges outside).
  void ClickAt(POINT point) {
    for (int id = kIndicatorFirst; id <= kIndicatorLast; ++id) {
      const RECT rect = ClientRectOf(id);
      if (::PtInRect(&rect, point)) {
        presenter_.ClickIndicator(id);
        return;
      }
    }
  }

  int32_t RecordOfEntry(UINT position) const {
    HWND list = Item(IDC_PLAN_LIST);
    const LRESULT length = ::SendMessageA(list, LB_GETTEXTLEN, position, 0);
    if (length == LB_ERR || length > 15) return -1;
    char text[16] = {};
    ::SendMessageA(list, LB_GETTEXT, position, reinterpret_cast<LPARAM>(text));
    return static_cast<int32_t>(std::strtol(text, nullptr, 10));
  }

  bool DrawRow(const DRAWITEMSTRUCT& item) {
    RowRequest request;
    request.item = {item.rcItem.left, item.rcItem.top, item.rcItem.right, item.rcItem.bottom};
    request.selected = (item.itemState & ODS_SELECTED) != 0;
    request.focused = (item.itemState & ODS_FOCUS) != 0;
    // The focus of an empty list names no entry.
    request.record = item.itemID == static_cast<UINT>(-1) ? -1 : RecordOfEntry(item.itemID);
    DcMeasure measure(item.hDC);
    PaintOps(item.hDC, LayOutRow(request, RowGeometry::Pixels(), measure, plan_, parameters_),
             strips_);
    return true;
  }

  bool DrawIndicator(int id, const DRAWITEMSTRUCT& item) {
    HBRUSH face = ::GetSysColorBrush(COLOR_BTNFACE);
    ::FillRect(item.hDC, &item.rcItem, face);
    PaintOps(item.hDC, {LayOutIndicator(id, presenter_.IndicatorActive(id), kIndicatorImageSize)},
             strips_);
    return true;
  }

  Plan& plan_;
  TParameters& parameters_;
  OverviewPresenter presenter_;
  ImageStrips strips_;
  BitmapButton buttons_[kButtonCount];
  HBITMAP pictures_[2] = {nullptr, nullptr};
  HWND tooltip_ = nullptr;
  HWND last_focus_ = nullptr;
  std::string confirmed_warning_;
};

}  // namespace

bool RunOverviewDialog(Plan& plan, TParameters& parameters) {
  win32ui::LoadCommonControls(ICC_WIN95_CLASSES);
  // The erase limit's warning comes first: No stops the run before the plan
  // is shown; Yes shows it, and OK there runs it all the same.
  std::string warning;
  if (const WarningSource& question = OverviewQuestionSource()) {
    warning = question(parameters, plan);
    if (!warning.empty() && !AskWarning(nullptr, parameters.Filename, warning)) return false;
  }
  TOverviewDialog dialog(plan, parameters, std::move(warning));
  // No desktop to show it on: the plan is not run unseen.
  if (dialog.Run() == -1) return false;
  return !plan.Aborted;
}

}  // namespace tolvex::overview
