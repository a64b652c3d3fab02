// Stop requests from outside the run (platform/stop_request.h: CancelUpdate
// from a Ctrl-C handler) become the run's Aborted flag (`aborted`, the
// plan's) at the next pump step, exactly where a Cancel button's click would set it. Installed over
// the current platform for the length of one run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "platform/stop_request.h"

namespace tolvex {

class StopWatch final : public PlatformWrapper {
 public:
  explicit StopWatch(bool& aborted) : PlatformWrapper(&Sys()), aborted_(aborted) { SetSys(this); }
  ~StopWatch() override { SetSys(target()); }
  StopWatch(const StopWatch&) = delete;
  StopWatch& operator=(const StopWatch&) = delete;

  bool PumpStep() override {
    const bool taken = PlatformWrapper::PumpStep();
    if (StopRequests() > 0) aborted_ = true;
    return taken;
  }

  // It changes nothing else: copies are staged as the platform below
  // stages them (a wrapper stages none by default).
  StageResult StageCopy(const std::string& from, const std::string& to) override {
    return target()->StageCopy(from, to);
  }
  size_t CompleteStagedCopies(uint32_t* failure) override {
    return target()->CompleteStagedCopies(failure);
  }
  void DropStagedCopies() override { target()->DropStagedCopies(); }

 private:
  bool& aborted_;
};

}  // namespace tolvex
