// The engine's reserved name space: the two kinds of names the engine makes
// in the folders it works in, which no enumeration yields and no run copies,
// compares or erases as a user's file.
//
//   ~tolvex-tmp.TTTTTTTTTTTTTTTT-CCCCCCCC.tmp   a temporary file of the copy
//   ~tolvex-run.lock                             the lock of a run (in Destination)
//
// A temporary name is exactly 41 characters: the prefix "~tolvex-tmp.", a
// token of 16 lower-case hex digits, "-", a counter of 8 lower-case hex
// digits, and ".tmp". The token is random; a writer may use one token for
// many files (one per process or per run) and tell them apart by the
// counter. Only names of exactly this shape, in exactly this letter case,
// are reserved: "~tolvex-tmp.notes.txt" or "~TOLVEX-TMP.…" is a user's
// file like any other, seen by the scan and backed up.
//
// Liveness: a temporary file belongs to a live writer while the writer holds
// it open under a lock (POSIX: flock; Windows: an open handle that shares no
// delete access). A writer keeps that hold from the moment it creates the
// file until it has renamed or removed it. Whoever finds a temporary file
// that nobody holds may remove it at once; a file whose file system cannot
// tell (no locks) is removed only after an hour without change.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tolvex {

inline constexpr const char kTempPrefix[] = "~tolvex-tmp.";
inline constexpr const char kTempSuffix[] = ".tmp";
inline constexpr size_t kTempTokenDigits = 16;
inline constexpr size_t kTempCounterDigits = 8;
inline constexpr size_t kTempNameLength =
    sizeof(kTempPrefix) - 1 + kTempTokenDigits + 1 + kTempCounterDigits + sizeof(kTempSuffix) - 1;

// The lock a run holds on its destination folder.
inline constexpr const char kRunLockName[] = "~tolvex-run.lock";

// The temporary name of `token` and `counter`.
std::string TemporaryName(uint64_t token, uint32_t counter);

// True for a name of the temporary shape (above), exactly.
bool IsTemporaryName(std::string_view name);

// The token of a temporary name; 0 for any other name.
uint64_t TokenOfTemporaryName(std::string_view name);

// True for the names no enumeration yields: temporary names and the run lock.
bool IsReservedName(std::string_view name);

}  // namespace tolvex
