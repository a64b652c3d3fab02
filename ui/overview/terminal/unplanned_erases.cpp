#include "ui/overview/terminal/unplanned_erases.h"

#include "platform/native_path.h"

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

UnplannedErases::UnplannedErases(const Plan& plan) {
  for (const CANDIDATE& c : plan.candidates) {
    if (Erases(c.state)) planned_.insert(KeyOf(c));
  }
}

UnplannedErases::Marks UnplannedErases::Take(const Plan& plan) {
  Marks marks;
  for (const CANDIDATE& c : plan.candidates) marks.candidates.push_back(c.state);
  for (const FOLDER& g : plan.groups) marks.groups.push_back(g.state);
  return marks;
}

void UnplannedErases::Restore(Plan& plan, const Marks& marks) {
  for (size_t i = 0; i < plan.candidates.size() && i < marks.candidates.size(); ++i) {
    plan.candidates[i].state = marks.candidates[i];
  }
  for (size_t i = 0; i < plan.groups.size() && i < marks.groups.size(); ++i) {
    plan.groups[i].state = marks.groups[i];
  }
}

std::vector<size_t> UnplannedErases::Added(const Plan& plan, const Marks& before) const {
  std::vector<size_t> added;
  // A key that gives actions never reorders; one that reorders gives none.
  if (before.candidates.size() != plan.candidates.size()) return added;
  for (size_t i = 0; i < plan.candidates.size(); ++i) {
    const CANDIDATE& c = plan.candidates[i];
    if (Erases(c.state) && !Erases(before.candidates[i]) && planned_.count(KeyOf(c)) == 0) {
      added.push_back(i);
    }
  }
  return added;
}

std::vector<std::string> UnplannedErases::FileLines(const Plan& plan,
                                                    const std::vector<size_t>& added, size_t room) {
  std::vector<std::string> lines;
  for (size_t i : added) {
    const CANDIDATE& c = plan.candidates[i];
    const bool destination = (c.state & STATE_DEST_SIDE) != 0;
    const std::string name = c.name + c.extension;
    lines.push_back(SideWord(destination) + NativePathOf(plan.dirList[c.dirIndex].text() + name));
    if (c.counterHasBytes()) {
      lines.push_back(SideWord(!destination) +
                      NativePathOf(plan.counterpartList[c.dirIndex].text() + name));
    }
  }
  if (room > 0 && lines.size() > room) {
    const size_t more = lines.size() - (room - 1);
    lines.resize(room - 1);
    lines.push_back("... and " + std::to_string(more) + " more files");
  }
  return lines;
}

}  // namespace tolvex::overview
