// How the update run reaches its dialogs. The run never includes a toolkit
// header: the Win32 dialogs, the terminal views and the tests' scripted
// doubles each implement RunUi.
#pragma once

#include <memory>
#include <string>

#include "ui/progress/progress_views.h"

namespace tolvex {

class RunUi {
 public:
  virtual ~RunUi() = default;
  // Creates and shows the search and erase progress dialog (never null).
  virtual std::unique_ptr<SearchProgressView> OpenSearchDialog(const std::string& caption) = 0;
  // Creates and shows the copy progress dialog (never null).
  virtual std::unique_ptr<CopyProgressView> OpenCopyDialog(const std::string& caption) = 0;
  // Runs the overview modally over the ordered plan. True when the user
  // confirmed it (OK); false for Cancel, and when no overview can be shown:
  // a run the user asked to confirm is never run unconfirmed.
  virtual bool RunOverview() = 0;
};

// Shows nothing: silent progress, and an overview that cannot be shown.
class SilentRunUi final : public RunUi {
 public:
  std::unique_ptr<SearchProgressView> OpenSearchDialog(const std::string& caption) override;
  std::unique_ptr<CopyProgressView> OpenCopyDialog(const std::string& caption) override;
  bool RunOverview() override { return false; }
};

// The dialogs the run uses now: the platform's own unless a test installed
// others. SetRunUi(nullptr) restores the default.
RunUi& CurrentRunUi();
void SetRunUi(RunUi* ui);

// The caption of every dialog of the run except the overview.
std::string DialogCaption(const std::string& job_name);

}  // namespace tolvex
