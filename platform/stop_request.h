// Requests to stop a run that come from outside its own flow: a signal
// handler (Ctrl-C on Linux) or a console control handler (another thread on
// Windows). The first request stops the run at its next check, as a Cancel
// button does; from the second on, the copy under way stops too (CopyOver
// fails with kErrRequestAborted and leaves the target as it was).
//
// Every function here is async-signal-safe and thread-safe: one lock-free
// atomic counter.
#pragma once

namespace tolvex {

// Counts one request more (at most two are told apart).
void RequestStop();
// 0, 1 or 2.
int StopRequests();
// Forgets the requests (at the end of a run).
void ClearStopRequests();

// True once the copy under way must stop.
inline bool CopyStopRequested() { return StopRequests() >= 2; }

}  // namespace tolvex
