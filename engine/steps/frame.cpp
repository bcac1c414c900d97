#include <algorithm>
#include <vector>

#include "engine/colour.h"
#include "engine/steps/steps.h"
#include "platform/drawing.h"
#include "settings/settings.h"

namespace rastello {

namespace {

// Side widths stay within what cairo's coordinates hold; far beyond the image a frame's look is
// not defined anyway.
constexpr int64_t kWidthLimit = 4 * kMaxSide;
// Pieces are drawn in tiles of at most this side, well within a drawing buffer's limit.
constexpr int kTileSide = 4096;

struct Frame {
  double w, h, l, r, t, b;
  Colour left, right, top, bottom;
};

// The four corner squares, then the four bands, in one layer at full opacity. The bands
// meet on the squares' diagonals; the squares beneath fill the antialiased seams.
void DrawFrame(Canvas& canvas, const Frame& f) {
  canvas.FillRectangle(0, 0, f.l, f.t, f.top);
  canvas.FillRectangle(f.w - f.r, 0, f.r, f.t, f.right);
  canvas.FillRectangle(f.w - f.r, f.h - f.b, f.r, f.b, f.bottom);
  canvas.FillRectangle(0, f.h - f.b, f.l, f.b, f.left);
  canvas.FillPolygon({{0, 0}, {f.w, 0}, {f.w - f.r, f.t}, {f.l, f.t}}, f.top);
  canvas.FillPolygon({{f.w, 0}, {f.w, f.h}, {f.w - f.r, f.h - f.b}, {f.w - f.r, f.t}}, f.right);
  canvas.FillPolygon({{f.w, f.h}, {0, f.h}, {f.l, f.h - f.b}, {f.w - f.r, f.h - f.b}}, f.bottom);
  canvas.FillPolygon({{0, f.h}, {0, 0}, {f.l, f.t}, {f.l, f.h - f.b}}, f.left);
}

struct Piece {
  int x, y, width, height;
};

// The frame covers only pixels left of L, right of W-R, above T or below H-B. These pieces
// hold exactly those pixels, each once: the top and bottom rows full width, and the left
// and right ends of the rows between; each cut into tiles.
std::vector<Piece> FramePieces(int width, int height, int64_t l, int64_t r, int64_t t, int64_t b) {
  const int top = static_cast<int>(std::clamp<int64_t>(t, 0, height));
  const int bottom = static_cast<int>(std::clamp<int64_t>(height - b, top, height));
  const int left = static_cast<int>(std::clamp<int64_t>(l, 0, width));
  const int right = static_cast<int>(std::clamp<int64_t>(width - r, left, width));
  const Piece areas[] = {{0, 0, width, top},
                         {0, bottom, width, height - bottom},
                         {0, top, left, bottom - top},
                         {right, top, width - right, bottom - top}};
  std::vector<Piece> pieces;
  for (const Piece& area : areas)
    for (int y = 0; y < area.height; y += kTileSide)
      for (int x = 0; x < area.width; x += kTileSide)
        pieces.push_back(
            {area.x + x, area.y + y, std::min(kTileSide, area.width - x), std::min(kTileSide, area.height - y)});
  return pieces;
}

}  // namespace

bool FrameOverlays(int32_t width, int32_t height, const Settings& settings, std::vector<PlacedOverlay>& pieces) {
  pieces.clear();
  if (settings.DoFrame != 1) return true;
  const auto side = [](int32_t v) { return std::clamp<int64_t>(v, -kWidthLimit, kWidthLimit); };
  const int64_t l = side(settings.SolidLeft), r = side(settings.SolidRight);
  const int64_t t = side(settings.SolidTop), b = side(settings.SolidBottom);
  const Frame frame{double(width),
                    double(height),
                    double(l),
                    double(r),
                    double(t),
                    double(b),
                    ParseColorAlpha(settings.SolidLeftColor, 255),
                    ParseColorAlpha(settings.SolidRightColor, 255),
                    ParseColorAlpha(settings.SolidTopColor, 255),
                    ParseColorAlpha(settings.SolidBottomColor, 255)};

  // Drawn piece by piece: a full-size buffer would cost as much as the image while the frame
  // covers only its edges.
  for (const Piece& piece : FramePieces(width, height, l, r, t, b)) {
    Canvas shapes = Canvas::Create(piece.width, piece.height);
    Canvas faded = Canvas::Create(piece.width, piece.height);
    if (!shapes || !faded) return false;
    shapes.SetOrigin(piece.x, piece.y);
    DrawFrame(shapes, frame);
    // One opacity for the frame as a whole: where shapes overlap it is not darker.
    faded.Paint(shapes, 0, 0, settings.SolidOpacity);
    Bitmap pixels = ToBitmap(faded);
    if (!pixels) return false;
    pieces.push_back({piece.x, piece.y, std::move(pixels)});
  }
  return true;
}

Bitmap FrameStep(Bitmap bitmap, int32_t width, int32_t height, const Settings& settings) {
  if (!bitmap || settings.DoFrame == 0) return bitmap;
  if (FreeImage_GetBPP(bitmap.get()) != 24) bitmap = Replace(std::move(bitmap), FreeImage_ConvertTo24Bits);
  if (!bitmap) return bitmap;
  width = std::min<int32_t>(width, static_cast<int32_t>(FreeImage_GetWidth(bitmap.get())));
  height = std::min<int32_t>(height, static_cast<int32_t>(FreeImage_GetHeight(bitmap.get())));
  // Every piece is made before any is merged, so a failure leaves no half frame behind.
  std::vector<PlacedOverlay> pieces;
  if (!FrameOverlays(width, height, settings, pieces)) return bitmap;
  for (const PlacedOverlay& piece : pieces) MergeOverlay(bitmap.get(), piece.pixels.get(), piece.x, piece.y);
  return bitmap;
}

}  // namespace rastello
