// The behaviour of the search and erase progress dialog, free of any
// toolkit: the run and the scan write the phase text, the gauge's range and
// position through SearchProgressView; the presenter normalises them and
// tells its display (the Win32 dialog or the terminal view) what to draw.
// The display reports the Cancel button (or key) back.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "model/progress.h"

namespace tolvex {

// What a search dialog's view draws.
class SearchDialogDisplay {
 public:
  virtual ~SearchDialogDisplay() = default;
  // False once the window is gone (after Cancel, or when it could not be
  // created): nothing more is drawn.
  virtual bool IsOpen() const = 0;
  virtual void ShowStatus(const std::string& text) = 0;
  // A range whose maximum lies above its minimum.
  virtual void ShowRange(int minimum, int maximum) = 0;
  // A position inside the range last shown.
  virtual void ShowPosition(int position) = 0;
  virtual void ShowWaitCursor(bool wait) = 0;
  // Takes the window away at once.
  virtual void Close() = 0;

  // Set by the presenter; the display calls CancelPressed for the button.
  void SetCancelHandler(std::function<void()> handler) { cancel_ = std::move(handler); }

 protected:
  void CancelPressed() {
    if (cancel_) cancel_();
  }

 private:
  std::function<void()> cancel_;
};

class SearchProgressPresenter final : public SearchProgressView {
 public:
  // Owns the display; the display's range starts as 0-100 at position 0
  // (the standard progress bar's own start).
  // `aborted` is the run's Aborted flag, which Cancel sets.
  SearchProgressPresenter(std::unique_ptr<SearchDialogDisplay> display, bool& aborted);

  void SetStatusText(const std::string& text) override;
  // A maximum not above the minimum becomes minimum + 1; the position is
  // clamped into the new range.
  void SetGaugeRange(int minimum, int maximum) override;
  // Clamped into the range; the display repaints only when the clamped
  // value changes.
  void SetGaugePosition(int position) override;
  void SetWaitCursor(bool wait) override;

  // The Cancel button: sets Aborted and closes the window at once. The run
  // notices at its next test of the flag; what it writes afterwards is
  // ignored.
  void Cancel();

  int minimum() const { return minimum_; }
  int maximum() const { return maximum_; }
  int position() const { return position_; }

 private:
  bool Showing() const { return display_ && display_->IsOpen(); }

  std::unique_ptr<SearchDialogDisplay> display_;
  bool& aborted_;
  int minimum_ = 0;
  int maximum_ = 100;
  int position_ = 0;
};

}  // namespace tolvex
