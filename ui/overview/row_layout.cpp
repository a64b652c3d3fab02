#include "ui/overview/row_layout.h"

#include <cstdio>

#include "model/parameters.h"
#include "model/plan.h"
#include "ui/overview/overview_controls.h"
#include "ui/overview/overview_statistics.h"

namespace tolvex::overview {

namespace {

constexpr int kIndicatorImages = 13;  // at rest; the pressed pictures follow

class RowBuilder {
 public:
  RowBuilder(const Rect& item, std::vector<DrawOp>& ops) : item_(item), ops_(ops) {}

  void Fill(const Colour& colour) {
    DrawOp op;
    op.kind = DrawOp::Kind::kFill;
    op.rect = item_;
    op.colour = colour;
    ops_.push_back(op);
  }
  void FocusFrame() {
    DrawOp op;
    op.kind = DrawOp::Kind::kFocusFrame;
    op.rect = item_;
    ops_.push_back(op);
  }
  // An image at an offset from the item's top-left corner.
  void Image(int index, Point at, Point size, const Colour& background) {
    DrawOp op;
    op.kind = DrawOp::Kind::kImage;
    op.strip = Strip::kRows;
    op.image = index;
    op.rect = {item_.left + at.x, item_.top + at.y, item_.left + at.x + size.x,
               item_.top + at.y + size.y};
    op.source = {0, 0, size.x, size.y};
    op.colour = background;
    ops_.push_back(op);
  }
  // A text in absolute coordinates.
  void Text(std::string text, Rect rect, Align align, const Colour& colour) {
    DrawOp op;
    op.kind = DrawOp::Kind::kText;
    op.text = std::move(text);
    op.rect = rect;
    op.align = align;
    op.colour = colour;
    ops_.push_back(op);
  }
  // A text from an offset to the item's right and bottom edges.
  void TextFrom(std::string text, Point at, const Colour& colour) {
    Text(std::move(text), {item_.left + at.x, item_.top + at.y, item_.right, item_.bottom},
         Align::kLeft, colour);
  }

 private:
  Rect item_;
  std::vector<DrawOp>& ops_;
};

bool Greyed(uint16_t state) { return (state & (STATE_IGNORE | STATE_ERASE)) != 0; }

const std::string& FolderText(const std::vector<STRING>& folders, int32_t index) {
  static const std::string kNone;
  return index >= 0 && index < static_cast<int32_t>(folders.size()) ? folders[index].text() : kNone;
}

std::string NumberText(uint64_t value) {
  char text[32];
  std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(value));
  return text;
}

void LayOutGroup(const FOLDER& g, const RowGeometry& geo, const Colour& background,
                 const Colour& text, RowBuilder& row) {
  const int image = ((g.state & STATE_IGNORE) ? 1 : 0) + ((g.state & STATE_ERASE) ? 2 : 0);
  row.Image(kImageGroupNormal + image, geo.groupImage, geo.groupImageSize, background);
  row.TextFrom(g.title, geo.title, text);
  row.TextFrom(MegabytesText(g.bytes), geo.megabytes, text);
  row.TextFrom(TotalText(g.forwardCount + g.backwardCount, g.forwardOrphans + g.backwardOrphans),
               geo.totals, text);
  row.Image(kImageWhitePage, geo.forwardImage, geo.pageImageSize, background);
  row.TextFrom(TotalText(g.forwardCount, g.forwardOrphans), geo.forwardText, text);
  row.Image(kImageBlackPage, geo.backwardImage, geo.pageImageSize, background);
  row.TextFrom(TotalText(g.backwardCount, g.backwardOrphans), geo.backwardText, text);
}

// The texts of candidate rows: paths fitted around the middle of the path
// column, sizes right-aligned in theirs, stamps in the date column.
class CandidateTexts {
 public:
  CandidateTexts(const Plan& plan, const TParameters& parameters, const Rect& item,
                 const RowGeometry& geo, TextMeasure& measure, const Colour& colour,
                 RowBuilder& row)
      : plan_(plan),
        parameters_(parameters),
        item_(item),
        geo_(geo),
        measure_(measure),
        colour_(colour),
        row_(row),
        columns_(MeasureColumns(item, geo, measure)) {}

  // A text that does not fit in `width` shows its start, "..." and its end,
  // split at the middle of the path column (also for the wider name line).
  void Fitted(const std::string& s, int width, int top, int bottom) {
    const int x0 = columns_.pathLeft;
    if (measure_.Width(s) > width) {
      const int half = columns_.dotsWidth / 2;
      row_.Text(s, {x0, top, columns_.mid - half, bottom}, Align::kLeft, colour_);
      row_.Text(s, {columns_.mid + half, top, x0 + width, bottom}, Align::kRight, colour_);
      row_.Text("...", {columns_.mid - half, top, columns_.mid + half, bottom}, Align::kCentre,
                colour_);
    } else {
      row_.Text(s, {x0, top, x0 + width, bottom}, Align::kLeft, colour_);
    }
  }
  void Size(uint64_t size, int top, int bottom) {
    row_.Text(NumberText(size), {columns_.sizeLeft, top, columns_.sizeLeft + columns_.sizeWidth, bottom},
              Align::kRight, colour_);
  }
  void Stamp(uint32_t stamp, int top, int bottom) {
    row_.Text(StampText(stamp, parameters_.DateSeparator, parameters_.TimeSeparator),
              {columns_.dateLeft, top, columns_.dateLeft + columns_.dateWidth, bottom},
              Align::kLeft, colour_);
  }

  void Compact(const CANDIDATE& c) {
    const bool invert = (c.state & STATE_INVERT) != 0;
    const std::string& folder =
        FolderText(invert ? plan_.counterpartList : plan_.dirList, c.dirIndex);
    Fitted(folder + c.name + c.extension, columns_.pathWidth, item_.top, item_.bottom);
    Size(invert ? c.counterSize : c.size, item_.top, item_.bottom);
    Stamp(invert ? c.counterStamp : c.stamp, item_.top, item_.bottom);
  }

  void Detailed(const CANDIDATE& c) {
    const int line = geo_.lineHeight;
    const int top = item_.top;
    Fitted(c.name + c.extension, columns_.lineWidth, top, top + line);
    // The side a copy comes from stands directly under the name.
    const bool invert = (c.state & STATE_INVERT) != 0;
    const int scanned = top + (invert ? 2 * line : line);
    const int counter = top + (invert ? line : 2 * line);
    Fitted(FolderText(plan_.dirList, c.dirIndex), columns_.pathWidth, scanned, scanned + line);
    Size(c.size, scanned, scanned + line);
    Stamp(c.stamp, scanned, scanned + line);
    Fitted(FolderText(plan_.counterpartList, c.dirIndex), columns_.pathWidth, counter,
           counter + line);
    if (c.counterSize != 0) {
      Size(c.counterSize, counter, counter + line);
      Stamp(c.counterStamp, counter, counter + line);
    }
  }

 private:
  const Plan& plan_;
  const TParameters& parameters_;
  Rect item_;
  const RowGeometry& geo_;
  TextMeasure& measure_;
  Colour colour_;
  RowBuilder& row_;
  Columns columns_;
};

void LayOutCandidate(const Plan& plan, const TParameters& parameters, const CANDIDATE& c,
                     const Rect& item, const RowGeometry& geo, TextMeasure& measure,
                     const Colour& background, const Colour& text, RowBuilder& row) {
  const uint16_t s = c.state;
  const int image = kImageCandidate + ((s & STATE_IGNORE) ? 1 : 0) + ((s & STATE_ERASE) ? 2 : 0) +
                    ((s & STATE_INVERT) ? 3 : 0) + ((s & STATE_DEST_SIDE) ? 4 : 0);
  row.Image(image, geo.stateImage, geo.pageImageSize, background);
  const int32_t mode = parameters.DisplayMode;
  if (mode == kDetailedView) {
    if (s & STATE_SIZE_WARNING) {
      row.Image(kImageSizeWarning, geo.sizeMarker, geo.markerImageSize, background);
    }
    if (s & STATE_COUNTER_CHANGED) {
      row.Image(kImageCounterChanged, geo.changedMarker, geo.markerImageSize, background);
    }
  }
  if (mode != kDetailedView && mode != kCompactView) return;  // no text in other modes
  CandidateTexts texts(plan, parameters, item, geo, measure, text, row);
  if (mode == kCompactView) {
    texts.Compact(c);
  } else {
    texts.Detailed(c);
  }
}

}  // namespace

RowGeometry RowGeometry::Pixels() {
  RowGeometry g;
  g.groupRowHeight = 39;
  g.detailedRowHeight = 39;
  g.compactRowHeight = 13;
  g.lineHeight = 13;
  g.margin = 15;
  g.gap = 10;
  g.groupImage = {3, 6};
  g.title = {38, 7};
  g.megabytes = {38, 20};
  g.totals = {168, 20};
  g.forwardImage = {308, 20};
  g.forwardText = {323, 20};
  g.backwardImage = {468, 20};
  g.backwardText = {483, 20};
  g.groupImageSize = {32, 27};
  g.stateImage = {2, 1};
  g.sizeMarker = {1, 13};
  g.changedMarker = {1, 26};
  g.pageImageSize = {9, 11};
  g.markerImageSize = {11, 11};
  return g;
}

RowGeometry RowGeometry::Cells() {
  // The same rows on a character grid: a group in two lines, a detailed
  // candidate in three, a compact one in one; images are short glyphs.
  RowGeometry g;
  g.groupRowHeight = 2;
  g.detailedRowHeight = 3;
  g.compactRowHeight = 1;
  g.lineHeight = 1;
  g.margin = 3;
  g.gap = 1;
  g.groupImage = {0, 0};
  g.title = {4, 0};
  g.megabytes = {4, 1};
  g.totals = {17, 1};
  g.forwardImage = {38, 1};
  g.forwardText = {40, 1};
  g.backwardImage = {59, 1};
  g.backwardText = {61, 1};
  g.groupImageSize = {3, 1};
  g.stateImage = {0, 0};
  g.sizeMarker = {0, 1};
  g.changedMarker = {0, 2};
  g.pageImageSize = {2, 1};
  g.markerImageSize = {1, 1};
  return g;
}

int RowHeight(int32_t display_mode, int proposed, const RowGeometry& geometry) {
  switch (display_mode) {
    case kGroupView: return geometry.groupRowHeight;
    case kDetailedView: return geometry.detailedRowHeight;
    case kCompactView: return geometry.compactRowHeight;
    default: return proposed;
  }
}

Columns MeasureColumns(const Rect& item, const RowGeometry& geometry, TextMeasure& measure) {
  Columns c;
  c.sizeWidth = measure.Width("000000000");
  c.dateWidth = measure.Width("00/00/00 00:00:00");
  c.dotsWidth = measure.Width("...");
  const int width = item.right - item.left;
  c.lineWidth = width - geometry.margin;
  c.pathWidth = width - geometry.margin - 2 * geometry.gap - c.sizeWidth - c.dateWidth;
  c.pathLeft = item.left + geometry.margin;
  c.mid = c.pathLeft + c.pathWidth / 2;  // C++ division rounds toward zero
  c.sizeLeft = c.pathLeft + c.pathWidth + geometry.gap;
  c.dateLeft = c.sizeLeft + c.sizeWidth + geometry.gap;
  return c;
}

std::vector<DrawOp> LayOutRow(const RowRequest& request, const RowGeometry& geometry,
                              TextMeasure& measure, const Plan& plan,
                              const TParameters& parameters) {
  const std::vector<CANDIDATE>& candidates = plan.candidates;
  const std::vector<FOLDER>& groups = plan.groups;
  std::vector<DrawOp> ops;
  RowBuilder row(request.item, ops);
  const bool group_view = parameters.DisplayMode == kGroupView;
  const bool known = group_view
                         ? request.record >= 0 && request.record < static_cast<int32_t>(groups.size())
                         : request.record >= 0 &&
                               request.record < static_cast<int32_t>(candidates.size());
  if (!known) {
    // The focus of an empty list names no entry: only its frame.
    if (request.focused) row.FocusFrame();
    return ops;
  }
  const uint16_t state = group_view ? groups[request.record].state : candidates[request.record].state;
  Colour background = Colour::System(kColourWindow);
  Colour text = Colour::System(kColourWindowText);
  if (request.selected) {
    background = Colour::System(kColourHighlight);
    text = Colour::System(kColourHighlightText);
  } else if (!group_view) {
    const TParameters& p = parameters;
    background = Colour::Value((state & STATE_BAND) ? p.BlockColor2 : p.BlockColor1);
  }
  if (Greyed(state)) text = Colour::System(kColourGrayText);
  row.Fill(background);
  if (request.focused) row.FocusFrame();
  if (group_view) {
    LayOutGroup(groups[request.record], geometry, background, text, row);
  } else {
    LayOutCandidate(plan, parameters, candidates[request.record], request.item, geometry, measure,
                    background, text, row);
  }
  return ops;
}

DrawOp LayOutIndicator(int id, bool active, int image_size) {
  DrawOp op;
  op.kind = DrawOp::Kind::kImage;
  op.strip = Strip::kIndicators;
  op.image = id - kIndicatorFirst + 1 + (active ? kIndicatorImages : 0);
  op.rect = {0, 0, image_size, image_size};
  op.source = {0, 0, image_size, image_size};
  op.colour = Colour::System(kColourButtonFace);
  return op;
}

}  // namespace tolvex::overview
