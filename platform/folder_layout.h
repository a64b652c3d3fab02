// The folder layout of a job as a run reads it, shared by the engine's
// checks and the command's job check: how Destination names a folder.
//
// Pure text rules: nothing here touches the file system.
#pragma once

#include <string>

namespace tolvex {

// Destination as the folder a run writes below: with its closing backslash.
// "S:" names the root of S: here, as it does for the generation folders
// (every folder name is appended right after it), so every check must read
// it the same way. A text that already ends in a separator is kept.
std::string DestinationFolder(const std::string& destination);

}  // namespace tolvex
