// The engine library, loaded at run time as any front end loads it
// (dlopen / LoadLibraryA): every export of the export table, the extension
// from ordinal 46 on included, which the command needs (a library without
// one is refused).
#pragma once

#include <string>
#include <vector>

#include "frontend/engine_exports.h"

namespace tolvex::frontend {

class EngineLibrary {
 public:
  EngineLibrary() = default;
  ~EngineLibrary();
  EngineLibrary(const EngineLibrary&) = delete;
  EngineLibrary& operator=(const EngineLibrary&) = delete;

  // Loads the library and finds every export; on failure `error` says which
  // file or export is missing and nothing stays loaded.
  bool Load(const std::string& path, std::string* error);

  // REQUIRES: a successful Load (before it, every slot is null).
  const EngineExports& exports() const { return exports_; }

 private:
  template <typename Function>
  bool Resolve(const char* name, Function* slot);
  void Unload();

  void* handle_ = nullptr;
  EngineExports exports_;
};

// Where the library is looked for: the explicit path alone when given, else
// $TOLVEX_LIBRARY, then beside the command, then the system's own search by
// plain name.
std::vector<std::string> LibraryCandidates(const std::string& explicit_path);

}  // namespace tolvex::frontend
