// The shared dialog base and button glyphs on real windows (under Wine on
// a virtual display). They use the progress dialog's template 2000 and
// its Cancel glyph, bitmap 2, which every program linking the engine holds.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "resources/progress_ids.h"
#include "ui/win32/bitmap_button.h"
#include "ui/win32/dialog_font.h"
#include "ui/win32/dialog_window.h"

namespace tolvex::win32ui {
namespace {

class ProbeDialog final : public DialogWindow {
 public:
  bool Open() { return CreateModeless(IDD_SEARCH_PROGRESS, nullptr); }
  void Close() { Destroy(); }

  std::vector<std::string> calls;
  bool hwndBoundInInit = false;

 private:
  bool OnInitDialog() override {
    hwndBoundInInit = hwnd() != nullptr && Item(IDCANCEL) != nullptr;
    calls.push_back("init");
    return true;
  }
  void OnCommand(int id, int code, HWND) override {
    calls.push_back("command " + std::to_string(id) + " " + std::to_string(code));
  }
  void OnDestroy() override { calls.push_back(Item(IDC_SEARCH_STATUS) ? "destroy with controls" : "destroy"); }
};

// Delivers what is waiting, as the run's pump steps would.
void Drain() {
  MSG message;
  while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
}

TEST(DialogWindow, BindsTheObjectAndRoutesCommandsAndDestruction) {
  ProbeDialog dialog;
  ASSERT_TRUE(dialog.Open()) << "template 2000 missing from the program's resources?";
  EXPECT_TRUE(dialog.hwndBoundInInit);
  EXPECT_TRUE(::IsWindowVisible(dialog.hwnd()));

  ::SendMessageA(dialog.Item(IDCANCEL), BM_CLICK, 0, 0);
  Drain();
  dialog.Close();
  EXPECT_FALSE(dialog.IsOpen());
  EXPECT_EQ(dialog.calls,
            (std::vector<std::string>{"init", "command 2 0", "destroy with controls"}));
}

TEST(DialogWindow, AWindowDestroyedFromOutsideLeavesTheObjectClosed) {
  ProbeDialog dialog;
  ASSERT_TRUE(dialog.Open());
  ::DestroyWindow(dialog.hwnd());
  EXPECT_FALSE(dialog.IsOpen());
  EXPECT_EQ(dialog.Item(IDCANCEL), nullptr);
}

// The colour of pixel (x, y) of a bitmap, y from the top.
COLORREF PixelOf(HBITMAP bitmap, int x, int y) {
  BITMAP info = {};
  ::GetObjectA(bitmap, sizeof info, &info);
  BITMAPINFO request = {};
  request.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  request.bmiHeader.biWidth = info.bmWidth;
  request.bmiHeader.biHeight = -info.bmHeight;  // top-down
  request.bmiHeader.biPlanes = 1;
  request.bmiHeader.biBitCount = 32;
  std::vector<DWORD> pixels(static_cast<size_t>(info.bmWidth) * info.bmHeight);
  HDC screen = ::GetDC(nullptr);
  ::GetDIBits(screen, bitmap, 0, info.bmHeight, pixels.data(), &request, DIB_RGB_COLORS);
  ::ReleaseDC(nullptr, screen);
  const DWORD bgr = pixels[static_cast<size_t>(y) * info.bmWidth + x];
  return RGB((bgr >> 16) & 0xFF, (bgr >> 8) & 0xFF, bgr & 0xFF);
}

TEST(BitmapGlyph, OliveBecomesTheButtonFaceAndTheGlyphKeepsItsColours) {
  HBITMAP glyph = LoadBitmapOnFace(ModuleInstance(), IDB_CANCEL);
  ASSERT_NE(glyph, nullptr);
  BITMAP info = {};
  ::GetObjectA(glyph, sizeof info, &info);
  EXPECT_EQ(info.bmWidth, 13);
  EXPECT_EQ(info.bmHeight, 15);
  EXPECT_EQ(PixelOf(glyph, 0, 0), ::GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(PixelOf(glyph, 1, 2), RGB(255, 0, 0));  // the cross's first stroke
  ::DeleteObject(glyph);
  EXPECT_EQ(LoadBitmapOnFace(ModuleInstance(), 4242), nullptr);
}

TEST(BitmapButton, TurnsThePushButtonOwnerDrawnAndOwnsItsGlyph) {
  ProbeDialog dialog;
  ASSERT_TRUE(dialog.Open());
  BitmapButton button;
  ASSERT_TRUE(button.Attach(dialog.hwnd(), IDCANCEL, ModuleInstance(), IDB_CANCEL));
  EXPECT_EQ(::GetWindowLongA(button.button(), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
  EXPECT_FALSE(button.Attach(dialog.hwnd(), 4242, ModuleInstance(), IDB_CANCEL));
}

TEST(DialogFont, CellHeightFollowsTheScreenResolution) {
  DialogFont font(kDialogFontFace, kDialogFontPoints, FW_BOLD);
  ASSERT_NE(font.handle(), nullptr);
  LOGFONTA described = {};
  ::GetObjectA(font.handle(), sizeof described, &described);
  HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  EXPECT_EQ(described.lfHeight, ::MulDiv(8, dpi, 72));
  EXPECT_EQ(described.lfWeight, FW_BOLD);
  EXPECT_STREQ(described.lfFaceName, "MS Sans Serif");
}

}  // namespace
}  // namespace tolvex::win32ui
