// What the run and the scan tell the progress dialogs. The engine never
// includes a toolkit header: the Win32 dialogs, the terminal views and the
// tests' recording doubles implement these interfaces.
#pragma once

#include <string>

namespace tolvex {

// The search and erase progress dialog: a status line and a gauge, with a
// Cancel button that sets Aborted from inside a pump step.
class SearchProgressView {
 public:
  virtual ~SearchProgressView() = default;
  virtual void SetStatusText(const std::string& text) = 0;
  virtual void SetGaugeRange(int minimum, int maximum) = 0;
  virtual void SetGaugePosition(int position) = 0;
  // Shows the wait cursor (true) or the arrow again (false).
  virtual void SetWaitCursor(bool wait) = 0;
};

// The copy progress dialog: the "Copying" row, the "to" row, the percentage
// gauge and the Interrupt button, which sets InterruptRequest.
class CopyProgressView {
 public:
  virtual ~CopyProgressView() = default;
  virtual void ShowCopyRow(const std::string& path, const std::string& size_text,
                           const std::string& stamp_text) = 0;
  virtual void ShowToRow(const std::string& path, const std::string& size_text,
                         const std::string& stamp_text) = 0;
  virtual void SetGaugePosition(int position) = 0;
  // Enables the Interrupt button again after an interruption was handled.
  virtual void EnableInterrupt() = 0;
};

// A progress view that shows nothing (no terminal, no display).
class NullSearchProgress final : public SearchProgressView {
 public:
  void SetStatusText(const std::string&) override {}
  void SetGaugeRange(int, int) override {}
  void SetGaugePosition(int) override {}
  void SetWaitCursor(bool) override {}
};

}  // namespace tolvex
