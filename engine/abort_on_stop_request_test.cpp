#include "engine/abort_on_stop_request.h"

#include <gtest/gtest.h>

#include "model/plan.h"
#include "platform/platform.h"
#include "platform/stop_request.h"

namespace tolvex {
namespace {

// A platform whose pump step takes nothing, as a run without dialogs has it.
class QuietPump final : public PlatformWrapper {
 public:
  QuietPump() : PlatformWrapper(&DefaultPlatform()) {}
  bool TakeOneMessage() override { return false; }
};

// AbortOnStopRequest hooks the pump step and leaves the platform as it is: a
// request made from outside becomes Aborted at the next pump step of
// whatever platform is installed, and only while the watch lives.
TEST(AbortOnStopRequest, TurnsAStopRequestIntoAbortedAtThePumpStepOfTheInstalledPlatform) {
  QuietPump pump;
  SetSys(&pump);
  Plan plan;
  {
    AbortOnStopRequest watch(plan);
    EXPECT_EQ(&Sys(), &pump) << "the platform stays installed";
    Sys().PumpStep();
    EXPECT_FALSE(plan.Aborted) << "no request, no stop";
    RequestStop();
    EXPECT_FALSE(plan.Aborted) << "a request is taken at a pump step, not before";
    Sys().PumpStep();
    EXPECT_TRUE(plan.Aborted);
  }
  plan.Aborted = false;
  Sys().PumpStep();
  EXPECT_FALSE(plan.Aborted) << "the watch is gone with its run";
  ClearStopRequests();
  SetSys(nullptr);
}

}  // namespace
}  // namespace tolvex
