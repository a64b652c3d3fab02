// Names Windows cannot hold, carried through the engine's Windows-form paths.
//
// A POSIX folder may hold names with \ : * ? " < > |, a control character
// or a final dot or space. The engine sees each such character as the
// private-use character U+F000 + its code (":" is U+F03A, three bytes
// EF 80 BA in UTF-8), and a final dot or space as U+F02E or U+F020; the
// back end maps them back at the seam, so the files on disk keep their real
// names. Only the last character of a name is mapped for a final dot or
// space: the name then ends in neither, which is all Windows asks.
//
// A name on disk that already holds one of those private-use characters
// would read, mapped back, as another name: such a name is not mapped and
// stays unusable, so that every engine name stands for one name on disk.
#pragma once

#include <string>
#include <string_view>

namespace tolvex::posix {

enum class HostNameFit {
  kAsIs,      // Windows holds it as it is
  kMapped,    // it travels in its mapped form (EngineNameOf)
  kUnusable,  // it holds a character of the mapped form: left alone
};

// How the name `host` (a name on disk, not "." or "..") reaches the engine.
HostNameFit FitOfHostName(std::string_view host);

// The engine's form of `host`. REQUIRES: FitOfHostName(host) == kMapped.
std::string EngineNameOf(std::string_view host);

// True when `engine` (a name of an engine path) may hold a mapped
// character: the quick test before HostNameOf.
bool HoldsMappedCharacter(std::string_view engine);

// The name on disk of the engine name `engine` into *host; false when
// `engine` is the engine form of no name: it holds a character Windows
// cannot hold, or a mapped character where the mapping never puts one (a
// U+F02E that is not the last character, a name that maps back to "..").
bool HostNameOf(std::string_view engine, std::string* host);

}  // namespace tolvex::posix
