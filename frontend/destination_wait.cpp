#include "frontend/destination_wait.h"

#include <thread>
#include <utility>

#include "include/tolvex32.h"

namespace tolvex::frontend {

DestinationWait::DestinationWait(std::string destination, std::chrono::seconds limit,
                                 std::ostream& out)
    : destination_(std::move(destination)), limit_(limit), out_(out) {}

int DestinationWait::Answer() {
  const auto now = std::chrono::steady_clock::now();
  if (!waiting_) {
    waiting_ = true;
    started_ = now;
    if (limit_.count() > 0) {
      out_ << "Another run is using the destination " << destination_ << "; waiting for it to end"
           << " (at most " << limit_.count() << " s)...\n";
      out_.flush();
    }
  }
  if (now - started_ + pause_ <= limit_) {
    std::this_thread::sleep_for(pause_);
    return TOLVEX_NOTIFY_RETRY;
  }
  refused_ = true;
  out_ << "Stopped: another run is using the destination " << destination_;
  if (limit_.count() > 0) {
    out_ << " and did not end within " << limit_.count() << " s.\n";
  } else {
    out_ << " (--wait SECONDS waits for it).\n";
  }
  return TOLVEX_NOTIFY_OK;
}

bool ParseWaitSeconds(const std::string& text, std::chrono::seconds* limit) {
  if (text.empty() || text.size() > 9) return false;
  long value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  *limit = std::chrono::seconds(value);
  return true;
}

}  // namespace tolvex::frontend
