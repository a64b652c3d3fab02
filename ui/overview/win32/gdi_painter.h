// The row layout's drawing operations executed with GDI: solid brushes,
// the focus frame, images of the two strips through common-controls image
// lists (the strip's transparent colour replaced by the given background,
// no blending) and clipped, top-aligned texts on a transparent background.
#pragma once

#include <string_view>
#include <vector>

#include "ui/overview/row_layout.h"
#include "ui/win32/window_types.h"

namespace tolvex::overview {

// The two image strips of the dialog, loaded from the module's bitmaps.
class ImageStrips {
 public:
  ImageStrips() = default;
  ~ImageStrips();
  ImageStrips(const ImageStrips&) = delete;
  ImageStrips& operator=(const ImageStrips&) = delete;

  // Loads bitmap 1041 (29 x 29 images, olive transparent) and 1042 (32 x
  // 27 images, green transparent). False when one is missing.
  bool Load(HINSTANCE module);
  // Draws the top-left `width` x `height` pixels of an image.
  void Draw(HDC dc, Strip strip, int image, int x, int y, int width, int height,
            COLORREF background) const;

 private:
  void* indicators_ = nullptr;  // HIMAGELIST
  void* rows_ = nullptr;
};

// Text measuring on a device context (GetTextExtentPoint32A).
class DcMeasure final : public TextMeasure {
 public:
  explicit DcMeasure(HDC dc) : dc_(dc) {}
  int Width(std::string_view text) override;

 private:
  HDC dc_;
};

COLORREF ColourRef(const Colour& colour);

// Executes the operations on `dc`; brushes are made for the request and
// deleted at its end.
void PaintOps(HDC dc, const std::vector<DrawOp>& ops, const ImageStrips& strips);

}  // namespace tolvex::overview
