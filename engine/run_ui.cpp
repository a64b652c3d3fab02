#include "engine/run_ui.h"

namespace tolvex {

namespace {

class NullCopyProgress final : public CopyProgressView {
 public:
  void ShowCopyRow(const std::string&, const std::string&, const std::string&) override {}
  void ShowToRow(const std::string&, const std::string&, const std::string&) override {}
  void SetGaugePosition(int) override {}
  void EnableInterrupt() override {}
};

RunUi* installed = nullptr;

}  // namespace

std::unique_ptr<SearchProgressView> SilentRunUi::OpenSearchDialog(const std::string&, Plan&) {
  return std::make_unique<NullSearchProgress>();
}

std::unique_ptr<CopyProgressView> SilentRunUi::OpenCopyDialog(const std::string&, Plan&) {
  return std::make_unique<NullCopyProgress>();
}

RunUi& CurrentRunUi() {
  static SilentRunUi silent;
  return installed ? *installed : silent;
}

void SetRunUi(RunUi* ui) { installed = ui; }

RunUi* InstalledRunUi() { return installed; }

std::string DialogCaption(const std::string& job_name) { return "Tolvex 3.0 - " + job_name; }

}  // namespace tolvex
