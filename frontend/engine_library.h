// The engine library, loaded at run time as any front end loads it
// (dlopen / LoadLibraryA): its 45 exports and the extension from ordinal 46
// on, which the command needs (a library without it is refused).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "include/tolvex32.h"

namespace tolvex::frontend {

enum class ExportKind { kText, kInt, kUnsigned, kClear, kUpdate, kPlanProc, kOutcomeProc, kIntPair };

struct ExportName {
  const char* name;
  ExportKind kind;
};

// The exports in ordinal order.
const std::vector<ExportName>& EngineExports();

class EngineLibrary {
 public:
  using TextSetter = void(TOLVEX_CALL*)(const char*);
  using IntSetter = void(TOLVEX_CALL*)(int32_t);
  using UnsignedSetter = void(TOLVEX_CALL*)(uint32_t);
  using ListClearer = void(TOLVEX_CALL*)(void);
  using UpdateFunction = decltype(&::CallUpdate);
  using PlanProcSetter = decltype(&::SetPlanProc);
  using OutcomeProcSetter = decltype(&::SetOutcomeProc);
  using IntPairSetter = decltype(&::SetEraseLimit);

  EngineLibrary() = default;
  ~EngineLibrary();
  EngineLibrary(const EngineLibrary&) = delete;
  EngineLibrary& operator=(const EngineLibrary&) = delete;

  // Loads the library and finds every export; on failure `error` says which
  // file or export is missing and nothing stays loaded.
  bool Load(const std::string& path, std::string* error);

  // REQUIRES: a successful Load, and `name` of the matching kind.
  TextSetter Text(const std::string& name) const;
  IntSetter Int(const std::string& name) const;
  UnsignedSetter Unsigned(const std::string& name) const;
  ListClearer Clear(const std::string& name) const;
  UpdateFunction Update() const;
  PlanProcSetter SetPlanProc() const;
  OutcomeProcSetter SetOutcomeProc() const;
  IntPairSetter SetEraseLimit() const;

 private:
  using AnyFunction = void (*)(void);
  AnyFunction Find(const std::string& name) const;
  void Unload();

  void* handle_ = nullptr;
  std::map<std::string, AnyFunction> functions_;
};

// Where the library is looked for: the explicit path alone when given, else
// $TOLVEX_LIBRARY, then beside the command, then the system's own search by
// plain name.
std::vector<std::string> LibraryCandidates(const std::string& explicit_path);

}  // namespace tolvex::frontend
