// Texts the fuzz targets hand to the selection and destination setters,
// built from the input: mostly paths in drive form made of a small
// vocabulary (the sandbox's letters and folder names, "..", ".", "*", "/",
// doubled backslashes, a missing closing backslash, letters outside A-Z,
// very long names, UTF-8 and stray bytes), sometimes raw bytes. The
// vocabulary makes the interesting shapes likely; the raw texts keep every
// shape possible.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <string>

namespace tolvex::fuzz {

// A folder selection or destination. `letters` are the drive letters that
// exist (the vocabulary spells them in either case).
std::string FolderText(FuzzedDataProvider& input, const std::string& letters);

// A file name pattern ("*.*", "*.txt", "?", names, and the odd ones that
// hold separators or "..").
std::string PatternText(FuzzedDataProvider& input);

}  // namespace tolvex::fuzz
