// Win32-only behaviour of the system services.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace tolvex {
namespace {

void DrainQueue() {
  MSG message;
  while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
  }
}

TEST(Win32PumpTest, TakesOneMessageAtATime) {
  DrainQueue();
  EXPECT_FALSE(Sys().PumpStep());
  ASSERT_TRUE(::PostThreadMessageA(::GetCurrentThreadId(), WM_USER, 1, 0));
  ASSERT_TRUE(::PostThreadMessageA(::GetCurrentThreadId(), WM_USER, 2, 0));
  EXPECT_TRUE(Sys().PumpStep());
  MSG message;
  ASSERT_TRUE(::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(message.wParam, 2u);
  EXPECT_FALSE(Sys().PumpStep());
}

// A quit request that arrives during a run belongs to the front end's own
// message loop: the pump step must not swallow it.
TEST(Win32PumpTest, LeavesTheQuitRequestForTheCaller) {
  DrainQueue();
  ::PostQuitMessage(7);
  EXPECT_FALSE(Sys().PumpStep());
  MSG message;
  ASSERT_TRUE(::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(message.wParam, 7u);
}

}  // namespace
}  // namespace tolvex
