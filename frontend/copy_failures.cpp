#include "frontend/copy_failures.h"

#include <filesystem>
#include <fstream>

namespace tolvex::frontend {

namespace {

// The label column of the log's file entries is 21 characters wide.
constexpr const char kCopyErrorEntry[] = "     Error at copying: ";
constexpr uint32_t kLastDetailsWithFileLines = 2;

}  // namespace

bool LogRecordsCopyErrors(const Job& job) {
  return job.Get("LogActive").number != 0 &&
         job.Get("LogDetails").number <= kLastDetailsWithFileLines;
}

uint64_t FileSizeOf(const std::string& native_path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(native_path, error);
  return error ? 0 : size;
}

int CountCopyErrorLines(const std::string& native_log, uint64_t offset) {
  std::ifstream in(native_log, std::ios::binary);
  if (!in) return 0;
  in.seekg(static_cast<std::streamoff>(offset));
  int count = 0;
  std::string line;
  while (std::getline(in, line)) {
    if (line.compare(0, sizeof kCopyErrorEntry - 1, kCopyErrorEntry) == 0) ++count;
  }
  return count;
}

}  // namespace tolvex::frontend
