#include "platform/platform.h"

namespace tolvex {

namespace {
Platform* current = nullptr;
PumpStepHook* pump_step_hook = nullptr;
}  // namespace

Platform& Sys() { return current ? *current : DefaultPlatform(); }

void SetSys(Platform* platform) { current = platform; }

bool Platform::PumpStep() {
  const bool taken = TakeOneMessage();
  if (pump_step_hook != nullptr) pump_step_hook->AfterPumpStep();
  return taken;
}

PumpStepHook* SetPumpStepHook(PumpStepHook* hook) {
  PumpStepHook* const replaced = pump_step_hook;
  pump_step_hook = hook;
  return replaced;
}

}  // namespace tolvex
