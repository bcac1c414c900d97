#include "platform/drawing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>
#include <string>

#include "platform/font.h"
#include "support/images.h"
#include "support/temp_dir.h"

namespace rastello {
namespace {

// The reference hand-over: encode the buffer as PNG with cairo and load that with FreeImage.
Bitmap ThroughPng(const Canvas& canvas) {
  std::string png;
  auto append = [](void* closure, const unsigned char* data, unsigned length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
  };
  EXPECT_EQ(cairo_surface_write_to_png_stream(canvas.surface(), append, &png), CAIRO_STATUS_SUCCESS);
  FIMEMORY* memory = FreeImage_OpenMemory(reinterpret_cast<BYTE*>(png.data()), static_cast<DWORD>(png.size()));
  Bitmap dib(FreeImage_LoadFromMemory(FIF_PNG, memory, 0));
  FreeImage_CloseMemory(memory);
  // cairo leaves the alpha channel out of a wholly opaque buffer.
  if (dib && FreeImage_GetBPP(dib.get()) != 32) dib.reset(FreeImage_ConvertTo32Bits(dib.get()));
  return dib;
}

// "" when both bitmaps hold the same pixels, else where they first differ.
std::string Difference(FIBITMAP* a, FIBITMAP* b) {
  if (!a || !b) return "missing bitmap";
  const unsigned w = FreeImage_GetWidth(a), h = FreeImage_GetHeight(a), bpp = FreeImage_GetBPP(a);
  if (w != FreeImage_GetWidth(b) || h != FreeImage_GetHeight(b) || bpp != FreeImage_GetBPP(b)) return "shape differs";
  const unsigned bytes = bpp / 8;
  for (unsigned row = 0; row < h; ++row) {
    const BYTE* la = FreeImage_GetScanLine(a, row);
    const BYTE* lb = FreeImage_GetScanLine(b, row);
    for (unsigned i = 0; i < w * bytes; ++i)
      if (la[i] != lb[i])
        return "pixel (" + std::to_string(i / bytes) + ", " + std::to_string(h - 1 - row) + ") channel " +
               std::to_string(i % bytes) + ": " + std::to_string(la[i]) + " vs " + std::to_string(lb[i]);
  }
  return "";
}

// Pixel (x, y) from the top-left of a 24- or 32-bit bitmap.
test::Rgba At(FIBITMAP* dib, int x, int y) {
  const unsigned bytes = FreeImage_GetBPP(dib) / 8;
  const BYTE* p = FreeImage_GetScanLine(dib, FreeImage_GetHeight(dib) - 1 - y) + bytes * x;
  return {p[FI_RGBA_RED], p[FI_RGBA_GREEN], p[FI_RGBA_BLUE], bytes == 4 ? p[FI_RGBA_ALPHA] : uint8_t(255)};
}

std::unique_ptr<Font> LoadFont(int points, bool bold = false, bool underline = false, bool strikeout = false) {
  FontRequest request;
  request.family = "DejaVu Sans";
  request.sizePoints = points;
  request.bold = bold;
  request.underline = underline;
  request.strikeout = strikeout;
  return Font::Load(request);
}

TEST(Canvas, RefusesSizesItCannotHold) {
  const std::pair<int, int> sizes[] = {{0, 5}, {5, 0}, {-3, 5}, {kMaxCanvasSide + 1, 1}, {1, kMaxCanvasSide + 1}};
  for (auto [w, h] : sizes) {
    SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
    EXPECT_FALSE(Canvas::Create(w, h));
  }
  Canvas widest = Canvas::Create(kMaxCanvasSide, 1);
  ASSERT_TRUE(widest);
  EXPECT_EQ(widest.width(), kMaxCanvasSide);
  Bitmap pixels = ToBitmap(widest);
  EXPECT_EQ(At(pixels.get(), kMaxCanvasSide - 1, 0).a, 0);  // made transparent
}

TEST(Canvas, HandsOverExactlyWhatAPngRoundTripGives) {
  // Every premultiplied value cairo can hold: colour up to alpha, alpha 0..255.
  Canvas all = Canvas::Create(256, 256);
  ASSERT_TRUE(all);
  cairo_surface_flush(all.surface());
  unsigned char* data = cairo_image_surface_get_data(all.surface());
  const int stride = cairo_image_surface_get_stride(all.surface());
  for (uint32_t a = 0; a < 256; ++a)
    for (uint32_t c = 0; c < 256; ++c) {
      const uint32_t r = std::min(c, a), g = std::min(255 - c, a), b = std::min(c * 7 % 256, a);
      reinterpret_cast<uint32_t*>(data + a * stride)[c] = a << 24 | r << 16 | g << 8 | b;
    }
  cairo_surface_mark_dirty(all.surface());
  EXPECT_EQ(Difference(ToBitmap(all).get(), ThroughPng(all).get()), "");

  // Drawn content: antialiased shapes at part opacity, raster and antialiased text.
  auto font = LoadFont(16);
  ASSERT_TRUE(font);
  Canvas shapes = Canvas::Create(97, 41);
  shapes.FillPolygon({{3.5, 2}, {90, 9.25}, {40, 39}}, Colour{30, 200, 90, 180});
  shapes.FillRectangle(50, 5, 30, 30, Colour{250, 10, 10, 77});
  TextPen(*font, TextMode::Antialiased).Draw(shapes, "Ag", 2, 3, Colour{255, 255, 255, 255});
  TextPen(*font, TextMode::Raster).Draw(shapes, "x", 60, 10, Colour{0, 0, 255, 140});
  Canvas faded = Canvas::Create(97, 41);
  faded.Paint(shapes, 0, 0, 99);
  for (const Canvas* canvas : {&shapes, &faded})
    EXPECT_EQ(Difference(ToBitmap(*canvas).get(), ThroughPng(*canvas).get()), "");

  // A wholly opaque buffer, which cairo encodes without alpha.
  Canvas opaque = Canvas::Create(5, 4);
  opaque.Fill(Colour{12, 34, 56, 255});
  EXPECT_EQ(Difference(ToBitmap(opaque).get(), ThroughPng(opaque).get()), "");
}

TEST(Canvas, PiecesWithOriginsDrawTheSameAsOneBuffer) {
  const std::vector<PointF> star = {{1, 1}, {37.5, 6}, {9, 27.25}, {20, -4}, {30, 28}};
  Canvas whole = Canvas::Create(40, 30);
  whole.FillPolygon(star, Colour{200, 30, 60, 255});
  whole.FillRectangle(-3, 12.5, 50, 3, Colour{0, 0, 255, 128});
  Bitmap expected = ToBitmap(whole);
  for (int cut : {1, 13, 29}) {
    SCOPED_TRACE(cut);
    Canvas top = Canvas::Create(40, cut), bottom = Canvas::Create(40, 30 - cut);
    bottom.SetOrigin(0, cut);
    for (Canvas* piece : {&top, &bottom}) {
      piece->FillPolygon(star, Colour{200, 30, 60, 255});
      piece->FillRectangle(-3, 12.5, 50, 3, Colour{0, 0, 255, 128});
    }
    Bitmap a = ToBitmap(top), b = ToBitmap(bottom);
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 40; ++x) {
        test::Rgba want = At(expected.get(), x, y);
        test::Rgba got = y < cut ? At(a.get(), x, y) : At(b.get(), x, y - cut);
        ASSERT_TRUE(want.r == got.r && want.g == got.g && want.b == got.b && want.a == got.a) << x << ", " << y;
      }
  }
}

TEST(Canvas, PaintsWithOneOpacityAcrossOverlaps) {
  Canvas shapes = Canvas::Create(20, 10);
  shapes.FillRectangle(0, 0, 12, 10, Colour{255, 0, 0, 255});
  shapes.FillRectangle(8, 0, 12, 10, Colour{255, 0, 0, 255});
  Canvas faded = Canvas::Create(20, 10);
  faded.Paint(shapes, 0, 0, 128);
  Bitmap pixels = ToBitmap(faded);
  for (int x = 0; x < 20; ++x) {
    test::Rgba p = At(pixels.get(), x, 5);
    EXPECT_EQ(p.a, 128) << x;
    EXPECT_EQ(p.r, 255) << x;
  }
}

// FreeImage_Composite of a transparent canvas the size of the image, with the overlay copied
// onto it, over the image.
Bitmap ComposedOnFullCanvas(FIBITMAP* image, FIBITMAP* overlay, int x, int y, bool& pasted) {
  Bitmap canvas(FreeImage_AllocateT(FIT_BITMAP, FreeImage_GetWidth(image), FreeImage_GetHeight(image), 32));
  pasted = FreeImage_Paste(canvas.get(), overlay, x, y, 256);
  return Bitmap(FreeImage_Composite(canvas.get(), FALSE, nullptr, image));
}

TEST(MergeOverlay, EqualsCompositingAFullSizeCanvas) {
  Bitmap image = test::MakeRgb(300, 270, [](int x, int y) {
    return test::Rgba{uint8_t(x + y), uint8_t(x * 3), uint8_t(y * 5 + 1)};
  });
  // Every alpha (one per row) over a spread of colours and backgrounds.
  Bitmap overlay = test::MakeRgba(256, 256, [](int x, int y) {
    return test::Rgba{uint8_t(x), uint8_t(255 - x), uint8_t(x * y), uint8_t(y)};
  });
  bool pasted = false;
  Bitmap expected = ComposedOnFullCanvas(image.get(), overlay.get(), 20, 3, pasted);
  ASSERT_TRUE(pasted);
  Bitmap merged(FreeImage_Clone(image.get()));
  ASSERT_TRUE(MergeOverlay(merged.get(), overlay.get(), 20, 3));
  EXPECT_EQ(Difference(merged.get(), expected.get()), "");
}

TEST(MergeOverlay, RefusesAnOverlayThatDoesNotLieWhollyInside) {
  Bitmap image = test::MakeRgb(50, 40, [](int x, int y) { return test::Rgba{uint8_t(x), uint8_t(y), 9}; });
  Bitmap overlay = test::MakeRgba(20, 10, [](int, int) { return test::Rgba{255, 255, 255, 200}; });
  struct Case {
    int x, y;
    bool fits;
  };
  const Case cases[] = {{0, 0, true}, {30, 30, true}, {-1, 0, false}, {0, -1, false}, {31, 0, false}, {0, 31, false}};
  for (Case c : cases) {
    SCOPED_TRACE(std::to_string(c.x) + ", " + std::to_string(c.y));
    bool pasted = true;
    ComposedOnFullCanvas(image.get(), overlay.get(), c.x, c.y, pasted);
    EXPECT_EQ(pasted, c.fits);  // the canvas agrees
    Bitmap merged(FreeImage_Clone(image.get()));
    EXPECT_EQ(MergeOverlay(merged.get(), overlay.get(), c.x, c.y), c.fits);
    EXPECT_EQ(Difference(merged.get(), image.get()).empty(), !c.fits);
  }
}

TEST(TextPen, RasterTextWritesWholePixelsOverTheBackground) {
  auto font = LoadFont(14);
  ASSERT_TRUE(font);
  TextPen pen(*font, TextMode::Raster);
  ASSERT_TRUE(pen);
  const TextExtent extent = pen.Measure("Sample");
  EXPECT_EQ(extent.width, std::floor(extent.width));
  EXPECT_GT(extent.width, 30);
  EXPECT_GT(extent.height, 14);

  const Colour back{0, 0, 80, 40}, front{255, 255, 0, 200};
  Canvas canvas = Canvas::Create(int(extent.width) + 20, extent.height + 20);
  canvas.Fill(back);
  pen.Draw(canvas, "Sample", 10, 10, front);
  Bitmap pixels = ToBitmap(canvas);
  Canvas plainBack = Canvas::Create(1, 1), plainFront = Canvas::Create(1, 1);
  plainBack.Fill(back);
  plainFront.Fill(front);
  const test::Rgba b = At(ToBitmap(plainBack).get(), 0, 0), f = At(ToBitmap(plainFront).get(), 0, 0);
  int letters = 0;
  for (int y = 0; y < canvas.height(); ++y)
    for (int x = 0; x < canvas.width(); ++x) {
      const test::Rgba p = At(pixels.get(), x, y);
      const bool isFront = p.r == f.r && p.g == f.g && p.b == f.b && p.a == f.a;
      const bool isBack = p.r == b.r && p.g == b.g && p.b == b.b && p.a == b.a;
      ASSERT_TRUE(isFront || isBack) << "blended pixel at " << x << ", " << y;
      if (!isFront) continue;
      ++letters;
      EXPECT_TRUE(x >= 10 && x < 10 + extent.width && y >= 10 && y < 10 + extent.height) << x << ", " << y;
    }
  EXPECT_GT(letters, 40);
}

TEST(TextPen, AntialiasedTextIsSmoothAndFitsItsRasterBox) {
  auto font = LoadFont(14);
  ASSERT_TRUE(font);
  TextPen raster(*font, TextMode::Raster), vector(*font, TextMode::Antialiased);
  const TextExtent box = raster.Measure("Sample"), outline = vector.Measure("Sample");
  EXPECT_NEAR(outline.width, box.width, 3);
  Canvas canvas = Canvas::Create(int(box.width) + 20, box.height + 20);
  vector.Draw(canvas, "Sample", 10, 10, Colour{255, 255, 255, 255});
  Bitmap pixels = ToBitmap(canvas);
  std::set<int> alphas;
  for (int y = 0; y < canvas.height(); ++y)
    for (int x = 0; x < canvas.width(); ++x) {
      const int a = At(pixels.get(), x, y).a;
      alphas.insert(a);
      if (a > 0) {
        EXPECT_TRUE(x >= 9 && x <= 11 + box.width && y >= 10 && y < 10 + box.height) << x << ", " << y;
      }
    }
  EXPECT_GT(alphas.size(), 20u);  // edges in many shades
}

TEST(TextPen, BytesThatAreNoUtf8ShowAsReplacementCharacters) {
  auto font = LoadFont(14);
  ASSERT_TRUE(font);
  TextPen pen(*font, TextMode::Raster);
  EXPECT_EQ(pen.Measure("ab\xff\xfe" "cd").width, pen.Measure("ab\uFFFD\uFFFD" "cd").width);
  EXPECT_GT(pen.Measure("ab\xff" "cd").width, pen.Measure("abcd").width);
}

// Rows of the text in which one run of letter pixels spans at least 80% of the text's width.
std::vector<int> BarRows(const Font& font) {
  TextPen pen(font, TextMode::Raster);
  const TextExtent extent = pen.Measure("Sample");
  Canvas canvas = Canvas::Create(int(extent.width), extent.height);
  pen.Draw(canvas, "Sample", 0, 0, Colour{0, 0, 0, 255});
  Bitmap pixels = ToBitmap(canvas);
  std::vector<int> rows;
  for (int y = 0; y < canvas.height(); ++y) {
    int run = 0, longest = 0;
    for (int x = 0; x < canvas.width(); ++x) {
      run = At(pixels.get(), x, y).a ? run + 1 : 0;
      longest = std::max(longest, run);
    }
    if (longest >= 0.8 * extent.width) rows.push_back(y);
  }
  return rows;
}

TEST(TextPen, StylesAndSizesChangeTheText) {
  auto regular = LoadFont(14), bold = LoadFont(14, true), large = LoadFont(28);
  auto underlined = LoadFont(14, false, true), struck = LoadFont(14, false, false, true);
  ASSERT_TRUE(regular && bold && large && underlined && struck);
  const TextExtent r = TextPen(*regular, TextMode::Raster).Measure("Sample");
  EXPECT_GT(TextPen(*bold, TextMode::Raster).Measure("Sample").width, r.width);
  const TextExtent l = TextPen(*large, TextMode::Raster).Measure("Sample");
  EXPECT_NEAR(l.height, 2 * r.height, 3);
  EXPECT_NEAR(l.width, 2 * r.width, 6);
  EXPECT_EQ(TextPen(*regular, TextMode::Raster).Measure("agy").height, r.height);  // one line height

  EXPECT_TRUE(BarRows(*regular).empty());
  const std::vector<int> under = BarRows(*underlined), through = BarRows(*struck);
  ASSERT_FALSE(under.empty());
  ASSERT_FALSE(through.empty());
  EXPECT_GT(under.front(), r.height * 2 / 3);  // beneath the letters
  EXPECT_LT(through.back(), under.front());
  EXPECT_GT(through.front(), r.height / 4);
}

TEST(Pictures, LoadByContentWithTheirDepth) {
  test::TempDir dir;
  Bitmap rgba = test::MakeRgba(7, 5, [](int x, int y) { return test::Rgba{200, 100, 50, uint8_t(x * 30 + y)}; });
  Bitmap rgb = test::MakeRgb(7, 5, [](int, int) { return test::Rgba{200, 100, 50}; });
  Bitmap palette(FreeImage_ColorQuantize(rgb.get(), FIQ_WUQUANT));
  ASSERT_TRUE(FreeImage_Save(FIF_PNG, rgba.get(), (dir / "a.png").c_str(), 0));
  ASSERT_TRUE(FreeImage_Save(FIF_JPEG, rgb.get(), (dir / "b.jpg").c_str(), 100));
  ASSERT_TRUE(FreeImage_Save(FIF_BMP, rgb.get(), (dir / "c.bmp").c_str(), 0));
  ASSERT_TRUE(FreeImage_Save(FIF_BMP, palette.get(), (dir / "d.bmp").c_str(), 0));
  ASSERT_TRUE(FreeImage_Save(FIF_PNG, rgb.get(), (dir / "named-wrongly.jpg").c_str(), 0));
  struct Case {
    const char* name;
    int depth;
  };
  const Case cases[] = {{"a.png", 32}, {"b.jpg", 24}, {"c.bmp", 24}, {"d.bmp", 8}, {"named-wrongly.jpg", 24}};
  for (Case c : cases) {
    SCOPED_TRACE(c.name);
    std::string why;
    Picture picture = LoadPicture(dir / c.name, 1000, why);
    ASSERT_TRUE(picture.pixels) << why;
    EXPECT_EQ(picture.depth, c.depth);
    EXPECT_EQ(FreeImage_GetBPP(picture.pixels.get()), 32u);
    const test::Rgba p = At(picture.pixels.get(), 6, 4);
    EXPECT_NEAR(p.r, 200, 3);
    EXPECT_NEAR(p.b, 50, 3);
    EXPECT_EQ(p.a, c.depth == 32 ? 6 * 30 + 4 : 255);
  }
  test::WriteFile(dir / "notes.png", "not a picture at all");
  for (const char* name : {"notes.png", "missing.png"}) {
    SCOPED_TRACE(name);
    std::string why;
    EXPECT_FALSE(LoadPicture(dir / name, 1000, why).pixels);
    EXPECT_FALSE(why.empty());
  }
  std::string why;
  EXPECT_FALSE(LoadPicture(dir / "a.png", 34, why).pixels);  // 35 pixels
  EXPECT_NE(why.find("7 x 5"), std::string::npos) << why;
}

TEST(Pictures, DrawWithOpacityAndFilterWritingAllChannels) {
  Picture picture;
  picture.pixels = test::MakeRgba(4, 3, [](int x, int y) { return test::Rgba{200, 100, 50, uint8_t(x * 80 + y)}; });
  Canvas canvas = Canvas::Create(4, 3);
  canvas.Fill(Colour{1, 2, 3, 255});  // overwritten, not blended with
  DrawPicture(canvas, picture, 128);
  Bitmap pixels = ToBitmap(canvas);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) {
      SCOPED_TRACE(std::to_string(x) + ", " + std::to_string(y));
      const test::Rgba p = At(pixels.get(), x, y);
      const int alpha = 128 * (x * 80 + y) / 255;
      EXPECT_EQ(p.a, alpha);
      if (alpha > 30) {
        EXPECT_NEAR(p.r, 200, 255 / alpha + 1);
      }
    }
  DrawPicture(canvas, picture, 255, [](Colour c) { return Colour{c.blue, c.green, c.red, 255}; });
  EXPECT_EQ(At(ToBitmap(canvas).get(), 0, 0).b, 200);
  EXPECT_EQ(At(ToBitmap(canvas).get(), 0, 0).a, 255);
}

}  // namespace
}  // namespace rastello
