#include "platform/reserved_names.h"

#include <cstring>

namespace tolvex {

namespace {

constexpr size_t kPrefixLength = sizeof(kTempPrefix) - 1;
constexpr size_t kCounterStart = kPrefixLength + kTempTokenDigits + 1;
constexpr size_t kSuffixStart = kCounterStart + kTempCounterDigits;

constexpr char kHexDigits[] = "0123456789abcdef";

void PutHex(uint64_t value, size_t digits, std::string* out) {
  for (size_t i = digits; i-- > 0;) out->push_back(kHexDigits[(value >> (4 * i)) & 0xF]);
}

bool IsLowerHex(std::string_view text) {
  for (const char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

}  // namespace

std::string TemporaryName(uint64_t token, uint32_t counter) {
  std::string name;
  name.reserve(kTempNameLength);
  name += kTempPrefix;
  PutHex(token, kTempTokenDigits, &name);
  name += '-';
  PutHex(counter, kTempCounterDigits, &name);
  name += kTempSuffix;
  return name;
}

bool IsTemporaryName(std::string_view name) {
  return name.size() == kTempNameLength && name.substr(0, kPrefixLength) == kTempPrefix &&
         IsLowerHex(name.substr(kPrefixLength, kTempTokenDigits)) &&
         name[kCounterStart - 1] == '-' &&
         IsLowerHex(name.substr(kCounterStart, kTempCounterDigits)) &&
         name.substr(kSuffixStart) == kTempSuffix;
}

uint64_t TokenOfTemporaryName(std::string_view name) {
  if (!IsTemporaryName(name)) return 0;
  uint64_t token = 0;
  for (const char c : name.substr(kPrefixLength, kTempTokenDigits)) {
    token = (token << 4) | static_cast<uint64_t>(std::strchr(kHexDigits, c) - kHexDigits);
  }
  return token;
}

bool IsReservedName(std::string_view name) {
  return name == kRunLockName || IsTemporaryName(name);
}

}  // namespace tolvex
