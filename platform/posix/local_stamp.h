// Native file times <-> packed DOS stamps in local time.
//
// Like FileTimeToLocalFileTime, the shift from UTC is the local-time offset
// in force now (daylight saving as it is today), not the one that applied
// on the file's date; so a stamp does not change when the same instant is
// read in summer or winter, and both back ends agree.
#pragma once

#include <cstdint>
#include <ctime>

namespace tolvex::posix {

// The stamp of a native time (seconds since 1970, UTC); seconds are
// truncated to even values and times outside 1980-01-01 00:00:00 ...
// 2107-12-31 23:59:58 local are clamped to the first or last stamp.
uint32_t StampFromUnixTime(int64_t unix_seconds);

// The same with the offset given (seconds east of UTC), for callers that
// stamp many entries: one look at the zone instead of one per entry. The
// calendar split is plain arithmetic, no zone database involved.
uint32_t StampFromUnixTime(int64_t unix_seconds, int64_t offset_seconds);

// StampFromUnixTime with one offset for many entries, remembering the date
// of the last day it met: the entries of one folder mostly share their
// days, and the calendar split is then done once a day, not once a file.
class StampMaker {
 public:
  explicit StampMaker(int64_t offset_seconds) : offset_(offset_seconds) {}
  uint32_t operator()(int64_t unix_seconds);

 private:
  int64_t offset_;
  bool have_day_ = false;
  int64_t day_ = 0;  // days since 1970 (local) of date_bits_
  uint32_t date_bits_ = 0;
};

// The native time of a stamp. False when the stamp names no valid time
// (month 13, day 0, hour 24, ...).
bool UnixTimeFromStamp(uint32_t stamp, int64_t* unix_seconds);

// The local-time offset in force now, in seconds east of UTC.
int64_t LocalOffsetNow();

}  // namespace tolvex::posix
