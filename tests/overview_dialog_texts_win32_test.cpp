// The statistics texts of the overview dialog fit their controls: measured
// in the real dialog's own font (the template's, as Windows or Wine gives
// it), the space text of control 1017 is never wider than the control, for
// the drives of a real run and for the widest text its figures can give.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "model/parameters.h"
#include "resources/overview_ids.h"
#include "tests/overview_dialog_driver.h"
#include "ui/overview/overview_statistics.h"
#include "ui/overview/row_layout.h"

namespace tolvex::runtest {
namespace {

// The drives' free space as the test sets it.
class FreeSpacePlatform final : public PlatformWrapper {
 public:
  FreeSpacePlatform(Platform* base, uint64_t source, uint64_t destination)
      : PlatformWrapper(base), source_(source), destination_(destination) {}
  uint32_t DiskFreeSpace(const std::string& root, uint64_t* free_bytes) override {
    *free_bytes = !root.empty() && (root[0] == 'S' || root[0] == 's') ? source_ : destination_;
    return 0;
  }

 private:
  uint64_t source_;
  uint64_t destination_;
};

// The width of `text` in pixels, in the font of control `id`.
int TextWidth(HWND dialog, int id, const std::string& text) {
  HWND control = ::GetDlgItem(dialog, id);
  HDC dc = ::GetDC(control);
  const HGDIOBJ old = ::SelectObject(
      dc, reinterpret_cast<HFONT>(Send(control, WM_GETFONT)));
  SIZE size = {};
  ::GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
  ::SelectObject(dc, old);
  ::ReleaseDC(control, dc);
  return size.cx;
}

int ClientWidth(HWND dialog, int id) {
  RECT client = {};
  ::GetClientRect(::GetDlgItem(dialog, id), &client);
  return client.right;
}

constexpr uint64_t kMegabyte = 1048576;

class OverviewTexts : public OverviewDialog {
 protected:
  OverviewTexts() {
    Write("S:\\Data\\a.txt", std::string(900000, 'a'), kNew);  // 0.858 MB
    job_.displayMode = 2;
  }
};

TEST_F(OverviewTexts, TheSpaceTextFitsItsControl) {
  std::ostringstream measured;
  // Free space as drives have it: a full small stick, a 64 GB disk, a
  // 2 TB disk, an 18 TB array.
  // The full text "0.858 MB   S: +67845.0MB   T: +64703.1MB" needs
  // 212 pixels in the 186 of the control.
  struct Drives {
    uint64_t source, destination;
    const char* shown;
  };
  const Drives spaces[] = {
      {100 * kMegabyte, 64704 * kMegabyte, "0.858 MB   S: +100.0MB   T: +63.2GB"},
      {67845 * kMegabyte, 64704 * kMegabyte, "0.858 MB   S: +66.3GB   T: +63.2GB"},
      {uint64_t{1862} << 30, uint64_t{1862} << 30, "0.858 MB   S: +1.8TB   T: +1.8TB"},
      {uint64_t{18} << 40, uint64_t{9} << 40, "0.858 MB   S: +18.0TB   T: +9216.0GB"},
  };
  for (const Drives& space : spaces) {
    FreeSpacePlatform platform(&shell_, space.source, space.destination);
    SetSys(&platform);
    std::string text;
    int width = 0, room = 0;
    RunWithDriver([&](Overview& o) {
      text = o.Text(IDC_SPACE_TEXT);
      width = TextWidth(o.dialog(), IDC_SPACE_TEXT, text);
      room = ClientWidth(o.dialog(), IDC_SPACE_TEXT);
      if (space.source == 67845 * kMegabyte) {
        EXPECT_TRUE(o.Shot("overview_space_text.png"));
      }
      o.Click(IDCANCEL);
    });
    SetSys(&shell_);
    measured << "\"" << text << "\": " << width << " of " << room << " px\n";
    EXPECT_LE(width, room) << text;
    EXPECT_EQ(text, space.shown);
  }
  std::ofstream(ArtifactPath("overview_space_text.txt"), std::ios::trunc) << measured.str();
}

// Measures in the font of control 1017 of a real dialog.
class ControlMeasure final : public overview::TextMeasure {
 public:
  explicit ControlMeasure(HWND dialog) : dialog_(dialog) {}
  int Width(std::string_view text) override {
    return TextWidth(dialog_, IDC_SPACE_TEXT, std::string(text));
  }

 private:
  HWND dialog_;
};

// Every text the figures can give is shown whole: the widest drive letters,
// both signs, each figure just below and past each change of unit, from
// nothing to hundreds of terabytes.
TEST_F(OverviewTexts, EveryFigureGivesASpaceTextThatFits) {
  const double mb = 1048576.0;
  const double copies[] = {0, 999.94 * mb, 9999.9 * mb, 10000 * mb, 999.94 * 1024 * mb,
                           5.0 * (uint64_t{1} << 40), 900.0 * (uint64_t{1} << 40)};
  const double keeps[] = {-999.4 * mb, 9999.9 * mb, -9999.9 * mb, 999.4 * 1024 * mb,
                          -999.4 * 1024 * mb, 1862.0 * 1024 * mb, -9999.9 * 1024 * mb,
                          999.0 * (uint64_t{1} << 40)};
  std::ostringstream measured;
  int widest = 0, room = 0, checked = 0;
  std::string widest_text;
  RunWithDriver([&](Overview& o) {
    room = ClientWidth(o.dialog(), IDC_SPACE_TEXT);
    ControlMeasure measure(o.dialog());
    for (const char* letters : {"WM", "MW", "SS"}) {
      for (double copy : copies) {
        for (double source : keeps) {
          for (double destination : keeps) {
            Plan p;
            p.SourceDrive = letters[0];
            p.DestinationDrive = letters[1];
            p.CopyBytes = static_cast<uint64_t>(copy);
            p.AvailSrc = static_cast<int64_t>(source);
            p.AvailDest = static_cast<int64_t>(destination);
            const std::string text =
                overview::SpaceTextThatFits(overview::StatisticsTextsOf(p), measure, room);
            const int width = measure.Width(text);
            ++checked;
            EXPECT_LE(width, room) << text;
            if (width > widest) {
              widest = width;
              widest_text = text;
            }
          }
        }
      }
    }
    o.Click(IDCANCEL);
  });
  EXPECT_GT(checked, 1000);
  measured << "widest: \"" << widest_text << "\": " << widest << " of " << room << " px\n";
  std::ofstream(ArtifactPath("overview_space_text.txt"), std::ios::app) << measured.str();
}

}  // namespace
}  // namespace tolvex::runtest
