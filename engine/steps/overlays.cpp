// The frame and the watermark as row overlays, for conversions that stream their rows.
#include "engine/pipeline.h"
#include "engine/session.h"
#include "engine/steps/steps.h"
#include "platform/drawing.h"
#include "settings/settings.h"

namespace rastello {

namespace {

RowOverlay ToRows(const PlacedOverlay& placed) {
  RowOverlay rows;
  FIBITMAP* dib = placed.pixels.get();
  rows.x = static_cast<uint32_t>(placed.x);
  rows.y = static_cast<uint32_t>(placed.y);
  rows.width = FreeImage_GetWidth(dib);
  rows.height = FreeImage_GetHeight(dib);
  rows.rgba.resize(size_t(rows.width) * rows.height * 4);
  uint8_t* to = rows.rgba.data();
  for (uint32_t row = 0; row < rows.height; ++row) {
    const BYTE* from = FreeImage_GetScanLine(dib, static_cast<int>(rows.height - 1 - row));
    for (uint32_t col = 0; col < rows.width; ++col, from += 4, to += 4) {
      to[0] = from[FI_RGBA_RED];
      to[1] = from[FI_RGBA_GREEN];
      to[2] = from[FI_RGBA_BLUE];
      to[3] = from[FI_RGBA_ALPHA];
    }
  }
  return rows;
}

}  // namespace

bool PrepareOverlays(const Session& session, int32_t width, int32_t height, std::vector<RowOverlay>& overlays) {
  overlays.clear();
  std::vector<PlacedOverlay> placed;
  if (!FrameOverlays(width, height, session.settings, placed)) return false;
  if (session.settings.DoWatermark != 0) {
    std::string skipped;
    PlacedOverlay watermark = WatermarkOverlayFor(width, height, session, &skipped);
    if (!skipped.empty()) return false;
    placed.push_back(std::move(watermark));
  }
  for (const PlacedOverlay& p : placed)
    if (OverlayFits(p.pixels.get(), p.x, p.y, width, height)) overlays.push_back(ToRows(p));
  return true;
}

}  // namespace rastello
