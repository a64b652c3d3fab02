// What the command does when another run holds the job's destination
// (the engine's question 10011): wait for it, up to the limit of --wait,
// with a message, or refuse at once.
#pragma once

#include <chrono>
#include <ostream>
#include <string>

namespace tolvex::frontend {

class DestinationWait {
 public:
  // `destination`: the job's Destination as the user knows it; `limit`:
  // how long to wait in all (0: refuse at once).
  DestinationWait(std::string destination, std::chrono::seconds limit, std::ostream& out);

  // The answer to 10011: after a pause, retry (4) while the limit allows;
  // otherwise the answer that ends the run (1), with a message. The first
  // call of a wait says that the command waits.
  int Answer();

  // True once the command gave up (or never waited).
  bool refused() const { return refused_; }

  // The pause between two looks (shorter in tests).
  void set_pause(std::chrono::milliseconds pause) { pause_ = pause; }

 private:
  std::string destination_;
  std::chrono::seconds limit_;
  std::ostream& out_;
  std::chrono::milliseconds pause_{500};
  bool waiting_ = false;
  bool refused_ = false;
  std::chrono::steady_clock::time_point started_;
};

// Parses the value of --wait: whole seconds, 0 or more. False for anything
// else.
bool ParseWaitSeconds(const std::string& text, std::chrono::seconds* limit);

}  // namespace tolvex::frontend
