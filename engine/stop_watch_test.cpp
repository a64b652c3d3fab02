#include "engine/stop_watch.h"

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace tolvex {
namespace {

// The run installs the stop watch over whatever platform is current; it
// must leave copy staging as that platform has it, or every real run would
// copy the slow way.
TEST(StopWatch, ForwardsStagingAsThePlatformBelowHasIt) {
  PlatformWrapper wrapper(&DefaultPlatform());
  for (Platform* below : {&DefaultPlatform(), static_cast<Platform*>(&wrapper)}) {
    SetSys(below);
    {
      bool aborted = false;
      StopWatch watch(aborted);
      EXPECT_EQ(&Sys(), &watch);
      uint32_t failure = 1;
      EXPECT_EQ(watch.CompleteStagedCopies(&failure), 0u);
      EXPECT_EQ(failure, kErrOk);
    }
    EXPECT_EQ(&Sys(), below);
  }
  SetSys(nullptr);
}

}  // namespace
}  // namespace tolvex
