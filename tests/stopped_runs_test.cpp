// Runs that stop before their first erase or copy leave the generation
// folders as they found them: the rotation waits until the run goes on to
// change files. Every way such a run can end, with every set of generation
// folders a destination can hold.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "tests/run_fixture.h"

namespace tolvex::runtest {
namespace {

using Lines = std::vector<std::string>;

class StoppedRun : public RunTest {
 protected:
  // The generation folders of the combination `present` (bit 0 Grandson,
  // 1 Son, 2 Father, 3 Grandfather), each holding a.txt with its own name,
  // and a newer a.txt in the source: a run that goes on copies it.
  void WriteGenerations(int present) {
    std::filesystem::remove_all(drives_.Native("T:\\Backup"));
    drives_.MakeDirs("T:\\Backup\\");
    const char* names[] = {"Grandson", "Son", "Father", "Grandfather"};
    for (int k = 0; k < 4; ++k) {
      if (present & (1 << k)) {
        Write(std::string("T:\\Backup\\") + names[k] + "\\Data\\a.txt", names[k], kOld);
      }
    }
    Write("S:\\Data\\a.txt", "the newest version, longer than any", kNew);
  }
  // The destination drive's files and folders with their contents.
  std::map<std::string, std::string> Destination() const {
    std::map<std::string, std::string> held;
    for (const auto& [path, content] : Snapshot()) {
      if (path.rfind("T:", 0) == 0) held[path] = content;
    }
    return held;
  }
};

// The erase guard (the front end's answer to the end of the plan), Cancel in
// the search dialog and in the overview, No to the space warning, a check
// that finds no source folder, and an
// error inside the run: each stops the run before anything is erased or
// copied, and no generation folder is renamed, whichever of them exist.
TEST_F(StoppedRun, NoStopBeforeTheFirstChangeRotatesTheGenerations) {
  struct Case {
    const char* stop;
    std::function<void()> arrange;
    bool inThePasses = false;  // the rotation was made, and undone
  };
  const Case cases[] = {
      {"the front end stops at the end of the plan (erase guard)",
       [] { Channels().endAnswer = TOLVEX_PLAN_STOP; }},
      {"Cancel in the search dialog", [this] { ui_.cancelAtStatus = "Searching for files..."; }},
      {"Cancel in the overview",
       [this] {
         job_.confirmMode = 2;
         ui_.overviewConfirms = false;
       }},
      {"No to the space warning",
       [this] {
         platform_.freeSpace['T'] = 0;
         Recorder().notifyAnswers.Push({kIdNo});
       }},
      {"no source folder exists", [this] { job_.dirIncludes = {"S:\\Missing\\*"}; }},
      {"an error inside the run",
       [this] {
         platform_.findError = [](const std::string&) -> uint32_t { throw std::bad_alloc(); };
       }},
      {"Cancel as the erasing begins",
       [this] { ui_.cancelAtStatus = "Erasing files..."; }, true},
      {"Abort at the first per-file question",
       [this] {
         job_.confirmMode = 1;
         Recorder().confirmAnswers.Push({TOLVEX_CONFIRM_ABORT});
       },
       true},
      {"Abort at the first failed copy",
       [this] {
         // Without folders to make: a folder made is a change, which keeps
         // the rotation.
         job_.createDestDirs = 0;
         job_.warnings = 0x40;
         platform_.FailCall(CallKind::kCopyOver, 1, kErrAccessDenied);
         Recorder().copyErrorAnswers.Push({TOLVEX_COPY_ABORT});
       },
       true},
  };
  for (const Case& c : cases) {
    for (int present = 0; present < 16; ++present) {
      SCOPED_TRACE(testing::Message() << c.stop << ", folders " << present);
      Recorder() = CallbackRecorder();
      Channels() = ChannelRecorder();
      ListenToChannels();
      ui_.cancelAtStatus.clear();
      ui_.overviewConfirms = true;
      platform_.freeSpace.clear();
      platform_.findError = nullptr;
      platform_.Reset();
      job_ = Job();
      job_.varyMode = 4;
      WriteGenerations(present);
      c.arrange();
      const auto before = Destination();

      Run();

      EXPECT_EQ(Destination(), before);
      if (!c.inThePasses) {
        EXPECT_TRUE(ChannelRecorder::OfKind(Channels().outcomes, TOLVEX_ITEM_ROTATION).empty());
      }
    }
  }
}

}  // namespace
}  // namespace tolvex::runtest
