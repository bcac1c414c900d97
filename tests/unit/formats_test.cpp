#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>

#include "engine/formats.h"
#include "engine/session.h"
#include "support/images.h"

namespace rastello {
namespace {

TEST(FormatTables, HoldTheWholeFamily) {
  EXPECT_EQ(OutputFormats().size(), 20u);
  EXPECT_EQ(InputFormats().size(), 79u);
  std::set<std::string> families;
  for (const auto& [ext, info] : InputFormats()) families.insert(info.family);
  EXPECT_EQ(families.size(), 16u);
  EXPECT_EQ(OutputFormats().at("jpg").formatId, FIF_JPEG);
  EXPECT_EQ(OutputFormats().at("jpg").allowedDepths, "8,24");
  EXPECT_EQ(OutputFormats().at("tga").formatId, FIF_TARGA);
  EXPECT_EQ(InputFormats().at("cr2").description, "Canon Camera RAW Image");
  EXPECT_EQ(InputFormats().at("apm").family, "wmf");
  EXPECT_EQ(InputFormats().at("apm").description, "Aldus Placeable Metafile");
  EXPECT_EQ(AcceptedExtensions(), std::vector<std::string>{"png"});
  EXPECT_TRUE(IsAcceptedExtension("png"));
  EXPECT_FALSE(IsAcceptedExtension("jpg"));
  EXPECT_TRUE(IsAllowedOutputFormat("jpg"));
  EXPECT_FALSE(IsAllowedOutputFormat("JPG"));
  EXPECT_FALSE(IsAllowedOutputFormat("png"));
}

TEST(IsAllowedDepth, AcceptsAutomaticAndTheFormatsDepths) {
  for (int64_t d : {0, 8, 24}) EXPECT_TRUE(IsAllowedDepth("jpg", d)) << d;
  for (int64_t d : {1, 4, 16, 32, 48, -8}) EXPECT_FALSE(IsAllowedDepth("jpg", d)) << d;
  EXPECT_TRUE(IsAllowedDepth("tiff", 96));
  EXPECT_FALSE(IsAllowedDepth("nosuch", 8));
  EXPECT_TRUE(IsAllowedDepth("nosuch", 0));
}

TEST(SaveFlagsFor, CombinesTheFormatOptions) {
  struct Case {
    const char* name;
    const char* ext;
    std::function<void(Settings&)> set;
    int32_t expected;
  };
  const Case cases[] = {
      {"jpg defaults", "jpg", [](Settings&) {}, 95 | JPEG_SUBSAMPLING_444},
      {"jpg high progressive", "jpg",
       [](Settings& s) {
         s.JPGQuality = 80;
         s.JPGChroma = 3;
         s.JPGSaveAs = 3;
       },
       12368},
      {"jpg low simple", "jpg",
       [](Settings& s) {
         s.JPGChroma = 1;
         s.JPGSaveAs = 1;
       },
       95 | JPEG_SUBSAMPLING_422 | JPEG_BASELINE},
      {"jpg medium optimized", "jpg",
       [](Settings& s) {
         s.JPGChroma = 2;
         s.JPGSaveAs = 2;
       },
       95 | JPEG_SUBSAMPLING_420 | JPEG_OPTIMIZE},
      {"jpg unknown values add nothing", "jpg",
       [](Settings& s) {
         s.JPGChroma = 9;
         s.JPGSaveAs = -1;
       },
       95},
      {"webp lossless", "webp", [](Settings&) {}, WEBP_LOSSLESS},
      {"webp 99", "webp", [](Settings& s) { s.WEBPQuality = 99; }, 99},
      {"png zlib9 interlaced", "png",
       [](Settings& s) {
         s.PNGCompression = 3;
         s.PNGInterlaced = 1;
       },
       521},
      {"png none", "png", [](Settings&) {}, PNG_Z_NO_COMPRESSION},
      {"tiff lzw cmyk", "tiff",
       [](Settings& s) {
         s.TIFFCompression = 6;
         s.TIFFColorMode = 1;
       },
       16385},
      {"tiff lab adds nothing", "tiff", [](Settings& s) { s.TIFFColorMode = 2; }, TIFF_NONE},
      {"bmp rle", "bmp", [](Settings& s) { s.BMPCompression = 1; }, BMP_SAVE_RLE},
      {"tga rle", "tga", [](Settings& s) { s.TGACompression = 1; }, TARGA_SAVE_RLE},
      {"exr none", "exr", [](Settings&) {}, EXR_NONE},
      {"exr b44", "exr", [](Settings& s) { s.EXRCompression = 4; }, EXR_B44},
      {"jxr", "jxr", [](Settings&) {}, JXR_LOSSLESS},
      {"gif", "gif", [](Settings&) {}, 0},
      {"unknown", "zzz", [](Settings&) {}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Settings s;
    ResetSettings(s, true);
    c.set(s);
    EXPECT_EQ(SaveFlagsFor(s, c.ext), c.expected);
  }
}

TEST(AutoBitDepth, TakesTheSmallestDepthThatHoldsTheSource) {
  for (int src : {1, 4, 8}) EXPECT_EQ(AutoBitDepth("jpg", src), 8) << src;
  for (int src : {16, 24, 32, 48, 64}) EXPECT_EQ(AutoBitDepth("jpg", src), 24) << src;
  EXPECT_EQ(AutoBitDepth("png", 16), 24);
  EXPECT_EQ(AutoBitDepth("png", 64), 48);
  EXPECT_EQ(AutoBitDepth("pbm", 24), 1);
}

TEST(SelectOutputFormat, PreparesTheRun) {
  auto session = std::make_unique<Session>();
  ResetSettings(session->settings, true);
  session->state.OutputFormat = "jpg";
  SelectOutputFormat(*session);
  EXPECT_EQ(session->state.FormatId, FIF_JPEG);
  EXPECT_EQ(session->state.TargetBpp, 0);
  EXPECT_TRUE(session->state.AutoBpp);
  EXPECT_EQ(session->state.SaveFlags, 95 | JPEG_SUBSAMPLING_444);
  session->settings.JPGBPP = 8;
  SelectOutputFormat(*session);
  EXPECT_EQ(session->state.TargetBpp, 8);
  EXPECT_FALSE(session->state.AutoBpp);
}

// Depth of what ConvertBitDepth gives for a source bitmap, output format and target.
struct DepthCase {
  const char* name;
  int sourceBpp;  // the file as loaded
  int bitmapBpp;  // the bitmap reaching the step
  const char* ext;
  int target;  // 0 = automatic
  int expectedBpp;
  int expectedTarget;
};

TEST(ConvertBitDepth, BringsTheBitmapToTheTargetDepth) {
  const DepthCase cases[] = {
      {"24-bit to automatic jpg", 24, 24, "jpg", 0, 24, 24},
      {"flattened 32-bit source", 32, 24, "jpg", 0, 24, 24},
      {"palette source still 8-bit", 8, 8, "jpg", 0, 8, 8},
      {"palette source made 24-bit", 8, 24, "jpg", 0, 8, 8},
      {"jpg 8 from 24", 24, 24, "jpg", 8, 8, 8},
      {"png 8 quantizes", 24, 32, "png", 8, 8, 8},
      {"32 target", 24, 24, "png", 32, 32, 32},
      {"4 target", 24, 24, "bmp", 4, 4, 4},
      {"1 target dithers", 24, 24, "bmp", 1, 1, 1},
      {"16 for tga", 24, 24, "tga", 16, 16, 16},
      {"16 for bmp", 24, 24, "bmp", 16, 16, 16},
  };
  for (const DepthCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto session = std::make_unique<Session>();
    session->state.OutputFormat = c.ext;
    session->state.SourceBpp = c.sourceBpp;
    session->state.TargetBpp = c.target;
    session->state.AutoBpp = c.target == 0;
    Bitmap dib(FreeImage_Allocate(8, 8, c.bitmapBpp));
    Bitmap out = ConvertBitDepth(*session, std::move(dib));
    ASSERT_TRUE(out);
    EXPECT_EQ(int(FreeImage_GetBPP(out.get())), c.expectedBpp);
    EXPECT_EQ(session->state.TargetBpp, c.expectedTarget);
  }
}

TEST(ConvertBitDepth, SixteenBitLayoutsDifferByFormat) {
  for (const char* ext : {"tga", "bmp"}) {
    auto session = std::make_unique<Session>();
    session->state.OutputFormat = ext;
    session->state.TargetBpp = 16;
    Bitmap out = ConvertBitDepth(*session, Bitmap(FreeImage_Allocate(4, 4, 24)));
    ASSERT_TRUE(out);
    // 555 leaves the top bit of the green mask unused.
    EXPECT_EQ(FreeImage_GetGreenMask(out.get()), std::string(ext) == "tga" ? FI16_555_GREEN_MASK : FI16_565_GREEN_MASK)
        << ext;
  }
}

TEST(ConvertBitDepth, AutomaticDepthNeverTurnsAColourPictureGrey) {
  // A palette source that flattening made true-colour: grey content may go to an 8-bit
  // (greyscale) JPEG, colour content stays 24-bit.
  struct Case {
    test::Rgba pixel;
    int expectedBpp;
  };
  for (Case c : {Case{{90, 90, 90, 255}, 8}, Case{{200, 40, 40, 255}, 24}}) {
    auto session = std::make_unique<Session>();
    session->state.OutputFormat = "jpg";
    session->state.SourceBpp = 8;
    session->state.AutoBpp = true;
    Bitmap out = ConvertBitDepth(*session, test::MakeRgb(6, 6, [&](int x, int) {
                                   return x == 5 ? c.pixel : test::Rgba{90, 90, 90, 255};
                                 }));
    ASSERT_TRUE(out);
    EXPECT_EQ(int(FreeImage_GetBPP(out.get())), c.expectedBpp);
    EXPECT_EQ(session->state.TargetBpp, c.expectedBpp);
    EXPECT_EQ(test::PixelAt(out.get(), 5, 0).r, c.pixel.r);
  }
  // An explicit 8-bit depth is the user's choice: greyscale.
  auto session = std::make_unique<Session>();
  session->state.OutputFormat = "jpg";
  session->state.SourceBpp = 8;
  session->state.TargetBpp = 8;
  Bitmap out = ConvertBitDepth(*session, test::MakeRgb(6, 6, [](int, int) { return test::Rgba{200, 40, 40, 255}; }));
  EXPECT_EQ(FreeImage_GetBPP(out.get()), 8u);
}

TEST(ConvertBitDepth, AnUnknownTargetGivesNoBitmap) {
  auto session = std::make_unique<Session>();
  session->state.OutputFormat = "jpg";
  session->state.TargetBpp = 12;
  EXPECT_FALSE(ConvertBitDepth(*session, Bitmap(FreeImage_Allocate(4, 4, 24))));
  EXPECT_FALSE(ConvertBitDepth(*session, Bitmap()));
}

}  // namespace
}  // namespace rastello
