#include "engine/abort_on_stop_request.h"

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace tolvex {
namespace {

// The run installs AbortOnStopRequest over whatever platform is current; it
// must leave copy staging as that platform has it, or every real run would
// copy the slow way.
TEST(AbortOnStopRequest, ForwardsStagingAsThePlatformBelowHasIt) {
  PlatformWrapper wrapper(&DefaultPlatform());
  for (Platform* below : {&DefaultPlatform(), static_cast<Platform*>(&wrapper)}) {
    SetSys(below);
    {
      AbortOnStopRequest abort_on_stop;
      EXPECT_EQ(&Sys(), &abort_on_stop);
      uint32_t failure = 1;
      EXPECT_EQ(abort_on_stop.CompleteStagedCopies(&failure), 0u);
      EXPECT_EQ(failure, kErrOk);
    }
    EXPECT_EQ(&Sys(), below);
  }
  SetSys(nullptr);
}

}  // namespace
}  // namespace tolvex
