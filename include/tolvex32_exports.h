/* The export table of the engine library: every export, one row each, in
 * ordinal order. The one list of the exports; the build and the checks take
 * everything else from it:
 *   - the .def files of the Windows builds (ordinal, name, and in the 32-bit
 *     build the stdcall decoration name@bytes) and the version script of
 *     the Linux build (library/CMakeLists.txt);
 *   - the export check of the built libraries (scripts/check-exports.sh);
 *   - the front end's loader, one typed slot per row
 *     (frontend/engine_exports.h);
 *   - a compile-time check that each declaration of tolvex32.h has the row's
 *     result and parameters (library/export_table.cpp), and the tests that
 *     the header declares the rows in this order and that the export tests
 *     and the fuzz harness reach every configuration export;
 *   - the 32-bit stack convention test, which calls each row by name and by
 *     ordinal with its argument bytes.
 *
 * A caller does not need this file: tolvex32.h declares every export. It is
 * an X-macro list: define TOLVEX_EXPORT_ROW(ordinal, name, argument_bytes,
 * result, parameters) and include it; it undefines the macro at its end.
 * argument_bytes: what the arguments take on the 32-bit stack (4 each).
 * Each row stays on one line, as the build reads it.
 *
 * Ordinals 1 to 45 are the configuration exports and CallUpdate, and never
 * change; the extension starts at 46, and a new export takes the next
 * ordinal. */

TOLVEX_EXPORT_ROW(1, SetFilename, 4, void, (const char*))
TOLVEX_EXPORT_ROW(2, ClearDInclSels, 0, void, (void))
TOLVEX_EXPORT_ROW(3, ClearDExclSels, 0, void, (void))
TOLVEX_EXPORT_ROW(4, ClearFInclSels, 0, void, (void))
TOLVEX_EXPORT_ROW(5, ClearFExclSels, 0, void, (void))
TOLVEX_EXPORT_ROW(6, SetDInclSel, 4, void, (const char*))
TOLVEX_EXPORT_ROW(7, SetDExclSel, 4, void, (const char*))
TOLVEX_EXPORT_ROW(8, SetFInclSel, 4, void, (const char*))
TOLVEX_EXPORT_ROW(9, SetFExclSel, 4, void, (const char*))
TOLVEX_EXPORT_ROW(10, SetDestination, 4, void, (const char*))
TOLVEX_EXPORT_ROW(11, SetVaryMode, 4, void, (int32_t))
TOLVEX_EXPORT_ROW(12, SetConfirmMode, 4, void, (int32_t))
TOLVEX_EXPORT_ROW(13, SetSortMode, 4, void, (int32_t))
TOLVEX_EXPORT_ROW(14, SetReverse, 4, void, (int32_t))
TOLVEX_EXPORT_ROW(15, SetPathMode, 4, void, (int32_t))
TOLVEX_EXPORT_ROW(16, SetAttributes, 4, void, (int32_t))
TOLVEX_EXPORT_ROW(17, SetTouchMode, 4, void, (int32_t))
TOLVEX_EXPORT_ROW(18, SetLeastDate, 4, void, (uint32_t))
TOLVEX_EXPORT_ROW(19, SetLastUpdate, 4, void, (uint32_t))
TOLVEX_EXPORT_ROW(20, SetOrphanModeD1, 4, void, (int32_t))
TOLVEX_EXPORT_ROW(21, SetOrphanModeD2, 4, void, (int32_t))
TOLVEX_EXPORT_ROW(22, SetOrphanModeB, 4, void, (int32_t))
TOLVEX_EXPORT_ROW(23, SetOrphanModeS1, 4, void, (int32_t))
TOLVEX_EXPORT_ROW(24, SetOrphanModeS2, 4, void, (int32_t))
TOLVEX_EXPORT_ROW(25, SetWarnings, 4, void, (int32_t))
TOLVEX_EXPORT_ROW(26, SetCreateSrcDirs, 4, void, (int32_t))
TOLVEX_EXPORT_ROW(27, SetCreateDestDirs, 4, void, (int32_t))
TOLVEX_EXPORT_ROW(28, SetDeleteSrcDirs, 4, void, (int32_t))
TOLVEX_EXPORT_ROW(29, SetDeleteDestDirs, 4, void, (int32_t))
TOLVEX_EXPORT_ROW(30, SetCheckSizes, 4, void, (int32_t))
TOLVEX_EXPORT_ROW(31, SetLogActive, 4, void, (int32_t))
TOLVEX_EXPORT_ROW(32, SetLogDateTime, 4, void, (int32_t))
TOLVEX_EXPORT_ROW(33, SetLogDetails, 4, void, (int32_t))
TOLVEX_EXPORT_ROW(34, SetLogFile, 4, void, (const char*))
TOLVEX_EXPORT_ROW(35, SetLogAppend, 4, void, (int32_t))
TOLVEX_EXPORT_ROW(36, SetDisplayMode, 4, void, (int32_t))
TOLVEX_EXPORT_ROW(37, SetBlockColor1, 4, void, (uint32_t))
TOLVEX_EXPORT_ROW(38, SetBlockColor2, 4, void, (uint32_t))
TOLVEX_EXPORT_ROW(39, SetSizeFilter, 4, void, (int32_t))
TOLVEX_EXPORT_ROW(40, SetDoubleFilter, 4, void, (int32_t))
TOLVEX_EXPORT_ROW(41, SetWeekday, 4, void, (const char*))
TOLVEX_EXPORT_ROW(42, SetDateSeparator, 4, void, (int32_t))
TOLVEX_EXPORT_ROW(43, SetTimeSeparator, 4, void, (int32_t))
TOLVEX_EXPORT_ROW(44, SetMidnight, 4, void, (int32_t))
TOLVEX_EXPORT_ROW(45, CallUpdate, 16, int32_t, (TNotifyProc, TConfirmProc, TCopyErrorProc, TMakeDirProc))
/* The extension: never before ordinal 46. */
TOLVEX_EXPORT_ROW(46, SetPlanProc, 4, void, (TPlanProc))
TOLVEX_EXPORT_ROW(47, SetOutcomeProc, 4, void, (TOutcomeProc))
TOLVEX_EXPORT_ROW(48, SetDryRun, 4, void, (int32_t))
TOLVEX_EXPORT_ROW(49, SetEraseLimit, 8, void, (int32_t, int32_t))
TOLVEX_EXPORT_ROW(50, SetQuietViews, 4, void, (int32_t))
TOLVEX_EXPORT_ROW(51, CancelUpdate, 0, void, (void))
TOLVEX_EXPORT_ROW(52, SetSyncState, 4, void, (const char*))
TOLVEX_EXPORT_ROW(53, SetShareUnchanged, 4, void, (int32_t))
TOLVEX_EXPORT_ROW(54, SetEmptyFolders, 4, void, (int32_t))

#undef TOLVEX_EXPORT_ROW
