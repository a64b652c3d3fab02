// The promise of the dry run: what the plan says is what the run does. Over
// randomised trees in every path, touch and orphan mode (and the generation
// rotation), with every way the plan is confirmed, a dry run changes
// nothing on the file system, and the run that follows reports through its
// outcome channel the same actions in the same order, pass by pass, with
// the files afterwards as the actions say.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "tests/run_fixture.h"

namespace tolvex::runtest {
namespace {

// The last run of these jobs: between kOld and kNew, so that both ways an
// old orphan counts as deleted on the other side and a new one as new work.
constexpr uint32_t kLastRun = Stamp(1999, 3, 12, 8, 0, 0);
constexpr uint32_t kNewer = Stamp(1999, 3, 14, 11, 0, 0);

struct Modes {
  int32_t pathMode;
  int32_t touchMode;
  int32_t orphanModeD1 = 0, orphanModeD2 = 1, orphanModeB = 0, orphanModeS1 = 0, orphanModeS2 = 1;
};

std::vector<Modes> EveryMode() {
  std::vector<Modes> modes;
  for (int32_t path = 0; path <= 2; ++path) {
    for (int32_t d1 : {0, 1}) {
      for (int32_t d2 : {1, 2}) modes.push_back({path, 0, d1, d2});
    }
    for (int32_t b : {0, 1, 2}) modes.push_back({path, 1, 0, 1, b});
    for (int32_t s1 : {0, 1}) {
      for (int32_t s2 : {1, 2}) modes.push_back({path, 2, 0, 1, 0, s1, s2});
    }
  }
  return modes;
}

class PlanEqualsRun : public RunTest {
 protected:
  PlanEqualsRun() {
    job_.lastUpdate = kLastRun;
    ListenToChannels();
  }


  // Where the destination copy of the source file S:\Data\<relative> lies.
  std::string DestinationOf(const std::string& relative) const {
    switch (job_.pathMode) {
      case 0: return "T:\\Backup\\" + relative.substr(relative.rfind('\\') + 1);
      case 1: return "T:\\Backup\\Data\\" + relative;
      default: return "T:\\Backup\\" + relative;
    }
  }

  // A random tree: files on one side only, equal pairs, pairs newer on
  // either side, pairs of one stamp and other sizes, pairs apart only by
  // their mode (POSIX); some folders only on
  // one side. Flat runs get files of one name in several folders.
  void MakeTree(std::mt19937& random) {
    const char* folders[] = {"", "a\\", "a\\b\\", "c\\"};
    const char* names[] = {"one.txt", "two.doc", "three", "Four.txt", "five.txt"};
    const uint32_t stamps[] = {kOld, kLastRun, kNew, kNewer};
    std::uniform_int_distribution<int> pick(0, 99);
    int serial = 0;
    for (const char* folder : folders) {
      for (const char* name : names) {
        const int shape = pick(random) % 8;
        if (shape == 6) continue;  // nowhere
        const std::string relative = std::string(folder) + name;
        const std::string content(static_cast<size_t>(1 + pick(random) % 40), static_cast<char>('a' + serial++ % 26));
        const uint32_t stamp = stamps[pick(random) % 4];
        const std::string source = "S:\\Data\\" + relative;
        const std::string target = DestinationOf(relative);
        switch (shape) {
          case 0: Write(source, content, stamp); break;                        // source only
          case 1: Write(target, content, stamp); break;                        // destination only
          case 2: Write(source, content, stamp); Write(target, content, stamp); break;  // equal
          case 3: Write(source, content + "+", kNewer); Write(target, content, kOld); break;
          case 4: Write(source, content, kOld); Write(target, content + "+", kNewer); break;
          case 5: Write(source, content, stamp); Write(target, content + "++", stamp); break;
          case 7:  // equal but for the source's mode (POSIX): a mode set
            Write(source, content, stamp);
            Write(target, content, stamp);
#if !defined(_WIN32)
            std::filesystem::permissions(drives_.Native(source), std::filesystem::perms::owner_read |
                                                                     std::filesystem::perms::owner_write);
#endif
            break;
        }
      }
    }
    // A destination folder with no source counterpart, and one only in the source.
    if (pick(random) % 2) Write(DestinationOf("gone\\old.txt"), "old", kOld);
    if (pick(random) % 2) Write("S:\\Data\\fresh\\new.txt", "new", kNewer);
    // Folders that hold no file, on one side or on both (where the path
    // mode keeps folders).
    const auto destination_folder = [this](const std::string& relative) {
      const std::string file = DestinationOf(relative + "\\x");
      return file.substr(0, file.size() - 2);
    };
    if (pick(random) % 2) drives_.MakeDirs("S:\\Data\\hollow\\inner");
    if (pick(random) % 2) drives_.MakeDirs(destination_folder("void"));
    if (pick(random) % 2) {
      drives_.MakeDirs("S:\\Data\\both");
      drives_.MakeDirs(destination_folder("both"));
    }
  }

  // The dry run, then the run, and what must hold between them.
  void CheckPlanAgainstRun(const std::string& trace) {
    SCOPED_TRACE(trace);
    const std::map<std::string, std::string> before = Snapshot();
    SetDryRun(TOLVEX_DRY_RUN_PLAN);
    Channels() = ChannelRecorder();
    ASSERT_EQ(Run(), 1);
    EXPECT_EQ(Snapshot(), before) << "the dry run changed the file system";
    const std::vector<ChannelItem> plan = Channels().plan;
    const std::vector<ChannelItem> planned_findings =
        ChannelRecorder::OfKind(Channels().outcomes, TOLVEX_ITEM_FINDING);

    SetDryRun(TOLVEX_DRY_RUN_OFF);
    Channels() = ChannelRecorder();
    const std::function<int(const FileQuestion&)> confirm_by = Recorder().confirmBy;
    Recorder() = CallbackRecorder();
    Recorder().confirmBy = confirm_by;
    ASSERT_EQ(Run(), 1);
    const std::vector<ChannelItem> outcomes = Channels().outcomes;

    // The same actions in the same order: the erase pass (last candidate
    // first), then the copy pass. With the per-file question there is no
    // erase pass: an erasure waits for its answer in the copy pass.
    const std::vector<std::string> planned = ChannelRecorder::Actions(plan);
    EXPECT_EQ(planned, ChannelRecorder::Actions(outcomes));
    bool copy_pass = false;
    for (const ChannelItem& item : plan) {
      if (!item.IsAction() || job_.confirmMode == TOLVEX_CONFIRM_MODE_EACH_FILE) continue;
      if (item.kind != TOLVEX_ITEM_ERASE) copy_pass = true;
      EXPECT_FALSE(copy_pass && item.kind == TOLVEX_ITEM_ERASE) << "erase after the erase pass: " << item.Action();
    }
    EXPECT_EQ(ChannelRecorder::Described(planned_findings),
              ChannelRecorder::Described(ChannelRecorder::OfKind(outcomes, TOLVEX_ITEM_FINDING)));
    // The folders the plan says the removal takes are the folders it takes.
    EXPECT_EQ(ChannelRecorder::Described(ChannelRecorder::OfKind(plan, TOLVEX_ITEM_FOLDER_REMOVED)),
              ChannelRecorder::Described(
                  ChannelRecorder::OfKind(outcomes, TOLVEX_ITEM_FOLDER_REMOVED)));
    // The folders the plan makes are the folders the run makes.
    EXPECT_EQ(ChannelRecorder::Described(ChannelRecorder::OfKind(plan, TOLVEX_ITEM_FOLDER_MADE)),
              ChannelRecorder::Described(ChannelRecorder::OfKind(outcomes, TOLVEX_ITEM_FOLDER_MADE)));
    for (const ChannelItem& item : ChannelRecorder::OfKind(outcomes, TOLVEX_ITEM_FOLDER_MADE)) {
      EXPECT_EQ(item.outcome, TOLVEX_OUTCOME_DONE) << item.from;
      EXPECT_TRUE(Exists(item.from.substr(0, item.from.size() - 1))) << item.from;
    }
    // The rotation's renames as judged are the renames as made.
    std::vector<std::string> judged;
    for (const ChannelItem& item : ChannelRecorder::OfKind(plan, TOLVEX_ITEM_ROTATION)) judged.push_back(item.Action());
    std::vector<std::string> made;
    for (const ChannelItem& item : ChannelRecorder::OfKind(outcomes, TOLVEX_ITEM_ROTATION)) made.push_back(item.Action());
    EXPECT_EQ(judged, made);
    for (const ChannelItem& item : plan) {
      if (item.kind == TOLVEX_ITEM_END) {
        EXPECT_EQ(item.reason, TOLVEX_REASON_NONE);
      }
    }

    // The files afterwards: the generation folders renamed as reported,
    // each copy's target holding what its source held, each erased file
    // gone, and nothing else changed.
    std::map<std::string, std::string> renamed = before;
    for (const ChannelItem& rename : ChannelRecorder::OfKind(outcomes, TOLVEX_ITEM_ROTATION)) {
      if (rename.outcome != TOLVEX_OUTCOME_DONE) continue;
      std::map<std::string, std::string> moved;
      for (const auto& [path, content] : renamed) {
        const bool below = path.compare(0, rename.from.size() + 1, rename.from + "\\") == 0;
        moved[below ? rename.to + path.substr(rename.from.size()) : path] = content;
      }
      renamed = std::move(moved);
    }
    std::map<std::string, std::string> expected = renamed;
    for (const ChannelItem& item : outcomes) {
      if (!item.IsAction()) continue;
      EXPECT_NE(item.outcome, TOLVEX_OUTCOME_FAILED) << item.Action();
      if (item.outcome != TOLVEX_OUTCOME_DONE) continue;
      if (item.kind == TOLVEX_ITEM_ERASE) {
        expected.erase(item.from);
      } else {
        ASSERT_EQ(renamed.count(item.from), 1u) << item.Action();
        expected[item.to] = renamed.at(item.from);
      }
    }
    const auto files_of = [](const std::map<std::string, std::string>& all) {
      std::map<std::string, std::string> files;
      for (const auto& [path, content] : all) {
        if (path.back() != '\\' && path != "U:\\run.log") files.emplace(path, content);
      }
      return files;
    };
    EXPECT_EQ(files_of(Snapshot()), files_of(expected));
  }

  // The job's modes for one random case; the case number varies the order,
  // the folder creation and the folder removals.
  void TakeModes(const Modes& modes, int case_number) {
    job_.pathMode = modes.pathMode;
    job_.touchMode = modes.touchMode;
    job_.orphanModeD1 = modes.orphanModeD1;
    job_.orphanModeD2 = modes.orphanModeD2;
    job_.orphanModeB = modes.orphanModeB;
    job_.orphanModeS1 = modes.orphanModeS1;
    job_.orphanModeS2 = modes.orphanModeS2;
    job_.sortMode = case_number % 5;
    job_.reverse = case_number % 2;
    job_.createSrcDirs = 1;
    job_.deleteDestDirs = case_number % 3 == 0;
    job_.deleteSrcDirs = case_number % 4 == 0;
    // Each mode's two seeds: one without, one with the empty folders.
    SetEmptyFolders(case_number % 2 == 0);
  }
};

TEST_F(PlanEqualsRun, InEveryPathTouchAndOrphanModeOverRandomTrees) {
  int case_number = 0;
  for (const Modes& modes : EveryMode()) {
    for (unsigned seed = 1; seed <= 2; ++seed) {
      ++case_number;
      ClearDrives();
      std::mt19937 random(seed * 7919 + static_cast<unsigned>(case_number));
      TakeModes(modes, case_number);
      MakeTree(random);
      CheckPlanAgainstRun("path mode " + std::to_string(modes.pathMode) + ", touch mode " +
                          std::to_string(modes.touchMode) + ", orphan modes " +
                          std::to_string(modes.orphanModeD1) + std::to_string(modes.orphanModeD2) +
                          std::to_string(modes.orphanModeB) + std::to_string(modes.orphanModeS1) +
                          std::to_string(modes.orphanModeS2) + ", seed " + std::to_string(seed));
    }
  }
}

// The per-file question answered with each file's plan, and the overview
// confirmed as shown: the run takes the steps the dry run walked. With the
// question there is no erase pass (an erasure waits for its answer), and a
// carried-out conflict (two-way runs) settles its partner, which is then
// skipped without a question.
TEST_F(PlanEqualsRun, WithThePerFileQuestionAndTheOverviewOverRandomTrees) {
  int case_number = 0;
  size_t questions = 0;
  size_t settled = 0;
  for (const int32_t confirm_mode : {TOLVEX_CONFIRM_MODE_EACH_FILE, TOLVEX_CONFIRM_MODE_OVERVIEW}) {
    for (const Modes& modes : EveryMode()) {
      ++case_number;
      ClearDrives();
      std::mt19937 random(7919u * 3 + static_cast<unsigned>(case_number));
      job_.confirmMode = confirm_mode;
      TakeModes(modes, case_number);
      std::vector<std::string> asked;
      Recorder().confirmBy = [&asked](const FileQuestion& question) {
        asked.push_back(question.path);
        switch (question.value & TOLVEX_STATE_ACTION) {
          case TOLVEX_STATE_NORMAL: return int{TOLVEX_CONFIRM_NORMAL};
          case TOLVEX_STATE_ERASE: return int{TOLVEX_CONFIRM_ERASE};
          case TOLVEX_STATE_INVERT: return int{TOLVEX_CONFIRM_INVERT};
          default: return int{TOLVEX_CONFIRM_IGNORE};
        }
      };
      MakeTree(random);
      CheckPlanAgainstRun("confirm mode " + std::to_string(confirm_mode) + ", path mode " +
                          std::to_string(modes.pathMode) + ", touch mode " +
                          std::to_string(modes.touchMode) + ", orphan modes " +
                          std::to_string(modes.orphanModeD1) + std::to_string(modes.orphanModeD2) +
                          std::to_string(modes.orphanModeB) + std::to_string(modes.orphanModeS1) +
                          std::to_string(modes.orphanModeS2));
      // Questions only with the per-file question, and none about a
      // conflict partner settled by the other file's copy (it is skipped
      // for the conflict).
      if (confirm_mode == TOLVEX_CONFIRM_MODE_OVERVIEW) {
        EXPECT_TRUE(asked.empty());
        continue;
      }
      questions += asked.size();
      for (const ChannelItem& item : ChannelRecorder::OfKind(Channels().outcomes, TOLVEX_ITEM_SKIP)) {
        if (item.reason != TOLVEX_REASON_CONFLICT) continue;
        ++settled;
        EXPECT_EQ(std::count(asked.begin(), asked.end(), item.from), 0)
            << "asked about a settled partner: " << item.from;
      }
    }
  }
  // The trees hold both.
  EXPECT_GT(questions, 0u);
  EXPECT_GT(settled, 0u);
}

// The rotation is judged on the folders as they are: every combination of
// Grandson, Son, Father and a leftover Grandfather, the renames as planned
// are the renames as made, and the plan's actions on the folder that
// becomes Grandson are the run's.
TEST_F(PlanEqualsRun, TheGenerationRotationAsJudgedIsTheRotationAsMade) {
  const char* generations[] = {"Grandson", "Son", "Father", "Grandfather"};
  for (int present = 0; present < 16; ++present) {
    ClearDrives();
    job_.varyMode = 4;
    job_.pathMode = 2;
    job_.touchMode = 1;
    job_.orphanModeB = present % 3;
    Write("S:\\Data\\shared.txt", "source", kNewer);
    Write("S:\\Data\\only-source.txt", "s", kOld);
    for (int g = 0; g < 4; ++g) {
      if (!(present & (1 << g))) continue;
      const std::string folder = std::string("T:\\Backup\\") + generations[g] + "\\";
      Write(folder + "shared.txt", std::string("copy in ") + generations[g], kOld + g);
      Write(folder + generations[g] + ".txt", generations[g], kNew);
    }
    CheckPlanAgainstRun("generations present: " + std::to_string(present));
    EXPECT_EQ(ChannelRecorder::OfKind(Channels().outcomes, TOLVEX_ITEM_ROTATION).size(), 4u);
  }
}

}  // namespace
}  // namespace tolvex::runtest
