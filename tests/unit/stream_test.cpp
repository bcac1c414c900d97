#include <gtest/gtest.h>

#include <png.h>

#include <cstdio>
#include <memory>
#include <set>
#include <vector>

#include "engine/formats.h"
#include "engine/pipeline.h"
#include "engine/session.h"
#include "engine/stream.h"
#include "platform/font.h"
#include "support/images.h"
#include "support/temp_dir.h"

namespace rastello {
namespace {

// The row-by-row path must write the very bytes the bitmap path writes.
class StreamTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetSettings(session->settings, true); }

  // Converts `input` both ways under `flags`; returns what streaming did.
  StreamOutcome Compare(const std::string& input, void (*flags)(Settings&)) {
    flags(session->settings);
    session->state.OutputFolder = dir.path();
    session->state.OutputFormat = "jpg";
    SelectOutputFormat(*session);
    session->state.InputPath = input;

    session->settings.FilenameMask = "streamed.jpg";
    session->allowStreaming = true;
    StreamOutcome outcome = StreamConvert(*session);
    if (outcome != StreamOutcome::Converted) return outcome;
    const int32_t streamedBpp = session->state.SourceBpp, streamedWidth = session->state.ImageWidth;

    // The reference: the bitmap path with FreeImage's own loader.
    session->settings.FilenameMask = "bitmap.jpg";
    session->allowStreaming = false;
    session->allowDirectRows = false;
    SelectOutputFormat(*session);
    EXPECT_TRUE(ConvertFile(*session)) << session->state.FailureReason;
    session->allowDirectRows = true;
    EXPECT_EQ(session->state.SourceBpp, streamedBpp);
    EXPECT_EQ(session->state.ImageWidth, streamedWidth);
    std::string a = test::ReadFile(dir / "streamed.jpg"), b = test::ReadFile(dir / "bitmap.jpg");
    EXPECT_FALSE(a.empty());
    size_t diff = 0;
    while (diff < a.size() && diff < b.size() && a[diff] == b[diff]) ++diff;
    EXPECT_TRUE(a == b) << "sizes " << a.size() << " and " << b.size() << ", first difference at " << diff;
    return outcome;
  }

  // Photo-like pictures of odd sizes (partial JPEG blocks and chroma pairs) in `dir`: RGB at
  // 300 x 150 dpi, and RGBA at 300 dpi with alpha running through every value.
  static constexpr int kWidth = 301, kHeight = 157;
  std::string DensePhoto() {
    auto rgb = test::MakeRgb(kWidth, kHeight, [](int x, int y) { return test::Gradient(x, y, kWidth, kHeight); });
    FreeImage_SetDotsPerMeterX(rgb.get(), 11811);
    FreeImage_SetDotsPerMeterY(rgb.get(), 5906);
    test::SavePng(rgb.get(), dir / "dense.png");
    return dir / "dense.png";
  }
  std::string AlphaPhoto() {
    auto rgba = test::MakeRgba(kWidth, kHeight, [](int x, int y) {
      test::Rgba c = test::Gradient(x, y, kWidth, kHeight);
      c.a = uint8_t((x * 7 + y * 3) % 256);
      return c;
    });
    FreeImage_SetDotsPerMeterX(rgba.get(), 11811);
    FreeImage_SetDotsPerMeterY(rgba.get(), 11811);
    test::SavePng(rgba.get(), dir / "alpha.png");
    return dir / "alpha.png";
  }

  test::TempDir dir;
  std::unique_ptr<Session> session = std::make_unique<Session>();
};

void Defaults(Settings&) {}
void Medium420Progressive(Settings& s) {
  s.JPGQuality = 80;
  s.JPGChroma = 2;
  s.JPGSaveAs = 3;
}
void High411Optimized(Settings& s) {
  s.JPGQuality = 60;
  s.JPGChroma = 3;
  s.JPGSaveAs = 2;
}
void Low422Simple(Settings& s) {
  s.JPGQuality = 100;
  s.JPGChroma = 1;
  s.JPGSaveAs = 1;
}

TEST_F(StreamTest, EverySuiteFileThatStreamsComesOutByteForByte) {
  std::set<std::string> streamed;
  for (const std::string& name : test::ListFolder(RASTELLO_PNGSUITE)) {
    if (!name.ends_with(".png") || name[0] == 'x') continue;
    for (auto flags : {Defaults, Medium420Progressive, High411Optimized, Low422Simple}) {
      SCOPED_TRACE(name);
      SetUp();
      if (Compare(std::string(RASTELLO_PNGSUITE) + "/" + name, flags) == StreamOutcome::Converted)
        streamed.insert(name);
    }
  }
  // Grey of 1, 8 and 16 bits, palettes of 1, 4 and 8 bits, grey with alpha, RGB and RGBA in
  // 8 and 16 bits, with gamma, density, chromaticities, significant bits, every filter type
  // and zlib level.
  for (const char* name : {"basn0g01.png", "basn0g08.png", "basn3p01.png", "basn3p04.png", "basn3p08.png",
                           "basn4a08.png", "basn2c08.png", "basn0g16.png", "basn2c16.png", "basn4a16.png",
                           "basn6a16.png", "g03n0g16.png", "g25n0g16.png",
                           "basn6a08.png", "g03n2c08.png", "g25n3p04.png", "cdfn2c08.png", "ccwn2c08.png",
                           "cs5n2c08.png", "f00n2c08.png", "f04n2c08.png", "z00n2c08.png", "z09n2c08.png",
                           "exif2c08.png"})
    EXPECT_TRUE(streamed.count(name)) << name;
}

TEST_F(StreamTest, GeneratedPicturesWithDensityAndAlpha) {
  for (const std::string& file : {DensePhoto(), AlphaPhoto()}) {
    for (auto flags : {Defaults, Medium420Progressive}) {
      SCOPED_TRACE(file);
      SetUp();
      EXPECT_EQ(Compare(file, flags), StreamOutcome::Converted);
    }
  }
}

// A 16-bit PNG whose low bytes matter (rounding instead of taking the high byte would show)
// with a gamma that libpng must apply to the 16-bit samples.
void WriteDeepPng(const std::string& path, int colourType, double gamma) {
  const int w = 97, h = 61;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, f);
  png_set_IHDR(png, info, w, h, 16, colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (gamma > 0) png_set_gAMA(png, info, gamma);
  png_write_info(png, info);
  const int channels = png_get_channels(png, info);
  std::vector<unsigned char> row(size_t(w) * channels * 2);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < channels; ++c) {
        const unsigned v = (x * 677u + y * 1319u + c * 20011u) % 65536u;
        row[2 * (x * channels + c)] = static_cast<unsigned char>(v >> 8);
        row[2 * (x * channels + c) + 1] = static_cast<unsigned char>(v);
      }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(f);
}

TEST_F(StreamTest, DeepPicturesWithAndWithoutGamma) {
  struct Case {
    const char* name;
    int colourType;
    double gamma;
  };
  const Case cases[] = {
      {"rgb.png", PNG_COLOR_TYPE_RGB, 0},           {"rgb-gamma.png", PNG_COLOR_TYPE_RGB, 1.0},
      {"rgba-gamma.png", PNG_COLOR_TYPE_RGB_ALPHA, 0.8}, {"grey-gamma.png", PNG_COLOR_TYPE_GRAY, 1.0},
      {"grey-alpha.png", PNG_COLOR_TYPE_GRAY_ALPHA, 0.45455},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteDeepPng(dir / c.name, c.colourType, c.gamma);
    for (auto flags : {Defaults, Low422Simple}) {
      SetUp();
      EXPECT_EQ(Compare(dir / c.name, flags), StreamOutcome::Converted);
    }
  }
}

std::string logoPath;  // the picture watermark of the case below

TEST_F(StreamTest, FramesAndWatermarksGoOverTheRowsAsOverTheBitmap) {
  const std::string photo = DensePhoto(), alpha = AlphaPhoto();
  logoPath = dir / "logo.png";
  test::SavePng(test::MakeRgba(40, 24, [](int x, int y) { return test::Rgba{200, uint8_t(x * 6), 40, uint8_t(y * 10)}; }).get(),
                logoPath);
  FontRequest request;
  request.family = "DejaVu Sans";
  request.sizePoints = 14;
  FontHandle font = LoadFont(request);
  ASSERT_TRUE(font);
  session->watermarkFont = font.get();

  struct Case {
    const char* what;
    std::string input;
    void (*flags)(Settings&);
    StreamOutcome expected;
  };
  const std::string suite = RASTELLO_PNGSUITE;
  const Case cases[] = {
      {"text naming the size, bottom right", photo,
       [](Settings& s) {
         s.DoWatermark = 1;
         s.Text = "(c) %width% x %height%";
         s.TextAntialiasing = 1;
       },
       StreamOutcome::Converted},
      {"raster text turned 30 degrees, centred, with a back box", photo,
       [](Settings& s) {
         s.DoWatermark = 1;
         s.Text = "Tessaly%eol%second line";
         s.TextRotation = 30;
         s.TextPosition = 4;
         s.BackOpacity = 128;
       },
       StreamOutcome::Converted},
      {"text on a picture with alpha", alpha,
       [](Settings& s) {
         s.DoWatermark = 1;
         s.Text = "over white";
         s.TextPosition = 0;
       },
       StreamOutcome::Converted},
      {"text on 16-bit RGB", suite + "/basn2c16.png",
       [](Settings& s) {
         s.DoWatermark = 1;
         s.Text = "16";
         s.TextPosition = 4;
       },
       StreamOutcome::Converted},
      {"picture at the top right, half opaque", photo,
       [](Settings& s) {
         s.DoWatermark = 2;
         s.Image = logoPath;
         s.ImagePosition = 2;
         s.ImageOpacity = 128;
       },
       StreamOutcome::Converted},
      {"a frame of four colours at half opacity", photo,
       [](Settings& s) {
         s.DoFrame = 1;
         s.SolidLeft = 7;
         s.SolidRight = 30;
         s.SolidTop = 12;
         s.SolidBottom = 3;
         s.SolidLeftColor = "ff0000";
         s.SolidRightColor = "00ff00";
         s.SolidTopColor = "0000ff";
         s.SolidBottomColor = "ffff00";
         s.SolidOpacity = 128;
       },
       StreamOutcome::Converted},
      {"a frame wider than the picture, on alpha", alpha,
       [](Settings& s) {
         s.DoFrame = 1;
         s.SolidLeft = s.SolidRight = 200;
         s.SolidTop = 20;
       },
       StreamOutcome::Converted},
      {"a frame with text inside it", photo,
       [](Settings& s) {
         s.DoFrame = 1;
         s.SolidLeft = s.SolidRight = s.SolidTop = s.SolidBottom = 20;
         s.DoWatermark = 1;
         s.Text = "inside";
         s.TextBoundary = 1;
       },
       StreamOutcome::Converted},
      {"offsets that leave no room: nothing drawn", photo,
       [](Settings& s) {
         s.DoWatermark = 1;
         s.Text = "gone";
         s.TextXOffset = 5000;
       },
       StreamOutcome::Converted},
      {"a negative offset puts it partly outside: refused, nothing drawn", photo,
       [](Settings& s) {
         s.DoWatermark = 1;
         s.Text = "outside";
         s.TextPosition = 0;
         s.TextXOffset = -20;
       },
       StreamOutcome::Converted},
      {"grey picture: the bitmap path decides its depth", suite + "/basn0g08.png",
       [](Settings& s) {
         s.DoWatermark = 1;
         s.Text = "grey";
       },
       StreamOutcome::NotStreamed},
      {"a picture that cannot be read: the bitmap path reports it", photo,
       [](Settings& s) {
         s.DoWatermark = 2;
         s.Image = "/nonexistent/logo.png";
       },
       StreamOutcome::NotStreamed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    EXPECT_EQ(Compare(c.input, c.flags), c.expected);
  }
  session->watermarkFont = nullptr;
}

TEST_F(StreamTest, WhatTheRowsCannotCarryTakesTheBitmapPath) {
  auto rgb = test::MakeRgb(16, 16, [](int x, int y) { return test::Gradient(x, y, 16, 16); });
  FITAG* tag = FreeImage_CreateTag();
  const char comment[] = "a comment the JPEG keeps";
  FreeImage_SetTagKey(tag, "Comment");
  FreeImage_SetTagType(tag, FIDT_ASCII);
  FreeImage_SetTagLength(tag, sizeof comment);
  FreeImage_SetTagCount(tag, sizeof comment);
  FreeImage_SetTagValue(tag, comment);
  FreeImage_SetMetadata(FIMD_COMMENTS, rgb.get(), "Comment", tag);
  FreeImage_DeleteTag(tag);
  test::SavePng(rgb.get(), dir / "comment.png");

  struct Case {
    std::string input;
    void (*flags)(Settings&);
  };
  const std::string suite = RASTELLO_PNGSUITE;
  const Case cases[] = {
      {dir / "comment.png", Defaults},          // a comment the JPEG writer copies
      {suite + "/basi2c08.png", Defaults},      // interlaced
      {suite + "/tbbn2c16.png", Defaults},      // 16 bits with a transparent colour
      {suite + "/tbrn2c08.png", Defaults},      // transparent colour
      {suite + "/xcsn0g01.png", Defaults},      // damaged
      {suite + "/basn2c08.png", [](Settings& s) { s.DoImageFlipVertical = 1; }},
      {suite + "/basn2c08.png", [](Settings& s) { s.JPGBPP = 8; }},
      {suite + "/basn2c08.png", [](Settings& s) {
         s.DoWatermark = 2;
         s.Image = "x.png";
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    SetUp();
    EXPECT_EQ(Compare(c.input, c.flags), StreamOutcome::NotStreamed);
  }
  // A resize that leaves the size alone does not stop streaming.
  SetUp();
  EXPECT_EQ(Compare(suite + "/basn2c08.png",
                    [](Settings& s) {
                      s.DoImageResize = 1;
                      s.ImageWidth = s.ImageHeight = 100;
                      s.ImageWidthUnit = s.ImageHeightUnit = 1;
                    }),
            StreamOutcome::Converted);
}

// The bitmap path reads plain RGB and RGBA files with the row reader; the bitmaps it makes
// must be FreeImage's, whatever the edits do with them.
TEST_F(StreamTest, TheBitmapPathReadsPlainFilesAsFreeImageDoes) {
  const std::string suite = RASTELLO_PNGSUITE;
  const std::string files[] = {DensePhoto(), AlphaPhoto(), suite + "/f04n2c08.png",
                               suite + "/z09n2c08.png", suite + "/g04n2c08.png"};
  struct Edit {
    const char* what;
    void (*flags)(Settings&);
  };
  const Edit edits[] = {
      {"flipped", [](Settings& s) { s.DoImageFlipVertical = 1; }},
      {"halved with Lanczos",
       [](Settings& s) {
         s.DoImageResize = 1;
         s.ImageWidth = s.ImageHeight = 50;
         s.ImageWidthUnit = s.ImageHeightUnit = 1;
         s.ImageResizeAlgorithm = 5;
       }},
      {"turned 90 degrees",
       [](Settings& s) {
         s.DoImageRotation = 1;
         s.ImageRotation = 90;
       }},
      {"grey JPEG", [](Settings& s) { s.JPGBPP = 8; }},
  };
  auto convert = [&](const std::string& input, void (*flags)(Settings&), bool direct, const char* name) {
    SetUp();
    flags(session->settings);
    session->settings.FilenameMask = name;
    session->state.OutputFolder = dir.path();
    session->state.OutputFormat = "jpg";
    SelectOutputFormat(*session);
    session->state.InputPath = input;
    session->allowStreaming = false;
    session->allowDirectRows = direct;
    EXPECT_TRUE(ConvertFile(*session)) << session->state.FailureReason;
    return test::ReadFile(dir / name);
  };
  for (const std::string& file : files)
    for (const Edit& edit : edits) {
      SCOPED_TRACE(file + ", " + edit.what);
      const std::string direct = convert(file, edit.flags, true, "direct.jpg");
      EXPECT_FALSE(direct.empty());
      EXPECT_TRUE(direct == convert(file, edit.flags, false, "freeimage.jpg"));
    }
  session->allowDirectRows = true;
}

TEST_F(StreamTest, ADamagedPixelStreamFailsLikeTheBitmapPath) {
  auto rgb = test::MakeRgb(64, 64, [](int x, int y) { return test::Gradient(x, y, 64, 64); });
  test::SavePng(rgb.get(), dir / "whole.png");
  std::string bytes = test::ReadFile(dir / "whole.png");
  // Flip a byte in the middle of the compressed pixels.
  size_t idat = bytes.find("IDAT");
  ASSERT_NE(idat, std::string::npos);
  bytes[idat + 40] ^= 0x55;
  test::WriteFile(dir / "bad.png", bytes);
  session->state.OutputFolder = dir.path();
  session->state.OutputFormat = "jpg";
  SelectOutputFormat(*session);
  session->state.InputPath = dir / "bad.png";
  EXPECT_FALSE(ConvertFile(*session));
  // The bitmap path judged the file, with its own reason.
  EXPECT_EQ(session->state.FailureReason.rfind("cannot decode the PNG data: ", 0), 0u) << session->state.FailureReason;
  EXPECT_EQ(test::ListFolder(dir.path()), (std::vector<std::string>{"bad.png", "whole.png"}));
}

}  // namespace
}  // namespace rastello
