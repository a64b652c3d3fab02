// The modes of the folders a run makes and fills.
//
// A folder the run makes takes the mode of its source folder (where the
// platform has modes: POSIX; on Windows nothing changes), and as root its
// owner and group. A folder is filled after it is made, and a mode without
// the owner's write and search bits (500, 555) would refuse its content: such
// a folder keeps the owner's rwx while the run fills it and gets its own
// mode when the run ends (Finish), deepest folder first. A folder of the
// destination that exists but refuses its owner's writes is opened the same
// way while the run writes into it, and given its mode back afterwards.
//
// For every folder a run makes: the copy pass's target folders
// (engine/copy_pass.cpp) and the empty folders of the selection.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tolvex {

class FolderModes {
 public:
  // `made` (drive form, without its trailing backslash) was just made as
  // the counterpart of `source`: it takes source's mode (CopyMode), with
  // the owner's rwx until Finish when that mode lacks them. Returns the
  // platform's code (50 where there are no modes: nothing was done).
  uint32_t TakeForMadeFolder(const std::string& source, const std::string& made);
  // `folder` (drive form, without its trailing backslash) exists and the
  // run is about to write into it: a mode that refuses its owner's writes
  // is opened until Finish. `source`: the folder it stands for, or empty.
  void OpenForWriting(const std::string& source, const std::string& folder);

  // A folder whose mode could not be given back.
  struct Unset {
    std::string source;  // the folder it stands for; empty when not known
    std::string folder;
    uint32_t error;
  };
  // Gives each folder waiting for its mode that mode, deepest first; a
  // failure leaves that folder open to its owner, and is returned.
  std::vector<Unset> Finish();

 private:
  struct Waiting {
    std::string source;
    std::string folder;
    uint32_t mode;
  };
  std::vector<Waiting> waiting_;
};

// The owner's read, write and search bits: what the run needs of a folder
// it fills.
inline constexpr uint32_t kOwnerFills = 0700;

}  // namespace tolvex
