// The behaviour of the copy progress dialog, free of any toolkit: the run
// writes the "Copying" and "to" rows and the percentage through
// CopyProgressView; the presenter keeps the percentage inside 0-100 and
// the Interrupt button's state, and tells its display (the Win32 dialog or
// the terminal view) what to draw. The display reports the Interrupt
// button (or key) back.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "engine/run_ui.h"

namespace tolvex {

// The six value texts: path, size and date/time of the file being copied
// and of its target.
enum class CopyField { kPath, kSize, kStamp, kToPath, kToSize, kToStamp };
inline constexpr int kCopyFieldCount = 6;

// What a copy dialog's view draws.
class CopyDialogDisplay {
 public:
  virtual ~CopyDialogDisplay() = default;
  // False when the window could not be created: nothing is drawn.
  virtual bool IsOpen() const = 0;
  virtual void ShowField(CopyField field, const std::string& text) = 0;
  // 0 to 100.
  virtual void ShowPercent(int percent) = 0;
  // The bytes of the pass and of the file under way, between its chunks.
  // The dialog in a window shows only its gauge and ignores them.
  virtual void ShowCopiedBytes(const CopiedBytes&) {}
  virtual void EnableInterrupt(bool enabled) = 0;

  // Set by the presenter; the display calls InterruptPressed for the button.
  void SetInterruptHandler(std::function<void()> handler) { interrupt_ = std::move(handler); }

 protected:
  void InterruptPressed() {
    if (interrupt_) interrupt_();
  }

 private:
  std::function<void()> interrupt_;
};

class CopyProgressPresenter final : public CopyProgressView {
 public:
  // Owns the display; it starts at 0 % with the button enabled.
  // `interrupt_request` is the run's InterruptRequest flag, which the
  // Interrupt button sets.
  CopyProgressPresenter(std::unique_ptr<CopyDialogDisplay> display, bool& interrupt_request);

  void ShowCopyRow(const std::string& path, const std::string& size_text,
                   const std::string& stamp_text) override;
  void ShowToRow(const std::string& path, const std::string& size_text,
                 const std::string& stamp_text) override;
  // The run's MulDiv(copied, 100, total), -1 for a total of 0: clamped into
  // 0-100; the display repaints only when the clamped value changes.
  void SetGaugePosition(int position) override;
  void ShowCopiedBytes(const CopiedBytes& bytes) override;
  void EnableInterrupt() override;

  // The Interrupt button: sets InterruptRequest, disables the button so it
  // cannot be pressed again while the request is pending, and lets the
  // run's messages flow once (one pump step). Ignored while disabled.
  void Interrupt();

  int percent() const { return percent_; }
  bool interruptEnabled() const { return interrupt_enabled_; }

 private:
  void Show(CopyField field, const std::string& text);

  std::unique_ptr<CopyDialogDisplay> display_;
  bool& interrupt_request_;
  std::array<std::string, kCopyFieldCount> fields_;
  int percent_ = 0;
  bool interrupt_enabled_ = true;
};

}  // namespace tolvex
