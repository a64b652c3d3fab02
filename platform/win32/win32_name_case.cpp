#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <string>

#include "platform/name_case.h"
#include "platform/text_rules.h"

namespace tolvex {

namespace {

using UpcaseChar = WCHAR(WINAPI*)(WCHAR);

// The file system's own upper-casing of one UTF-16 unit (ntdll's, which
// NTFS lookups and CompareStringOrdinal use); CharUpperBuffW where ntdll
// does not give it.
WCHAR FileSystemUpper(WCHAR c) {
  static const UpcaseChar upcase = [] {
    const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    return ntdll ? reinterpret_cast<UpcaseChar>(
                       reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlUpcaseUnicodeChar")))
                 : nullptr;
  }();
  if (upcase) return upcase(c);
  WCHAR one = c;
  ::CharUpperBuffW(&one, 1);
  return one;
}

void AppendUtf8(std::string* out, uint32_t unit) {
  if (unit < 0x80) {
    out->push_back(static_cast<char>(unit));
  } else if (unit < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (unit >> 6)));
    out->push_back(static_cast<char>(0x80 | (unit & 0x3F)));
  } else {
    // Surrogates too, each on its own: the key need only be unique.
    out->push_back(static_cast<char>(0xE0 | (unit >> 12)));
    out->push_back(static_cast<char>(0x80 | ((unit >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (unit & 0x3F)));
  }
}

}  // namespace

std::string NameCaseKey(std::string_view name) {
  if (!HasHighBytes(name)) return AsciiUpperText(name);
  const int length = ::MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()),
                                           nullptr, 0);
  if (length <= 0) return AsciiUpperText(name);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), wide.data(), length);
  std::string key;
  key.reserve(name.size() + 8);
  for (const WCHAR c : wide) AppendUtf8(&key, FileSystemUpper(c));
  return key;
}

}  // namespace tolvex
