// The rows of the overview's list and its indicators as drawing operations,
// free of any toolkit: backgrounds, the focus frame, images from the two
// strips and texts with their rectangles, alignment and colour. The Win32
// dialog executes them with GDI in pixels; the terminal view executes the
// same rules in character cells (a geometry of its own).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/parameters.h"
#include "model/plan.h"

namespace tolvex::overview {

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const Rect&) const = default;
};

struct Point {
  int x = 0, y = 0;
};

// A system colour (by its Windows index) or a colour value (0x00BBGGRR).
struct Colour {
  enum class Kind : uint8_t { kSystem, kValue };
  Kind kind = Kind::kSystem;
  uint32_t value = 0;
  static Colour System(int index) { return {Kind::kSystem, static_cast<uint32_t>(index)}; }
  static Colour Value(uint32_t colour) { return {Kind::kValue, colour}; }
  bool operator==(const Colour&) const = default;
};

// The system colour indices the rows use (the values of the Windows API).
enum SystemColour : int {
  kColourWindow = 5,
  kColourWindowText = 8,
  kColourHighlight = 13,
  kColourHighlightText = 14,
  kColourButtonFace = 15,
  kColourGrayText = 17,
};

enum class Align : uint8_t { kLeft, kRight, kCentre };
enum class Strip : uint8_t { kIndicators, kRows };

// Row strip images (bitmap 1042).
enum RowImage : int {
  kImageGroupNormal = 0,  // +1 Ignore, +2 Erase
  kImageCandidate = 3,    // +1 Ignore, +2 Erase, +3 Invert, +4 destination side
  kImageWhitePage = 3,
  kImageBlackPage = 7,
  kImageSizeWarning = 11,
  kImageCounterChanged = 12,
};

struct DrawOp {
  enum class Kind : uint8_t { kFill, kFocusFrame, kImage, kText };
  Kind kind = Kind::kFill;
  // kFill, kFocusFrame, kText: the rectangle. kImage: where the image goes,
  // as large as `source`.
  Rect rect;
  // kFill: the brush. kText: the text colour. kImage: what the strip's
  // transparent colour becomes.
  Colour colour;
  // kImage: the strip, the image's index and the part of it drawn
  // (coordinates inside the image).
  Strip strip = Strip::kRows;
  int image = 0;
  Rect source;
  // kText: drawn clipped to `rect`, top-aligned, with a transparent
  // background.
  std::string text;
  Align align = Align::kLeft;
};

// Text measuring on the device the row is drawn on.
class TextMeasure {
 public:
  virtual ~TextMeasure() = default;
  virtual int Width(std::string_view text) = 0;
};

// The fixed offsets of the row layouts. Pixels() is the dialog's layout;
// Cells() the same rows in terminal character cells.
struct RowGeometry {
  int groupRowHeight, detailedRowHeight, compactRowHeight;
  int lineHeight;  // one text line of a candidate row
  int margin;      // left margin of the candidate texts
  int gap;         // between the path, size and date columns
  // Group row: positions relative to the item's top-left corner.
  Point groupImage, title, megabytes, totals, forwardImage, forwardText, backwardImage,
      backwardText;
  Point groupImageSize;  // the part of images 0 to 2 drawn
  // Candidate row.
  Point stateImage, sizeMarker, changedMarker;
  Point pageImageSize;    // the part of images 3 to 10 drawn
  Point markerImageSize;  // the part of images 11 and 12 drawn

  static RowGeometry Pixels();
  static RowGeometry Cells();
};

// The height of every list entry in a view; a DisplayMode outside 0 to 2
// keeps the height the list proposes.
int RowHeight(int32_t display_mode, int proposed, const RowGeometry& geometry);

// One drawing request of the list.
struct RowRequest {
  Rect item;
  bool selected = false;
  bool focused = false;
  // The record the entry shows (a `groups` index in the group view, a
  // `candidates` index otherwise); -1 when the request names no entry.
  int32_t record = -1;
};

// The drawing operations of one list row, from the lists of `plan` and the
// run's `parameters` (DisplayMode, block colours, separators). A request
// without a record (the focus of an empty list) draws only the focus frame.
std::vector<DrawOp> LayOutRow(const RowRequest& request, const RowGeometry& geometry,
                              TextMeasure& measure, const Plan& plan,
                              const TParameters& parameters);

// The drawing operation of indicator `id` (1002 to 1013): its strip image,
// the pressed-looking one when it is active, on the button face.
DrawOp LayOutIndicator(int id, bool active, int image_size);

// The three measured widths of the candidate rows and the columns they give.
struct Columns {
  int sizeWidth, dateWidth, dotsWidth;  // "000000000", "00/00/00 00:00:00", "..."
  int lineWidth;                        // Wline
  int pathWidth;                        // Wpath (may be negative on a narrow list)
  int mid;                              // the split point of fitted texts
  int pathLeft, sizeLeft, dateLeft;
};
Columns MeasureColumns(const Rect& item, const RowGeometry& geometry, TextMeasure& measure);

}  // namespace tolvex::overview
