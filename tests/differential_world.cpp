// The differential test's jobs, trees and edits, drawn at random within
// what the exclusions let in.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "tests/differential_fixture.h"

namespace tolvex::runtest {

namespace fs = std::filesystem;

void Differential::DrawJob() {
  Draw d;
  d.touch = Pick(3);
  d.path = Pick(3);
  d.vary = Chance(60) ? 0 : 1 + Pick(4);
  d.d1 = Pick(2);
  d.d2 = 1 + Pick(2);
  d.b = Pick(3);
  d.s1 = Pick(2);
  d.s2 = 1 + Pick(2);
  if (Shape(kNewWorkingFolderBothWays, 0)) {
    d.touch = 1;
    d.b = 2;
    d.vary = 1 + Pick(4);
  }
  const bool flat_twins = Shape(kFlatEraseNameTwins, 0);
  if (flat_twins) {
    d.path = 0;
    d.touch = 1 + Pick(2);
    d.b = 2;
    d.s2 = 2;
  }
  if (Shape(kCaseTwinsBothWaysErase, 0)) {
    d.path = 1 + Pick(2);
    d.touch = 1;
    d.b = 2;
  }
  if (Shape(kExcludedFolderInOtherCase, 0)) {
    d.path = 1 + Pick(2);
    d.touch = 1 + Pick(2);
  }
  if (Shape(kMovesBothWaysErase, 0)) {
    d.touch = 1;
    d.b = 2;
  }
  if (Shape(kFlatBothWays, 0)) {
    d.path = 0;
    d.touch = 1 + Pick(2);
  }
  if (Shape(kCaseIncludeTwins, 0)) {
    d.path = 1;
    d.caseTwinInclude = true;
  }
  // A selected folder its own erases can empty: to the source, erasing.
  if (Shape(kEmptySelectedFolder, 0)) {
    d.path = 1 + Pick(2);
    d.touch = 2;
    d.s2 = 2;
    d.emptiesSource = true;
  }
  if (Shape(kClockSetBack, 0)) {
    d.path = 1 + Pick(2);
    d.vary = 0;
    d.touch = 1;
    d.b = 2;
  }
  if (d.path == 0 && d.touch != 0 && excluded_.Excludes(kFlatBothWays) && !flat_twins) d.touch = 0;
  if (d.touch == 1 && d.b == 2 && d.vary != 0 && excluded_.Excludes(kNewWorkingFolderBothWays)) {
    d.vary = 0;
  }
  // Both ways with erase, most jobs keep a sync state file (as the command
  // does by default): with it, moves, files that keep an old stamp, a clock
  // set back and case twins are judged by what both sides held after the
  // last run; without it (a caller of the 45 exports) those shapes are
  // drawn only where their switches let them in.
  d.syncState = d.touch == 1 && d.b == 2 && Chance(70);
  const bool erases = (d.touch == 0 && d.d2 == 2) || (d.touch == 1 && d.b == 2) ||
                      (d.touch == 2 && d.s2 == 2);
  d.confirm = Chance(70) ? 0 : 1 + Pick(2);
  d.eraseLimit = Chance(25);
  d.overviewCancels = d.confirm == 2 && Chance(20);
  if (Shape(kStopsRotateGenerations, 0)) {
    d.vary = 4;
    d.confirm = 2;
    d.overviewCancels = true;
  }
  if (d.vary == 4 && excluded_.Excludes(kStopsRotateGenerations)) {
    d.eraseLimit = false;
    d.overviewCancels = false;
  }
  d.skipFolder = Chance(excluded_.Focuses(kExcludedFolderInOtherCase) ? 100 : 30);
  d.nestedInclude = Shape(kNestedIncludes, 15);
  if (d.path == 1 && !d.caseTwinInclude) d.caseTwinInclude = Shape(kCaseIncludeTwins, 15);
  d.logInDestination = Shape(kLogInDestination, 15);
  // Flat: one name in several folders, where the name clash rule holds.
  d.uniqueFlatNames = true;
  if (d.path == 0 && (flat_twins || (erases ? Shape(kFlatEraseNameTwins, 50) : Chance(50)))) {
    d.uniqueFlatNames = false;
  }
  draw_ = d;

  job_ = Job();
  job_.dirIncludes = {"S:\\Data\\*"};
  if (d.nestedInclude) job_.dirIncludes.push_back("S:\\Data\\a\\*");
  if (d.caseTwinInclude) job_.dirIncludes.push_back("S:\\data\\*");
  if (d.skipFolder) job_.dirExcludes = {"S:\\Data\\skip\\*"};
  job_.fileExcludes = {"*.keep"};
  job_.touchMode = d.touch;
  job_.pathMode = d.path;
  job_.varyMode = d.vary;
  job_.confirmMode = d.confirm;
  job_.orphanModeD1 = d.d1;
  job_.orphanModeD2 = d.d2;
  job_.orphanModeB = d.b;
  job_.orphanModeS1 = d.s1;
  job_.orphanModeS2 = d.s2;
  job_.sortMode = Pick(5);
  job_.reverse = Pick(2);
  job_.createSrcDirs = 1;
  job_.deleteSrcDirs = d.emptiesSource ? 1 : Pick(2);
  job_.deleteDestDirs = Pick(2);
  job_.logDetails = 2;
  job_.attributes = Pick(2);  // overwrite-readonly or not
  job_.logFile = d.logInDestination ? "T:\\Backup\\run.log" : "U:\\run.log";
  SetSyncState(d.syncState ? kSyncStateFile : "");
  job_.lastUpdate = 0;  // no run recorded yet
  if (d.eraseLimit) {
    SetEraseLimit(Pick(4), Pick(60));
  } else {
    SetEraseLimit(-1, 0);
  }
  // Drawn last, so that the draws before it stay those of a seed.
  draw_.emptyFolders = Chance(50);
  SetEmptyFolders(draw_.emptyFolders ? 1 : 0);
}

std::string Differential::Describe() const {
  const Draw& d = draw_;
  std::string text = "touch " + std::to_string(d.touch) + ", path " + std::to_string(d.path) +
                     ", vary " + std::to_string(d.vary) + ", confirm " + std::to_string(d.confirm) +
                     ", orphans D" + std::to_string(d.d1) + std::to_string(d.d2) + " B" +
                     std::to_string(d.b) + " S" + std::to_string(d.s1) + std::to_string(d.s2);
  if (job_.attributes != 0) text += ", overwrite-readonly";
  if (d.eraseLimit) text += ", erase limit";
  if (d.emptyFolders) text += ", empty folders";
  if (d.skipFolder) text += ", excluded folder";
  if (d.nestedInclude) text += ", nested include";
  if (d.caseTwinInclude) text += ", case twin include";
  if (d.logInDestination) text += ", log in the destination";
  if (d.overviewCancels) text += ", overview cancelled";
  if (d.syncState) text += ", sync state";
  return text;
}

std::string Differential::WorkingFolder() const {
  const LocalTime now = LocalOf(clock_);
  char text[16];
  switch (draw_.vary) {
    case 1:
      std::snprintf(text, sizeof text, "A%02d%02d%02d", now.month, now.day, now.year % 100);
      return "T:\\Backup\\" + std::string(text) + "\\";
    case 2: return "T:\\Backup\\" + job_.weekday + "\\";
    case 3: return std::string("T:\\Backup\\") + (now.day % 2 ? "Odd" : "Even") + "\\";
    case 4: return "T:\\Backup\\Father\\";
    default: return "T:\\Backup\\";
  }
}

std::string Differential::CounterpartOf(const std::string& relative, const std::string& work) const {
  switch (draw_.path) {
    case 0: return work + relative.substr(relative.rfind('\\') + 1);
    case 1: return work + "Data\\" + relative;
    default: return work + relative;
  }
}

std::string Differential::RelativeOf(const std::string& destination, const std::string& work) const {
  if (!Below(destination, work, false)) return "";
  const std::string rest = destination.substr(work.size());
  if (draw_.path == 1) return Below(rest, "Data\\", false) ? rest.substr(5) : "";
  if (draw_.path == 2) return rest;
  return "";
}

std::string Differential::NameFor(const std::string& folder, const std::string& name) const {
  if (draw_.path != 0 || !draw_.uniqueFlatNames) return name;
  std::string tag = folder;
  for (char& c : tag) {
    if (c == '\\') c = '-';
  }
  return tag + name;
}

bool Differential::Selected(const std::string& path) const {
  if (!Below(path, "S:\\Data\\", true) && !(draw_.caseTwinInclude && Below(path, "S:\\data\\", true))) {
    return false;
  }
  // Exclusions match folders in any letter case, as names resolve.
  if (draw_.skipFolder && Below(path, "S:\\Data\\skip\\", false)) return false;
  return Caseless(path).size() < 5 || Caseless(path).substr(path.size() - 5) != ".keep";
}

void Differential::WriteAt(const std::string& path, const std::string& content, int64_t utc) {
  // The user edits files; a pipe (opening it would wait for a reader) or a
  // link (writing would reach its target) at the path is left as it is.
  std::error_code error;
  const fs::file_status status = fs::symlink_status(drives_.Native(path), error);
  if (!error && fs::exists(status) && !fs::is_regular_file(status)) return;
  drives_.WriteFile(path, content);
  drives_.SetNativeWriteTime(path, utc);
}

std::string Differential::Content(int size) {
  std::string text;
  for (int i = 0; i < size; ++i) text += static_cast<char>('a' + Pick(26));
  return text;
}

void Differential::MakeWorld() {
  const std::string work = WorkingFolder();
  const int64_t past = clock_ - 86400 * (1 + Pick(30));
  for (const char* folder : kFolders) {
    for (const char* base : kNames) {
      const std::string relative = std::string(folder) + NameFor(folder, base);
      const std::string source = "S:\\Data\\" + relative;
      const std::string target = CounterpartOf(relative, work);
      const std::string content = SomeContent();
      const int64_t when = past - Pick(86400 * 10);
      switch (Pick(7)) {
        case 0: WriteAt(source, content, when); break;
        case 1: WriteAt(target, content, when); break;
        case 2: WriteAt(source, content, when); WriteAt(target, content, when); break;
        case 3: WriteAt(source, content + "+", when + 3600); WriteAt(target, content, when); break;
        case 4: WriteAt(source, content, when); WriteAt(target, content + "+", when + 3600); break;
        case 5: WriteAt(source, content, when); WriteAt(target, content + "x", when); break;
        default: break;
      }
    }
  }
  // Around the job: what no run of it may touch.
  WriteAt("S:\\top.txt", "above the source", past);
  WriteAt("S:\\Other\\one.txt", "an unselected sibling", past);
  WriteAt("T:\\top.txt", "above the destination", past);
  WriteAt("T:\\Sibling\\one.txt", "beside the destination", past);
  WriteAt("T:\\precious\\one.txt", "a folder of no job", past);
  WriteAt("U:\\keep.txt", "beside the log", past);
  if (excluded_.Excludes(kEmptySelectedFolder)) WriteAt("S:\\Data\\stay.keep", "keeps the folder", past);
  if (draw_.skipFolder) {
    WriteAt("S:\\Data\\skip\\one.txt", "excluded", past);
    if (draw_.path != 0) WriteAt(CounterpartOf("skip\\one.txt", work), "excluded backup", past);
  }
  if (draw_.caseTwinInclude) WriteAt("S:\\data\\one.txt", "the other data", past);
  if (draw_.vary != 0) WriteAt("T:\\Backup\\Older\\one.txt", "an older generation", past);
  if (Chance(excluded_.Focuses(kCaseTwinsBothWaysErase) ? 100 : 30)) MakeCaseTwin();
  MakeLinks(work);
}

void Differential::MakeCaseTwin() {
  if (!CaseTwinsAllowed()) return;
  const std::vector<std::string> files = FilesOf(Sides::kSource);
  if (files.empty()) return;
  const std::string path = files[static_cast<size_t>(Pick(static_cast<int>(files.size())))];
  std::string twin = path;
  const size_t name = twin.rfind('\\') + 1;
  for (size_t i = name; i < twin.size(); ++i) {
    char& c = twin[i];
    if (c >= 'a' && c <= 'z') { c = static_cast<char>(c - 'a' + 'A'); break; }
    if (c >= 'A' && c <= 'Z') { c = static_cast<char>(c - 'A' + 'a'); break; }
  }
  if (twin != path) WriteAt(twin, "a case twin", clock_ - 3600 * 30);
}

void Differential::MakeLinks(const std::string& work) {
#ifndef _WIN32
  std::error_code error;
  if (Chance(40)) {
    drives_.MakeDirs("S:\\Data\\");
    fs::create_symlink(drives_.Native("S:\\Other\\one.txt"), drives_.Native("S:\\Data\\link.txt"), error);
    fs::create_directory_symlink(drives_.Native("S:\\Other"), drives_.Native("S:\\Data\\linked"), error);
  }
  if (Shape(kLinksInDestination, 40)) {
    // A folder of the destination that is a link to a folder of no job,
    // or a file that is a link to a file there, or both.
    // (Flat, the working folder has no subfolder to be the link.)
    const int links = 1 + Pick(3);  // bit 0: the folder, bit 1: the file
    if (draw_.path != 0 && (links & 1)) {
      const std::string folder = CounterpartOf("a\\x", work);
      const std::string parent = folder.substr(0, folder.rfind('\\'));
      drives_.MakeDirs(parent.substr(0, parent.rfind('\\') + 1));
      fs::remove_all(drives_.Native(parent), error);
      fs::create_directory_symlink(drives_.Native("T:\\precious"), drives_.Native(parent), error);
    }
    if (links & 2) {
      const std::string file = CounterpartOf(NameFor("", "one.txt"), work);
      drives_.MakeDirs(file.substr(0, file.rfind('\\') + 1));
      fs::remove(drives_.Native(file), error);
      fs::create_symlink(drives_.Native("T:\\precious\\one.txt"), drives_.Native(file), error);
      // Read-only where it lies: overwrite-readonly must not reach it.
      fs::permissions(drives_.Native("T:\\precious\\one.txt"), fs::perms::owner_read | fs::perms::group_read,
                      error);
    }
  }
  if (Shape(kPipes, 30)) {
    const std::string pipe = Chance(50) ? CounterpartOf(NameFor("", "five.txt"), work)
                                        : "S:\\Data\\" + NameFor("", "six.dat");
    drives_.MakeDirs(pipe.substr(0, pipe.rfind('\\') + 1));
    fs::remove(drives_.Native(pipe), error);
    mkfifo(drives_.Native(pipe).c_str(), 0644);
  }
#else
  (void)work;
#endif
}

std::vector<std::string> Differential::FilesOf(Sides side, bool with_links) const {
  std::vector<std::string> files;
  const Tree tree = SnapshotDrives(drives_, side == Sides::kSource ? "S" : "T");
  for (const auto& [path, entry] : tree) {
    const bool kept = entry.type == TreeEntry::kFile || (with_links && entry.type == TreeEntry::kLink);
    if (!kept || IsReservedName(path)) continue;
    if (side == Sides::kSource ? Selected(path) : Below(path, lastWork_, true) && path != job_.logFile) {
      files.push_back(path);
    }
  }
  return files;
}

int64_t Differential::NativeTime(const std::string& path) const {
#ifndef _WIN32
  struct stat status;
  if (stat(drives_.Native(path).c_str(), &status) == 0) return status.st_mtime;
#else
  (void)path;
#endif
  return 0;
}

int64_t Differential::EditTime() {
  const int64_t since = Since();
  // A clock set back before the last run dates the edits by itself.
  if (clock_ <= since + 2) return clock_ - Pick(600);
  return since + 2 + Pick(static_cast<int>(clock_ - since - 2));
}

void Differential::Edit() {
  // The clock moves on: minutes, hours or days; set back where allowed.
  const int64_t steps[] = {120, 1800, 3 * 3600, 86400, 3 * 86400};
  clock_ += Of(steps);
  if (draw_.syncState ? Chance(10) : Shape(kClockSetBack, 10)) clock_ -= 6 * 3600;
#ifndef _WIN32
  if (!excluded_.Excludes(kTimeZones) && Chance(20)) SetZone(Of(kZones));
#endif
  const bool both_sides = draw_.touch != 0;
  const bool moves =
      !(draw_.touch == 1 && draw_.b == 2 && !draw_.syncState && excluded_.Excludes(kMovesBothWaysErase));
  if (draw_.emptiesSource && Chance(50)) {
    for (const std::string& file : FilesOf(Sides::kDestination)) {
      std::error_code error;
      fs::remove(drives_.Native(file), error);
    }
  }
  if (draw_.skipFolder && draw_.path != 0 && excluded_.Focuses(kExcludedFolderInOtherCase)) {
    // The excluded folder's backup renamed in letter case.
    const std::string backup = CounterpartOf("skip\\x", lastWork_);
    const std::string folder = backup.substr(0, backup.rfind('\\'));
    std::error_code error;
    fs::rename(drives_.Native(folder), drives_.Native(folder.substr(0, folder.size() - 4) + "Skip"), error);
  }
  const int edits = Pick(6);
  for (int i = 0; i < edits; ++i) {
    const Sides side = both_sides && Chance(40) ? Sides::kDestination : Sides::kSource;
    if (draw_.touch == 2 && Chance(60)) {
      EditOn(Sides::kDestination, moves);
    } else {
      EditOn(side, moves);
    }
  }
}

void Differential::EditOn(Sides side, bool moves, int forced) {
  const std::vector<std::string> files = FilesOf(side);
  const std::string root = side == Sides::kSource ? "S:\\Data\\" : lastWork_;
  const std::string file = files.empty() ? "" : files[static_cast<size_t>(Pick(static_cast<int>(files.size())))];
  std::error_code error;
  const int kinds = Shape(kSubTwoSecondEdits, 5) ? 10 : 9;
  if (!files.empty() && excluded_.Focuses(kSubTwoSecondEdits) && Chance(50)) return EditOn(side, moves, 9);
  const int more = Shape(kFileFolderTwins, 50) ? 2 : 1;  // kinds 10 and 11 after the others
  int kind = files.empty() ? 3 : forced >= 0 ? forced : Pick(kinds + more);
  if (kind >= kinds && forced < 0) kind += 10 - kinds;
  if (trace_) std::printf("  edit %d on %s\n", kind, file.c_str());
  switch (kind) {
    case 0: {  // new content (sometimes of the same size)
      const std::string old = drives_.ReadFile(file);
      std::string content = Chance(30) && !old.empty() ? Content(static_cast<int>(old.size())) : SomeContent();
      if (content == old) content += "!";
      WriteAt(file, content, EditTime());
      return;
    }
    case 1: drives_.SetNativeWriteTime(file, EditTime()); return;
    case 9: {  // the same size, written a second after the version it replaces
      const int64_t time = NativeTime(file);
      const std::string old = drives_.ReadFile(file);
      if (time == 0 || old.empty()) return;
      std::string content = Content(static_cast<int>(old.size()));
      if (content == old) content[0] = content[0] == 'a' ? 'b' : 'a';
      WriteAt(file, content, time + 1);
      return;
    }
    case 2: fs::remove(drives_.Native(file), error); deleted_.insert(Caseless(file)); return;
    case 3: {  // a new file, in a new folder now and then
      const std::string folder = Chance(20) ? "new" + std::to_string(Pick(100)) + "\\" : Of(kFolders);
      const std::string path = root + folder + NameFor(folder, "new" + std::to_string(Pick(1000)) + ".txt");
      const bool old_stamp = draw_.syncState ? Chance(20) : Shape(kMovesBothWaysErase, 20);
      WriteAt(path, SomeContent(), old_stamp ? Since() - 86400 * 3 : EditTime());
      return;
    }
    case 4: {  // a rename within the folder, or a move to another one
      if (!moves) return;
      const std::string folder = Chance(50) ? file.substr(0, file.rfind('\\') + 1) : root + Of(kFolders);
      const std::string to = folder + NameFor(folder.substr(root.size()), "moved" + std::to_string(Pick(1000)) + ".txt");
      drives_.MakeDirs(folder);
      fs::rename(drives_.Native(file), drives_.Native(to), error);
      deleted_.insert(Caseless(file));
      return;
    }
    case 5: {  // a folder renamed
      if (!moves || file.rfind('\\') <= root.size()) return;
      const std::string folder = file.substr(0, file.rfind('\\'));
      // (Links go with their folder: on Linux they are backed up as links.)
      for (const std::string& other : FilesOf(side, true)) {
        if (Below(other, folder + "\\", true)) deleted_.insert(Caseless(other));
      }
      fs::rename(drives_.Native(folder), drives_.Native(folder + "2"), error);
      return;
    }
    case 6: {  // a name in another letter case
      if (!CaseTwinsAllowed()) return;
      std::string to = file;
      for (size_t i = to.rfind('\\') + 1; i < to.size(); ++i) {
        if (to[i] >= 'a' && to[i] <= 'z') { to[i] = static_cast<char>(to[i] - 'a' + 'A'); break; }
      }
      fs::rename(drives_.Native(file), drives_.Native(to), error);
      return;
    }
    case 7: {  // a folder deleted
      if (file.rfind('\\') <= root.size()) return;
      const std::string folder = file.substr(0, file.rfind('\\') + 1);
      for (const std::string& other : FilesOf(side, true)) {
        if (Below(other, folder, true)) deleted_.insert(Caseless(other));
      }
      fs::remove_all(drives_.Native(folder), error);
      return;
    }
    case 10: {  // a folder's name in another letter case
      if (!CaseTwinsAllowed()) return;
      if (draw_.nestedInclude && excluded_.Excludes(kNestedIncludeCaseTwins)) return;
      if (file.rfind('\\') <= root.size()) return;
      const std::string folder = file.substr(0, file.rfind('\\'));
      if (side == Sides::kDestination && Caseless(folder).find("\\skip") != std::string::npos &&
          excluded_.Excludes(kExcludedFolderInOtherCase)) {
        return;
      }
      std::string to = folder;
      for (size_t i = to.rfind('\\') + 1; i < to.size(); ++i) {
        if (to[i] >= 'a' && to[i] <= 'z') { to[i] = static_cast<char>(to[i] - 'a' + 'A'); break; }
        if (to[i] >= 'A' && to[i] <= 'Z') { to[i] = static_cast<char>(to[i] - 'A' + 'a'); break; }
      }
      fs::rename(drives_.Native(folder), drives_.Native(to), error);
      return;
    }
    case 11: {  // a file that becomes a folder of its name
      fs::remove(drives_.Native(file), error);
      deleted_.insert(Caseless(file));
      WriteAt(file + "\\inside.txt", SomeContent(), EditTime());
      return;
    }
    default: if (side == Sides::kSource) MakeCaseTwin(); return;
  }
}

}  // namespace tolvex::runtest
