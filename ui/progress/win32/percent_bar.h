// The copy dialog's percentage bar: a window class of its own, since the
// standard progress bar shows no text. It answers the progress bar's
// messages (PBM_SETRANGE32, PBM_SETPOS, PBM_GETPOS, PBM_GETRANGE), clamps
// its position into its range, repaints only when the position changes,
// and shows the position as "%lu%%" in its window text and centred on the
// bar: in the highlight text colour over the filled part, in the window
// text colour over the rest. The fill keeps a 1-pixel margin inside the
// bar's frame.
#pragma once

#include "ui/win32/window_types.h"

namespace tolvex {

// Registers the class once per process (later calls do nothing); false
// when it cannot be registered.
bool RegisterPercentBar();

// A bar at pixel position (x, y) of `parent`, `width` by `height`, with
// control id `id`, range 0-100 at 0; null on failure.
HWND CreatePercentBar(HWND parent, int id, int x, int y, int width, int height);

inline constexpr char kPercentBarClass[] = "TolvexPercentBar";

}  // namespace tolvex
