#include "library/run_views.h"

#include <memory>
#include <utility>

#include "model/program_state.h"
#if defined(TOLVEX_TERMINAL_UI)
#include "ui/overview/terminal/terminal_overview.h"
#endif

namespace tolvex {

namespace {

std::function<std::string()>& WarningSource() {
  static std::function<std::string()> source;
  return source;
}

class LibraryRunUi final : public RunUi {
 public:
  std::unique_ptr<SearchProgressView> OpenSearchDialog(const std::string& caption) override {
    return silent_.OpenSearchDialog(caption);
  }
  std::unique_ptr<CopyProgressView> OpenCopyDialog(const std::string& caption) override {
    return silent_.OpenCopyDialog(caption);
  }
  bool RunOverview() override {
#if defined(TOLVEX_TERMINAL_UI)
    return overview::RunTerminalOverview(WarningSource());
#else
    return silent_.RunOverview();
#endif
  }

 private:
  SilentRunUi silent_;
};

}  // namespace

RunUi& LibraryViews() {
  static LibraryRunUi views;
  return views;
}

void SetOverviewWarningSource(std::function<std::string()> source) {
  WarningSource() = std::move(source);
}

ScopedLibraryViews::ScopedLibraryViews() {
  if (RunUiInstalled()) return;
  SetRunUi(&LibraryViews());
  installed_ = true;
}

ScopedLibraryViews::~ScopedLibraryViews() {
  if (installed_) SetRunUi(nullptr);
}

}  // namespace tolvex
