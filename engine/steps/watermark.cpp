#include "engine/session.h"
#include "engine/steps/steps.h"
#include "platform/drawing.h"
#include "settings/settings.h"

namespace rastello {

namespace {

constexpr int kText = 1;
constexpr int kImage = 2;
constexpr int kBoundaryFrame = 1;

// The placement settings of the watermark kind in use.
struct Placement {
  int position = 0;
  int64_t x = 0, y = 0;
  bool inFrame = false;
};

Placement PlacementOf(const Settings& s) {
  Placement p;
  if (s.DoWatermark == kText) p = {s.TextPosition, s.TextXOffset, s.TextYOffset, s.TextBoundary == kBoundaryFrame};
  if (s.DoWatermark == kImage) p = {s.ImagePosition, s.ImageXOffset, s.ImageYOffset, s.ImageBoundary == kBoundaryFrame};
  // The frame's inside counts only while a frame is switched on.
  p.inFrame = p.inFrame && s.DoFrame != 0;
  return p;
}

// The area a watermark is placed in: the image, or the inside of the frame.
struct Room {
  int64_t x = 0, y = 0, width = 0, height = 0;
};

Room RoomOf(int32_t width, int32_t height, const Settings& s, const Placement& p) {
  if (!p.inFrame) return {0, 0, width, height};
  return {s.SolidLeft, s.SolidTop, int64_t{width} - s.SolidLeft - s.SolidRight,
          int64_t{height} - s.SolidTop - s.SolidBottom};
}

}  // namespace

Bitmap FitWatermark(Bitmap overlay, int32_t width, int32_t height, const Settings& settings) {
  if (!overlay) return overlay;
  const Placement p = PlacementOf(settings);
  const Room room = RoomOf(width, height, settings, p);
  const int64_t w = FreeImage_GetWidth(overlay.get()), h = FreeImage_GetHeight(overlay.get());
  if (room.width >= w + p.x && room.height >= h + p.y) return overlay;
  // The top-left part stays, whatever the position.
  const int64_t right = room.width < w + p.x ? room.width - p.x : w;
  const int64_t bottom = room.height < h + p.y ? room.height - p.y : h;
  if (right <= 0 || bottom <= 0) return Bitmap();
  return Replace(std::move(overlay), [&](FIBITMAP* dib) {
    return FreeImage_Copy(dib, 0, 0, static_cast<int>(right), static_cast<int>(bottom));
  });
}

OverlayPosition PlaceWatermark(int32_t width, int32_t height, int32_t overlayWidth, int32_t overlayHeight,
                               const Settings& settings) {
  const Placement p = PlacementOf(settings);
  const Room room = RoomOf(width, height, settings, p);
  // Offsets count from the anchoring edges and play no part on a centred axis.
  const int64_t cx = (room.width - overlayWidth) / 2, cy = (room.height - overlayHeight) / 2;
  const int64_t rx = room.width - overlayWidth - p.x, by = room.height - overlayHeight - p.y;
  // TOPLEFT (0) to BOTTOMRIGHT (8), row by row: left, centre and right in top, middle and bottom.
  if (p.position < 0 || p.position > 8) return {room.x, room.y};
  const int64_t xs[] = {p.x, cx, rx}, ys[] = {p.y, cy, by};
  return {room.x + xs[p.position % 3], room.y + ys[p.position / 3]};
}

PlacedOverlay WatermarkOverlayFor(int32_t width, int32_t height, const Session& session, std::string* skipped) {
  const Settings& s = session.settings;
  Bitmap overlay;
  if (s.DoWatermark == kText) {
    overlay = TextWatermark(session);
  } else if (s.DoWatermark == kImage) {
    std::string why;
    overlay = ImageWatermark(s, why);
    if (!overlay && skipped) *skipped = "the watermark picture " + s.Image + " was left out: " + why;
  }
  overlay = RotateWatermark(std::move(overlay), s);
  overlay = FitWatermark(std::move(overlay), width, height, s);
  if (!overlay) return {};
  const OverlayPosition at = PlaceWatermark(width, height, static_cast<int32_t>(FreeImage_GetWidth(overlay.get())),
                                            static_cast<int32_t>(FreeImage_GetHeight(overlay.get())), s);
  return {at.x, at.y, std::move(overlay)};
}

Bitmap WatermarkStep(Bitmap bitmap, int32_t width, int32_t height, const Session& session, std::string* skipped) {
  if (!bitmap || session.settings.DoWatermark == 0) return bitmap;
  if (FreeImage_GetBPP(bitmap.get()) != 24) bitmap = Replace(std::move(bitmap), FreeImage_ConvertTo24Bits);
  if (!bitmap) return bitmap;
  PlacedOverlay overlay = WatermarkOverlayFor(width, height, session, skipped);
  // As on a transparent canvas of the image's size: an overlay reaching beyond it is refused.
  if (overlay.pixels) MergeOverlay(bitmap.get(), overlay.pixels.get(), overlay.x, overlay.y);
  return bitmap;
}

}  // namespace rastello
