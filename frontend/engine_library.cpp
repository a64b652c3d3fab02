#include "frontend/engine_library.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace tolvex::frontend {

namespace {

#if defined(_WIN32)
constexpr const char kLibraryName[] = "tolvex32.dll";
#else
constexpr const char kLibraryName[] = "libtolvex32.so";
#endif

std::string ExecutableFolder() {
#if defined(_WIN32)
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return "";
  return std::filesystem::path(path).parent_path().string();
#else
  std::error_code error;
  const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : path.parent_path().string();
#endif
}

}  // namespace

const std::vector<ExportName>& EngineExports() {
  using K = ExportKind;
  static const std::vector<ExportName> exports = {
      {"SetFilename", K::kText},       {"ClearDInclSels", K::kClear},
      {"ClearDExclSels", K::kClear},   {"ClearFInclSels", K::kClear},
      {"ClearFExclSels", K::kClear},   {"SetDInclSel", K::kText},
      {"SetDExclSel", K::kText},       {"SetFInclSel", K::kText},
      {"SetFExclSel", K::kText},       {"SetDestination", K::kText},
      {"SetVaryMode", K::kInt},        {"SetConfirmMode", K::kInt},
      {"SetSortMode", K::kInt},        {"SetReverse", K::kInt},
      {"SetPathMode", K::kInt},        {"SetAttributes", K::kInt},
      {"SetTouchMode", K::kInt},       {"SetLeastDate", K::kUnsigned},
      {"SetLastUpdate", K::kUnsigned}, {"SetOrphanModeD1", K::kInt},
      {"SetOrphanModeD2", K::kInt},    {"SetOrphanModeB", K::kInt},
      {"SetOrphanModeS1", K::kInt},    {"SetOrphanModeS2", K::kInt},
      {"SetWarnings", K::kInt},        {"SetCreateSrcDirs", K::kInt},
      {"SetCreateDestDirs", K::kInt},  {"SetDeleteSrcDirs", K::kInt},
      {"SetDeleteDestDirs", K::kInt},  {"SetCheckSizes", K::kInt},
      {"SetLogActive", K::kInt},       {"SetLogDateTime", K::kInt},
      {"SetLogDetails", K::kInt},      {"SetLogFile", K::kText},
      {"SetLogAppend", K::kInt},       {"SetDisplayMode", K::kInt},
      {"SetBlockColor1", K::kUnsigned}, {"SetBlockColor2", K::kUnsigned},
      {"SetSizeFilter", K::kInt},      {"SetDoubleFilter", K::kInt},
      {"SetWeekday", K::kText},        {"SetDateSeparator", K::kInt},
      {"SetTimeSeparator", K::kInt},   {"SetMidnight", K::kInt},
      {"CallUpdate", K::kUpdate},
      {"SetPlanProc", K::kPlanProc},   {"SetOutcomeProc", K::kOutcomeProc},
      {"SetDryRun", K::kInt},          {"SetEraseLimit", K::kIntPair},
      {"SetQuietViews", K::kInt},      {"CancelUpdate", K::kClear},
      {"SetSyncState", K::kText},
  };
  return exports;
}

std::vector<std::string> LibraryCandidates(const std::string& explicit_path) {
  if (!explicit_path.empty()) return {explicit_path};
  if (const char* variable = std::getenv("TOLVEX_LIBRARY"); variable && *variable) {
    return {variable};
  }
  std::vector<std::string> candidates;
  const std::string folder = ExecutableFolder();
  if (!folder.empty()) {
    const std::filesystem::path beside = std::filesystem::path(folder) / kLibraryName;
    std::error_code error;
    if (std::filesystem::exists(beside, error)) candidates.push_back(beside.string());
  }
  candidates.push_back(kLibraryName);
  return candidates;
}

EngineLibrary::~EngineLibrary() { Unload(); }

void EngineLibrary::Unload() {
  functions_.clear();
  if (!handle_) return;
#if defined(_WIN32)
  FreeLibrary(static_cast<HMODULE>(handle_));
#else
  dlclose(handle_);
#endif
  handle_ = nullptr;
}

bool EngineLibrary::Load(const std::string& path, std::string* error) {
  Unload();
#if defined(_WIN32)
  handle_ = reinterpret_cast<void*>(LoadLibraryA(path.c_str()));
  if (!handle_) {
    *error = "cannot load " + path + " (Windows error " + std::to_string(GetLastError()) + ")";
    return false;
  }
#else
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* reason = dlerror();
    *error = "cannot load " + path + ": " + (reason ? reason : "unknown reason");
    return false;
  }
#endif
  for (const ExportName& entry : EngineExports()) {
#if defined(_WIN32)
    const auto symbol = reinterpret_cast<AnyFunction>(
        reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), entry.name)));
#else
    const auto symbol = reinterpret_cast<AnyFunction>(dlsym(handle_, entry.name));
#endif
    if (!symbol) {
      *error = path + " lacks the export " + entry.name;
      Unload();
      return false;
    }
    functions_[entry.name] = symbol;
  }
  return true;
}

EngineLibrary::AnyFunction EngineLibrary::Find(const std::string& name) const {
  const auto found = functions_.find(name);
  if (found == functions_.end()) throw std::logic_error("the engine has no export " + name);
  return found->second;
}

EngineLibrary::TextSetter EngineLibrary::Text(const std::string& name) const {
  return reinterpret_cast<TextSetter>(Find(name));
}
EngineLibrary::IntSetter EngineLibrary::Int(const std::string& name) const {
  return reinterpret_cast<IntSetter>(Find(name));
}
EngineLibrary::UnsignedSetter EngineLibrary::Unsigned(const std::string& name) const {
  return reinterpret_cast<UnsignedSetter>(Find(name));
}
EngineLibrary::ListClearer EngineLibrary::Clear(const std::string& name) const {
  return reinterpret_cast<ListClearer>(Find(name));
}
EngineLibrary::UpdateFunction EngineLibrary::Update() const {
  return reinterpret_cast<UpdateFunction>(Find("CallUpdate"));
}
EngineLibrary::PlanProcSetter EngineLibrary::SetPlanProc() const {
  return reinterpret_cast<PlanProcSetter>(Find("SetPlanProc"));
}
EngineLibrary::OutcomeProcSetter EngineLibrary::SetOutcomeProc() const {
  return reinterpret_cast<OutcomeProcSetter>(Find("SetOutcomeProc"));
}
EngineLibrary::IntPairSetter EngineLibrary::SetEraseLimit() const {
  return reinterpret_cast<IntPairSetter>(Find("SetEraseLimit"));
}

}  // namespace tolvex::frontend
