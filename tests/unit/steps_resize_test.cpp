// Resizing: the requested size, the kept aspect ratio, the cases left alone, the filters.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "engine/steps/steps.h"
#include "settings/settings.h"
#include "support/images.h"

namespace rastello {
namespace {

// A smooth, photo-like picture of that size.
Bitmap Photo(int w, int h) {
  return test::MakeRgb(w, h, [w, h](int x, int y) { return test::Gradient(x, y, w, h); });
}

using test::MakeRgb;
using test::Rgba;
using test::SameBits;

constexpr int kPixels = kUnitPixels, kPercent = kUnitPercent;

struct DimensionCase {
  int32_t value;
  int unit;
  int32_t current;
  int32_t pixels;
};

TEST(ResolveDimensionTest, PixelsAsGivenPercentRoundedHalfToEven) {
  const std::vector<DimensionCase> cases = {
      {800, kPixels, 123, 800},
      {50, kPercent, 4000, 2000},
      {333, kPercent, 3, 10},  // 9.99
      {50, kPercent, 5, 2},    // 2.5 goes to the even 2
      {50, kPercent, 7, 4},    // 3.5 goes to the even 4
      {150, kPercent, 3, 4},   // 4.5 goes to 4
      {10, kPercent, 35, 4},   // 3.5
      {1, kPercent, 49, 0},    // 0.49
      {-50, kPercent, 100, -50},
      {800, 2, 100, 0},  // unknown unit
      // Far beyond any image: saturates rather than overflowing.
      {std::numeric_limits<int32_t>::max(), kPercent, 65500, std::numeric_limits<int32_t>::max()},
      {std::numeric_limits<int32_t>::min(), kPercent, 65500, std::numeric_limits<int32_t>::min()},
  };
  for (const DimensionCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.value) + (c.unit == kPercent ? "%" : " px") + " of " + std::to_string(c.current));
    EXPECT_EQ(ResolveDimension(c.value, c.unit, c.current), c.pixels);
  }
}

struct TargetCase {
  const char* name;
  int32_t width, height;       // the image
  int32_t requestW, requestH;  // Image Width, Image Height
  int unitW = kPixels, unitH = kPixels;
  bool aspect = false;
  int type = 0;  // ALLIMAGES, LARGEIMAGES
  std::optional<ImageSize> target;
};

TEST(ResizeTargetTest, FollowsTheRequestTheRatioAndTheLargeImageRule) {
  const std::vector<TargetCase> cases = {
      {"half of 4000 x 3000 in percent", 4000, 3000, 50, 50, kPercent, kPercent, false, 0, ImageSize{2000, 1500}},
      {"landscape: the width rules", 4000, 3000, 800, 800, kPixels, kPixels, true, 0, ImageSize{800, 600}},
      {"portrait: the height rules", 3000, 4000, 800, 800, kPixels, kPixels, true, 0, ImageSize{600, 800}},
      {"square: the width rules", 1000, 1000, 500, 300, kPixels, kPixels, true, 0, ImageSize{500, 500}},
      {"no ratio: both as asked", 4000, 3000, 800, 800, kPixels, kPixels, false, 0, ImageSize{800, 800}},
      {"smaller image, large ones only", 640, 480, 800, 600, kPixels, kPixels, false, 1, std::nullopt},
      {"smaller image, all images", 640, 480, 800, 600, kPixels, kPixels, false, 0, ImageSize{800, 600}},
      {"wider only, large ones only", 1000, 400, 800, 600, kPixels, kPixels, false, 1, ImageSize{800, 600}},
      {"wider only, ratio kept", 1000, 400, 800, 600, kPixels, kPixels, true, 1, ImageSize{800, 320}},
      {"taller only, ratio kept", 400, 1000, 800, 600, kPixels, kPixels, true, 1, ImageSize{240, 600}},
      {"request equals the size", 640, 480, 640, 480, kPixels, kPixels, false, 0, std::nullopt},
      {"100 percent", 640, 480, 100, 100, kPercent, kPercent, false, 0, std::nullopt},
      {"ratio brings back the same size", 1000, 1000, 1000, 500, kPixels, kPixels, true, 0, std::nullopt},
      {"width 0", 640, 480, 0, 300, kPixels, kPixels, false, 0, std::nullopt},
      {"negative height", 640, 480, 300, -1, kPixels, kPixels, false, 0, std::nullopt},
      {"percent rounding to 0", 640, 1, 50, 10, kPercent, kPercent, false, 0, std::nullopt},
      {"unknown unit", 640, 480, 300, 200, 5, kPixels, false, 0, std::nullopt},
      {"mixed units", 640, 480, 50, 100, kPercent, kPixels, false, 0, ImageSize{320, 100}},
      // The kept side is rounded half up, not to even.
      {"2.5 rounds up, landscape", 400, 100, 10, 99, kPixels, kPixels, true, 0, ImageSize{10, 3}},
      {"2.5 rounds up, portrait", 100, 400, 99, 10, kPixels, kPixels, true, 0, ImageSize{3, 10}},
      // 65500 x 1 to a width of 100: the height rounds to 0; ResizeStep then fails.
      {"a height of 0", 65500, 1, 100, 100, kPixels, kPixels, true, 0, ImageSize{100, 0}},
  };
  for (const TargetCase& c : cases) {
    SCOPED_TRACE(c.name);
    Settings s;
    ResetSettings(s, true);
    s.DoImageResize = 1;
    s.ImageWidth = c.requestW;
    s.ImageHeight = c.requestH;
    s.ImageWidthUnit = static_cast<int8_t>(c.unitW);
    s.ImageHeightUnit = static_cast<int8_t>(c.unitH);
    s.KeepAspectRatio = c.aspect;
    s.ImageResizeType = static_cast<int8_t>(c.type);
    std::optional<ImageSize> target = ResizeTarget(s, c.width, c.height);
    ASSERT_EQ(target.has_value(), c.target.has_value());
    if (target) {
      EXPECT_EQ(target->width, c.target->width);
      EXPECT_EQ(target->height, c.target->height);
    }
    s.DoImageResize = 0;
    EXPECT_FALSE(ResizeTarget(s, c.width, c.height)) << "switched off";
  }
}

// The ratio is a single-precision float: 6 / 5 is 1.20000005 as a float, so 75 / ratio is
// just under 62.5 and rounds down, where exact arithmetic would give 62.5 and round up.
TEST(ResizeTargetTest, TheRatioIsASinglePrecisionFloat) {
  Settings s;
  ResetSettings(s, true);
  s.DoImageResize = 1;
  s.KeepAspectRatio = 1;
  s.ImageWidth = s.ImageHeight = 75;
  EXPECT_EQ(ResizeTarget(s, 600, 500), (ImageSize{75, 62}));
  EXPECT_EQ(ResizeTarget(s, 500, 600), (ImageSize{62, 75}));
}

Bitmap Noise(int w, int h) {
  unsigned seed = 12345;
  return MakeRgb(w, h, [&](int, int) {
    seed = seed * 1103515245u + 12345u;
    return Rgba{uint8_t(seed >> 24), uint8_t(seed >> 16), uint8_t(seed >> 8), 255};
  });
}


Settings ResizeTo(int32_t w, int32_t h, int algorithm = 3) {
  Settings s;
  ResetSettings(s, true);
  s.DoImageResize = 1;
  s.ImageWidth = w;
  s.ImageHeight = h;
  s.ImageResizeAlgorithm = static_cast<int8_t>(algorithm);
  return s;
}

TEST(ResizeStepTest, EachAlgorithmReachesRescaleWithItsFilter) {
  const std::vector<std::pair<int, FREE_IMAGE_FILTER>> algorithms = {
      {0, FILTER_BOX},        {1, FILTER_BILINEAR}, {2, FILTER_BSPLINE}, {3, FILTER_BICUBIC},
      {4, FILTER_CATMULLROM}, {5, FILTER_LANCZOS3}, {6, FILTER_BICUBIC}, {-1, FILTER_BICUBIC},
  };
  const FREE_IMAGE_FILTER filters[] = {FILTER_BOX,     FILTER_BICUBIC,    FILTER_BILINEAR,
                                       FILTER_BSPLINE, FILTER_CATMULLROM, FILTER_LANCZOS3};
  Bitmap source = Noise(37, 23);
  for (auto [algorithm, filter] : algorithms) {
    SCOPED_TRACE("algorithm " + std::to_string(algorithm));
    EXPECT_EQ(ResizeFilter(algorithm), filter);
    Bitmap copy(FreeImage_Clone(source.get()));
    Bitmap result = ResizeStep(std::move(copy), 37, 23, ResizeTo(20, 13, algorithm));
    ASSERT_TRUE(result);
    // The result is that of exactly one filter, and the fixture tells all six apart.
    for (FREE_IMAGE_FILTER other : filters) {
      Bitmap expected(FreeImage_Rescale(source.get(), 20, 13, other));
      EXPECT_EQ(SameBits(result.get(), expected.get()), other == filter) << "filter " << other;
    }
  }
}

TEST(ResizeStepTest, ScalesTheBitmapToTheTarget) {
  Settings s = ResizeTo(50, 50);
  s.ImageWidthUnit = s.ImageHeightUnit = kPercent;
  const Rgba teal{0, 128, 128, 255};
  Bitmap result = ResizeStep(MakeRgb(40, 30, [&](int, int) { return teal; }), 40, 30, s);
  ASSERT_TRUE(result);
  EXPECT_EQ(FreeImage_GetWidth(result.get()), 20u);
  EXPECT_EQ(FreeImage_GetHeight(result.get()), 15u);
  // A flat colour stays that colour, up to the filter's rounding.
  Rgba c = test::PixelAt(result.get(), 10, 7);
  EXPECT_NEAR(c.r, 0, 1);
  EXPECT_NEAR(c.g, 128, 1);
  EXPECT_NEAR(c.b, 128, 1);
}

TEST(ResizeStepTest, PassesTheSameBitmapOnWhenThereIsNothingToDo) {
  struct Case {
    const char* name;
    Settings settings;
  };
  Settings same = ResizeTo(40, 30);
  Settings zeroWidth = ResizeTo(0, 10);
  Settings off = ResizeTo(20, 10);
  off.DoImageResize = 0;
  Settings large = ResizeTo(80, 60);
  large.ImageResizeType = 1;
  for (const Case& c : {Case{"same size", same}, Case{"width 0", zeroWidth}, Case{"off", off},
                        Case{"small image, large ones only", large}}) {
    SCOPED_TRACE(c.name);
    Bitmap image = Photo(40, 30);
    FIBITMAP* given = image.get();
    EXPECT_EQ(ResizeStep(std::move(image), 40, 30, c.settings).get(), given);
  }
  EXPECT_FALSE(ResizeStep(Bitmap(), 40, 30, ResizeTo(20, 10)));
}

TEST(ResizeStepTest, FailsForAnEmptyOrOversizedTarget) {
  Settings flat = ResizeTo(100, 100);
  flat.KeepAspectRatio = 1;
  EXPECT_FALSE(ResizeStep(Bitmap(FreeImage_Allocate(65000, 1, 8)), 65000, 1, flat)) << "height rounds to 0";
  Settings huge = ResizeTo(1000000, 1000000);
  huge.ImageWidthUnit = huge.ImageHeightUnit = kPercent;
  EXPECT_FALSE(ResizeStep(Photo(10, 10), 10, 10, huge)) << "100000 x 100000";
  EXPECT_FALSE(ResizeStep(Photo(10, 10), 10, 10, ResizeTo(65501, 10))) << "side over 65500";
}

}  // namespace
}  // namespace rastello
