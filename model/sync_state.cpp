#include "model/sync_state.h"

#include <charconv>

namespace tolvex {

namespace {

constexpr std::string_view kFirstLine = "tolvex sync state 1";

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos
                                                                        : tab - start));
    if (tab == std::string_view::npos) return fields;
    start = tab + 1;
  }
}

template <typename Number>
bool ParseNumber(std::string_view text, int base, Number* value) {
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *value, base);
  return error == std::errc() && end == text.data() + text.size();
}

bool ParseRecord(const std::vector<std::string_view>& fields, SyncRecord* record) {
  if (fields.size() != 7) return false;
  for (int side = 0; side < 2; ++side) {
    if (!ParseNumber(fields[1 + 2 * side], 10, &record->size[side]) ||
        !ParseNumber(fields[2 + 2 * side], 16, &record->stamp[side]) ||
        fields[5 + side].empty()) {
      return false;
    }
    record->path[side] = std::string(fields[5 + side]);
  }
  return true;
}

std::string Hex(uint32_t value) {
  char text[9];
  const auto result = std::to_chars(text, text + sizeof text, value, 16);
  return std::string(text, result.ptr);
}

}  // namespace

const SyncStateFile::Section* SyncStateFile::Find(const std::string& folder) const {
  for (const Section& section : sections) {
    if (SyncKey(section.folder, "") == SyncKey(folder, "")) return &section;
  }
  return nullptr;
}

void SyncStateFile::Put(Section section) {
  for (Section& existing : sections) {
    if (SyncKey(existing.folder, "") == SyncKey(section.folder, "")) {
      existing = std::move(section);
      return;
    }
  }
  sections.push_back(std::move(section));
}

bool ParseSyncState(std::string_view text, SyncStateFile* file) {
  file->sections.clear();
  size_t files = 0;
  bool first = true;
  bool ended = false;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (ended) return (file->sections.clear(), false);  // nothing may follow the end
    if (first) {
      if (line != kFirstLine) return false;
      first = false;
      continue;
    }
    const std::vector<std::string_view> fields = Fields(line);
    if (fields[0] == "folder" && fields.size() == 2 && !fields[1].empty()) {
      file->sections.push_back(SyncStateFile::Section{std::string(fields[1]), {}});
    } else if (fields[0] == "file" && !file->sections.empty()) {
      SyncRecord record;
      if (!ParseRecord(fields, &record)) return (file->sections.clear(), false);
      file->sections.back().records.push_back(std::move(record));
      ++files;
    } else if (fields[0] == "end" && fields.size() == 2) {
      size_t count = 0;
      if (!ParseNumber(fields[1], 10, &count) || count != files) {
        return (file->sections.clear(), false);
      }
      ended = true;
    } else {
      return (file->sections.clear(), false);
    }
  }
  if (!ended) file->sections.clear();
  return ended;
}

std::string FormatSyncState(const SyncStateFile& file) {
  std::string text(kFirstLine);
  text += '\n';
  size_t files = 0;
  for (const SyncStateFile::Section& section : file.sections) {
    text += "folder\t" + section.folder + '\n';
    for (const SyncRecord& record : section.records) {
      text += "file";
      for (int side = 0; side < 2; ++side) {
        text += '\t' + std::to_string(record.size[side]) + '\t' + Hex(record.stamp[side]);
      }
      text += '\t' + record.path[0] + '\t' + record.path[1] + '\n';
      ++files;
    }
  }
  text += "end\t" + std::to_string(files) + '\n';
  return text;
}

std::string SyncKey(const std::string& source_path, const std::string& destination_path,
                    bool exact) {
  std::string key;
  key.reserve(source_path.size() + destination_path.size() + 1);
  const auto fold = [&key, exact](const std::string& text) {
    if (exact) {
      key += text;
      return;
    }
    for (const char c : text) key += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  };
  fold(source_path);
  key += '\t';
  fold(destination_path);
  return key;
}

}  // namespace tolvex
