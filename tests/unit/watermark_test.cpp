#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/formats.h"
#include "engine/pipeline.h"
#include "engine/session.h"
#include "engine/steps/steps.h"
#include "platform/drawing.h"
#include "platform/font.h"
#include "settings/settings.h"
#include "support/images.h"
#include "support/temp_dir.h"

namespace rastello {
namespace {


int Width(FIBITMAP* dib) { return int(FreeImage_GetWidth(dib)); }
int Height(FIBITMAP* dib) { return int(FreeImage_GetHeight(dib)); }

// The smallest rectangle holding every pixel for which `hit(x, y)` holds.
struct Box {
  int x0 = INT_MAX, y0 = INT_MAX, x1 = -1, y1 = -1;
  bool empty() const { return x1 < 0; }
  int width() const { return x1 - x0 + 1; }
  int height() const { return y1 - y0 + 1; }
};
template <typename Hit>
Box Find(int width, int height, Hit hit) {
  Box box;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (hit(x, y)) box = {std::min(box.x0, x), std::min(box.y0, y), std::max(box.x1, x), std::max(box.y1, y)};
  return box;
}
Box Changed(FIBITMAP* before, FIBITMAP* after) {
  return Find(Width(before), Height(before), [&](int x, int y) {
    test::Rgba a = test::PixelAt(before, x, y), b = test::PixelAt(after, x, y);
    return a.r != b.r || a.g != b.g || a.b != b.b;
  });
}
// Strongly red pixels, as a red box shows after JPEG compression.
Box RedArea(FIBITMAP* dib) {
  return Find(Width(dib), Height(dib), [&](int x, int y) {
    test::Rgba p = test::PixelAt(dib, x, y);
    return p.r > 180 && p.g < 90 && p.b < 90;
  });
}
bool Equal(FIBITMAP* a, FIBITMAP* b) {
  if (Width(a) != Width(b) || Height(a) != Height(b) || FreeImage_GetBPP(a) != FreeImage_GetBPP(b)) return false;
  return Changed(a, b).empty();
}

class WatermarkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings(s(), true);
    s().DoWatermark = 1;
    s().Text = "Sample";
    FontRequest request;
    request.family = s().Font;
    request.sizePoints = s().FontSize;
    font = Font::Load(request);
    ASSERT_TRUE(font);
    session->watermarkFont = font.get();
  }
  Settings& s() { return session->settings; }
  TextExtent Measure(std::string_view text) const { return TextPen(*font, TextMode::Raster).Measure(text); }
  Bitmap Stamp(FIBITMAP* image) {
    return WatermarkStep(Bitmap(FreeImage_Clone(image)), Width(image), Height(image), *session);
  }
  // The text box alone: opaque red, letters included.
  void SolidBox() {
    s().FontColor = s().BackColor = "FF0000";
    s().BackOpacity = 255;
  }

  std::unique_ptr<Session> session = std::make_unique<Session>();
  std::unique_ptr<Font> font;
  Bitmap black = test::MakeRgb(400, 300, [](int, int) { return test::Rgba{0, 0, 0}; });
};

TEST_F(WatermarkTest, PlacesByPositionOffsetsAndBoundary) {
  struct Case {
    int kind, position, boundary, frame;
    OverlayPosition at;
  };
  // A 100 x 40 overlay on 400 x 300; text offsets 10/20, picture offsets 7/3; frame 20/30/15/5.
  const Case cases[] = {
      {1, 0, 0, 0, {10, 20}},
      {1, 1, 0, 0, {150, 20}},
      {1, 2, 0, 0, {290, 20}},
      {1, 3, 0, 0, {10, 130}},
      {1, 4, 0, 0, {150, 130}},
      {1, 5, 0, 0, {290, 130}},
      {1, 6, 0, 0, {10, 240}},
      {1, 7, 0, 0, {150, 240}},
      {1, 8, 0, 0, {290, 240}},
      {1, 9, 0, 0, {0, 0}},
      {2, 0, 0, 0, {7, 3}},
      {2, 8, 0, 0, {293, 257}},
      {1, 0, 1, 1, {30, 35}},
      {1, 8, 1, 1, {20 + 350 - 100 - 10, 15 + 280 - 40 - 20}},
      {1, 4, 1, 1, {20 + 125, 15 + 120}},
      {1, 9, 1, 1, {20, 15}},
      {1, 0, 1, 0, {10, 20}},  // no frame, no frame boundary
      {1, 0, 0, 1, {10, 20}},  // a frame, but the image boundary
      {2, 0, 1, 2, {27, 18}},  // the frame's inside counts for any non-zero Do Frame
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("kind " + std::to_string(c.kind) + " position " + std::to_string(c.position) + " boundary " +
                 std::to_string(c.boundary) + " frame " + std::to_string(c.frame));
    s().DoWatermark = int8_t(c.kind);
    s().TextPosition = s().ImagePosition = int8_t(c.position);
    s().TextBoundary = s().ImageBoundary = int8_t(c.boundary);
    s().TextXOffset = 10;
    s().TextYOffset = 20;
    s().ImageXOffset = 7;
    s().ImageYOffset = 3;
    s().DoFrame = int8_t(c.frame);
    s().SolidLeft = 20;
    s().SolidRight = 30;
    s().SolidTop = 15;
    s().SolidBottom = 5;
    EXPECT_EQ(PlaceWatermark(400, 300, 100, 40, s()), c.at);
  }
  // Offsets play no part on a centred axis.
  s().DoWatermark = 1;
  s().DoFrame = 0;
  s().TextPosition = 4;
  s().TextXOffset = s().TextYOffset = 50;
  EXPECT_EQ(PlaceWatermark(400, 300, 100, 40, s()), (OverlayPosition{150, 130}));
}

TEST_F(WatermarkTest, FitCropsToTheRoomTheOffsetsLeave) {
  Bitmap overlay = test::MakeRgba(380, 260, [](int x, int y) { return test::Rgba{uint8_t(x), uint8_t(y), 7, 200}; });
  struct Case {
    int position, x, y, boundary, width, height;  // expected size; 0 for no overlay
  };
  const Case cases[] = {
      {4, 50, 50, 0, 350, 250},  // centred, yet the offsets need room
      {0, 10, 10, 0, 380, 260},  // fits as it is
      {8, 30, 0, 0, 370, 260},   // cropped on the right only
      {0, 10, 10, 1, 350, 250},  // inside a frame of 20
      {0, 400, 10, 0, 0, 0},     // no room at all
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.position) + " " + std::to_string(c.x) + "/" + std::to_string(c.y));
    s().TextPosition = int8_t(c.position);
    s().TextXOffset = c.x;
    s().TextYOffset = c.y;
    s().TextBoundary = int8_t(c.boundary);
    s().DoFrame = 1;
    s().SolidLeft = s().SolidRight = s().SolidTop = s().SolidBottom = 20;
    Bitmap fitted = FitWatermark(Bitmap(FreeImage_Clone(overlay.get())), 400, 300, s());
    if (c.width == 0) {
      EXPECT_FALSE(fitted);
      continue;
    }
    ASSERT_TRUE(fitted);
    EXPECT_EQ(Width(fitted.get()), c.width);
    EXPECT_EQ(Height(fitted.get()), c.height);
    // The top-left part stays.
    test::Rgba corner = test::PixelAt(fitted.get(), c.width - 1, c.height - 1);
    EXPECT_EQ(corner.r, uint8_t(c.width - 1));
    EXPECT_EQ(corner.g, uint8_t(c.height - 1));
  }
}

TEST(WatermarkLines, SplitAtLineBreaksInAnyCase) {
  EXPECT_EQ(SplitWatermarkLines("one line"), std::vector<std::string>{"one line"});
  EXPECT_EQ(SplitWatermarkLines("a%eol%B%EOL%%Eol%c d"), (std::vector<std::string>{"a", "B", "", "c d"}));
  EXPECT_EQ(SplitWatermarkLines("%eol%"), (std::vector<std::string>{"", ""}));
}

TEST(WatermarkLines, AlignWithinTheBox) {
  Settings s;
  ResetSettings(s, true);
  s.TextPadding = 4;
  struct Case {
    int alignment, width, x;
  };
  const Case cases[] = {{1, 40, 34}, {1, 100, 4}, {1, 60, 24}, {1, 41, 34},  // 33.5 rounds up
                        {0, 40, 4},  {2, 40, 64}, {2, 100, 4}, {7, 40, 0}};
  for (const Case& c : cases) {
    s.TextAlignment = int8_t(c.alignment);
    EXPECT_EQ(LineX(c.width, 108, s), c.x) << c.alignment << " " << c.width;
  }
}

TEST_F(WatermarkTest, TheBoxIsTheTextPlusPaddingAtBottomRight) {
  s().TextPadding = 5;
  SolidBox();
  const TextExtent text = Measure("Sample");
  for (bool antialiased : {false, true}) {
    SCOPED_TRACE(antialiased);
    s().TextAntialiasing = antialiased;
    Bitmap overlay = TextWatermark(*session);
    ASSERT_TRUE(overlay);
    EXPECT_EQ(Width(overlay.get()), int(text.width) + 10);
    EXPECT_EQ(Height(overlay.get()), text.height + 10);
    Bitmap stamped = Stamp(black.get());
    const Box box = Changed(black.get(), stamped.get());
    EXPECT_EQ(box.x0, 400 - 10 - (int(text.width) + 10));
    EXPECT_EQ(box.y0, 300 - 10 - (text.height + 10));
    EXPECT_EQ(box.x1, 389);
    EXPECT_EQ(box.y1, 289);
  }
}

// Per line of a text overlay: the leftmost and rightmost column holding letter pixels.
std::vector<std::pair<int, int>> InkPerLine(FIBITMAP* overlay, int lines, int top, int step, int lineHeight) {
  std::vector<std::pair<int, int>> ink;
  for (int i = 0; i < lines; ++i) {
    const int y0 = top + i * step;
    Box box = Find(Width(overlay), lineHeight, [&](int x, int y) { return test::PixelAt(overlay, x, y0 + y).a > 0; });
    ink.emplace_back(box.x0, box.x1);
  }
  return ink;
}

TEST_F(WatermarkTest, LinesAreLaidOutByAlignmentLeadingAndPadding) {
  const std::vector<std::string> lines = {"iii", "WWWWWWWW", "oooo"};
  s().Text = "iii%eol%WWWWWWWW%EOL%oooo";
  s().TextPadding = 4;
  s().FontLeading = 3;
  s().BackOpacity = 0;  // letters only
  std::vector<TextExtent> extents;
  int widest = 0, tallest = 0;
  for (const std::string& line : lines) {
    extents.push_back(Measure(line));
    widest = std::max(widest, int(extents.back().width));
    tallest = std::max(tallest, extents.back().height);
  }
  const int step = tallest + 3, boxWidth = widest + 8;
  for (int alignment : {0, 1, 2}) {
    for (bool antialiased : {false, true}) {
      SCOPED_TRACE("alignment " + std::to_string(alignment) + (antialiased ? " antialiased" : " raster"));
      s().TextAlignment = int8_t(alignment);
      s().TextAntialiasing = antialiased;
      Bitmap overlay = TextWatermark(*session);
      ASSERT_TRUE(overlay);
      ASSERT_EQ(Width(overlay.get()), boxWidth);
      ASSERT_EQ(Height(overlay.get()), tallest + 2 * step + 8);
      auto ink = InkPerLine(overlay.get(), 3, 4, step, tallest);
      for (int i = 0; i < 3; ++i) {
        // Antialiased lines are aligned by their outline's width.
        const int width = antialiased ? int(std::lround(TextPen(*font, TextMode::Antialiased).Measure(lines[i]).width))
                                      : int(extents[i].width);
        const int x = LineX(width, boxWidth, s());
        EXPECT_GE(ink[i].first, x - 1) << i;
        EXPECT_LE(ink[i].second, x + width) << i;
      }
      // The narrow lines really move: right-aligned ink ends at the padding.
      if (alignment == 0) {
        EXPECT_LE(ink[0].first, 6);
      } else if (alignment == 2) {
        EXPECT_GE(ink[0].second, boxWidth - 4 - 3);
      }
    }
  }
}

TEST_F(WatermarkTest, TextWithBreaksHasABoxOfAtLeastTen) {
  s().Text = "%EOL%";
  s().FontSize = 3;
  FontRequest request;
  request.family = s().Font;
  request.sizePoints = 3;
  auto tiny = Font::Load(request);
  session->watermarkFont = tiny.get();
  ASSERT_LT(TextPen(*tiny, TextMode::Raster).Measure("").height, 10);
  Bitmap overlay = TextWatermark(*session);
  ASSERT_TRUE(overlay);
  EXPECT_EQ(Width(overlay.get()), 10);
  EXPECT_EQ(Height(overlay.get()), 20);
  // Without breaks there is no such minimum, and an empty text with no padding has no box.
  s().Text = "";
  EXPECT_FALSE(TextWatermark(*session));
}

TEST_F(WatermarkTest, OpacitiesOfLettersAndBackground) {
  s().FontColor = "FFFF00";
  s().BackColor = "0000FF";
  struct Case {
    bool antialiased;
    int text, back;
    int lowest, highest;  // alpha range over the box
  };
  const Case cases[] = {
      {false, 255, 0, 0, 255},    // only the letters show
      {false, 200, 60, 60, 200},  // two values, written as they are
      {true, 128, 0, 0, 128},     // the letters as one layer at half opacity
      {true, 0, 255, 255, 255},   // the background alone
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.antialiased) + " " + std::to_string(c.text) + "/" + std::to_string(c.back));
    s().TextAntialiasing = c.antialiased;
    s().TextOpacity = c.text;
    s().BackOpacity = c.back;
    Bitmap overlay = TextWatermark(*session);
    ASSERT_TRUE(overlay);
    int lowest = 255, highest = 0;
    std::set<int> alphas;
    for (int y = 0; y < Height(overlay.get()); ++y)
      for (int x = 0; x < Width(overlay.get()); ++x) {
        const int a = test::PixelAt(overlay.get(), x, y).a;
        lowest = std::min(lowest, a);
        highest = std::max(highest, a);
        alphas.insert(a);
      }
    EXPECT_EQ(lowest, c.lowest);
    EXPECT_EQ(highest, c.highest);
    if (!c.antialiased) {
      EXPECT_EQ(alphas.size(), 2u);
    } else if (c.text == 128) {
      EXPECT_GT(alphas.size(), 10u);
    }
  }
}

TEST_F(WatermarkTest, RotationTurnsTheBoxBeforePlacing) {
  SolidBox();
  const Box plain = Changed(black.get(), Stamp(black.get()).get());
  s().TextRotation = 90;
  const Box turned = Changed(black.get(), Stamp(black.get()).get());
  EXPECT_EQ(turned.width(), plain.height());
  EXPECT_EQ(turned.height(), plain.width());
  EXPECT_EQ(turned.x1, 389);
  EXPECT_EQ(turned.y1, 289);
}

TEST_F(WatermarkTest, AnOverlayWiderThanTheRoomIsCroppedOnTheRight) {
  SolidBox();
  s().TextPosition = 0;
  Bitmap narrow = test::MakeRgb(60, 50, [](int, int) { return test::Rgba{0, 0, 0}; });
  ASSERT_GT(Measure("Sample").width, 50);
  const Box box = Changed(narrow.get(), Stamp(narrow.get()).get());
  EXPECT_EQ(box.x0, 10);
  EXPECT_EQ(box.x1, 59);
  EXPECT_EQ(box.y0, 10);
  // Placed where it does not wholly fit, it is left out.
  s().TextXOffset = -5;
  Bitmap refused = Stamp(narrow.get());
  EXPECT_TRUE(Equal(refused.get(), narrow.get()));
}

TEST_F(WatermarkTest, TheFrameBoundaryStartsInsideTheFrame) {
  SolidBox();
  s().TextPosition = 0;
  s().TextBoundary = 1;
  s().SolidLeft = s().SolidRight = s().SolidTop = s().SolidBottom = 20;
  for (int frame : {1, 0}) {
    s().DoFrame = int8_t(frame);
    const Box box = Changed(black.get(), Stamp(black.get()).get());
    EXPECT_EQ(box.x0, frame ? 30 : 10);
    EXPECT_EQ(box.y0, frame ? 30 : 10);
  }
}

// The watermark merged the way a full-size transparent canvas would be.
Bitmap FullCanvasReference(FIBITMAP* image, Bitmap overlay, const Settings& s) {
  const int w = Width(image), h = Height(image);
  overlay = FitWatermark(RotateWatermark(std::move(overlay), s), w, h, s);
  const OverlayPosition at = PlaceWatermark(w, h, Width(overlay.get()), Height(overlay.get()), s);
  Bitmap canvas(FreeImage_AllocateT(FIT_BITMAP, w, h, 32));
  FreeImage_Paste(canvas.get(), overlay.get(), int(at.x), int(at.y), 256);
  return Bitmap(FreeImage_Composite(canvas.get(), FALSE, nullptr, image));
}

TEST_F(WatermarkTest, MergingTheCoveredRectangleEqualsMergingAFullCanvas) {
  Bitmap photo = test::MakeRgb(200, 150, [](int x, int y) { return test::Gradient(x, y, 200, 150); });
  s().TextPadding = 3;
  s().BackOpacity = 90;
  s().TextOpacity = 220;
  s().TextRotation = 30;  // transparent corners and soft edges
  s().TextPosition = 4;
  for (bool antialiased : {false, true}) {
    s().TextAntialiasing = antialiased;
    Bitmap expected = FullCanvasReference(photo.get(), TextWatermark(*session), s());
    Bitmap stamped = Stamp(photo.get());
    EXPECT_TRUE(Equal(stamped.get(), expected.get())) << antialiased;
    EXPECT_FALSE(Equal(stamped.get(), photo.get()));
  }
}

TEST_F(WatermarkTest, WithoutAFontOrAWatermarkTheImageOnlyBecomes24Bit) {
  Bitmap rgba = test::MakeRgba(40, 30, [](int x, int y) { return test::Gradient(x, y, 40, 30); });
  Bitmap expected(FreeImage_ConvertTo24Bits(rgba.get()));
  session->watermarkFont = nullptr;
  for (int kind : {1, 3}) {
    s().DoWatermark = int8_t(kind);
    Bitmap result = Stamp(rgba.get());
    EXPECT_TRUE(Equal(result.get(), expected.get())) << kind;
  }
  s().DoWatermark = 0;
  EXPECT_EQ(FreeImage_GetBPP(Stamp(rgba.get()).get()), 32u);
}

class ImageWatermarkTest : public WatermarkTest {
 protected:
  void SetUp() override {
    WatermarkTest::SetUp();
    s().DoWatermark = 2;
  }
  Bitmap Overlay(FIBITMAP* picture, const char* name = "logo.png") {
    test::SavePng(picture, dir / name);
    s().Image = dir / name;
    std::string why;
    Bitmap overlay = ImageWatermark(s(), why);
    EXPECT_TRUE(overlay) << why;
    return overlay;
  }
  test::TempDir dir;
};

TEST_F(ImageWatermarkTest, OpacityGivesAPictureWithoutAlphaOneAlphaAndScalesAnyOther) {
  s().ImageOpacity = 128;
  Bitmap rgb = test::MakeRgb(9, 7, [](int x, int y) { return test::Rgba{uint8_t(100 + x), uint8_t(50 + y), 220}; });
  Bitmap flat = Overlay(rgb.get());
  ASSERT_TRUE(flat);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 9; ++x) {
      const test::Rgba p = test::PixelAt(flat.get(), x, y);
      EXPECT_EQ(p.a, 128);
      EXPECT_NEAR(p.r, 100 + x, 1);
      EXPECT_NEAR(p.g, 50 + y, 1);
    }
  Bitmap rgba = test::MakeRgba(16, 16, [](int x, int y) { return test::Rgba{200, 200, 200, uint8_t(x * 16 + y)}; });
  Bitmap scaled = Overlay(rgba.get());
  ASSERT_TRUE(scaled);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) EXPECT_EQ(test::PixelAt(scaled.get(), x, y).a, 128 * (x * 16 + y) / 255) << x << ", " << y;
  s().ImageOpacity = 255;
  Bitmap kept = Overlay(rgba.get());
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) EXPECT_EQ(test::PixelAt(kept.get(), x, y).a, x * 16 + y);
}

TEST_F(ImageWatermarkTest, GreyscaleUsesWeights77_150_29) {
  s().ImageGreyscale = 1;
  const test::Rgba colours[] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}, {10, 200, 90}};
  const int greys[] = {76, 149, 28, 255, (77 * 10 + 150 * 200 + 29 * 90) >> 8};
  Bitmap picture = test::MakeRgb(5, 1, [&](int x, int) { return colours[x]; });
  Bitmap overlay = Overlay(picture.get());
  ASSERT_TRUE(overlay);
  for (int x = 0; x < 5; ++x) {
    const test::Rgba p = test::PixelAt(overlay.get(), x, 0);
    EXPECT_EQ(p.r, greys[x]) << x;
    EXPECT_EQ(p.g, greys[x]) << x;
    EXPECT_EQ(p.b, greys[x]) << x;
  }
}

TEST_F(ImageWatermarkTest, APictureIsPlacedLikeTextAndMergedLikeOnAFullCanvas) {
  Bitmap logo = test::MakeRgba(30, 20, [](int x, int y) {
    return test::Rgba{255, uint8_t(x * 8), 0, uint8_t(40 + y * 10)};
  });
  s().ImageOpacity = 200;
  s().ImagePosition = 2;  // TOPRIGHT
  s().WatermarkImageRotation = 90;
  Bitmap photo = test::MakeRgb(120, 90, [](int x, int y) { return test::Gradient(x, y, 120, 90); });
  Bitmap expected = FullCanvasReference(photo.get(), Overlay(logo.get()), s());
  Bitmap stamped = Stamp(photo.get());
  EXPECT_TRUE(Equal(stamped.get(), expected.get()));
  const Box box = Changed(photo.get(), stamped.get());
  EXPECT_EQ(box.x1, 120 - 10 - 1);
  EXPECT_EQ(box.y0, 10);
  EXPECT_LE(box.width(), 20);  // turned: 20 wide, 30 high
  EXPECT_GT(box.height(), 20);
}

TEST_F(ImageWatermarkTest, APictureThatCannotBeReadIsLeftOutAndSaysWhy) {
  test::WriteFile(dir / "logo.png", "this is no picture");
  for (const std::string& path : {dir / "logo.png", dir / "missing.png"}) {
    SCOPED_TRACE(path);
    s().Image = path;
    std::string why;
    EXPECT_FALSE(ImageWatermark(s(), why));
    EXPECT_FALSE(why.empty());
    std::string skipped;
    Bitmap result = WatermarkStep(Bitmap(FreeImage_Clone(black.get())), 400, 300, *session, &skipped);
    EXPECT_TRUE(Equal(result.get(), black.get()));
    EXPECT_NE(skipped.find(path), std::string::npos) << skipped;
  }
}

class WatermarkPipelineTest : public WatermarkTest {
 protected:
  void SetUp() override {
    WatermarkTest::SetUp();
    session->state.OutputFolder = dir.path();
    session->state.OutputFormat = "jpg";
    SelectOutputFormat(*session);
    test::SavePng(test::MakeRgb(300, 200, [](int, int) { return test::Rgba{255, 255, 255}; }).get(), dir / "white.png");
    session->state.InputPath = dir / "white.png";
    SolidBox();
    s().TextPosition = 0;
    s().TextXOffset = s().TextYOffset = 0;
    s().TextPadding = 2;
  }
  Box Converted() {
    EXPECT_TRUE(ConvertFile(*session)) << session->state.FailureReason;
    Bitmap jpeg = test::LoadAny(dir / "white.jpg");
    return jpeg ? RedArea(jpeg.get()) : Box{};
  }
  test::TempDir dir;
};

TEST_F(WatermarkPipelineTest, SizeTokensGiveTheSizeAfterResizing) {
  s().Text = "%width%x%height%";
  s().DoImageResize = 1;
  s().ImageWidth = 200;
  s().ImageHeight = 100;
  const TextExtent text = Measure("200x100");
  const Box box = Converted();
  EXPECT_NEAR(box.width(), int(text.width) + 4, 1);
  EXPECT_NEAR(box.height(), text.height + 4, 1);
}

TEST_F(WatermarkPipelineTest, BitsPerPixelTokenShowsThePreviousFilesDepth) {
  s().Text = "%bpp%";
  const Box first = Converted();
  const std::string chosen = std::to_string(session->state.TargetBpp);
  ASSERT_NE(chosen, "0");
  const Box second = Converted();
  EXPECT_NEAR(first.width(), int(Measure("0").width) + 4, 1);
  EXPECT_NEAR(second.width(), int(Measure(chosen).width) + 4, 1);
}

TEST_F(WatermarkPipelineTest, AnUnreadablePictureIsNamedOnlyWhenTheFileFails) {
  s().DoWatermark = 2;
  s().Image = dir / "notes.png";
  test::WriteFile(s().Image, "no picture");
  EXPECT_TRUE(ConvertFile(*session));
  EXPECT_EQ(session->state.FailureReason, "");
  session->state.OutputFolder = dir / "missing/";
  EXPECT_FALSE(ConvertFile(*session));
  EXPECT_NE(session->state.FailureReason.find("watermark picture " + s().Image), std::string::npos)
      << session->state.FailureReason;
}

}  // namespace
}  // namespace rastello
