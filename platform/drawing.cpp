#include "platform/drawing.h"

#include <algorithm>

namespace rastello {

namespace {

struct ContextDeleter {
  void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
using Context = std::unique_ptr<cairo_t, ContextDeleter>;

void SetColour(cairo_t* cr, Colour colour) {
  cairo_set_source_rgba(cr, colour.red / 255.0, colour.green / 255.0, colour.blue / 255.0, colour.alpha / 255.0);
}

// c * a / 255 rounded to nearest, exactly, as pixman multiplies channels.
uint32_t Premultiply(uint32_t c, uint32_t a) {
  uint32_t t = c * a + 128;
  return (t + (t >> 8)) >> 8;
}

uint32_t PackArgb(Colour c) {
  return (uint32_t{c.alpha} << 24) | (Premultiply(c.red, c.alpha) << 16) | (Premultiply(c.green, c.alpha) << 8) |
         Premultiply(c.blue, c.alpha);
}

}  // namespace

Canvas Canvas::Create(int width, int height) {
  Canvas canvas;
  if (width < 1 || height < 1 || width > kMaxCanvasSide || height > kMaxCanvasSide) return canvas;
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return canvas;
  }
  canvas.surface_.reset(surface);
  return canvas;
}

int Canvas::width() const { return surface_ ? cairo_image_surface_get_width(surface_.get()) : 0; }
int Canvas::height() const { return surface_ ? cairo_image_surface_get_height(surface_.get()) : 0; }

void Canvas::SetOrigin(int x, int y) {
  originX_ = x;
  originY_ = y;
}

void Canvas::FillRectangle(double x, double y, double width, double height, Colour colour) {
  if (!surface_) return;
  Context cr(cairo_create(surface_.get()));
  cairo_translate(cr.get(), -originX_, -originY_);
  cairo_rectangle(cr.get(), x, y, width, height);
  SetColour(cr.get(), colour);
  cairo_fill(cr.get());
}

void Canvas::FillPolygon(const std::vector<PointF>& points, Colour colour) {
  if (!surface_ || points.empty()) return;
  Context cr(cairo_create(surface_.get()));
  cairo_translate(cr.get(), -originX_, -originY_);
  cairo_move_to(cr.get(), points[0].x, points[0].y);
  for (size_t i = 1; i < points.size(); ++i) cairo_line_to(cr.get(), points[i].x, points[i].y);
  cairo_close_path(cr.get());
  SetColour(cr.get(), colour);
  cairo_fill(cr.get());
}

void Canvas::Fill(Colour colour) {
  if (!surface_) return;
  Context cr(cairo_create(surface_.get()));
  cairo_set_operator(cr.get(), CAIRO_OPERATOR_SOURCE);
  SetColour(cr.get(), colour);
  cairo_paint(cr.get());
}

void Canvas::Paint(const Canvas& source, int x, int y, int opacity) {
  if (!surface_ || !source || opacity <= 0) return;
  Context cr(cairo_create(surface_.get()));
  cairo_set_source_surface(cr.get(), source.surface(), x, y);
  cairo_paint_with_alpha(cr.get(), std::min(opacity, 255) / 255.0);
}

void DrawPicture(Canvas& canvas, const Picture& picture, int opacity, PixelFilter filter) {
  if (!canvas || !picture.pixels) return;
  const uint32_t o = static_cast<uint32_t>(std::clamp(opacity, 0, 255));
  FIBITMAP* dib = picture.pixels.get();
  const int height = std::min<int>(canvas.height(), static_cast<int>(FreeImage_GetHeight(dib)));
  const int width = std::min<int>(canvas.width(), static_cast<int>(FreeImage_GetWidth(dib)));
  cairo_surface_t* surface = canvas.surface();
  cairo_surface_flush(surface);
  unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  const int pictureHeight = static_cast<int>(FreeImage_GetHeight(dib));
  for (int y = 0; y < height; ++y) {
    const BYTE* in = FreeImage_GetScanLine(dib, pictureHeight - 1 - y);  // FreeImage rows run bottom-up
    auto* out = reinterpret_cast<uint32_t*>(data + static_cast<ptrdiff_t>(y) * stride);
    for (int x = 0; x < width; ++x, in += 4) {
      Colour c{in[FI_RGBA_RED], in[FI_RGBA_GREEN], in[FI_RGBA_BLUE], static_cast<uint8_t>(o * in[FI_RGBA_ALPHA] / 255)};
      if (filter) c = filter(c);
      out[x] = PackArgb(c);
    }
  }
  cairo_surface_mark_dirty(surface);
}

}  // namespace rastello
