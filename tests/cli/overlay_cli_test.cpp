// Frames and watermarks through the command line: where they land in the saved JPG.
#include <algorithm>
#include <climits>
#include <cstdlib>

#include "cli_fixture.h"

namespace rastello::test {
namespace {

struct Area {
  int x0 = INT_MAX, y0 = INT_MAX, x1 = -1, y1 = -1;
};

// Where the saved picture is strongly red.
Area RedArea(FIBITMAP* dib) {
  Bitmap rgb(FreeImage_ConvertTo24Bits(dib));
  const int w = int(FreeImage_GetWidth(rgb.get())), h = int(FreeImage_GetHeight(rgb.get()));
  Area a;
  for (int y = 0; y < h; ++y) {
    const BYTE* line = FreeImage_GetScanLine(rgb.get(), h - 1 - y);
    for (int x = 0; x < w; ++x) {
      const BYTE* p = line + 3 * x;
      if (p[FI_RGBA_RED] > 180 && p[FI_RGBA_GREEN] < 90 && p[FI_RGBA_BLUE] < 90)
        a = {std::min(a.x0, x), std::min(a.y0, y), std::max(a.x1, x), std::max(a.y1, y)};
    }
  }
  return a;
}

bool Near(Rgba p, Rgba q, int tolerance) {
  return std::abs(p.r - q.r) <= tolerance && std::abs(p.g - q.g) <= tolerance && std::abs(p.b - q.b) <= tolerance;
}

class OverlayCliTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    SavePng(MakeRgb(200, 150, [](int, int) { return Rgba{128, 128, 128}; }).get(), dir / "grey.png");
    SavePng(MakeRgb(20, 12, [](int, int) { return Rgba{255, 0, 0}; }).get(), dir / "logo.png");
  }
  // Converts grey.png with `options` into `name`.jpg and loads the result.
  Bitmap Convert(const std::string& name, std::vector<std::string> options) {
    std::vector<std::string> args = {"-q", "-i", dir / "grey.png", "--filename-mask=" + name + ".%ext%"};
    args.insert(args.end(), options.begin(), options.end());
    last = Run(args);
    EXPECT_EQ(last.exitCode, 0) << last.out << last.err;
    EXPECT_EQ(last.out, "");
    return LoadAny(dir / (name + ".jpg"));
  }
  ProgramResult last;
};

TEST_F(OverlayCliTest, AFrameCoversTheEdgesInTheirColours) {
  Bitmap framed =
      Convert("framed", {"--fr-solid-left=10", "--fr-solid-right=10", "--fr-solid-top=10", "--fr-solid-bottom=10",
                         "--fr-solid-left-color=FF0000", "--fr-solid-right-color=00FF00", "--fr-solid-top-color=0000FF",
                         "--fr-solid-bottom-color=FFFF00"});
  ASSERT_TRUE(framed);
  EXPECT_EQ(FreeImage_GetWidth(framed.get()), 200u);
  struct Probe {
    int x, y;
    Rgba colour;
  };
  const Probe probes[] = {{3, 75, {255, 0, 0}},      {196, 75, {0, 255, 0}},     {100, 3, {0, 0, 255}},
                          {100, 146, {255, 255, 0}}, {100, 75, {128, 128, 128}}, {12, 12, {128, 128, 128}}};
  for (const Probe& p : probes) EXPECT_TRUE(Near(PixelAt(framed.get(), p.x, p.y), p.colour, 12)) << p.x << ", " << p.y;
}

TEST_F(OverlayCliTest, WatermarksLandWhereTheSettingsSay) {
  const std::vector<std::string> redBox = {"--wm-text=Hello", "--wm-font-color=FF0000", "--wm-back-color=FF0000",
                                           "--wm-back-opacity=255", "--wm-text-padding=2"};
  auto with = [&redBox](std::vector<std::string> more) {
    more.insert(more.begin(), redBox.begin(), redBox.end());
    return more;
  };
  struct Case {
    const char* name;
    std::vector<std::string> options;
    int x0, y0, x1, y1;  // -1: not checked
  };
  const Case cases[] = {
      {"raster", with({}), -1, -1, 189, 139},
      {"antialiased", with({"--wm-text-antialiasing"}), -1, -1, 189, 139},
      {"topleft", with({"--wm-text-position=topleft", "--wm-text-x-offset=5", "--wm-text-y-offset=7"}), 5, 7, -1, -1},
      {"in-frame",
       with({"--wm-text-position=topleft", "--wm-text-boundary=frame", "--fr-solid-left=20", "--fr-solid-top=30",
             "--fr-solid-left-color=808080", "--fr-solid-top-color=808080"}),
       30, 40, -1, -1},
      {"picture", {"--wm-image=" + dir / "logo.png", "--wm-image-position=middlecenter"}, 90, 69, 109, 80},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bitmap stamped = Convert(c.name, c.options);
    ASSERT_TRUE(stamped);
    const Area a = RedArea(stamped.get());
    ASSERT_GE(a.x1, 0) << "no watermark";
    const std::pair<int, int> edges[] = {{a.x0, c.x0}, {a.y0, c.y0}, {a.x1, c.x1}, {a.y1, c.y1}};
    for (auto [found, wanted] : edges) {
      if (wanted >= 0) {
        EXPECT_NEAR(found, wanted, 1);
      }
    }
  }
}

TEST_F(OverlayCliTest, AWatermarkFileThatIsNoPictureIsLeftOut) {
  WriteFile(dir / "notes.png", "these are notes, not a picture");
  Bitmap plain = Convert("plain", {});
  Bitmap stamped = Convert("stamped", {"--wm-image=" + dir / "notes.png"});
  EXPECT_EQ(last.err, "");  // not a failure of the file
  ASSERT_TRUE(plain && stamped);
  EXPECT_EQ(ReadFile(dir / "plain.jpg"), ReadFile(dir / "stamped.jpg"));
}

}  // namespace
}  // namespace rastello::test
