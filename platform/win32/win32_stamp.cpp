#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "platform/win32/win32_stamp.h"

#include "platform/dos_stamp.h"
#include "platform/platform.h"

namespace tolvex::win32 {

namespace {

uint64_t ToNumber(const FILETIME& ft) {
  return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

FILETIME ToFileTime(uint64_t value) {
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(value & 0xFFFFFFFFu);
  ft.dwHighDateTime = static_cast<DWORD>(value >> 32);
  return ft;
}

uint64_t FileTimeOfYearStart(WORD year) {
  SYSTEMTIME st = {};
  st.wYear = year;
  st.wMonth = 1;
  st.wDay = 1;
  FILETIME ft = {};
  ::SystemTimeToFileTime(&st, &ft);
  return ToNumber(ft);
}

// The local-time range a DOS stamp can hold: [1980-01-01, 2108-01-01).
uint64_t FirstDosTime() {
  static const uint64_t value = FileTimeOfYearStart(1980);
  return value;
}
uint64_t EndOfDosTime() {
  static const uint64_t value = FileTimeOfYearStart(2108);
  return value;
}

}  // namespace

uint32_t StampFromFileTime(uint64_t utc_file_time) {
  const FILETIME utc = ToFileTime(utc_file_time);
  FILETIME local;
  if (!::FileTimeToLocalFileTime(&utc, &local)) {
    // Only the extremes of the FILETIME range fail to convert.
    return utc_file_time < FirstDosTime() ? kFirstStamp : kLastStamp;
  }
  const uint64_t local_time = ToNumber(local);
  if (local_time < FirstDosTime()) return kFirstStamp;
  if (local_time >= EndOfDosTime()) return kLastStamp;
  WORD date = 0;
  WORD time = 0;
  if (!::FileTimeToDosDateTime(&local, &date, &time)) return kFirstStamp;
  return (static_cast<uint32_t>(date) << 16) | time;
}

uint32_t FileTimeFromStamp(uint32_t stamp, uint64_t* utc_file_time) {
  FILETIME local;
  FILETIME utc;
  if (!::DosDateTimeToFileTime(static_cast<WORD>(stamp >> 16), static_cast<WORD>(stamp & 0xFFFF),
                               &local) ||
      !::LocalFileTimeToFileTime(&local, &utc)) {
    return kErrInvalidParameter;
  }
  *utc_file_time = ToNumber(utc);
  return kErrOk;
}

}  // namespace tolvex::win32
