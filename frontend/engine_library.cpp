#include "frontend/engine_library.h"

#include <cstdlib>
#include <filesystem>

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
  exports_ = EngineExports();
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
#define TOLVEX_EXPORT_ROW(ordinal, name, argument_bytes, result, parameters) \
  if (!Resolve(#name, &exports_.name)) {                                   \
    *error = path + " lacks the export " #name;                            \
    Unload();                                                              \
    return false;                                                          \
  }
#include "include/tolvex32_exports.h"
  return true;
}

template <typename Function>
bool EngineLibrary::Resolve(const char* name, Function* slot) {
#if defined(_WIN32)
  void* const symbol =
      reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
#else
  void* const symbol = dlsym(handle_, name);
#endif
  if (!symbol) return false;
  *slot = reinterpret_cast<Function>(symbol);
  return true;
}

}  // namespace tolvex::frontend
