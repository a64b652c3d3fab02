#include "ui/progress/copy_presenter.h"

#include <algorithm>

#include "platform/platform.h"

namespace tolvex {

CopyProgressPresenter::CopyProgressPresenter(std::unique_ptr<CopyDialogDisplay> display,
                                             bool& interrupt_request)
    : display_(std::move(display)), interrupt_request_(interrupt_request) {
  if (display_) display_->SetInterruptHandler([this] { Interrupt(); });
}

void CopyProgressPresenter::Show(CopyField field, const std::string& text) {
  std::string& shown = fields_[static_cast<size_t>(field)];
  if (shown == text) return;
  shown = text;
  if (display_ && display_->IsOpen()) display_->ShowField(field, text);
}

void CopyProgressPresenter::ShowCopyRow(const std::string& path, const std::string& size_text,
                                        const std::string& stamp_text) {
  Show(CopyField::kPath, path);
  Show(CopyField::kSize, size_text);
  Show(CopyField::kStamp, stamp_text);
}

void CopyProgressPresenter::ShowToRow(const std::string& path, const std::string& size_text,
                                      const std::string& stamp_text) {
  Show(CopyField::kToPath, path);
  Show(CopyField::kToSize, size_text);
  Show(CopyField::kToStamp, stamp_text);
}

void CopyProgressPresenter::SetGaugePosition(int position) {
  const int clamped = std::clamp(position, 0, 100);
  if (clamped == percent_) return;
  percent_ = clamped;
  if (display_ && display_->IsOpen()) display_->ShowPercent(percent_);
}

void CopyProgressPresenter::ShowCopiedBytes(const CopiedBytes& bytes) {
  if (display_ && display_->IsOpen()) display_->ShowCopiedBytes(bytes);
}

void CopyProgressPresenter::EnableInterrupt() {
  interrupt_enabled_ = true;
  if (display_ && display_->IsOpen()) display_->EnableInterrupt(true);
}

void CopyProgressPresenter::Interrupt() {
  if (!interrupt_enabled_) return;
  interrupt_request_ = true;
  interrupt_enabled_ = false;
  if (display_ && display_->IsOpen()) display_->EnableInterrupt(false);
  Sys().PumpStep();
}

}  // namespace tolvex
