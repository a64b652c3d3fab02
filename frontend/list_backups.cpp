#include "frontend/list_backups.h"

#include <filesystem>
#include <iostream>

#include "frontend/backup_generations.h"
#include "frontend/exit_status.h"
#include "frontend/item_record.h"
#include "frontend/json_text.h"
#include "frontend/value_forms.h"
#include "platform/folder_layout.h"

namespace tolvex::frontend {

namespace {

bool HeldBySelection(const Job& job, const std::string& drive_path) {
  const std::string parent = drive_path.substr(0, drive_path.find_last_of('\\') + 1);
  for (const std::string& include : job.lists[kDIncl]) {
    if (!IsDirectoryEntry(include)) continue;
    const FolderSelection selection = SelectionOf(include);
    if (SelectionHolds(selection, parent) || SelectionHolds(selection, drive_path + '\\')) return true;
  }
  return false;
}

std::optional<std::string> DriveForm(Job* job, const std::string& native, std::string* error) {
  std::string path = native;
  while (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) path.pop_back();
  return job->drives.ToDriveForm(path, PathKind::kFile, error);
}

std::string Row(std::string text, size_t width) {
  if (text.size() < width) text.resize(width, ' ');
  return text + " ";
}

std::string StampText(const std::optional<uint32_t>& stamp) {
  return stamp ? FormatStamp(*stamp) : "not recorded";
}

}  // namespace

std::optional<std::string> SourcePathOf(Job* job, const std::string& given, std::string* error) {
  const std::filesystem::path written(given);
  std::string drive_error;
  if (written.is_absolute() || (given.size() > 2 && given[1] == ':')) {
    auto path = DriveForm(job, written.lexically_normal().string(), &drive_error);
    if (path && HeldBySelection(*job, *path)) return path;
  } else {
    std::error_code ignored;
    const auto here = DriveForm(job, std::filesystem::absolute(written, ignored).lexically_normal().string(),
                                &drive_error);
    if (here && HeldBySelection(*job, *here)) return here;
    for (const std::string& include : job->lists[kDIncl]) {
      if (!IsDirectoryEntry(include)) continue;
      std::string relative = given;
      for (char& c : relative) c = c == '/' ? '\\' : c;
      while (!relative.empty() && relative.back() == '\\') relative.pop_back();
      const std::string path = SelectionOf(include).folder + relative;
      if (HeldBySelection(*job, path)) return path;
    }
  }
  *error = drive_error.empty() ? "no folder selection of the job ([DInclSels]) holds it" : drive_error;
  return std::nullopt;
}

int ListBackups(const std::string& job_path, const std::vector<std::string>& paths,
                const RunOptions& options) {
  auto prepared = PrepareJob(job_path);
  if (!prepared) return kExitJobError;
  Job& job = *prepared;
  const bool json = options.format == OutputFormat::kJson;
  const std::vector<Generation> generations = GenerationsOf(job);
  if (paths.empty()) {
    if (!json) {
      std::cout << "Backups of " << job_path << ", newest first (" << generations.size()
                << (generations.size() == 1 ? " folder" : " folders") << "):\n";
    }
    for (size_t i = 0; i < generations.size(); ++i) {
      const Generation& generation = generations[i];
      const TreeFigures figures = FiguresOf(generation.folder);
      const std::string folder = job.drives.ToNative(generation.folder);
      if (json) {
        JsonObject object;
        object.Text("kind", "generation").Text("name", ShownName(generation)).Text("folder", folder);
        if (generation.completed) {
          object.Text("completed", FormatStamp(*generation.completed));
        } else {
          object.Null("completed");
        }
        std::cout << object.Unsigned("files", figures.files)
                         .Unsigned("bytes", figures.bytes)
                         .Flag("newest", i == 0)
                         .str()
                  << "\n";
        continue;
      }
      std::cout << "  " << Row(ShownName(generation), 11) << Row(StampText(generation.completed), 19)
                << Row(Files(figures.files), 12) << Row(ByteText(figures.bytes), 9) << folder
                << (i == 0 ? "  (newest)" : "") << "\n";
    }
    if (generations.empty() && !json) std::cout << "  none yet\n";
    return kExitCompleted;
  }
  for (const std::string& given : paths) {
    std::string error;
    const auto source = SourcePathOf(&job, given, &error);
    if (!source) {
      std::cerr << "tolvex: " << given << ": " << error << "\n";
      return kExitJobError;
    }
    InstallDriveTable(job);
    if (!json) std::cout << "Versions of " << job.drives.ToNative(*source) << ", newest first:\n";
    for (size_t i = 0; i < generations.size(); ++i) {
      const Generation& generation = generations[i];
      Entry entry;
      std::string in_generation;
      for (bool folder : {false, true}) {
        const auto path = PathInGeneration(job, *source, folder, generation.folder, &error);
        if (!path) continue;
        entry = EntryAt(*path);
        in_generation = *path;
        if (entry.exists) break;
      }
      const std::string native = in_generation.empty() ? "" : job.drives.ToNative(in_generation);
      if (json) {
        JsonObject object;
        object.Text("kind", "version").Text("generation", ShownName(generation)).Text("path", native);
        object.Flag("exists", entry.exists);
        if (entry.exists && entry.is_folder) {
          object.Text("type", "folder").Unsigned("files", entry.figures.files)
              .Unsigned("bytes", entry.figures.bytes);
          if (entry.figures.files > 0) object.Text("stamp", FormatStamp(entry.figures.newest));
        } else if (entry.exists) {
          object.Text("type", "file").Unsigned("size", entry.size).Text("stamp", FormatStamp(entry.stamp));
        }
        std::cout << object.Flag("newest", i == 0).str() << "\n";
        continue;
      }
      std::cout << "  " << Row(ShownName(generation), 11);
      if (!entry.exists) {
        std::cout << "not there\n";
      } else if (entry.is_folder) {
        std::cout << "folder, " << Files(entry.figures.files) << ", " << ByteText(entry.figures.bytes)
                  << (entry.figures.files > 0 ? ", newest file " + FormatStamp(entry.figures.newest) : "")
                  << "  " << native << "\n";
      } else {
        std::cout << ByteText(entry.size) << " (" << entry.size << " bytes), " << FormatStamp(entry.stamp)
                  << "  " << native << "\n";
      }
    }
  }
  return kExitCompleted;
}

}  // namespace tolvex::frontend
