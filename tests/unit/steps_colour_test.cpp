// Colour correction, greyscale, threshold and dither.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
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
Bitmap PhotoRgba(int w, int h) {
  return test::MakeRgba(w, h, [w, h](int x, int y) { return test::Gradient(x, y, w, h); });
}

using test::MakeRgb;
using test::PixelAt;
using test::SameBits;
using test::Rgba;

Settings Defaults() {
  Settings s;
  ResetSettings(s, true);
  return s;
}

Settings Correction(int brightness, int contrast, float gamma, bool invert) {
  Settings s = Defaults();
  s.DoImageColorCorrection = 1;
  s.ImageBrightness = brightness;
  s.ImageContrast = contrast;
  s.ImageGamma = gamma;
  s.ImageInvert = invert;
  return s;
}

// 24-bit pixels in a flat array, rows from the top.
std::vector<Rgba> Pixels(FIBITMAP* dib) {
  Bitmap copy(FreeImage_ConvertTo32Bits(dib));
  std::vector<Rgba> out;
  const unsigned w = FreeImage_GetWidth(copy.get()), h = FreeImage_GetHeight(copy.get());
  for (unsigned y = 0; y < h; ++y) {
    const BYTE* line = FreeImage_GetScanLine(copy.get(), h - 1 - y);
    for (unsigned x = 0; x < w; ++x)
      out.push_back(Rgba{line[4 * x + FI_RGBA_RED], line[4 * x + FI_RGBA_GREEN], line[4 * x + FI_RGBA_BLUE], 255});
  }
  return out;
}

bool SamePixels(const std::vector<Rgba>& a, const std::vector<Rgba>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].r != b[i].r || a[i].g != b[i].g || a[i].b != b[i].b) return false;
  return true;
}


// A palette image: stripes of a few strong colours.
Bitmap Palette(unsigned bpp) {
  Bitmap dib(FreeImage_Allocate(12, 6, bpp));
  RGBQUAD* palette = FreeImage_GetPalette(dib.get());
  const unsigned colours = bpp == 1 ? 2 : 4;
  const RGBQUAD table[] = {{20, 40, 200, 0}, {230, 210, 30, 0}, {0, 128, 0, 0}, {255, 255, 255, 0}};
  for (unsigned i = 0; i < colours; ++i) palette[i] = table[i];
  for (unsigned y = 0; y < 6; ++y)
    for (unsigned x = 0; x < 12; ++x) {
      BYTE index = static_cast<BYTE>((x / 3) % colours);
      FreeImage_SetPixelIndex(dib.get(), x, y, &index);
    }
  return dib;
}

// Grey levels 0..255 along x, the same in every row.
Bitmap GreyRamp() {
  return MakeRgb(256, 4, [](int x, int) { return Rgba{uint8_t(x), uint8_t(x), uint8_t(x), 255}; });
}

TEST(ColorCorrectionStepTest, NeutralValuesLeaveThePixelsAsTheyAre) {
  struct Case {
    const char* name;
    std::function<Bitmap()> make;
    unsigned bpp;  // after the step
  };
  const std::vector<Case> cases = {
      {"1-bit palette", [] { return Palette(1); }, 24},
      {"4-bit palette", [] { return Palette(4); }, 24},
      {"8-bit palette", [] { return Bitmap(FreeImage_ConvertTo8Bits(Palette(4).get())); }, 8},
      {"24-bit", [] { return Photo(16, 8); }, 24},
      {"32-bit", [] { return PhotoRgba(16, 8); }, 32},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bitmap source = c.make();
    std::vector<Rgba> before = Pixels(source.get());
    Bitmap result = ColorCorrectionStep(std::move(source), Correction(0, 0, 1.0f, false));
    ASSERT_TRUE(result);
    EXPECT_EQ(FreeImage_GetBPP(result.get()), c.bpp);
    EXPECT_TRUE(SamePixels(Pixels(result.get()), before));
  }
}

TEST(ColorCorrectionStepTest, AFourBitImageIsAdjustedAtTwentyFourBits) {
  Bitmap source = Palette(4);
  std::vector<Rgba> before = Pixels(source.get());
  Bitmap result = ColorCorrectionStep(std::move(source), Correction(0, 0, 1.0f, true));
  ASSERT_TRUE(result);
  EXPECT_EQ(FreeImage_GetBPP(result.get()), 24u);
  std::vector<Rgba> after = Pixels(result.get());
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 0; i < after.size(); ++i) {
    EXPECT_EQ(after[i].r, 255 - before[i].r) << i;
    EXPECT_EQ(after[i].g, 255 - before[i].g) << i;
    EXPECT_EQ(after[i].b, 255 - before[i].b) << i;
  }
}

TEST(ColorCorrectionStepTest, EachValueMovesTheTonesItsWay) {
  struct Case {
    const char* name;
    Settings settings;
    std::function<bool(int before, int after)> holds;  // for a mid grey
  };
  const std::vector<Case> cases = {
      {"brighter", Correction(40, 0, 1.0f, false), [](int b, int a) { return a > b + 20; }},
      {"darker", Correction(-40, 0, 1.0f, false), [](int b, int a) { return a < b - 20; }},
      {"gamma above 1 lifts the mid tones", Correction(0, 0, 2.0f, false), [](int b, int a) { return a > b + 20; }},
      {"gamma below 1 lowers them", Correction(0, 0, 0.5f, false), [](int b, int a) { return a < b - 20; }},
      {"inverted", Correction(0, 0, 1.0f, true), [](int b, int a) { return a == 255 - b; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bitmap result = ColorCorrectionStep(GreyRamp(), c.settings);
    ASSERT_TRUE(result);
    EXPECT_EQ(FreeImage_GetBPP(result.get()), 24u);
    for (int x : {64, 100, 160})
      EXPECT_TRUE(c.holds(x, PixelAt(result.get(), x, 0).g)) << x << " became " << int(PixelAt(result.get(), x, 0).g);
  }
  // More contrast pulls dark and light apart.
  Bitmap contrast = ColorCorrectionStep(GreyRamp(), Correction(0, 50, 1.0f, false));
  EXPECT_LT(PixelAt(contrast.get(), 64, 0).g, 64);
  EXPECT_GT(PixelAt(contrast.get(), 192, 0).g, 192);
}

TEST(ColourStepsTest, EveryStepLeavesTheBitmapAloneWhileSwitchedOff) {
  using Step = Bitmap (*)(Bitmap, const Settings&);
  const std::vector<std::pair<const char*, Step>> steps = {{"colour correction", ColorCorrectionStep},
                                                           {"greyscale", GreyscaleStep},
                                                           {"threshold", ThresholdStep},
                                                           {"dither", DitherStep}};
  Settings off = Defaults();
  off.ImageInvert = 1;  // values without their switch do nothing
  off.ImageThreshold = 128;
  for (auto [name, step] : steps) {
    SCOPED_TRACE(name);
    Bitmap image = Palette(4);
    FIBITMAP* given = image.get();
    Bitmap result = step(std::move(image), off);
    EXPECT_EQ(result.get(), given);
    EXPECT_EQ(FreeImage_GetBPP(result.get()), 4u);
    Settings on = off;
    on.DoImageColorCorrection = on.DoImageGreyscale = on.DoImageThreshold = on.DoImageDither = 1;
    EXPECT_FALSE(step(Bitmap(), on));
  }
}

TEST(GreyscaleStepTest, MakesEightBitGreyByLuminance) {
  struct Case {
    const char* name;
    std::function<Bitmap()> make;
  };
  auto bands = [](int x, int) {
    return x < 4 ? Rgba{255, 0, 0, 255} : x < 8 ? Rgba{0, 255, 0, 255} : Rgba{0, 0, 255, 255};
  };
  const std::vector<Case> cases = {
      {"24-bit", [&] { return MakeRgb(12, 2, bands); }},
      {"48-bit", [&] { return Bitmap(FreeImage_ConvertToRGB16(MakeRgb(12, 2, bands).get())); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bitmap result = GreyscaleStep(c.make(), [] {
      Settings s = Defaults();
      s.DoImageGreyscale = 1;
      return s;
    }());
    ASSERT_TRUE(result);
    EXPECT_EQ(FreeImage_GetBPP(result.get()), 8u);
    EXPECT_EQ(FreeImage_GetColorType(result.get()), FIC_MINISBLACK);
    const int red = PixelAt(result.get(), 1, 0).g, green = PixelAt(result.get(), 5, 0).g,
              blue = PixelAt(result.get(), 9, 0).g;
    EXPECT_GT(green, red);
    EXPECT_GT(red, blue);
    EXPECT_GT(blue, 0);
  }
}

Settings Threshold(int level) {
  Settings s = Defaults();
  s.DoImageThreshold = 1;
  s.ImageThreshold = level;
  return s;
}

TEST(ThresholdStepTest, GreyscaleThenThresholdSplitsTheGreyLevelsAtTheLevel) {
  // A colour ramp whose grey levels cover the whole range.
  Bitmap colour = MakeRgb(256, 2, [](int x, int) { return Rgba{uint8_t(x), uint8_t(x), uint8_t(x / 2), 255}; });
  Settings s = Threshold(128);
  s.DoImageGreyscale = 1;
  Bitmap grey = GreyscaleStep(std::move(colour), s);
  ASSERT_EQ(FreeImage_GetBPP(grey.get()), 8u);
  std::vector<Rgba> levels = Pixels(grey.get());
  Bitmap result = ThresholdStep(std::move(grey), s);
  ASSERT_TRUE(result);
  EXPECT_EQ(FreeImage_GetBPP(result.get()), 1u);
  std::vector<Rgba> bw = Pixels(result.get());
  int blacks = 0, whites = 0;
  for (size_t i = 0; i < bw.size(); ++i) {
    const int expected = levels[i].g < 128 ? 0 : 255;
    ASSERT_EQ(bw[i].g, expected) << "pixel " << i << " at grey level " << int(levels[i].g);
    (expected ? whites : blacks)++;
  }
  EXPECT_GT(blacks, 0);
  EXPECT_GT(whites, 0);
}

TEST(ThresholdStepTest, TheLevelIsItsLowEightBits) {
  struct Case {
    int level;
    int firstWhite;  // grey level of the first white pixel of the ramp
  };
  for (Case c : {Case{0, 0}, Case{1, 1}, Case{200, 200}, Case{255, 255}, Case{256 + 200, 200}}) {
    SCOPED_TRACE(c.level);
    Bitmap result = ThresholdStep(GreyRamp(), Threshold(c.level));
    ASSERT_TRUE(result);
    EXPECT_EQ(FreeImage_GetBPP(result.get()), 1u);
    if (c.firstWhite > 0) {
      EXPECT_EQ(PixelAt(result.get(), c.firstWhite - 1, 0).g, 0);
    }
    EXPECT_EQ(PixelAt(result.get(), c.firstWhite, 0).g, 255);
  }
}

TEST(ColourStepsTest, ThresholdAndDitherReadAOneBitInputByItsColours) {
  // A 1-bit image whose palette is reversed (index 0 white), as a threshold may leave it: the
  // steps go by its colours, not by its indices.
  Settings s = Threshold(128);
  s.DoImageDither = 1;
  using Step = Bitmap (*)(Bitmap, const Settings&);
  for (auto [name, step] : {std::pair<const char*, Step>{"threshold", ThresholdStep}, {"dither", DitherStep}}) {
    SCOPED_TRACE(name);
    Bitmap reversed(FreeImage_Allocate(8, 2, 1));
    RGBQUAD* palette = FreeImage_GetPalette(reversed.get());
    palette[0] = RGBQUAD{255, 255, 255, 0};
    palette[1] = RGBQUAD{0, 0, 0, 0};
    for (unsigned x = 0; x < 8; ++x)
      for (unsigned y = 0; y < 2; ++y) {
        BYTE index = x < 4 ? 0 : 1;
        FreeImage_SetPixelIndex(reversed.get(), x, y, &index);
      }
    Bitmap result = step(std::move(reversed), s);
    ASSERT_TRUE(result);
    EXPECT_EQ(FreeImage_GetBPP(result.get()), 1u);
    EXPECT_EQ(PixelAt(result.get(), 0, 0).g, 255);
    EXPECT_EQ(PixelAt(result.get(), 7, 0).g, 0);
  }
}

TEST(DitherAlgorithmTest, MapsTheWordsToFreeImageNumbers) {
  const std::vector<std::pair<int, FREE_IMAGE_DITHER>> table = {
      {0, FID_FS},         {1, FID_BAYER4x4},     {2, FID_BAYER8x8}, {3, FID_BAYER16x16}, {4, FID_CLUSTER6x6},
      {5, FID_CLUSTER8x8}, {6, FID_CLUSTER16x16}, {7, FID_FS},       {-1, FID_FS},
  };
  for (auto [word, constant] : table) EXPECT_EQ(DitherAlgorithm(word), constant) << word;
  EXPECT_EQ(DitherAlgorithm(3), 6) << "BAYER16";
  EXPECT_EQ(DitherAlgorithm(4), 3) << "CLUSTER6";
}

TEST(DitherStepTest, DithersWithTheChosenAlgorithm) {
  // A grey ramp on which all seven algorithms give different patterns.
  Bitmap ramp = MakeRgb(64, 64, [](int x, int y) {
    uint8_t v = uint8_t((x * 4 + y) % 256);
    return Rgba{v, v, v, 255};
  });
  const FREE_IMAGE_DITHER all[] = {FID_FS,         FID_BAYER4x4,     FID_BAYER8x8,  FID_CLUSTER6x6,
                                   FID_CLUSTER8x8, FID_CLUSTER16x16, FID_BAYER16x16};
  for (int word = 0; word <= 6; ++word) {
    SCOPED_TRACE("algorithm " + std::to_string(word));
    Settings s = Defaults();
    s.DoImageDither = 1;
    s.ImageDitherAlgorithm = static_cast<int8_t>(word);
    Bitmap result = DitherStep(Bitmap(FreeImage_Clone(ramp.get())), s);
    ASSERT_TRUE(result);
    EXPECT_EQ(FreeImage_GetBPP(result.get()), 1u);
    for (FREE_IMAGE_DITHER other : all) {
      Bitmap expected(FreeImage_Dither(ramp.get(), other));
      EXPECT_EQ(SameBits(result.get(), expected.get()), other == DitherAlgorithm(word)) << "FreeImage " << other;
    }
  }
}

TEST(DitherStepTest, AfterAThresholdTheBlackAndWhiteImageStaysAsItIs) {
  Settings s = Threshold(100);
  s.DoImageDither = 1;
  Bitmap thresholded = ThresholdStep(GreyRamp(), s);
  ASSERT_EQ(FreeImage_GetBPP(thresholded.get()), 1u);
  std::vector<Rgba> before = Pixels(thresholded.get());
  Bitmap result = DitherStep(std::move(thresholded), s);
  ASSERT_TRUE(result);
  EXPECT_EQ(FreeImage_GetBPP(result.get()), 1u);
  EXPECT_TRUE(SamePixels(Pixels(result.get()), before));
}

}  // namespace
}  // namespace rastello
