#include "frontend/json_text.h"

#include <cstdio>

namespace tolvex::frontend {

namespace {

// The length of the well-formed UTF-8 sequence at `at` (2 to 4), or 0.
size_t Utf8Length(const std::string& text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing past U+10FFFF
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  if (byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
  }
  return length;
}

std::string Escaped(unsigned char c) {
  char text[8];
  std::snprintf(text, sizeof text, "\\u%04x", c);
  return text;
}

}  // namespace

std::string JsonString(const std::string& text) {
  std::string json = "\"";
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      const size_t length = Utf8Length(text, i);
      if (length == 0) {
        json += Escaped(c);
        ++i;
      } else {
        json.append(text, i, length);
        i += length;
      }
      continue;
    }
    if (c == '"' || c == '\\') {
      json += '\\';
      json += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
      json += Escaped(c);
    } else {
      json += static_cast<char>(c);
    }
    ++i;
  }
  return json + "\"";
}

void JsonObject::Key(const char* key) {
  if (body_.size() > 1) body_ += ",";
  body_ += JsonString(key) + ":";
}

JsonObject& JsonObject::Text(const char* key, const std::string& value) {
  Key(key);
  body_ += JsonString(value);
  return *this;
}

JsonObject& JsonObject::Number(const char* key, int64_t value) {
  Key(key);
  body_ += std::to_string(value);
  return *this;
}

JsonObject& JsonObject::Unsigned(const char* key, uint64_t value) {
  Key(key);
  body_ += std::to_string(value);
  return *this;
}

JsonObject& JsonObject::Flag(const char* key, bool value) {
  Key(key);
  body_ += value ? "true" : "false";
  return *this;
}

JsonObject& JsonObject::Null(const char* key) {
  Key(key);
  body_ += "null";
  return *this;
}

JsonObject& JsonObject::Raw(const char* key, const std::string& json) {
  Key(key);
  body_ += json;
  return *this;
}

}  // namespace tolvex::frontend
