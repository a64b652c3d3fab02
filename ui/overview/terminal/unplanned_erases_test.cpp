#include "ui/overview/terminal/unplanned_erases.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "model/plan.h"
#include "platform/native_path.h"

namespace tolvex::overview {
namespace {

// Two folders: S:\Data\ (backed up into T:\Backup\) and the destination's
// own T:\Backup\Old\ (its orphans point back into the source tree).
//   0 a.txt   copy, no counterpart
//   1 b.txt   copy over its counterpart
//   2 c.txt   an orphan of the destination that the plan erases
Plan MakePlan() {
  Plan plan;
  plan.dirList = {STRING("S:\\Data\\"), STRING("T:\\Backup\\Old\\", 1)};
  plan.counterpartList = {STRING("T:\\Backup\\", 1), STRING("S:\\Data\\Old\\")};
  plan.candidates = {CANDIDATE("a", ".txt", 0, 10, 0, 1, 0, 0, 0, STATE_NORMAL),
                     CANDIDATE("b", ".txt", 0, 20, 5, 1, 1, 0, 0, STATE_NORMAL),
                     CANDIDATE("c", ".txt", 1, 30, 0, 1, 0, 0, 0, STATE_ERASE | STATE_DEST_SIDE)};
  return plan;
}

void GiveAll(Plan& plan, uint16_t action) {
  for (CANDIDATE& c : plan.candidates)
    c.state = static_cast<uint16_t>((c.state & ~STATE_ACTION) | action);
}

// Only what a key newly gave Erase and the plan did not erase is asked
// about; going back restores every action word.
TEST(UnplannedErases, AreTheErasesAKeyAddedThatThePlanDidNotHold) {
  Plan plan = MakePlan();
  const UnplannedErases erases(plan);
  const UnplannedErases::Marks planned = UnplannedErases::Take(plan);
  GiveAll(plan, STATE_IGNORE);
  const UnplannedErases::Marks ignored = UnplannedErases::Take(plan);
  GiveAll(plan, STATE_ERASE);
  EXPECT_EQ(erases.Added(plan, ignored), (std::vector<size_t>{0, 1}));  // c was planned
  EXPECT_EQ(erases.Added(plan, UnplannedErases::Take(plan)),
            std::vector<size_t>{});  // no change
  UnplannedErases::Restore(plan, planned);
  EXPECT_EQ(plan.candidates[0].state, STATE_NORMAL);
  EXPECT_EQ(plan.candidates[2].state, STATE_ERASE | STATE_DEST_SIDE);
}

// Each file the erase takes, with its side and its native path; past the
// room, one line says how many more.
TEST(UnplannedErases, NameEachFileWithItsSideAndNativePath) {
  Plan plan = MakePlan();
  const UnplannedErases erases(plan);
  setenv("TOLVEX_DRIVES", "S=/home/me;T=/", 1);
  EXPECT_EQ(UnplannedErases::FileLines(plan, {0, 1, 2}, 10),
            (std::vector<std::string>{"the SOURCE file /home/me/Data/a.txt",
                                      "the SOURCE file /home/me/Data/b.txt",
                                      "the DESTINATION file /Backup/b.txt",
                                      "the DESTINATION file /Backup/Old/c.txt"}));
  EXPECT_EQ(UnplannedErases::FileLines(plan, {0, 1, 2}, 3),
            (std::vector<std::string>{"the SOURCE file /home/me/Data/a.txt",
                                      "the SOURCE file /home/me/Data/b.txt", "... and 2 more files"}));
  unsetenv("TOLVEX_DRIVES");  // only Z: is mapped: other paths stay as given
  EXPECT_EQ(NativePathOf("S:\\Data\\a.txt"), "S:\\Data\\a.txt");
  EXPECT_EQ(NativePathOf("Z:\\tmp\\a.txt"), "/tmp/a.txt");
}

}  // namespace
}  // namespace tolvex::overview
