// The Windows side of TestDrives. The letters are mapped before the binary
// starts (scripts/wine-test.sh links S: to W: in the Wine prefix to fresh
// folders; on Windows map them with subst); here they are only checked and
// emptied. Helpers call the Win32 API directly, not the platform layer under
// test.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "testing/test_drives.h"

namespace tolvex {

namespace {

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (valid()) ::CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

[[noreturn]] void Fail(const std::string& what, const std::string& path) {
  throw std::runtime_error("TestDrives: " + what + " " + path + " (error " +
                           std::to_string(::GetLastError()) + ")");
}

std::string WithoutTrailingBackslash(std::string path) {
  while (path.size() > 3 && path.back() == '\\') path.pop_back();
  return path;
}

std::string ParentOf(const std::string& path) {
  const size_t slash = path.find_last_of('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The Unix path Wine gives a Windows path (empty when there is none).
std::string WineUnixPath(const std::string& path) {
  using ToUnix = char*(CDECL*)(LPCWSTR);
  const auto to_unix = reinterpret_cast<ToUnix>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (to_unix == nullptr) return std::string();
  const std::wstring wide(path.begin(), path.end());
  char* unix_path = to_unix(wide.c_str());
  if (unix_path == nullptr) return std::string();
  std::string result = unix_path;
  ::HeapFree(::GetProcessHeap(), 0, unix_path);
  return result;
}

// Runs a Unix program under Wine (Wine starts an ELF program as it is);
// false when it could not be started. Wine may report it ended before its
// work shows: callers wait for the work itself (AppearsSoon, GoneSoon).
bool RunUnixTool(const std::string& tool, const std::vector<std::string>& arguments) {
  std::string command = tool;
  for (const std::string& argument : arguments) command += " \"" + argument + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::string program = "Z:" + tool;
  std::replace(program.begin(), program.end(), '/', '\\');
  std::string line = command;
  if (!::CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
    return false;
  }
  ::WaitForSingleObject(process.hProcess, 10000);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return true;
}

// True once `path` can be found, within about five seconds: Wine may
// report a Unix program ended before its work shows.
bool AppearsSoon(const std::string& path) {
  for (int attempt = 0; attempt < 50; ++attempt) {
    WIN32_FIND_DATAA data;
    const HANDLE found = ::FindFirstFileA(path.c_str(), &data);
    if (found != INVALID_HANDLE_VALUE) {
      ::FindClose(found);
      return true;
    }
    ::Sleep(100);
  }
  return false;
}

// True once `path` is gone, within about five seconds.
bool GoneSoon(const std::string& path) {
  for (int attempt = 0; attempt < 50; ++attempt) {
    if (::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
      WIN32_FIND_DATAA data;
      const HANDLE found = ::FindFirstFileA(path.c_str(), &data);
      if (found == INVALID_HANDLE_VALUE) return true;
      ::FindClose(found);
    }
    ::Sleep(100);
  }
  return false;
}

// Under Wine, removes `path` through Unix (`rm` with `options`) and waits
// until it is gone.
bool RemovedThroughUnix(const std::string& path, const char* options) {
  return RunningUnderWine() && RunUnixTool("/bin/rm", {options, WineUnixPath(path)}) &&
         GoneSoon(path);
}

// The folder holding a drive-form path.
std::string FolderOf(const std::string& path) { return path.substr(0, path.rfind('\\')); }

// Deletes everything below `folder` (ends with a backslash). DeleteFileA
// refuses read-only files, so attributes are cleared first.
void EmptyFolder(const std::string& folder) {
  WIN32_FIND_DATAA data;
  const HANDLE find = ::FindFirstFileA((folder + "*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = data.cFileName;
    if (name == "." || name == "..") continue;
    const std::string path = folder + name;
    // A link goes, never what it leads to. Wine removes a Unix link to a
    // folder only through Unix (one to a file it shows as the file, and
    // DeleteFileA removes the link).
    if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      const bool folder_link = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      if (RunningUnderWine() ? !RemovedThroughUnix(path, "-f")
                             : !(folder_link ? ::RemoveDirectoryA(path.c_str())
                                             : ::DeleteFileA(path.c_str()))) {
        Fail("cannot remove the link", path);
      }
      continue;
    }
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      EmptyFolder(path + "\\");
      // Wine lists no dangling Unix link, so a folder may hold one unseen.
      if (!::RemoveDirectoryA(path.c_str()) && !RemovedThroughUnix(path, "-rf")) {
        Fail("cannot remove folder", path);
      }
    } else if (!::DeleteFileA(path.c_str()) && !RemovedThroughUnix(path, "-f")) {
      // Wine refuses a Unix FIFO with 87: it goes through Unix.
      Fail("cannot delete", path);
    }
  } while (::FindNextFileA(find, &data));
  ::FindClose(find);
}

void SetStamp(HANDLE file, uint32_t stamp, const std::string& path) {
  FILETIME local;
  FILETIME utc;
  if (!::DosDateTimeToFileTime(static_cast<WORD>(stamp >> 16), static_cast<WORD>(stamp & 0xFFFF),
                               &local) ||
      !::LocalFileTimeToFileTime(&local, &utc) || !::SetFileTime(file, nullptr, nullptr, &utc)) {
    Fail("cannot set the stamp of", path);
  }
}

}  // namespace

bool RunningUnderWine() {
  const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
  return ntdll && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

TestDrives::TestDrives(const std::string& letters) : letters_(letters) {
  for (const char letter : letters_) {
    if (letter < 'S' || letter > 'W') Fail("only S to W are test drives, not", std::string(1, letter));
    const std::string root = Root(letter);
    const DWORD attributes = ::GetFileAttributesA(root.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      Fail("drive not mapped (run the binary through scripts/wine-test.sh):", root);
    }
    EmptyFolder(root);
  }
}

TestDrives::~TestDrives() {
  for (const char letter : letters_) {
    try {
      EmptyFolder(Root(letter));
    } catch (const std::exception&) {
      // The next constructor empties the drive again and reports what stays.
    }
  }
}

std::string TestDrives::Root(char letter) { return std::string(1, letter) + ":\\"; }

std::string TestDrives::Native(const std::string& path) const { return path; }

void TestDrives::MakeDirs(const std::string& path) const {
  const std::string full = WithoutTrailingBackslash(path);
  // Each prefix ending before a backslash, after the drive's root.
  for (size_t at = full.find('\\', 3); ; at = full.find('\\', at + 1)) {
    const std::string prefix = full.substr(0, at);
    if (prefix.size() > 3 && !::CreateDirectoryA(prefix.c_str(), nullptr) &&
        ::GetLastError() != ERROR_ALREADY_EXISTS) {
      Fail("cannot create folder", prefix);
    }
    if (at == std::string::npos) break;
  }
}

namespace {

// Creates or empties `path` for writing, its parent folders first.
HANDLE CreateEmptyFile(const TestDrives& drives, const std::string& path) {
  const std::string parent = ParentOf(path);
  if (parent.size() > 3) drives.MakeDirs(parent);
  const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) Fail("cannot create", path);
  return file;
}

// At most `length` bytes from `offset`; empty when the file cannot be read.
std::string ReadFrom(const std::string& path, uint64_t offset, size_t length) {
  Handle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return std::string();
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(offset);
  if (!::SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN)) return std::string();
  std::string content;
  char buffer[65536];
  DWORD got = 0;
  while (content.size() < length &&
         ::ReadFile(file.get(), buffer,
                    static_cast<DWORD>(std::min(sizeof buffer, length - content.size())), &got,
                    nullptr) &&
         got > 0) {
    content.append(buffer, got);
  }
  return content;
}

}  // namespace

void TestDrives::WriteFile(const std::string& path, const std::string& content,
                           uint32_t stamp) const {
  Handle file(CreateEmptyFile(*this, path));
  DWORD written = 0;
  if (!content.empty() &&
      (!::WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written,
                    nullptr) ||
       written != content.size())) {
    Fail("cannot write", path);
  }
  if (stamp != 0) SetStamp(file.get(), stamp, path);
}

std::string TestDrives::ReadFile(const std::string& path) const {
  return ReadFrom(path, 0, std::string::npos);
}

void TestDrives::WriteSparseFile(const std::string& path, uint64_t size,
                                 const std::vector<Piece>& pieces, uint32_t stamp) const {
  Handle file(CreateEmptyFile(*this, path));
  // Without the sparse flag NTFS would give the gaps real zeroed clusters;
  // where the flag is not known (Wine on a Unix file system, whose files
  // are sparse anyway) the answer does not matter.
  DWORD returned = 0;
  ::DeviceIoControl(file.get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
  const auto seek = [&](uint64_t offset) {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!::SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN)) Fail("cannot seek in", path);
  };
  seek(size);
  if (!::SetEndOfFile(file.get())) Fail("cannot size", path);
  for (const Piece& piece : pieces) {
    seek(piece.offset);
    DWORD written = 0;
    if (!::WriteFile(file.get(), piece.bytes.data(), static_cast<DWORD>(piece.bytes.size()),
                     &written, nullptr) ||
        written != piece.bytes.size()) {
      Fail("cannot write", path);
    }
  }
  if (stamp != 0) SetStamp(file.get(), stamp, path);
}

std::string TestDrives::ReadAt(const std::string& path, uint64_t offset, size_t length) const {
  return ReadFrom(path, offset, length);
}

bool TestDrives::MakeLink(const std::string& target, const std::string& link) const {
  if (RunningUnderWine()) {
    const std::string unix_target = WineUnixPath(target);
    const std::string unix_folder = WineUnixPath(FolderOf(link));
    if (unix_target.empty() || unix_folder.empty()) return false;
    RunUnixTool("/bin/ln", {"-s", unix_target, unix_folder + "/" + link.substr(link.rfind('\\') + 1)});
  } else {
    const DWORD attributes = ::GetFileAttributesA(target.c_str());
    const DWORD folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)
                             ? SYMBOLIC_LINK_FLAG_DIRECTORY
                             : 0;
    // 0x2: SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE (developer mode).
    ::CreateSymbolicLinkA(link.c_str(), target.c_str(), folder | 0x2);
  }
  return AppearsSoon(link);
}

bool TestDrives::MakeFifo(const std::string& path) const {
  if (!RunningUnderWine()) return false;
  const std::string unix_folder = WineUnixPath(FolderOf(path));
  if (unix_folder.empty()) return false;
  RunUnixTool("/usr/bin/mkfifo", {unix_folder + "/" + path.substr(path.rfind('\\') + 1)});
  return AppearsSoon(path);
}

bool TestDrives::Exists(const std::string& path) const {
  return ::GetFileAttributesA(WithoutTrailingBackslash(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

HeldFile::HeldFile(const TestDrives& drives, const std::string& path) {
  const HANDLE file = ::CreateFileA(drives.Native(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) handle_ = reinterpret_cast<intptr_t>(file);
}

HeldFile::~HeldFile() {
  if (held()) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

}  // namespace tolvex
