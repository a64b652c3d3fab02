// Stop requests from outside the run (platform/stop_request.h: CancelUpdate
// from a Ctrl-C handler) become the run's Aborted flag at the next pump
// step, exactly where a Cancel button's click would set it. Installed as
// the pump step hook for the length of one run; the platform stays as it
// is.
#pragma once

#include "model/plan.h"
#include "platform/platform.h"
#include "platform/stop_request.h"

namespace tolvex {

class AbortOnStopRequest final : public PumpStepHook {
 public:
  explicit AbortOnStopRequest(Plan& plan) : plan_(plan), replaced_(SetPumpStepHook(this)) {}
  ~AbortOnStopRequest() { SetPumpStepHook(replaced_); }
  AbortOnStopRequest(const AbortOnStopRequest&) = delete;
  AbortOnStopRequest& operator=(const AbortOnStopRequest&) = delete;

  void AfterPumpStep() override {
    if (StopRequests() > 0) plan_.Aborted = true;
  }

 private:
  Plan& plan_;
  PumpStepHook* replaced_;
};

}  // namespace tolvex
