// The 44 configuration exports: each stores one value into the parameter set.
// No exception crosses the boundary: a text that cannot be copied (out of
// memory) leaves the old value in place.
#include "model/parameters.h"
#include "include/tolvex32.h"

namespace {

using tolvex::Parameters;
using tolvex::STRING;

std::string TextOf(const char* text) { return text ? std::string(text) : std::string(); }

void StoreText(std::string& field, const char* text) noexcept {
  try {
    field = TextOf(text);
  } catch (...) {
  }
}

void AppendSelection(std::vector<STRING>& list, const char* text) noexcept {
  try {
    list.emplace_back(TextOf(text), 0);
  } catch (...) {
  }
}

uint8_t LowByte(int32_t value) { return static_cast<uint8_t>(value & 0xFF); }
uint8_t AsFlag(int32_t value) { return value != 0 ? 1 : 0; }

}  // namespace

#define TEXT_FIELD(fn, field) \
  extern "C" void TOLVEX_CALL fn(const char* text) { StoreText(Parameters.field, text); }
#define SELECTION(fn, clear_fn, list)                                                  \
  extern "C" void TOLVEX_CALL fn(const char* text) { AppendSelection(Parameters.list, text); } \
  extern "C" void TOLVEX_CALL clear_fn(void) { Parameters.list.clear(); }
#define INT_FIELD(fn, field) \
  extern "C" void TOLVEX_CALL fn(int32_t value) { Parameters.field = value; }
#define BYTE_FIELD(fn, field) \
  extern "C" void TOLVEX_CALL fn(int32_t value) { Parameters.field = LowByte(value); }
#define FLAG_FIELD(fn, field) \
  extern "C" void TOLVEX_CALL fn(int32_t value) { Parameters.field = AsFlag(value); }
#define UINT_FIELD(fn, field) \
  extern "C" void TOLVEX_CALL fn(uint32_t value) { Parameters.field = value; }
#define CHAR_FIELD(fn, field) \
  extern "C" void TOLVEX_CALL fn(int32_t value) { Parameters.field = static_cast<char>(LowByte(value)); }

TEXT_FIELD(SetFilename, Filename)
SELECTION(SetDInclSel, ClearDInclSels, DInclSels)
SELECTION(SetDExclSel, ClearDExclSels, DExclSels)
SELECTION(SetFInclSel, ClearFInclSels, FInclSels)
SELECTION(SetFExclSel, ClearFExclSels, FExclSels)
TEXT_FIELD(SetDestination, Destination)
INT_FIELD(SetVaryMode, VaryMode)
INT_FIELD(SetConfirmMode, ConfirmMode)
INT_FIELD(SetSortMode, SortMode)
FLAG_FIELD(SetReverse, Reverse)
INT_FIELD(SetPathMode, PathMode)
BYTE_FIELD(SetAttributes, Attributes)
INT_FIELD(SetTouchMode, TouchMode)
UINT_FIELD(SetLeastDate, LeastDate)
UINT_FIELD(SetLastUpdate, LastUpdate)
INT_FIELD(SetOrphanModeD1, OrphanModeD1)
INT_FIELD(SetOrphanModeD2, OrphanModeD2)
INT_FIELD(SetOrphanModeB, OrphanModeB)
INT_FIELD(SetOrphanModeS1, OrphanModeS1)
INT_FIELD(SetOrphanModeS2, OrphanModeS2)
BYTE_FIELD(SetWarnings, Warnings)
FLAG_FIELD(SetCreateSrcDirs, CreateSrcDirs)
FLAG_FIELD(SetCreateDestDirs, CreateDestDirs)
FLAG_FIELD(SetDeleteSrcDirs, DeleteSrcDirs)
FLAG_FIELD(SetDeleteDestDirs, DeleteDestDirs)
BYTE_FIELD(SetCheckSizes, CheckSizes)
FLAG_FIELD(SetLogActive, LogActive)
BYTE_FIELD(SetLogDateTime, LogDateTime)
BYTE_FIELD(SetLogDetails, LogDetails)
TEXT_FIELD(SetLogFile, LogFile)
FLAG_FIELD(SetLogAppend, LogAppend)
INT_FIELD(SetDisplayMode, DisplayMode)
UINT_FIELD(SetBlockColor1, BlockColor1)
UINT_FIELD(SetBlockColor2, BlockColor2)
FLAG_FIELD(SetSizeFilter, SizeFilter)
FLAG_FIELD(SetDoubleFilter, DoubleFilter)
TEXT_FIELD(SetWeekday, Weekday)
CHAR_FIELD(SetDateSeparator, DateSeparator)
CHAR_FIELD(SetTimeSeparator, TimeSeparator)
FLAG_FIELD(SetMidnight, Midnight)
