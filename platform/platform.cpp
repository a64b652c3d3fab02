#include "platform/platform.h"

namespace tolvex {

namespace {
Platform* current = nullptr;
}  // namespace

Platform& Sys() { return current ? *current : DefaultPlatform(); }

void SetSys(Platform* platform) { current = platform; }

}  // namespace tolvex
