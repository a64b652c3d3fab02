// JSON for the command's machine-readable output (--format=json): one
// object per line, built field by field.
#pragma once

#include <cstdint>
#include <string>

namespace tolvex::frontend {

// `text` as a JSON string, quotes included. Well-formed UTF-8 passes as it
// is; control characters and quotes are escaped; any other byte (a name in
// another encoding) is written as \u00XX with the byte's value.
std::string JsonString(const std::string& text);

// {"a":1,"b":"x"} one field at a time.
class JsonObject {
 public:
  JsonObject& Text(const char* key, const std::string& value);
  JsonObject& Number(const char* key, int64_t value);
  JsonObject& Unsigned(const char* key, uint64_t value);
  JsonObject& Flag(const char* key, bool value);
  JsonObject& Null(const char* key);
  JsonObject& Raw(const char* key, const std::string& json);
  std::string str() const { return body_ + "}"; }

 private:
  void Key(const char* key);
  std::string body_ = "{";
};

}  // namespace tolvex::frontend
