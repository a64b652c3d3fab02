// The Win32 back end's instance, and the system, text and number services:
// each a direct call of the real function.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
#include <shellapi.h>

#include "platform/win32/win32_path.h"
#include "platform/win32/win32_platform.h"

namespace tolvex {

Platform& DefaultPlatform() {
  static win32::Win32Platform platform;
  return platform;
}

namespace win32 {

uint32_t Win32Platform::DiskFreeSpace(const std::string& root, uint64_t* free_bytes) {
  if (!IsPassablePath(root)) return kErrInvalidName;
  ULARGE_INTEGER available;
  if (!::GetDiskFreeSpaceExA(root.c_str(), &available, nullptr, nullptr)) {
    return LastError(kErrPathNotFound);
  }
  *free_bytes = available.QuadPart;
  return kErrOk;
}

int32_t Win32Platform::LocalOffsetMinutes() {
  FILETIME utc;
  FILETIME local;
  ::GetSystemTimeAsFileTime(&utc);
  if (!::FileTimeToLocalFileTime(&utc, &local)) return 0;
  const auto ticks = [](const FILETIME& t) {
    return static_cast<int64_t>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
  };
  // 100-ns ticks; the offset is whole minutes.
  return static_cast<int32_t>((ticks(local) - ticks(utc)) / 600000000);
}

uint64_t Win32Platform::TickMilliseconds() { return ::GetTickCount64(); }

LocalTime Win32Platform::Now() {
  SYSTEMTIME st;
  ::GetLocalTime(&st);
  LocalTime now;
  now.year = st.wYear;
  now.month = st.wMonth;
  now.day = st.wDay;
  now.hour = st.wHour;
  now.minute = st.wMinute;
  now.second = st.wSecond;
  now.weekday = st.wDayOfWeek;
  return now;
}

uint32_t Win32Platform::ProfileInt(const std::string& file, const std::string& section,
                                   const std::string& key, uint32_t fallback) {
  return ::GetPrivateProfileIntA(section.c_str(), key.c_str(), static_cast<INT>(fallback),
                                 file.c_str());
}

std::string Win32Platform::ProfileString(const std::string& file, const std::string& section,
                                         const std::string& key, const std::string& fallback) {
  // The call reports a cut value as size - 1 characters: grow and ask again.
  for (DWORD size = 256; size <= (1u << 20); size *= 2) {
    std::string value(size, '\0');
    const DWORD length = ::GetPrivateProfileStringA(section.c_str(), key.c_str(), fallback.c_str(),
                                                    value.data(), size, file.c_str());
    if (length < size - 1) {
      value.resize(length);
      return value;
    }
  }
  return fallback;
}

bool Win32Platform::WriteProfileString(const std::string& file, const std::string& section,
                                       const std::string& key, const std::string& value) {
  return ::WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str()) !=
         0;
}

bool Win32Platform::TakeOneMessage() {
  MSG message;
  if (!::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) return false;
  if (message.message == WM_QUIT) {
    // Not ours to consume: put it back for the front end's own loop, and
    // report no message, so that a loop draining the queue ends.
    ::PostQuitMessage(static_cast<int>(message.wParam));
    return false;
  }
  ::TranslateMessage(&message);
  ::DispatchMessageA(&message);
  return true;
}

void Win32Platform::Beep(uint32_t type) { ::MessageBeep(type); }

bool Win32Platform::ShellOpen(const std::string& target) {
  const HINSTANCE result =
      ::ShellExecuteA(::GetActiveWindow(), "open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  // Values above 32 mean success.
  return reinterpret_cast<INT_PTR>(result) > 32;
}

bool Win32Platform::ShowHelp(const std::string& file, uint32_t context) {
  // The active window (null when there is none) owns the help window.
  return ::WinHelpA(::GetActiveWindow(), file.c_str(), HELP_CONTEXT, context) != 0;
}

int Win32Platform::CompareExact(const std::string& a, const std::string& b) {
  return ::lstrcmpA(a.c_str(), b.c_str());
}

std::string Win32Platform::UpperCase(const std::string& text) {
  // CharUpperBuffA is CharUpperA with an explicit length: it cannot mistake
  // a pointer for a single character, and it converts the whole text.
  std::string upper = text;
  if (!upper.empty()) ::CharUpperBuffA(upper.data(), static_cast<DWORD>(upper.size()));
  return upper;
}

int32_t Win32Platform::MulDiv(int32_t a, int32_t b, int32_t c) { return ::MulDiv(a, b, c); }

}  // namespace win32
}  // namespace tolvex
