// The private profile (INI file) of the POSIX back end: the text rules of
// GetPrivateProfileStringA / GetPrivateProfileIntA / WritePrivateProfileStringA
// as pure functions over the file's text, and the folder that holds a
// profile named without a path.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tolvex::posix {

// The value of `key` in `section` of INI `text`, or nothing when either is
// missing. Section and key names compare without regard to ASCII case and
// surrounding blanks; the value loses surrounding blanks and one pair of
// matching quotes. Lines without '=' hold no key.
std::optional<std::string> ReadProfileValue(const std::string& text, const std::string& section,
                                            const std::string& key);

// `text` with `key` in `section` set to `value`: an existing key keeps its
// spelling and its line; a new key goes after the last line of its section;
// a new section goes at the end. Line ends follow the text's own (CR LF when
// it has them, else LF).
std::string WriteProfileValue(const std::string& text, const std::string& section,
                              const std::string& key, const std::string& value);

// GetPrivateProfileIntA's reading of a value: `fallback` for an empty value;
// else an optional sign, an optional base prefix (0x, 0o, 0b), then digits up
// to the first other character, wrapping modulo 2^32 ("-1" is 0xFFFFFFFF,
// "42A9" is 42, "B4" is 0).
uint32_t ProfileIntFromText(const std::string& value, uint32_t fallback);

// The folder for a profile named without a path: $XDG_CONFIG_HOME/tolvex
// (an absolute XDG_CONFIG_HOME only, as the XDG rules say), else
// $HOME/.config/tolvex, else the password database's home.
std::string ProfileFolder();

}  // namespace tolvex::posix
