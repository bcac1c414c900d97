#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "engine/formats.h"
#include "engine/pipeline.h"
#include "engine/session.h"
#include "support/images.h"
#include "support/temp_dir.h"

namespace rastello {
namespace {

class ConvertFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings(session->settings, true);
    session->state.OutputFolder = dir.path();
    session->state.OutputFormat = "jpg";
    SelectOutputFormat(*session);
  }
  bool Convert(const std::string& input) {
    session->state.InputPath = input;
    return ConvertFile(*session);
  }

  test::TempDir dir;
  std::unique_ptr<Session> session = std::make_unique<Session>();
};

std::vector<std::string> SuiteFiles(bool corrupt) {
  std::vector<std::string> files;
  for (const std::string& name : test::ListFolder(RASTELLO_PNGSUITE))
    if (name.size() > 4 && name.ends_with(".png") && (name[0] == 'x') == corrupt) files.push_back(name);
  return files;
}

TEST_F(ConvertFileTest, EverySoundSuiteFileKeepsItsSize) {
  auto files = SuiteFiles(false);
  ASSERT_GT(files.size(), 150u);
  for (const std::string& name : files) {
    SCOPED_TRACE(name);
    std::string input = std::string(RASTELLO_PNGSUITE) + "/" + name;
    ASSERT_TRUE(Convert(input)) << session->state.FailureReason;
    EXPECT_EQ(session->state.OutputPath, dir.path() + name.substr(0, name.size() - 4) + ".jpg");
    test::Bitmap original(FreeImage_Load(FIF_PNG, input.c_str(), 0));
    test::Bitmap jpeg = test::LoadAny(session->state.OutputPath);
    ASSERT_TRUE(jpeg);
    EXPECT_EQ(FreeImage_GetWidth(jpeg.get()), FreeImage_GetWidth(original.get()));
    EXPECT_EQ(FreeImage_GetHeight(jpeg.get()), FreeImage_GetHeight(original.get()));
    EXPECT_EQ(session->state.SourceBpp, int(FreeImage_GetBPP(original.get())));
  }
}

TEST_F(ConvertFileTest, TransparentPartsBecomeWhite) {
  // Left half transparent, right half opaque dark blue.
  auto png = test::MakeRgba(64, 32, [](int x, int) {
    return x < 32 ? test::Rgba{0, 0, 0, 0} : test::Rgba{20, 30, 120, 255};
  });
  test::SavePng(png.get(), dir / "half.png");
  ASSERT_TRUE(Convert(dir / "half.png"));
  EXPECT_EQ(session->state.SourceBpp, 32);
  test::Bitmap jpeg = test::LoadAny(dir / "half.jpg");
  ASSERT_TRUE(jpeg);
  for (int x : {2, 16, 28}) {
    test::Rgba p = test::PixelAt(jpeg.get(), x, 16);
    EXPECT_GE(std::min({p.r, p.g, p.b}), 250) << x;
  }
  test::Rgba q = test::PixelAt(jpeg.get(), 48, 16);
  EXPECT_NEAR(q.b, 120, 6);
  EXPECT_NEAR(q.r, 20, 6);
}

TEST_F(ConvertFileTest, SuiteTransparencyIsFlattenedOntoWhite) {
  // Palette, grey and RGB files with a transparent colour or alpha channel.
  for (const char* name : {"tbbn3p08.png", "tp1n3p08.png", "tbwn0g16.png", "basn6a16.png", "basn4a08.png",
                           "tbrn2c08.png", "basn6a08.png"}) {
    SCOPED_TRACE(name);
    std::string input = std::string(RASTELLO_PNGSUITE) + "/" + name;
    ASSERT_TRUE(Convert(input)) << session->state.FailureReason;
    // The expected picture: the file composited onto white by hand.
    test::Bitmap rgba(FreeImage_ConvertTo32Bits(test::Bitmap(FreeImage_Load(FIF_PNG, input.c_str(), 0)).get()));
    if (!rgba) {
      test::Bitmap loaded(FreeImage_Load(FIF_PNG, input.c_str(), 0));
      test::Bitmap standard(FreeImage_ConvertToStandardType(loaded.get()));
      rgba.reset(FreeImage_ConvertTo32Bits(loaded.get()));
    }
    ASSERT_TRUE(rgba);
    int w = int(FreeImage_GetWidth(rgba.get())), h = int(FreeImage_GetHeight(rgba.get()));
    auto expected = test::MakeRgb(w, h, [&](int x, int y) {
      test::Rgba p = test::PixelAt(rgba.get(), x, y);
      auto over = [&](uint8_t c) { return uint8_t((c * p.a + 255 * (255 - p.a) + 127) / 255); };
      return test::Rgba{over(p.r), over(p.g), over(p.b), 255};
    });
    test::Bitmap jpeg = test::LoadAny(session->state.OutputPath);
    EXPECT_GT(test::Psnr(jpeg.get(), expected.get()), 30.0);
  }
}

TEST_F(ConvertFileTest, CorruptSuiteFilesFailWithAReasonAndNoOutput) {
  for (const std::string& name : SuiteFiles(true)) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(Convert(std::string(RASTELLO_PNGSUITE) + "/" + name));
    EXPECT_FALSE(session->state.FailureReason.empty());
  }
  EXPECT_TRUE(test::ListFolder(dir.path()).empty());
}

TEST_F(ConvertFileTest, MissingAndWrongFilesFail) {
  EXPECT_FALSE(Convert(dir / "missing.png"));
  EXPECT_EQ(session->state.SourceBpp, 0);
  EXPECT_NE(session->state.FailureReason.find("cannot open"), std::string::npos);

  test::WriteFile(dir / "text.png", "hello, this is not a picture");
  EXPECT_FALSE(Convert(dir / "text.png"));
  EXPECT_EQ(session->state.FailureReason, "not a PNG file");

  // A real PNG cut short in its pixel data.
  auto png = test::MakeRgb(64, 64, [](int x, int y) { return test::Gradient(x, y, 64, 64); });
  test::SavePng(png.get(), dir / "full.png");
  std::string bytes = test::ReadFile(dir / "full.png");
  test::WriteFile(dir / "cut.png", bytes.substr(0, bytes.size() / 2));
  EXPECT_FALSE(Convert(dir / "cut.png"));
  EXPECT_NE(session->state.FailureReason.find("decode"), std::string::npos) << session->state.FailureReason;
  EXPECT_FALSE(test::Exists(dir / "cut.jpg"));
  EXPECT_FALSE(test::Exists(dir / "text.jpg"));
}

// A PNG that claims a size in its header; the pixel data is a token.
std::string PngClaiming(uint32_t width, uint32_t height) {
  std::string png("\x89PNG\r\n\x1a\n", 8);
  unsigned char ihdr[25] = {0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  for (int i = 0; i < 4; ++i) {
    ihdr[8 + i] = uint8_t(width >> (24 - 8 * i));
    ihdr[12 + i] = uint8_t(height >> (24 - 8 * i));
  }
  ihdr[16] = 8;  // bit depth
  ihdr[17] = 2;  // RGB
  png.append(reinterpret_cast<char*>(ihdr), 25);  // CRC left zero: never reached
  return png;
}

TEST_F(ConvertFileTest, ImagesBeyondTheLimitsAreRefusedBeforeDecoding) {
  struct Case {
    uint32_t w, h;
  };
  for (Case c : {Case{100000, 100000}, Case{65501, 10}, Case{10, 65501}, Case{30000, 30000}}) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
    test::WriteFile(dir / "big.png", PngClaiming(c.w, c.h));
    EXPECT_FALSE(Convert(dir / "big.png"));
    EXPECT_NE(session->state.FailureReason.find("too large"), std::string::npos);
    EXPECT_NE(session->state.FailureReason.find(std::to_string(c.w) + " x " + std::to_string(c.h)),
              std::string::npos);
  }
}

TEST_F(ConvertFileTest, SixteenBitPhotosLookLikeTheirEightBitRendering) {
  const int w = 96, h = 64;
  test::Bitmap deep(FreeImage_AllocateT(FIT_RGB16, w, h));
  for (int y = 0; y < h; ++y) {
    FIRGB16* line = reinterpret_cast<FIRGB16*>(FreeImage_GetScanLine(deep.get(), h - 1 - y));
    for (int x = 0; x < w; ++x) {
      test::Rgba c = test::Gradient(x, y, w, h);
      line[x] = FIRGB16{WORD(c.r * 257), WORD(c.g * 257), WORD(c.b * 257)};
    }
  }
  test::SavePng(deep.get(), dir / "deep.png");
  test::SavePng(test::MakeRgb(w, h, [&](int x, int y) { return test::Gradient(x, y, w, h); }).get(), dir / "flat.png");
  ASSERT_TRUE(Convert(dir / "deep.png")) << session->state.FailureReason;
  EXPECT_EQ(session->state.SourceBpp, 48);
  ASSERT_TRUE(Convert(dir / "flat.png"));
  test::Bitmap a = test::LoadAny(dir / "deep.jpg"), b = test::LoadAny(dir / "flat.jpg");
  EXPECT_GT(test::Psnr(a.get(), b.get()), 40.0);
}

TEST_F(ConvertFileTest, SixteenBitGreyAndAlphaConvert) {
  const int w = 32, h = 16;
  test::Bitmap grey(FreeImage_AllocateT(FIT_UINT16, w, h));
  for (int y = 0; y < h; ++y) {
    WORD* line = reinterpret_cast<WORD*>(FreeImage_GetScanLine(grey.get(), y));
    for (int x = 0; x < w; ++x) line[x] = WORD(x * 2000);
  }
  test::SavePng(grey.get(), dir / "grey16.png");
  ASSERT_TRUE(Convert(dir / "grey16.png")) << session->state.FailureReason;
  test::Bitmap jpeg = test::LoadAny(dir / "grey16.jpg");
  ASSERT_TRUE(jpeg);
  EXPECT_NEAR(test::PixelAt(jpeg.get(), 31, 5).r, 31 * 2000 / 257, 4);

  // 16-bit RGBA: the alpha survives the depth change and is flattened onto white.
  test::Bitmap rgba(FreeImage_AllocateT(FIT_RGBA16, w, h));
  for (int y = 0; y < h; ++y) {
    FIRGBA16* line = reinterpret_cast<FIRGBA16*>(FreeImage_GetScanLine(rgba.get(), y));
    for (int x = 0; x < w; ++x) line[x] = FIRGBA16{0, 0, 0, WORD(x < 16 ? 0 : 65535)};
  }
  test::SavePng(rgba.get(), dir / "alpha16.png");
  ASSERT_TRUE(Convert(dir / "alpha16.png")) << session->state.FailureReason;
  jpeg = test::LoadAny(dir / "alpha16.jpg");
  EXPECT_GE(test::PixelAt(jpeg.get(), 4, 4).r, 250);
  EXPECT_LE(test::PixelAt(jpeg.get(), 28, 4).r, 5);
}

TEST_F(ConvertFileTest, SavesWithTheRunsQualityAndReplacesAnExistingFile) {
  auto png = test::MakeRgb(128, 96, [](int x, int y) { return test::Gradient(x, y, 128, 96); });
  test::SavePng(png.get(), dir / "a.png");
  test::WriteFile(dir / "a.jpg", "old contents");
  session->settings.JPGQuality = 10;
  SelectOutputFormat(*session);
  ASSERT_TRUE(Convert(dir / "a.png"));
  size_t low = test::ReadFile(dir / "a.jpg").size();
  session->settings.JPGQuality = 95;
  SelectOutputFormat(*session);
  ASSERT_TRUE(Convert(dir / "a.png"));
  size_t high = test::ReadFile(dir / "a.jpg").size();
  EXPECT_GT(high, low);
  EXPECT_EQ(test::ReadFile(dir / "a.jpg").substr(0, 2), "\xFF\xD8");
  EXPECT_EQ(test::ListFolder(dir.path()), (std::vector<std::string>{"a.jpg", "a.png"}));
}

TEST_F(ConvertFileTest, AFailedSaveLeavesNoTrace) {
  auto png = test::MakeRgb(16, 16, [](int x, int y) { return test::Gradient(x, y, 16, 16); });
  test::SavePng(png.get(), dir / "a.png");
  // The output name is taken by a folder.
  ASSERT_EQ(::mkdir((dir / "a.jpg").c_str(), 0755), 0);
  EXPECT_FALSE(Convert(dir / "a.png"));
  EXPECT_NE(session->state.FailureReason.find("replace"), std::string::npos) << session->state.FailureReason;
  EXPECT_EQ(test::ListFolder(dir.path()), (std::vector<std::string>{"a.jpg", "a.png"}));
  // The output folder does not exist.
  session->state.OutputFolder = dir / "missing/";
  EXPECT_FALSE(Convert(dir / "a.png"));
  EXPECT_NE(session->state.FailureReason.find("No such file"), std::string::npos) << session->state.FailureReason;
}

}  // namespace
}  // namespace rastello
