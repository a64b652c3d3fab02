// Stop requests from outside the run (platform/stop_request.h: CancelUpdate
// from a Ctrl-C handler) become the run's Aborted flag at the next pump
// step, exactly where a Cancel button's click would set it. Installed over
// the current platform for the length of one run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "model/program_state.h"
#include "platform/platform.h"
#include "platform/stop_request.h"

namespace tolvex {

class AbortOnStopRequest final : public PlatformWrapper {
 public:
  AbortOnStopRequest() : PlatformWrapper(&Sys()) { SetSys(this); }
  ~AbortOnStopRequest() override { SetSys(target()); }
  AbortOnStopRequest(const AbortOnStopRequest&) = delete;
  AbortOnStopRequest& operator=(const AbortOnStopRequest&) = delete;

  bool PumpStep() override {
    const bool taken = PlatformWrapper::PumpStep();
    if (StopRequests() > 0) Aborted = true;
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
};

}  // namespace tolvex
