// Holds an update run at a chosen platform call until a test driver has
// acted, so that a dialog is clicked or a key pressed at a known point of
// the run on any machine, never in a race against a timer.
//
//   HoldingPlatform hold(&DefaultPlatform());
//   hold.HoldAt([](const PlatformCall& call) { return call.kind == CallKind::kCopyOver; },
//               [&] { driver.ActWhileHeld(); });
//   SetSys(&hold);
//
// The hold runs on the run's own thread, inside the call and before the
// call reaches the real platform; when it returns, the run goes on. Each
// hold fires once, in the order they were added: the second waits for the
// first to have fired.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <utility>

#include "platform/fault_injection.h"
#include "platform/platform.h"

namespace tolvex {

struct PlatformCall {
  CallKind kind;
  std::string path;   // the pattern, path or source of the call
  uint64_t number;    // calls of this kind so far, this one included
};

class HoldingPlatform : public PlatformWrapper {
 public:
  using Match = std::function<bool(const PlatformCall&)>;
  using Hold = std::function<void(const PlatformCall&)>;

  explicit HoldingPlatform(Platform* target) : PlatformWrapper(target) {}

  // Runs `hold` at the first call that `match` accepts (after the earlier
  // holds have fired).
  void HoldAt(Match match, Hold hold) { holds_.push_back({std::move(match), std::move(hold)}); }
  // True when every hold has fired.
  bool AllFired() const { return holds_.empty(); }

  uint32_t FindEntries(const std::string& pattern, uint32_t mask, std::vector<FindEntry>* entries,
                       std::vector<std::string>* unusable) override {
    Check(CallKind::kFind, pattern);
    return PlatformWrapper::FindEntries(pattern, mask, entries, unusable);
  }
  uint32_t CopyOver(const std::string& from, const std::string& to) override {
    Check(CallKind::kCopyOver, from);
    return PlatformWrapper::CopyOver(from, to);
  }
  // A staged copy is held as a copy, before it is written.
  StageResult StageCopy(const std::string& from, const std::string& to) override {
    Check(CallKind::kCopyOver, from);
    return PlatformWrapper::StageCopy(from, to);
  }
  uint32_t RemoveFile(const std::string& path) override {
    Check(CallKind::kRemoveFile, path);
    return PlatformWrapper::RemoveFile(path);
  }
  uint32_t RemoveFolder(const std::string& path) override {
    Check(CallKind::kRemoveFolder, path);
    return PlatformWrapper::RemoveFolder(path);
  }

 private:
  struct Pending {
    Match match;
    Hold hold;
  };

  void Check(CallKind kind, const std::string& path) {
    const PlatformCall call{kind, path, ++counts_[static_cast<size_t>(kind)]};
    if (holds_.empty() || !holds_.front().match(call)) return;
    const Hold hold = std::move(holds_.front().hold);
    holds_.pop_front();
    hold(call);
  }

  std::deque<Pending> holds_;
  uint64_t counts_[static_cast<size_t>(CallKind::kCount)] = {};
};

}  // namespace tolvex
