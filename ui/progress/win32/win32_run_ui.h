// The run's dialogs on Windows: the real search and copy progress dialogs.
#pragma once

#include <memory>
#include <string>

#include "engine/run_ui.h"

namespace tolvex {

class Win32RunUi final : public RunUi {
 public:
  std::unique_ptr<SearchProgressView> OpenSearchDialog(const std::string& caption,
                                                       Plan& plan) override;
  std::unique_ptr<CopyProgressView> OpenCopyDialog(const std::string& caption, Plan& plan) override;
  // The overview dialog (ui/overview/win32).
  OverviewAnswer RunOverview(const OverviewRequest& request) override;
};

}  // namespace tolvex
