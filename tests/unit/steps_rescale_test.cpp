// Rescale against FreeImage_Rescale: the same bytes, depth, palette and carried-over properties
// for every filter, depth and pair of sizes, however many threads share the work.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "engine/steps/rescale.h"
#include "support/images.h"

namespace rastello {
namespace {

constexpr FREE_IMAGE_FILTER kFilters[] = {FILTER_BOX,     FILTER_BILINEAR,   FILTER_BSPLINE,
                                          FILTER_BICUBIC, FILTER_CATMULLROM, FILTER_LANCZOS3};

// Every byte, alpha and padding included, pseudo-random: a weight, a tap or a rounding that is
// off anywhere shows. 8-bit bitmaps get a grey palette from black up.
Bitmap Noise(int width, int height, int bpp, FREE_IMAGE_TYPE type = FIT_BITMAP) {
  Bitmap dib(FreeImage_AllocateT(type, width, height, bpp));
  if (!dib) return dib;
  unsigned seed = 12345;
  for (int y = 0; y < height; ++y) {
    BYTE* line = FreeImage_GetScanLine(dib.get(), y);
    for (unsigned i = 0; i < FreeImage_GetPitch(dib.get()); ++i) {
      seed = seed * 1103515245u + 12345u;
      line[i] = BYTE(seed >> 24);
    }
  }
  if (type == FIT_BITMAP && bpp == 8) {
    RGBQUAD* palette = FreeImage_GetPalette(dib.get());
    for (unsigned i = 0; i < 256; ++i) palette[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
  }
  return dib;
}

// The first way `actual` differs from `expected`; empty when it does not.
std::string Difference(FIBITMAP* actual, FIBITMAP* expected) {
  if (!actual || !expected) return actual == expected ? "" : actual ? "not null" : "null";
  auto icc = [](FIBITMAP* dib) { return FreeImage_GetICCProfile(dib); };
  auto background = [](FIBITMAP* dib) {
    RGBQUAD c{};
    if (!FreeImage_GetBackgroundColor(dib, &c)) return 0x1000000u;
    return unsigned(c.rgbRed) << 16 | unsigned(c.rgbGreen) << 8 | c.rgbBlue;
  };
  const std::pair<const char*, unsigned (*)(FIBITMAP*)> properties[] = {
      {"type", [](FIBITMAP* d) { return unsigned(FreeImage_GetImageType(d)); }},
      {"width", FreeImage_GetWidth},
      {"height", FreeImage_GetHeight},
      {"bpp", FreeImage_GetBPP},
      {"pitch", FreeImage_GetPitch},
      {"red mask", FreeImage_GetRedMask},
      {"green mask", FreeImage_GetGreenMask},
      {"blue mask", FreeImage_GetBlueMask},
      {"colours used", FreeImage_GetColorsUsed},
      {"transparent", [](FIBITMAP* d) { return unsigned(FreeImage_IsTransparent(d)); }},
      {"transparency count", FreeImage_GetTransparencyCount},
      {"dots per metre across", FreeImage_GetDotsPerMeterX},
      {"dots per metre down", FreeImage_GetDotsPerMeterY},
      {"comments", [](FIBITMAP* d) { return FreeImage_GetMetadataCount(FIMD_COMMENTS, d); }},
      {"EXIF tags", [](FIBITMAP* d) { return FreeImage_GetMetadataCount(FIMD_EXIF_MAIN, d); }},
      {"ICC profile size", [](FIBITMAP* d) { return unsigned(FreeImage_GetICCProfile(d)->size); }},
  };
  for (const auto& [what, get] : properties)
    if (get(actual) != get(expected))
      return std::string(what) + " " + std::to_string(get(actual)) + " instead of " + std::to_string(get(expected));
  if (background(actual) != background(expected)) return "background colour";
  if (icc(actual)->size && std::memcmp(icc(actual)->data, icc(expected)->data, icc(actual)->size) != 0)
    return "ICC profile";
  if (FreeImage_GetColorsUsed(actual) && std::memcmp(FreeImage_GetPalette(actual), FreeImage_GetPalette(expected),
                                                     FreeImage_GetColorsUsed(actual) * sizeof(RGBQUAD)) != 0)
    return "palette";
  const unsigned line = FreeImage_GetLine(actual);
  for (unsigned y = 0; y < FreeImage_GetHeight(actual); ++y) {
    const BYTE* a = FreeImage_GetScanLine(actual, y);
    const BYTE* e = FreeImage_GetScanLine(expected, y);
    for (unsigned i = 0; i < line; ++i)
      if (a[i] != e[i])
        return "scanline " + std::to_string(y) + " byte " + std::to_string(i) + ": " + std::to_string(a[i]) +
               " instead of " + std::to_string(e[i]);
  }
  return "";
}

struct Sizes {
  const char* name;
  int srcWidth, srcHeight, width, height;
};

std::string Describe(const Sizes& s, FREE_IMAGE_FILTER filter, int bpp, unsigned threads = 0) {
  return std::string(s.name) + ": " + std::to_string(s.srcWidth) + "x" + std::to_string(s.srcHeight) + " to " +
         std::to_string(s.width) + "x" + std::to_string(s.height) + ", filter " + std::to_string(filter) + ", " +
         std::to_string(bpp) + " bpp" + (threads ? ", " + std::to_string(threads) + " threads" : "");
}

TEST(RescaleTest, MatchesFreeImageForEveryFilterDepthAndSize) {
  const Sizes sizes[] = {
      {"halved", 64, 48, 32, 24},
      {"odd ratios", 37, 23, 20, 13},
      {"narrower and taller", 101, 7, 13, 50},
      {"wider and shorter", 13, 50, 101, 7},
      {"enlarged", 23, 17, 61, 40},
      {"width kept", 40, 30, 40, 75},
      {"height kept, narrower", 40, 30, 17, 30},
      {"height kept, wider", 9, 30, 25, 30},
      {"to one pixel", 37, 23, 1, 1},
      {"from one pixel", 1, 1, 5, 3},
      // Split over the cores, where there are several and the filter is wide enough to pay.
      {"large", 640, 480, 317, 211},
  };
  for (const int bpp : {8, 24, 32}) {
    for (const Sizes& s : sizes) {
      Bitmap source = Noise(s.srcWidth, s.srcHeight, bpp);
      for (const FREE_IMAGE_FILTER filter : kFilters) {
        SCOPED_TRACE(Describe(s, filter, bpp));
        Bitmap expected(FreeImage_Rescale(source.get(), s.width, s.height, filter));
        ASSERT_TRUE(expected);
        Bitmap actual(Rescale(source.get(), s.width, s.height, filter));
        EXPECT_EQ(Difference(actual.get(), expected.get()), "");
      }
    }
  }
}

TEST(RescaleTest, TheNumberOfThreadsDoesNotChangeTheResult) {
  // Bands of 1 to 203 rows, ending inside the blocks of rows resampled together.
  const Sizes sizes[] = {
      {"smaller", 301, 203, 150, 101},
      {"larger", 120, 90, 301, 203},
      {"fewer rows than threads", 50, 40, 7, 3},
  };
  for (const int bpp : {8, 24, 32}) {
    for (const Sizes& s : sizes) {
      Bitmap source = Noise(s.srcWidth, s.srcHeight, bpp);
      for (const FREE_IMAGE_FILTER filter : {FILTER_BILINEAR, FILTER_LANCZOS3}) {
        Bitmap expected(FreeImage_Rescale(source.get(), s.width, s.height, filter));
        for (const unsigned threads : {1u, 2u, 3u, 5u, 16u}) {
          SCOPED_TRACE(Describe(s, filter, bpp, threads));
          Bitmap actual(Rescale(source.get(), s.width, s.height, filter, threads));
          EXPECT_EQ(Difference(actual.get(), expected.get()), "");
        }
      }
    }
  }
}

// Palettes FreeImage resamples through colour or in reverse, and depths left to FreeImage.
TEST(RescaleTest, OtherPalettesAndDepthsComeOutAsFromFreeImage) {
  auto setPalette = [](FIBITMAP* dib, auto entry) {
    RGBQUAD* palette = FreeImage_GetPalette(dib);
    for (unsigned i = 0; i < FreeImage_GetColorsUsed(dib); ++i) palette[i] = entry(i);
  };
  auto grey = [](unsigned v) { return RGBQUAD{BYTE(v), BYTE(v), BYTE(v), 0}; };
  struct Case {
    const char* name;
    Bitmap source;
  };
  std::vector<Case> cases;
  cases.push_back({"8-bit grey from white down", Noise(37, 23, 8)});
  setPalette(cases.back().source.get(), [&](unsigned i) { return grey(255 - i); });
  cases.push_back({"8-bit grey mostly from black up, some entries reversed", Noise(37, 23, 8)});
  setPalette(cases.back().source.get(), [&](unsigned i) { return grey(i % 7 ? i : 255 - i); });
  cases.push_back({"8-bit grey in another order", Noise(37, 23, 8)});
  setPalette(cases.back().source.get(), [&](unsigned i) { return grey((i * 7) % 256); });
  cases.push_back({"8-bit colour palette", Noise(37, 23, 8)});
  setPalette(cases.back().source.get(), [](unsigned i) { return RGBQUAD{BYTE(i), BYTE(255 - i), BYTE(i / 2), 0}; });
  cases.push_back({"8-bit grey with transparency", Noise(37, 23, 8)});
  {
    std::vector<BYTE> alpha(256);
    for (unsigned i = 0; i < 256; ++i) alpha[i] = BYTE(i);
    FreeImage_SetTransparencyTable(cases.back().source.get(), alpha.data(), 256);
  }
  cases.push_back({"4-bit palette", Noise(37, 23, 4)});
  setPalette(cases.back().source.get(), [](unsigned i) { return RGBQUAD{BYTE(i * 16), BYTE(i * 5), 200, 0}; });
  cases.push_back({"1-bit", Noise(37, 23, 1)});
  cases.push_back({"16-bit RGB", Noise(37, 23, 16)});
  cases.push_back({"16-bit grey", Noise(37, 23, 16, FIT_UINT16)});
  cases.push_back({"48-bit RGB", Noise(37, 23, 48, FIT_RGB16)});
  {
    Bitmap floats(FreeImage_AllocateT(FIT_RGBF, 37, 23));
    for (unsigned y = 0; y < 23; ++y) {
      auto* line = reinterpret_cast<FIRGBF*>(FreeImage_GetScanLine(floats.get(), y));
      for (unsigned x = 0; x < 37; ++x) line[x] = FIRGBF{x / 37.0f, y / 23.0f, (x * y % 11) / 11.0f};
    }
    cases.push_back({"float RGB", std::move(floats)});
  }
  for (const Case& c : cases) {
    ASSERT_TRUE(c.source) << c.name;
    for (const auto& [width, height] : {std::pair{20, 13}, std::pair{61, 40}}) {
      for (const FREE_IMAGE_FILTER filter : {FILTER_BICUBIC, FILTER_LANCZOS3}) {
        SCOPED_TRACE(std::string(c.name) + " to " + std::to_string(width) + "x" + std::to_string(height) + ", filter " +
                     std::to_string(filter));
        Bitmap expected(FreeImage_Rescale(c.source.get(), width, height, filter));
        ASSERT_TRUE(expected);
        Bitmap actual(Rescale(c.source.get(), width, height, filter, 3));
        EXPECT_EQ(Difference(actual.get(), expected.get()), "");
      }
    }
  }
}

TEST(RescaleTest, CarriesOverWhatFreeImageCarriesOver) {
  for (const int bpp : {8, 24, 32}) {
    SCOPED_TRACE(std::to_string(bpp) + " bpp");
    Bitmap source = Noise(40, 30, bpp);
    FreeImage_SetDotsPerMeterX(source.get(), 11811);
    FreeImage_SetDotsPerMeterY(source.get(), 3937);
    FreeImage_SetMetadataKeyValue(FIMD_COMMENTS, source.get(), "Comment", "resampled");
    char profile[] = "not really a colour profile";
    FreeImage_CreateICCProfile(source.get(), profile, sizeof profile);
    RGBQUAD teal{128, 128, 0, 0};
    FreeImage_SetBackgroundColor(source.get(), &teal);
    for (const auto& [width, height] : {std::pair{21, 17}, std::pair{40, 30}, std::pair{83, 30}}) {
      SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
      Bitmap expected(FreeImage_Rescale(source.get(), width, height, FILTER_CATMULLROM));
      Bitmap actual(Rescale(source.get(), width, height, FILTER_CATMULLROM));
      ASSERT_TRUE(actual);
      EXPECT_EQ(Difference(actual.get(), expected.get()), "");
      EXPECT_EQ(FreeImage_GetDotsPerMeterX(actual.get()), 11811u);
      EXPECT_EQ(FreeImage_GetMetadataCount(FIMD_COMMENTS, actual.get()), 1u);
    }
  }
}

TEST(RescaleTest, FailsWhereFreeImageFails) {
  Bitmap source = Noise(37, 23, 24);
  // The header alone, as a load that asks for no pixels gives it.
  FIMEMORY* png = FreeImage_OpenMemory();
  const bool saved = FreeImage_SaveToMemory(FIF_PNG, source.get(), png);
  FreeImage_SeekMemory(png, 0, SEEK_SET);
  Bitmap noPixels(saved ? FreeImage_LoadFromMemory(FIF_PNG, png, FIF_LOAD_NOPIXELS) : nullptr);
  FreeImage_CloseMemory(png);
  ASSERT_TRUE(noPixels);
  ASSERT_FALSE(FreeImage_HasPixels(noPixels.get()));

  EXPECT_FALSE(Bitmap(Rescale(nullptr, 20, 13, FILTER_BOX)));
  EXPECT_FALSE(Bitmap(Rescale(noPixels.get(), 20, 13, FILTER_BOX)));
  EXPECT_FALSE(Bitmap(Rescale(source.get(), 0, 13, FILTER_BOX)));
  EXPECT_FALSE(Bitmap(Rescale(source.get(), 20, -1, FILTER_BOX)));
  EXPECT_FALSE(Bitmap(Rescale(source.get(), 20, 13, FREE_IMAGE_FILTER(42))));
}

}  // namespace
}  // namespace rastello
