#include "platform/stop_request.h"

#include <atomic>

namespace tolvex {

namespace {

// A signal handler may only touch lock-free atomics (or volatile
// sig_atomic_t); a Windows console handler runs on a thread of its own.
std::atomic<int> stop_requests{0};
static_assert(std::atomic<int>::is_always_lock_free);

}  // namespace

void RequestStop() {
  int seen = stop_requests.load();
  while (seen < 2 && !stop_requests.compare_exchange_weak(seen, seen + 1)) {
  }
}

int StopRequests() { return stop_requests.load(); }

void ClearStopRequests() { stop_requests.store(0); }

}  // namespace tolvex
