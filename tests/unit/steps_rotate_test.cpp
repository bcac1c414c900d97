// Rotation, flips, the watermark turn and the colour texts they use.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "engine/colour.h"
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
using test::MakeRgba;
using test::Rgba;

Settings Defaults() {
  Settings s;
  ResetSettings(s, true);
  return s;
}

Settings Rotation(int angle, int type = 0, const std::string& back = "000000") {
  Settings s = Defaults();
  s.DoImageRotation = 1;
  s.ImageRotation = angle;
  s.ImageRotationType = static_cast<int8_t>(type);
  s.ImageRotationBackColor = back;
  return s;
}

// Every pixel, rows from the top, through one 32-bit copy.
struct Pixels {
  int width = 0, height = 0;
  std::vector<Rgba> data;
  explicit Pixels(FIBITMAP* dib) {
    Bitmap copy(FreeImage_ConvertTo32Bits(dib));
    width = static_cast<int>(FreeImage_GetWidth(copy.get()));
    height = static_cast<int>(FreeImage_GetHeight(copy.get()));
    for (int y = 0; y < height; ++y) {
      const BYTE* line = FreeImage_GetScanLine(copy.get(), height - 1 - y);
      for (int x = 0; x < width; ++x) {
        const BYTE* p = line + 4 * x;
        data.push_back(Rgba{p[FI_RGBA_RED], p[FI_RGBA_GREEN], p[FI_RGBA_BLUE], p[FI_RGBA_ALPHA]});
      }
    }
  }
  const Rgba& at(int x, int y) const { return data[static_cast<size_t>(y) * width + x]; }
};

bool Same(const Rgba& a, const Rgba& b) { return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a; }
bool Near(const Rgba& a, const Rgba& b, int tolerance) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}
std::string Show(const Rgba& c) {
  return std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + "," + std::to_string(c.a);
}

// Checks that `result` holds source pixel `from(x, y)` at each (x, y).
template <typename Map>
void ExpectMapped(const Pixels& source, const Pixels& result, Map from) {
  int wrong = 0;
  for (int y = 0; y < result.height; ++y)
    for (int x = 0; x < result.width; ++x) {
      auto [sx, sy] = from(x, y);
      if (!Same(result.at(x, y), source.at(sx, sy)) && ++wrong <= 3)
        ADD_FAILURE() << "pixel " << x << "," << y << " is " << Show(result.at(x, y)) << ", expected source " << sx
                      << "," << sy << " " << Show(source.at(sx, sy));
    }
  EXPECT_EQ(wrong, 0);
}

// Each pixel different from every other one.
Rgba Unique(int x, int y) { return Rgba{uint8_t(x & 255), uint8_t(y & 255), uint8_t((x >> 8) | ((y >> 8) << 4)), 255}; }

TEST(RotateStepTest, QuarterTurnSwapsTheSidesAndMovesEveryPixel) {
  Bitmap source = MakeRgb(640, 480, Unique);
  Pixels before(source.get());
  Bitmap result = RotateStep(std::move(source), Rotation(90));
  ASSERT_TRUE(result);
  EXPECT_EQ(FreeImage_GetWidth(result.get()), 480u);
  EXPECT_EQ(FreeImage_GetHeight(result.get()), 640u);
  // Counter-clockwise: the right column becomes the top row.
  ExpectMapped(before, Pixels(result.get()), [](int x, int y) { return std::pair{639 - y, x}; });
}

TEST(RotateStepTest, AnglesOutsideOneTo359LeaveTheBitmapUntouched) {
  for (int angle : {0, 360, -90, 450}) {
    SCOPED_TRACE(angle);
    Bitmap grey(FreeImage_ConvertToGreyscale(Photo(20, 10).get()));
    FIBITMAP* given = grey.get();
    Bitmap result = RotateStep(std::move(grey), Rotation(angle));
    EXPECT_EQ(result.get(), given);
    EXPECT_EQ(FreeImage_GetBPP(result.get()), 8u) << "not even the depth changes";
  }
  Settings off = Rotation(90);
  off.DoImageRotation = 0;
  Bitmap image = Photo(20, 10);
  FIBITMAP* given = image.get();
  EXPECT_EQ(RotateStep(std::move(image), off).get(), given);
  EXPECT_FALSE(RotateStep(Bitmap(), Rotation(90)));
}

struct CornerCase {
  const char* name;
  int bpp;
  const char* back;
  Rgba corner;
};

TEST(RotateStepTest, SimpleRotationGrowsTheCanvasAndFillsTheCornersWithTheBackColour) {
  const std::vector<CornerCase> cases = {
      {"24-bit, red", 24, "FF0000", {255, 0, 0, 255}},
      {"24-bit, lower-case hex", 24, "00ff80", {0, 255, 128, 255}},
      {"24-bit, wrong length means black", 24, "F00", {0, 0, 0, 255}},
      // A 32-bit picture keeps opaque corners, so flattening does not turn them white.
      {"32-bit, red", 32, "FF0000", {255, 0, 0, 255}},
  };
  const Rgba green{0, 200, 0, 255};
  for (const CornerCase& c : cases) {
    SCOPED_TRACE(c.name);
    Bitmap source = c.bpp == 32 ? MakeRgba(64, 48, [&](int, int) { return green; })
                                : MakeRgb(64, 48, [&](int, int) { return green; });
    Bitmap result = RotateStep(std::move(source), Rotation(45, 0, c.back));
    ASSERT_TRUE(result);
    const int w = static_cast<int>(FreeImage_GetWidth(result.get()));
    const int h = static_cast<int>(FreeImage_GetHeight(result.get()));
    // (64 + 48) / sqrt(2) = 79.2 either way.
    EXPECT_NEAR(w, 79, 2);
    EXPECT_NEAR(h, 79, 2);
    Bitmap flat = FlattenTransparency(std::move(result));
    Pixels p(flat.get());
    for (auto [x, y] : {std::pair{0, 0}, {w - 1, 0}, {0, h - 1}, {w - 1, h - 1}})
      EXPECT_TRUE(Near(p.at(x, y), c.corner, 0)) << x << "," << y << ": " << Show(p.at(x, y));
    EXPECT_TRUE(Near(p.at(w / 2, h / 2), green, 0)) << Show(p.at(w / 2, h / 2));
  }
}

TEST(RotateStepTest, AdvancedRotationKeepsTheSizeAndTurnsAboutTheCentre) {
  // A white bar across the middle of an odd-sized dark image turns into an upright bar
  // through the centre.
  const int w = 65, h = 49;
  Bitmap source = MakeRgb(w, h, [](int, int y) {
    return std::abs(y - 24) <= 2 ? Rgba{255, 255, 255, 255} : Rgba{0, 0, 0, 255};
  });
  Bitmap result = RotateStep(std::move(source), Rotation(90, 1));
  ASSERT_TRUE(result);
  EXPECT_EQ(FreeImage_GetWidth(result.get()), unsigned(w));
  EXPECT_EQ(FreeImage_GetHeight(result.get()), unsigned(h));
  Pixels p(result.get());
  // The bar's column span, measured along the middle row.
  int first = -1, last = -1;
  for (int x = 0; x < w; ++x)
    if (p.at(x, h / 2).r > 128) {
      if (first < 0) first = x;
      last = x;
    }
  ASSERT_GE(first, 0);
  EXPECT_NEAR((first + last) / 2.0, (w - 1) / 2.0, 1.0);
  EXPECT_NEAR(last - first + 1, 5, 1);
  // Far from the bar the image stays dark: it turned, it did not just stay put.
  EXPECT_LT(p.at(2, h / 2).r, 64);
}

TEST(RotateStepTest, AdvancedRotationOfAnyAngleKeepsTheSize) {
  for (int angle : {1, 45, 180, 359}) {
    SCOPED_TRACE(angle);
    Bitmap result = RotateStep(Photo(64, 48), Rotation(angle, 1));
    ASSERT_TRUE(result);
    EXPECT_EQ(FreeImage_GetWidth(result.get()), 64u);
    EXPECT_EQ(FreeImage_GetHeight(result.get()), 48u);
  }
}

TEST(RotateStepTest, UnknownRotationTypeOnlyPreparesTheDepth) {
  Bitmap grey(FreeImage_ConvertToGreyscale(Photo(20, 10).get()));
  Bitmap result = RotateStep(std::move(grey), Rotation(90, 7));
  ASSERT_TRUE(result);
  EXPECT_EQ(FreeImage_GetBPP(result.get()), 24u);
  EXPECT_EQ(FreeImage_GetWidth(result.get()), 20u);
}

// 4-bit palette image whose index 1 is transparent.
Bitmap PaletteWithTransparency() {
  Bitmap dib(FreeImage_Allocate(16, 8, 4));
  RGBQUAD* palette = FreeImage_GetPalette(dib.get());
  palette[0] = RGBQUAD{255, 0, 0, 0};  // blue
  palette[1] = RGBQUAD{0, 0, 255, 0};  // red, transparent
  for (unsigned y = 0; y < 8; ++y)
    for (unsigned x = 0; x < 16; ++x) {
      BYTE index = x < 8 ? 0 : 1;
      FreeImage_SetPixelIndex(dib.get(), x, y, &index);
    }
  BYTE table[2] = {255, 0};
  FreeImage_SetTransparencyTable(dib.get(), table, 2);
  return dib;
}

TEST(RotateStepTest, OtherDepthsAreBroughtToTwentyFourOrThirtyTwoBitsFirst) {
  struct DepthCase {
    const char* name;
    std::function<Bitmap()> make;
    unsigned bpp;
    bool transparent;
  };
  const std::vector<DepthCase> cases = {
      {"8-bit grey", [] { return Bitmap(FreeImage_ConvertToGreyscale(Photo(16, 8).get())); }, 24, false},
      {"16-bit 565", [] { return Bitmap(FreeImage_ConvertTo16Bits565(Photo(16, 8).get())); }, 24, false},
      // FreeImage cannot make 24 bits of 16-bit grey directly.
      {"16-bit grey", [] { return Bitmap(FreeImage_ConvertToUINT16(Photo(16, 8).get())); }, 24, false},
      {"48-bit", [] { return Bitmap(FreeImage_ConvertToRGB16(Photo(16, 8).get())); }, 24, false},
      // Transparency survives for the flattening that follows the geometry.
      {"64-bit with alpha",
       [] {
         return Bitmap(FreeImage_ConvertToRGBA16(MakeRgba(16, 8, [](int x, int) {
                                                   return Rgba{0, 0, 255, uint8_t(x < 8 ? 255 : 0)};
                                                 }).get()));
       },
       32, true},
      {"4-bit palette with a transparent entry", PaletteWithTransparency, 32, true},
  };
  for (const DepthCase& c : cases) {
    SCOPED_TRACE(c.name);
    Bitmap source = c.make();
    ASSERT_TRUE(source);
    Bitmap result = RotateStep(std::move(source), Rotation(10));
    ASSERT_TRUE(result);
    EXPECT_EQ(FreeImage_GetImageType(result.get()), FIT_BITMAP);
    EXPECT_EQ(FreeImage_GetBPP(result.get()), c.bpp);
    EXPECT_EQ(FreeImage_IsTransparent(result.get()) != FALSE, c.transparent);
    if (c.transparent) {
      // The transparent right half comes out white, the opaque left half blue.
      Bitmap flat = FlattenTransparency(std::move(result));
      Pixels p(flat.get());
      EXPECT_TRUE(Near(p.at(p.width / 2 - 4, p.height / 2), Rgba{0, 0, 255, 255}, 8))
          << Show(p.at(p.width / 2 - 4, p.height / 2));
      EXPECT_TRUE(Near(p.at(p.width / 2 + 4, p.height / 2), Rgba{255, 255, 255, 255}, 8))
          << Show(p.at(p.width / 2 + 4, p.height / 2));
    }
  }
}

TEST(RotateStepTest, RefusesACanvasBeyondTheImageLimits) {
  // 65000 x 8 turned by 45 degrees would need about 46000 x 46000 pixels.
  Bitmap strip(FreeImage_Allocate(65000, 8, 24));
  EXPECT_FALSE(RotateStep(std::move(strip), Rotation(45)));
  // A quarter turn of the same strip fits.
  Bitmap turned = RotateStep(Bitmap(FreeImage_Allocate(65000, 8, 24)), Rotation(270));
  ASSERT_TRUE(turned);
  EXPECT_EQ(FreeImage_GetWidth(turned.get()), 8u);
  EXPECT_EQ(FreeImage_GetHeight(turned.get()), 65000u);
}

struct FlipCase {
  const char* name;
  bool horizontal, vertical;
  std::pair<int, int> (*from)(int x, int y, int w, int h);
};

TEST(FlipStepTest, MirrorsInPlace) {
  const std::vector<FlipCase> cases = {
      {"horizontal", true, false,
       [](int x, int y, int w, int) {
         return std::pair{w - 1 - x, y};
       }},
      {"vertical", false, true,
       [](int x, int y, int, int h) {
         return std::pair{x, h - 1 - y};
       }},
      {"both", true, true,
       [](int x, int y, int w, int h) {
         return std::pair{w - 1 - x, h - 1 - y};
       }},
      {"neither", false, false,
       [](int x, int y, int, int) {
         return std::pair{x, y};
       }},
  };
  for (const FlipCase& c : cases) {
    SCOPED_TRACE(c.name);
    Settings s = Defaults();
    s.DoImageFlipHorizontal = c.horizontal;
    s.DoImageFlipVertical = c.vertical;
    Bitmap source = MakeRgb(7, 5, Unique);
    Pixels before(source.get());
    FIBITMAP* given = source.get();
    Bitmap result = FlipStep(std::move(source), s);
    EXPECT_EQ(result.get(), given);
    ExpectMapped(before, Pixels(result.get()), [&](int x, int y) { return c.from(x, y, 7, 5); });
  }
}

TEST(FlipStepTest, BothFlipsEqualAHalfTurn) {
  Settings both = Defaults();
  both.DoImageFlipHorizontal = both.DoImageFlipVertical = 1;
  Bitmap flipped = FlipStep(MakeRgb(9, 6, Unique), both);
  Bitmap turned = RotateStep(MakeRgb(9, 6, Unique), Rotation(180));
  ASSERT_TRUE(turned);
  Pixels a(flipped.get()), b(turned.get());
  ASSERT_EQ(a.width, b.width);
  ASSERT_EQ(a.height, b.height);
  ExpectMapped(a, b, [](int x, int y) { return std::pair{x, y}; });
  EXPECT_FALSE(FlipStep(Bitmap(), both));
}

struct WatermarkCase {
  const char* name;
  int mode, textRotation, imageRotation;
  bool turns;
};

TEST(RotateWatermarkTest, TurnsByTheAngleOfTheWatermarkKind) {
  const std::vector<WatermarkCase> cases = {
      {"text uses the text rotation", 1, 30, 0, true},
      {"image uses the image rotation", 2, 0, 30, true},
      {"text ignores the image rotation", 1, 0, 30, false},
      {"image ignores the text rotation", 2, 30, 0, false},
      {"no watermark", 0, 30, 30, false},
      {"a full turn", 1, 360, 0, false},
  };
  for (const WatermarkCase& c : cases) {
    SCOPED_TRACE(c.name);
    Settings s = Defaults();
    s.DoWatermark = static_cast<int8_t>(c.mode);
    s.TextRotation = c.textRotation;
    s.WatermarkImageRotation = c.imageRotation;
    Bitmap mark = MakeRgba(40, 10, [](int, int) { return Rgba{255, 255, 255, 255}; });
    FIBITMAP* given = mark.get();
    Bitmap result = RotateWatermark(std::move(mark), s);
    ASSERT_TRUE(result);
    if (!c.turns) {
      EXPECT_EQ(result.get(), given);
      continue;
    }
    // 40 x 10 at 30 degrees: about 40 x 29, the grown corners clear.
    EXPECT_NEAR(FreeImage_GetWidth(result.get()), 40, 2);
    EXPECT_NEAR(FreeImage_GetHeight(result.get()), 29, 2);
    Pixels p(result.get());
    EXPECT_EQ(p.at(0, 0).a, 0);
    EXPECT_EQ(p.at(p.width - 1, p.height - 1).a, 0);
    EXPECT_EQ(p.at(p.width / 2, p.height / 2).a, 255);
  }
}

struct ColourTextCase {
  const char* text;
  Colour colour;
};

TEST(ParseColorTest, ReadsSixHexDigitsAsRedGreenBlue) {
  const std::vector<ColourTextCase> cases = {
      {"ff8000", {255, 128, 0, 255}},
      {"FF8000", {255, 128, 0, 255}},
      {"0A0b0C", {10, 11, 12, 255}},
      {"FFF", {0, 0, 0, 255}},      // wrong length: black
      {"FF80000", {0, 0, 0, 255}},  // also too long
      {"", {0, 0, 0, 255}},
      {"G0G0G0", {0, 0, 0, 255}},  // a pair stops at its first non-hex character
      {"1G2G3G", {1, 2, 3, 255}},
      {"ff80\xC3\xA9"
       "0",
       {255, 128, 0, 255}},  // six characters, one of them two bytes
  };
  for (const ColourTextCase& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseColor(c.text), c.colour);
  }
}

TEST(ParseColorTest, AlphaVariantKeepsTheOpacityEvenForBlack) {
  EXPECT_EQ(ParseColorAlpha("ff8000", 128), (Colour{255, 128, 0, 128}));
  EXPECT_EQ(ParseColorAlpha("FFF", 77), (Colour{0, 0, 0, 77}));
  RGBQUAD quad = ParseColor("102030").ToRgbQuad();
  EXPECT_EQ(quad.rgbRed, 0x10);
  EXPECT_EQ(quad.rgbGreen, 0x20);
  EXPECT_EQ(quad.rgbBlue, 0x30);
}

}  // namespace
}  // namespace rastello
