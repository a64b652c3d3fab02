// Stop requests from outside the run (platform/stop_request.h: CancelUpdate
// from a Ctrl-C handler) become the run's Aborted flag at the next pump
// step, exactly where a Cancel button's click would set it. Installed over
// the current platform for the length of one run.
#pragma once

#include "model/program_state.h"
#include "platform/platform.h"
#include "platform/stop_request.h"

namespace tolvex {

class StopWatch final : public PlatformWrapper {
 public:
  StopWatch() : PlatformWrapper(&Sys()) { SetSys(this); }
  ~StopWatch() override { SetSys(target()); }
  StopWatch(const StopWatch&) = delete;
  StopWatch& operator=(const StopWatch&) = delete;

  bool PumpStep() override {
    const bool taken = PlatformWrapper::PumpStep();
    if (StopRequests() > 0) Aborted = true;
    return taken;
  }
};

}  // namespace tolvex
