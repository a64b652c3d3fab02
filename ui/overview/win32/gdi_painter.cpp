#include "ui/overview/win32/gdi_painter.h"

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "ui/overview/overview_controls.h"
#include "ui/win32/common_controls.h"

namespace tolvex::overview {

namespace {

using LoadImageFn = HIMAGELIST(WINAPI*)(HINSTANCE, LPCSTR, int, int, COLORREF, UINT, UINT);
using DrawExFn = BOOL(WINAPI*)(HIMAGELIST, int, HDC, int, int, int, int, COLORREF, COLORREF, UINT);
using DestroyFn = BOOL(WINAPI*)(HIMAGELIST);

constexpr int kIndicatorImageSize = 29;
constexpr int kRowImageWidth = 32;
constexpr COLORREF kIndicatorKey = RGB(128, 128, 0);
constexpr COLORREF kRowKey = RGB(0, 128, 0);

HIMAGELIST LoadStrip(HINSTANCE module, int id, int width, COLORREF key) {
  const auto load = win32ui::CommonControlsFunctionAs<LoadImageFn>("ImageList_LoadImageA");
  if (!load) return nullptr;
  return load(module, MAKEINTRESOURCEA(id), width, 0, key, IMAGE_BITMAP, 0);
}

UINT AlignmentFlag(Align align) {
  switch (align) {
    case Align::kRight: return DT_RIGHT;
    case Align::kCentre: return DT_CENTER;
    case Align::kLeft: break;
  }
  return DT_LEFT;
}

}  // namespace

ImageStrips::~ImageStrips() {
  const auto destroy = win32ui::CommonControlsFunctionAs<DestroyFn>("ImageList_Destroy");
  if (!destroy) return;
  if (indicators_) destroy(static_cast<HIMAGELIST>(indicators_));
  if (rows_) destroy(static_cast<HIMAGELIST>(rows_));
}

bool ImageStrips::Load(HINSTANCE module) {
  indicators_ = LoadStrip(module, kIndicatorStrip, kIndicatorImageSize, kIndicatorKey);
  rows_ = LoadStrip(module, kRowStrip, kRowImageWidth, kRowKey);
  return indicators_ && rows_;
}

void ImageStrips::Draw(HDC dc, Strip strip, int image, int x, int y, int width, int height,
                       COLORREF background) const {
  void* list = strip == Strip::kIndicators ? indicators_ : rows_;
  const auto draw = win32ui::CommonControlsFunctionAs<DrawExFn>("ImageList_DrawEx");
  if (!list || !draw) return;
  // The transparent colour becomes the background colour; no blending.
  draw(static_cast<HIMAGELIST>(list), image, dc, x, y, width, height, background, CLR_NONE,
       ILD_NORMAL);
}

int DcMeasure::Width(std::string_view text) {
  SIZE size = {0, 0};
  ::GetTextExtentPoint32A(dc_, text.data(), static_cast<int>(text.size()), &size);
  return size.cx;
}

COLORREF ColourRef(const Colour& colour) {
  return colour.kind == Colour::Kind::kSystem ? ::GetSysColor(static_cast<int>(colour.value))
                                              : static_cast<COLORREF>(colour.value & 0xFFFFFF);
}

void PaintOps(HDC dc, const std::vector<DrawOp>& ops, const ImageStrips& strips) {
  const int old_mode = ::SetBkMode(dc, TRANSPARENT);
  const COLORREF old_colour = ::GetTextColor(dc);
  for (const DrawOp& op : ops) {
    RECT rect = {op.rect.left, op.rect.top, op.rect.right, op.rect.bottom};
    switch (op.kind) {
      case DrawOp::Kind::kFill: {
        HBRUSH brush = ::CreateSolidBrush(ColourRef(op.colour));
        ::FillRect(dc, &rect, brush);
        ::DeleteObject(brush);
        break;
      }
      case DrawOp::Kind::kFocusFrame:
        ::DrawFocusRect(dc, &rect);
        break;
      case DrawOp::Kind::kImage:
        strips.Draw(dc, op.strip, op.image, op.rect.left, op.rect.top, op.source.right - op.source.left,
                    op.source.bottom - op.source.top, ColourRef(op.colour));
        break;
      case DrawOp::Kind::kText: {
        ::SetTextColor(dc, ColourRef(op.colour));
        const std::string text = op.text;
        ::DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &rect,
                    DT_TOP | DT_SINGLELINE | DT_NOPREFIX | AlignmentFlag(op.align));
        break;
      }
    }
  }
  ::SetTextColor(dc, old_colour);
  ::SetBkMode(dc, old_mode);
}

}  // namespace tolvex::overview
