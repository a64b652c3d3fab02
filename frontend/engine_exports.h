// The engine library's exports as the command holds them once loaded: one
// typed slot per row of the export table (include/tolvex32_exports.h), of
// the type tolvex32.h declares. Code names the export it calls by its slot
// (`exports.SetDryRun`, `&EngineExports::SetVaryMode`), never by a text.
#pragma once

#include <type_traits>

#include "include/tolvex32.h"

namespace tolvex::frontend {

struct EngineExports {
#define TOLVEX_EXPORT_ROW(ordinal, name, argument_bytes, result, parameters) \
  decltype(&::name) name = nullptr;
#include "include/tolvex32_exports.h"
};

// The kinds of slot the job's keys and lists go to.
using TextSetter = void(TOLVEX_CALL*)(const char*);
using IntSetter = void(TOLVEX_CALL*)(int32_t);
using UnsignedSetter = void(TOLVEX_CALL*)(uint32_t);
using IntPairSetter = void(TOLVEX_CALL*)(int32_t, int32_t);
using ListClearer = void(TOLVEX_CALL*)(void);

// The export's name of a slot, as the listing of the resolved job shows the
// calls ("" for no slot of the table).
template <typename Function>
const char* ExportName(Function EngineExports::*slot) {
#define TOLVEX_EXPORT_ROW(ordinal, name, argument_bytes, result, parameters)  \
  if constexpr (std::is_same_v<decltype(EngineExports::name), Function>) {    \
    if (slot == &EngineExports::name) return #name;                           \
  }
#include "include/tolvex32_exports.h"
  return "";
}

}  // namespace tolvex::frontend
