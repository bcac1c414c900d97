#pragma once
// The steps of the pipeline. Each takes the current bitmap and returns the one to go on
// with; a step with nothing to do returns what it was given. A step that cannot produce its
// result returns null, and the steps after it pass null on.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/bitmap.h"
#include "engine/colour.h"
#include "engine/pipeline.h"

namespace rastello {

struct Settings;
struct Session;

// 48- and 64-bit RGB(A) to 24 or 32 bits, 16-bit grey to 8 bits, any other non-standard
// type to a standard bitmap.
Bitmap NormalizeDeepImage(Bitmap bitmap);
// Transparent parts onto white; the result is 24-bit.
Bitmap FlattenTransparency(Bitmap bitmap);

// Whether an image of this size may be made: the same bounds as for loading.
inline bool WithinImageLimits(int64_t width, int64_t height) {
  return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide && width * height <= kMaxPixels;
}

// Rotation by [Transform] Image Rotation when it is 1..359 degrees: simple rotation grows the
// canvas and fills the uncovered corners with the back colour; advanced rotation keeps the
// size and turns about the centre. Null when the grown canvas would exceed the image limits.
Bitmap RotateStep(Bitmap bitmap, const Settings& settings);
// The flips that are switched on, in place; both together turn the image by 180 degrees.
Bitmap FlipStep(Bitmap bitmap, const Settings& settings);
// Turns a 32-bit watermark by its text or image rotation; the grown canvas stays transparent.
Bitmap RotateWatermark(Bitmap watermark, const Settings& settings);

struct ImageSize {
  int32_t width = 0;
  int32_t height = 0;
  bool operator==(const ImageSize&) const = default;
};

// Image Width Unit and Image Height Unit.
inline constexpr int kUnitPixels = 0;
inline constexpr int kUnitPercent = 1;

// A requested width or height in pixels: the value itself, or a percentage of `current`
// rounded half to even; 0 for an unknown unit.
int32_t ResolveDimension(int32_t value, int unit, int32_t current);
// The FreeImage filter of Image Resize Algorithm; bicubic for an unknown value.
FREE_IMAGE_FILTER ResizeFilter(int algorithm);
// The size a `width` x `height` image is resized to, or nothing when it stays as it is. The
// size may be 0 or beyond the image limits; ResizeStep then fails.
std::optional<ImageSize> ResizeTarget(const Settings& settings, int32_t width, int32_t height);
// Resizes a `width` x `height` bitmap to ResizeTarget.
Bitmap ResizeStep(Bitmap bitmap, int32_t width, int32_t height, const Settings& settings);

// Brightness, contrast, gamma and inversion; bitmaps below 8 or above 32 bits become 24-bit.
Bitmap ColorCorrectionStep(Bitmap bitmap, const Settings& settings);
// To 8-bit grey.
Bitmap GreyscaleStep(Bitmap bitmap, const Settings& settings);
// To 1-bit black and white at Image Threshold.
Bitmap ThresholdStep(Bitmap bitmap, const Settings& settings);
// To 1-bit black and white by Image Dither Algorithm.
Bitmap DitherStep(Bitmap bitmap, const Settings& settings);
// The FreeImage constant of Image Dither Algorithm, whose words are numbered differently;
// Floyd-Steinberg for an unknown value.
FREE_IMAGE_DITHER DitherAlgorithm(int algorithm);

// The solid frame, when Do Frame is 1: each side's band in its own colour over the image's
// edge, the corner squares split along their diagonals, the whole frame at Solid Opacity.
// Any non-zero Do Frame makes the bitmap 24-bit.
Bitmap FrameStep(Bitmap bitmap, int32_t width, int32_t height, const Settings& settings);

// A 32-bit overlay and where its top-left corner goes on the image.
struct PlacedOverlay {
  int64_t x = 0, y = 0;
  Bitmap pixels;
};
// The frame as FrameStep merges it into a `width` x `height` image: pieces that cover its
// edges, each pixel once. Empty when Do Frame is not 1; false when a piece cannot be made
// (FrameStep then leaves the image unframed).
bool FrameOverlays(int32_t width, int32_t height, const Settings& settings, std::vector<PlacedOverlay>& pieces);

// The text (Do Watermark 1) or picture (2) watermark at its natural size, rotated, cropped to
// the room its offsets leave, placed at its position and merged. A watermark that cannot be
// made, or does not lie wholly inside the image, is left out. Any non-zero Do Watermark makes
// the bitmap 24-bit. When the watermark picture cannot be read, `skipped` (if given) says so.
Bitmap WatermarkStep(Bitmap bitmap, int32_t width, int32_t height, const Session& session,
                     std::string* skipped = nullptr);
// The overlay WatermarkStep lays on a `width` x `height` image, placed; null when there is
// none. MergeOverlay still refuses one that does not fit.
PlacedOverlay WatermarkOverlayFor(int32_t width, int32_t height, const Session& session, std::string* skipped);
// The text overlay, 32-bit, before rotation: the lines of the expanded Text in a box with
// padding and background. Null without a watermark font or when the box cannot be made.
Bitmap TextWatermark(const Session& session);
// The picture overlay, 32-bit, before rotation. Null, with `why` set, when the picture
// cannot be read.
Bitmap ImageWatermark(const Settings& settings, std::string& why);
// The text split at each "%eol%", written in any letter case; one element without any.
std::vector<std::string> SplitWatermarkLines(std::string_view text);
// Left edge of a line `lineWidth` wide in a box `boxWidth` wide, by Text Alignment.
int32_t LineX(int32_t lineWidth, int32_t boxWidth, const Settings& settings);
// Grey by the weights 77, 150 and 29 of 256; alpha kept.
Colour GreyFilter(Colour colour);
// Crops the overlay's right or bottom side to the room the watermark's offsets leave in the
// image (or inside the frame, for the FRAME boundary). Null when no room is left.
Bitmap FitWatermark(Bitmap overlay, int32_t width, int32_t height, const Settings& settings);
struct OverlayPosition {
  int64_t x = 0, y = 0;  // the overlay's top-left corner, from the image's top-left
  bool operator==(const OverlayPosition&) const = default;
};
// Where an overlay of the given size goes on a `width` x `height` image, by the watermark's
// position, offsets and boundary.
OverlayPosition PlaceWatermark(int32_t width, int32_t height, int32_t overlayWidth, int32_t overlayHeight,
                               const Settings& settings);

}  // namespace rastello
