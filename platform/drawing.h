#pragma once
// The drawing layer behind frames and watermarks: 32-bit buffers with alpha (cairo image
// surfaces, ARGB32 premultiplied), vector shapes, painting one buffer onto another, text set
// with pango, pictures loaded through FreeImage, and the hand-over of a finished buffer to
// FreeImage.
#include <cairo.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/bitmap.h"
#include "engine/colour.h"

typedef struct _PangoLayout PangoLayout;

namespace rastello {

class Font;

// The largest side of a drawing buffer (cairo's limit).
inline constexpr int kMaxCanvasSide = 32767;

struct PointF {
  double x = 0, y = 0;
};

// A drawing buffer, fully transparent when made.
class Canvas {
 public:
  Canvas() = default;
  // Empty when a side is not in 1..kMaxCanvasSide or memory runs out.
  static Canvas Create(int width, int height);

  explicit operator bool() const { return surface_ != nullptr; }
  int width() const;
  int height() const;
  cairo_surface_t* surface() const { return surface_.get(); }

  // Makes pixel (0, 0) of this buffer show the point (x, y) of the vector drawing plane, so
  // that a buffer can hold one piece of a larger drawing. Painting is not affected.
  void SetOrigin(int x, int y);

  // Vector drawing: antialiased shapes in `colour`, blended normally.
  void FillRectangle(double x, double y, double width, double height, Colour colour);
  void FillPolygon(const std::vector<PointF>& points, Colour colour);
  // Every pixel becomes `colour`, all four channels written.
  void Fill(Colour colour);
  // `source` drawn with its top-left at (x, y), blended normally, with a constant opacity
  // 0..255.
  void Paint(const Canvas& source, int x, int y, int opacity);

 private:
  struct SurfaceDeleter {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
  };
  std::unique_ptr<cairo_surface_t, SurfaceDeleter> surface_;
  int originX_ = 0, originY_ = 0;
};

// A picture file loaded through FreeImage: PNG, JPEG, BMP and whatever else it reads.
struct Picture {
  Bitmap pixels;  // 32 bits, straight alpha (a transparent colour becomes alpha 0); null when loading failed
  int depth = 0;  // bits per pixel of the picture as loaded
};
// Pictures wider or taller than a buffer, or of more than `maxPixels`, are refused. `why` says
// why a picture could not be loaded.
Picture LoadPicture(const std::string& path, int64_t maxPixels, std::string& why);

// A per-pixel filter on straight (not premultiplied) colours.
using PixelFilter = Colour (*)(Colour);

// Draws `picture` with its top-left at (0, 0) writing all four channels: each pixel takes the
// picture's colour and alpha * opacity / 255 (integer division), then passes `filter` when
// one is given. Pixels beyond the canvas are left out.
void DrawPicture(Canvas& canvas, const Picture& picture, int opacity, PixelFilter filter = nullptr);

// Raster text is hinted to whole pixels and drawn without antialiasing; antialiased text keeps
// the outlines' fractional metrics.
enum class TextMode { Raster, Antialiased };

struct TextExtent {
  double width = 0;  // whole pixels for raster text
  int height = 0;    // the line height of the font
};

// A font made ready for measuring and drawing single lines in one mode, with the font's
// underline or strike-out.
class TextPen {
 public:
  TextPen(const Font& font, TextMode mode);
  ~TextPen();
  TextPen(const TextPen&) = delete;
  TextPen& operator=(const TextPen&) = delete;

  explicit operator bool() const { return layout_ != nullptr; }
  TextExtent Measure(std::string_view line) const;
  // Draws `line` with its top-left corner at (x, y). Raster text writes `colour` into the
  // glyph pixels as it stands, all four channels; antialiased text is blended normally.
  void Draw(Canvas& canvas, std::string_view line, double x, double y, Colour colour) const;

 private:
  void SetText(std::string_view line) const;

  TextMode mode_;
  PangoLayout* layout_ = nullptr;
};

// The buffer as a 32-bit FreeImage bitmap with straight alpha: pixel for pixel what encoding
// it as PNG and loading that PNG with FreeImage gives. Null when memory runs out.
Bitmap ToBitmap(const Canvas& canvas);

// FreeImage_Composite of the 32-bit `overlay`, with its top-left at (x, y) counted from the
// image's top-left, over a transparent canvas the size of the 24-bit `image`: only the
// rectangle the overlay covers is touched. An overlay that does not lie wholly inside the
// image is refused (false) and nothing changes.
bool MergeOverlay(FIBITMAP* image, FIBITMAP* overlay, int64_t x, int64_t y);
// Whether MergeOverlay takes `overlay` at (x, y) on an image of `width` x `height`: 32 bits,
// wholly inside.
bool OverlayFits(FIBITMAP* overlay, int64_t x, int64_t y, int64_t width, int64_t height);

}  // namespace rastello
