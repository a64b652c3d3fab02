// The test driver of real dialogs (testing/win32_dialog_driver.h) on the
// progress dialog's template: the run thread held while another thread
// reads, clicks and takes a picture.
#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

#include "resources/progress_ids.h"
#include "testing/win32_dialog_driver.h"
#include "ui/win32/dialog_window.h"

namespace tolvex::win32ui {
namespace {

class CancelDialog final : public DialogWindow {
 public:
  bool Open() { return CreateModeless(IDD_SEARCH_PROGRESS, nullptr); }
  int cancels = 0;

 private:
  void OnCommand(int id, int code, HWND) override {
    if (id == IDCANCEL && code == BN_CLICKED) {
      ++cancels;
      Destroy();
    }
  }
};

struct Seen {
  bool found = false;
  std::string status;
  ControlState cancel;
  RECT cancelInTemplate = {};
  bool clicked = false;
  bool pictureSaved = false;
};

TEST(DialogDriver, ReadsClicksAndPicturesADialogWhileItsThreadIsHeld) {
  CancelDialog dialog;
  ASSERT_TRUE(dialog.Open());
  ::SetDlgItemTextA(dialog.hwnd(), IDC_SEARCH_STATUS, "Held here");
  const std::string picture = ArtifactPath("dialog_driver.png");
  std::remove(("/" + picture.substr(3)).c_str());

  RunHold hold;
  Seen seen;
  std::thread driver([&] {
    if (!hold.WaitUntilHeld()) return;
    HWND found = DialogDriver::FindDialogWithItem(IDC_SEARCH_STATUS);
    seen.found = found == dialog.hwnd();
    if (seen.found) {
      seen.status = DialogDriver::WindowText(::GetDlgItem(found, IDC_SEARCH_STATUS));
      seen.cancel = DialogDriver::Control(found, IDCANCEL);
      seen.cancelInTemplate = DialogDriver::TemplateRect(found, 106, 34, 60, 16);
      seen.pictureSaved = DialogDriver::SaveScreenshot(found, picture);
      seen.clicked = DialogDriver::Click(found, IDCANCEL);
    }
    hold.Release();
  });
  hold.HoldHere();
  driver.join();

  EXPECT_TRUE(seen.found);
  EXPECT_EQ(seen.status, "Held here");
  EXPECT_TRUE(seen.cancel.visible && seen.cancel.enabled);
  EXPECT_EQ(seen.cancel.className, "Button");
  EXPECT_EQ(seen.cancel.text, "Cancel");
  EXPECT_TRUE(::EqualRect(&seen.cancel.rect, &seen.cancelInTemplate));
  EXPECT_TRUE(seen.pictureSaved);
  EXPECT_TRUE(seen.clicked);
  // The click was answered inside the hold: the dialog is gone already.
  EXPECT_EQ(dialog.cancels, 1);
  EXPECT_FALSE(dialog.IsOpen());
  EXPECT_TRUE(DialogDriver::ProcessDialogs().empty());
}

}  // namespace
}  // namespace tolvex::win32ui
