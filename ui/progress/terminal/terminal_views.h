// The progress views on the controlling terminal: a box in the middle of
// the screen drawn by ncurses, with the dialogs' texts, a bar, and the
// dialogs' buttons as keys. Keys arrive through the one-message pump
// (platform/terminal_keys.h): each pump step reads at most one.
#pragma once

#include <array>
#include <string>

#include "ui/progress/copy_presenter.h"
#include "ui/progress/search_presenter.h"
#include "ui/terminal/terminal_session.h"

namespace tolvex {

// The search and erase progress: the caption, the phase text and a bar.
// "c" or a lone Esc is Cancel.
class TerminalSearchView final : public SearchDialogDisplay {
 public:
  TerminalSearchView(TerminalSession& session, std::string caption);
  ~TerminalSearchView() override;

  bool IsOpen() const override { return open_; }
  void ShowStatus(const std::string& text) override;
  void ShowRange(int minimum, int maximum) override;
  void ShowPosition(int position) override;
  void ShowWaitCursor(bool) override {}
  void Close() override;

 private:
  void Paint() const;
  void OnKey(int key);

  TerminalSession& session_;
  std::string caption_;
  std::string status_;
  int minimum_ = 0;
  int maximum_ = 100;
  int position_ = 0;
  bool open_ = true;
};

// The copy progress: the "Copying" and "to" rows with path, size and
// date/time, the percentage, the bytes copied of all with the rate and the
// time left, and how far a large file under way is. "i" is Interrupt;
// there is no Cancel. The bytes of a file under way are drawn at most four
// times a second.
class TerminalCopyView final : public CopyDialogDisplay {
 public:
  TerminalCopyView(TerminalSession& session, std::string caption);
  ~TerminalCopyView() override;

  bool IsOpen() const override { return true; }
  void ShowField(CopyField field, const std::string& text) override;
  void ShowPercent(int percent) override;
  void ShowCopiedBytes(const CopiedBytes& bytes) override;
  void EnableInterrupt(bool enabled) override;

  // Milliseconds between two drawings of the bytes of a file under way.
  static constexpr uint64_t kRedrawMilliseconds = 250;

 private:
  void Paint() const;
  void OnKey(int key);
  // "1.5 MiB of 300.0 MiB   4.0 MiB/s   1:12 left" (rate and time once a
  // second has passed).
  std::string BytesLine() const;

  TerminalSession& session_;
  std::string caption_;
  std::array<std::string, kCopyFieldCount> fields_;
  int percent_ = 0;
  CopiedBytes bytes_;
  bool bytesSeen_ = false;
  uint64_t startTick_ = 0;   // the first report of bytes
  uint64_t startBytes_ = 0;  // done then
  uint64_t lastTick_ = 0;    // the bytes' last report
  uint64_t paintTick_ = 0;   // the bytes' last drawing
  bool interrupt_enabled_ = true;
};

}  // namespace tolvex
