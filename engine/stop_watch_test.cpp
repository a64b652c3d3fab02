#include "engine/stop_watch.h"

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace tolvex {
namespace {

// The run installs the stop watch over whatever platform is current; it
// must leave copy staging and reading ahead as that platform has them, or
// every real run would copy and scan the slow way.
TEST(StopWatch, ForwardsStagingAndReadingAheadAsThePlatformBelowHasThem) {
  PlatformWrapper wrapper(&DefaultPlatform());
  for (Platform* below : {&DefaultPlatform(), static_cast<Platform*>(&wrapper)}) {
    SetSys(below);
    {
      StopWatch watch;
      EXPECT_EQ(&Sys(), &watch);
      EXPECT_EQ(watch.FindEntriesFromAnyThread(), below->FindEntriesFromAnyThread());
      uint32_t failure = 1;
      EXPECT_EQ(watch.CompleteStagedCopies(&failure), 0u);
      EXPECT_EQ(failure, kErrOk);
    }
    EXPECT_EQ(&Sys(), below);
  }
  SetSys(nullptr);
#ifndef _WIN32
  EXPECT_TRUE(DefaultPlatform().FindEntriesFromAnyThread());
#endif
  EXPECT_FALSE(wrapper.FindEntriesFromAnyThread());
}

}  // namespace
}  // namespace tolvex
