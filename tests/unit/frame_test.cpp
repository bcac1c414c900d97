#include <gtest/gtest.h>

#include <string>

#include "engine/colour.h"
#include "engine/steps/steps.h"
#include "platform/drawing.h"
#include "settings/settings.h"
#include "support/images.h"

namespace rastello {
namespace {


bool Same(test::Rgba a, test::Rgba b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

std::string Text(test::Rgba p) {
  return "(" + std::to_string(p.r) + ", " + std::to_string(p.g) + ", " + std::to_string(p.b) + ")";
}

// "" when the two 24-bit bitmaps are equal, else the first pixel that differs.
std::string Difference(FIBITMAP* a, FIBITMAP* b) {
  const int w = int(FreeImage_GetWidth(a)), h = int(FreeImage_GetHeight(a));
  if (w != int(FreeImage_GetWidth(b)) || h != int(FreeImage_GetHeight(b)) || FreeImage_GetBPP(a) != FreeImage_GetBPP(b))
    return "shape differs";
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (!Same(test::PixelAt(a, x, y), test::PixelAt(b, x, y)))
        return std::to_string(x) + ", " + std::to_string(y) + ": " + Text(test::PixelAt(a, x, y)) + " vs " + Text(test::PixelAt(b, x, y));
  return "";
}

class FrameStepTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings(s, true);
    s.DoFrame = 1;
    s.SolidLeft = s.SolidRight = s.SolidTop = s.SolidBottom = 20;
    s.SolidLeftColor = "FF0000";
    s.SolidRightColor = "00FF00";
    s.SolidTopColor = "0000FF";
    s.SolidBottomColor = "FFFF00";
  }
  Bitmap Frame(Bitmap image) {
    const int32_t w = int32_t(FreeImage_GetWidth(image.get())), h = int32_t(FreeImage_GetHeight(image.get()));
    Bitmap result = FrameStep(std::move(image), w, h, s);
    EXPECT_TRUE(result);
    if (result) {
      EXPECT_EQ(FreeImage_GetBPP(result.get()), 24u);
      EXPECT_EQ(int32_t(FreeImage_GetWidth(result.get())), w);
      EXPECT_EQ(int32_t(FreeImage_GetHeight(result.get())), h);
    }
    return result;
  }

  Settings s;
  const test::Rgba red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255}, yellow{255, 255, 0};
  const test::Rgba grey{90, 90, 90};
};

TEST_F(FrameStepTest, EachSideTakesItsColourAndTheCornersSplitOnTheirDiagonals) {
  Bitmap framed = Frame(test::MakeRgb(400, 300, [this](int, int) { return grey; }));
  ASSERT_TRUE(framed);
  struct Probe {
    int x, y;
    test::Rgba colour;
  };
  const Probe probes[] = {{200, 0, blue},
                          {200, 19, blue},
                          {399, 150, green},
                          {380, 150, green},
                          {200, 299, yellow},
                          {200, 280, yellow},
                          {0, 150, red},
                          {19, 150, red},
                          // Top-left square: above its diagonal top, below it left; and so on round the corners.
                          {15, 4, blue},
                          {4, 15, red},
                          {385, 4, blue},
                          {395, 15, green},
                          {385, 295, yellow},
                          {395, 284, green},
                          {4, 284, red},
                          {15, 295, yellow},
                          // Inside the frame nothing changes.
                          {20, 20, grey},
                          {379, 279, grey},
                          {200, 150, grey}};
  for (const Probe& p : probes)
    EXPECT_TRUE(Same(test::PixelAt(framed.get(), p.x, p.y), p.colour))
        << p.x << ", " << p.y << ": " << Text(test::PixelAt(framed.get(), p.x, p.y));
  // The seams on the diagonals mix the two sides and let none of the image through.
  for (int i = 0; i < 20; ++i) {
    const test::Rgba seam = test::PixelAt(framed.get(), i, i);
    EXPECT_FALSE(Same(seam, grey)) << i;
    EXPECT_EQ(seam.g, 0) << i;
    EXPECT_EQ(seam.r + seam.b, 255) << i;
  }
}

TEST_F(FrameStepTest, OpacityBlendsTheFrameAsOnePieceAlsoOnTheSeams) {
  s.SolidOpacity = 128;
  s.SolidLeftColor = s.SolidRightColor = s.SolidTopColor = s.SolidBottomColor = "C82810";
  Bitmap framed = Frame(test::MakeRgb(400, 300, [this](int, int) { return grey; }));
  ASSERT_TRUE(framed);
  // Half of the colour over half of the image, as FreeImage composites.
  const test::Rgba half{uint8_t((128 * 200 + 127 * 90) >> 8), uint8_t((128 * 40 + 127 * 90) >> 8),
                        uint8_t((128 * 16 + 127 * 90) >> 8)};
  for (int y = 0; y < 300; ++y)
    for (int x = 0; x < 400; ++x) {
      const bool inFrame = x < 20 || x >= 380 || y < 20 || y >= 280;
      ASSERT_TRUE(Same(test::PixelAt(framed.get(), x, y), inFrame ? half : grey))
          << x << ", " << y << ": " << Text(test::PixelAt(framed.get(), x, y));
    }
}

TEST_F(FrameStepTest, NoLeftBandLeavesSquareLeftCorners) {
  s.SolidLeft = 0;
  s.SolidRight = s.SolidTop = s.SolidBottom = 10;
  Bitmap framed = Frame(test::MakeRgb(400, 300, [this](int, int) { return grey; }));
  ASSERT_TRUE(framed);
  for (int x = 0; x < 10; ++x)
    for (int y = 0; y < 10; ++y) {
      EXPECT_TRUE(Same(test::PixelAt(framed.get(), x, y), blue)) << x << ", " << y;
      EXPECT_TRUE(Same(test::PixelAt(framed.get(), x, 299 - y), yellow)) << x << ", " << 299 - y;
    }
  EXPECT_TRUE(Same(test::PixelAt(framed.get(), 0, 150), grey));
  EXPECT_TRUE(Same(test::PixelAt(framed.get(), 399, 150), green));
}

TEST_F(FrameStepTest, ABadColourTextPaintsItsSideBlack) {
  s.SolidRightColor = "FFF";
  Bitmap framed = Frame(test::MakeRgb(400, 300, [this](int, int) { return grey; }));
  ASSERT_TRUE(framed);
  EXPECT_TRUE(Same(test::PixelAt(framed.get(), 390, 150), test::Rgba{0, 0, 0}));
  EXPECT_TRUE(Same(test::PixelAt(framed.get(), 10, 150), red));
}

TEST_F(FrameStepTest, WithoutFrameShapesOnlyTheDepthChanges) {
  Bitmap photo = test::MakeRgba(40, 30, [](int x, int y) { return test::Gradient(x, y, 40, 30); });
  Bitmap expected(FreeImage_ConvertTo24Bits(photo.get()));
  for (int mode : {1, 2}) {
    SCOPED_TRACE(mode);
    s.DoFrame = int8_t(mode);
    if (mode == 1) s.SolidLeft = s.SolidRight = s.SolidTop = s.SolidBottom = 0;
    Bitmap result = Frame(Bitmap(FreeImage_Clone(photo.get())));
    ASSERT_TRUE(result);
    EXPECT_EQ(Difference(result.get(), expected.get()), "");
  }
  s.DoFrame = 0;
  Bitmap untouched = FrameStep(Bitmap(FreeImage_Clone(photo.get())), 40, 30, s);
  EXPECT_EQ(FreeImage_GetBPP(untouched.get()), 32u);
}

// The frame as one buffer the size of the image: the shapes in one layer, that layer at the
// opacity, composited over the whole image.
Bitmap FullSizeFrame(FIBITMAP* image, const Settings& s) {
  const double w = FreeImage_GetWidth(image), h = FreeImage_GetHeight(image);
  const double l = s.SolidLeft, r = s.SolidRight, t = s.SolidTop, b = s.SolidBottom;
  const Colour cl = ParseColorAlpha(s.SolidLeftColor, 255), cr = ParseColorAlpha(s.SolidRightColor, 255);
  const Colour ct = ParseColorAlpha(s.SolidTopColor, 255), cb = ParseColorAlpha(s.SolidBottomColor, 255);
  Canvas shapes = Canvas::Create(int(w), int(h));
  shapes.FillRectangle(0, 0, l, t, ct);
  shapes.FillRectangle(w - r, 0, r, t, cr);
  shapes.FillRectangle(w - r, h - b, r, b, cb);
  shapes.FillRectangle(0, h - b, l, b, cl);
  shapes.FillPolygon({{0, 0}, {w, 0}, {w - r, t}, {l, t}}, ct);
  shapes.FillPolygon({{w, 0}, {w, h}, {w - r, h - b}, {w - r, t}}, cr);
  shapes.FillPolygon({{w, h}, {0, h}, {l, h - b}, {w - r, h - b}}, cb);
  shapes.FillPolygon({{0, h}, {0, 0}, {l, t}, {l, h - b}}, cl);
  Canvas faded = Canvas::Create(int(w), int(h));
  faded.Paint(shapes, 0, 0, s.SolidOpacity);
  Bitmap overlay = ToBitmap(faded);
  return Bitmap(FreeImage_Composite(overlay.get(), FALSE, nullptr, image));
}

TEST_F(FrameStepTest, DrawingTheEdgesAloneEqualsTheFullSizeFrame) {
  struct Case {
    int w, h, l, r, t, b, opacity;
  };
  const Case cases[] = {
      {37, 23, 5, 7, 3, 9, 255},     {37, 23, 5, 7, 3, 9, 77},    {50, 40, 30, 30, 25, 25, 200},  // bands cross
      {40, 30, 0, 12, 0, 6, 255},    {60, 20, -5, 8, 4, -3, 255}, {30, 20, 100, 0, 0, 0, 255},
      {4200, 24, 11, 13, 5, 7, 160},  // tiles across a long side
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + " " + std::to_string(c.l) + "/" +
                 std::to_string(c.r) + "/" + std::to_string(c.t) + "/" + std::to_string(c.b) + " at " +
                 std::to_string(c.opacity));
    s.SolidLeft = c.l;
    s.SolidRight = c.r;
    s.SolidTop = c.t;
    s.SolidBottom = c.b;
    s.SolidOpacity = c.opacity;
    Bitmap image = test::MakeRgb(c.w, c.h, [&c](int x, int y) { return test::Gradient(x % 97, y, 97, c.h); });
    Bitmap expected = FullSizeFrame(image.get(), s);
    Bitmap framed = Frame(std::move(image));
    ASSERT_TRUE(framed && expected);
    EXPECT_EQ(Difference(framed.get(), expected.get()), "");
  }
}

}  // namespace
}  // namespace rastello
