#include "ui/overview/terminal/unplanned_erases.h"

#include "model/plan.h"
#include "platform/posix/drive_table.h"

namespace tolvex::overview {

namespace {

// A candidate's identity across the overview's reorderings: its folder
// (dirList is never reordered) and its name.
std::string KeyOf(const CANDIDATE& c) {
  return std::to_string(c.dirIndex) + '\n' + c.name + c.extension;
}

bool Erases(uint16_t state) { return (state & STATE_ACTION) == STATE_ERASE; }

const char* SideWord(bool destination) {
  return destination ? "the DESTINATION file " : "the SOURCE file ";
}

}  // namespace

UnplannedErases::UnplannedErases(Plan& plan) : plan_(plan) {
  for (const CANDIDATE& c : plan_.candidates) {
    if (Erases(c.state)) planned_.insert(KeyOf(c));
  }
}

UnplannedErases::Marks UnplannedErases::Take() const {
  Marks marks;
  for (const CANDIDATE& c : plan_.candidates) marks.candidates.push_back(c.state);
  for (const FOLDER& g : plan_.groups) marks.groups.push_back(g.state);
  return marks;
}

void UnplannedErases::Restore(const Marks& marks) const {
  for (size_t i = 0; i < plan_.candidates.size() && i < marks.candidates.size(); ++i) {
    plan_.candidates[i].state = marks.candidates[i];
  }
  for (size_t i = 0; i < plan_.groups.size() && i < marks.groups.size(); ++i) {
    plan_.groups[i].state = marks.groups[i];
  }
}

std::vector<size_t> UnplannedErases::Added(const Marks& before) const {
  std::vector<size_t> added;
  // A key that gives actions never reorders; one that reorders gives none.
  if (before.candidates.size() != plan_.candidates.size()) return added;
  for (size_t i = 0; i < plan_.candidates.size(); ++i) {
    const CANDIDATE& c = plan_.candidates[i];
    if (Erases(c.state) && !Erases(before.candidates[i]) && planned_.count(KeyOf(c)) == 0) {
      added.push_back(i);
    }
  }
  return added;
}

std::vector<std::string> UnplannedErases::FileLines(const std::vector<size_t>& added,
                                                    size_t room) const {
  std::vector<std::string> lines;
  for (size_t i : added) {
    const CANDIDATE& c = plan_.candidates[i];
    const bool destination = (c.state & STATE_DEST_SIDE) != 0;
    const std::string name = c.name + c.extension;
    lines.push_back(SideWord(destination) + NativePathOf(plan_.dirList[c.dirIndex].text() + name));
    if (c.hasCounterpart()) {
      lines.push_back(SideWord(!destination) +
                      NativePathOf(plan_.counterpartList[c.dirIndex].text() + name));
    }
  }
  if (room > 0 && lines.size() > room) {
    const size_t more = lines.size() - (room - 1);
    lines.resize(room - 1);
    lines.push_back("... and " + std::to_string(more) + " more files");
  }
  return lines;
}

std::string NativePathOf(const std::string& path) {
  posix::DrivePath parts;
  const posix::DriveTable table = posix::DriveTable::FromEnvironment();
  const std::string* root = posix::SplitDrivePath(path, &parts) ? table.Root(parts.letter) : nullptr;
  if (root == nullptr) return path;
  std::string native = *root == "/" ? "" : *root;
  for (const std::string& name : parts.names) native += "/" + name;
  return native.empty() ? "/" : native;
}

}  // namespace tolvex::overview
