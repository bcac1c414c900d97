// Rotation, resizing, flips and colour options, end to end: the JPEG written is checked.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "cli_fixture.h"

namespace rastello::test {
namespace {

// JPEG at quality 95 with 4:4:4 keeps a flat area within a few levels; the centres sampled
// are well away from any edge.
constexpr int kTolerance = 12;

const Rgba kRed{255, 0, 0, 255}, kGreen{0, 255, 0, 255}, kBlue{0, 0, 255, 255}, kYellow{255, 255, 0, 255};

// Four flat quadrants: red top left, green top right, blue bottom left, yellow bottom right.
Rgba Quadrant(int x, int y, int w, int h) {
  if (y < h / 2) return x < w / 2 ? kRed : kGreen;
  return x < w / 2 ? kBlue : kYellow;
}

struct Corners {
  Rgba topLeft, topRight, bottomLeft, bottomRight;
};

std::string Show(const Rgba& c) { return std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b); }

void ExpectNear(const Rgba& actual, const Rgba& expected, const std::string& where) {
  EXPECT_TRUE(std::abs(actual.r - expected.r) <= kTolerance && std::abs(actual.g - expected.g) <= kTolerance &&
              std::abs(actual.b - expected.b) <= kTolerance)
      << where << ": " << Show(actual) << ", expected " << Show(expected);
}

// Looks at the centre of each quadrant of the picture.
void ExpectQuadrants(FIBITMAP* dib, const Corners& expected) {
  const int w = static_cast<int>(FreeImage_GetWidth(dib)), h = static_cast<int>(FreeImage_GetHeight(dib));
  ExpectNear(PixelAt(dib, w / 4, h / 4), expected.topLeft, "top left");
  ExpectNear(PixelAt(dib, 3 * w / 4, h / 4), expected.topRight, "top right");
  ExpectNear(PixelAt(dib, w / 4, 3 * h / 4), expected.bottomLeft, "bottom left");
  ExpectNear(PixelAt(dib, 3 * w / 4, 3 * h / 4), expected.bottomRight, "bottom right");
}

Rgba Inverted(Rgba c) { return Rgba{uint8_t(255 - c.r), uint8_t(255 - c.g), uint8_t(255 - c.b), 255}; }
const Rgba kBlack{0, 0, 0, 255}, kWhite{255, 255, 255, 255};

class StepsCliTest : public CliTest {
 protected:
  void SetUp() override {
    SavePng(MakeRgb(64, 40, [](int x, int y) { return Quadrant(x, y, 64, 40); }).get(), dir / "q.png");
    // One clear pixel, or the PNG writer would drop the alpha channel.
    SavePng(MakeRgba(64, 40,
                     [](int x, int y) {
                       Rgba c = Quadrant(x, y, 64, 40);
                       if (x == 0 && y == 0) c.a = 0;
                       return c;
                     })
                .get(),
            dir / "qa.png");
  }
  // Converts `input` with `options`; the JPEG written, or null.
  Bitmap Convert(const std::string& input, const std::vector<std::string>& options) {
    std::vector<std::string> args = {"-i", dir / input};
    args.insert(args.end(), options.begin(), options.end());
    ProgramResult r = Run(args);
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    std::string jpg = dir / (input.substr(0, input.size() - 4) + ".jpg");
    return Exists(jpg) ? LoadAny(jpg) : Bitmap();
  }
};

TEST_F(StepsCliTest, QuarterTurnThenPercentResize) {
  ProgramResult r = Run({"-i", dir / "q.png", "-d", "--rotation=90", "--width=50", "--height=50",
                         "--width-unit=percent", "--height-unit=percent"});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  // The percentages apply to the turned 40 x 64.
  Bitmap jpg = LoadAny(dir / "q.jpg");
  ASSERT_TRUE(jpg);
  EXPECT_EQ(FreeImage_GetWidth(jpg.get()), 20u);
  EXPECT_EQ(FreeImage_GetHeight(jpg.get()), 32u);
  // Counter-clockwise: the right half comes to the top.
  ExpectQuadrants(jpg.get(), {kGreen, kYellow, kRed, kBlue});

  std::vector<std::string> lines = r.lines();
  const std::vector<std::string> listed = {
      "Image Rotation Type: simple",
      "Image Rotation: 90",
      "Image Rotation Back Color: 000000",
      "Width: 50 percent",
      "Height: 50 percent",
      "Keep Aspect Ratio: 0",
      "Image Resize Type: allimages",
      "Image Resize Algorithm: bicubic",
  };
  auto at = std::search(lines.begin(), lines.end(), listed.begin(), listed.end());
  EXPECT_NE(at, lines.end()) << r.out;
}

TEST_F(StepsCliTest, TheSizeTokensSeeTheTurnedAndResizedSize) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--rotation=90"}, "q_40x64.jpg"},
      {{"--rotation=90", "--width=50", "--height=25", "--width-unit=percent", "--height-unit=percent"}, "q_20x16.jpg"},
      {{"--rotation=90", "--rotation-type=advanced"}, "q_64x40.jpg"},
  };
  for (const auto& [options, name] : cases) {
    SCOPED_TRACE(name);
    std::vector<std::string> args = {"-i", dir / "q.png", "--filename-mask=%filename%_%width%x%height%.%ext%"};
    args.insert(args.end(), options.begin(), options.end());
    ProgramResult r = Run(args);
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_TRUE(Exists(dir / name));
  }
}

struct ConversionCase {
  const char* name;
  const char* input;  // q.png (24-bit) or qa.png (32-bit with alpha)
  std::vector<std::string> options;
  unsigned width, height;
  Corners quadrants;
};

TEST_F(StepsCliTest, EachOptionShowsInThePicture) {
  const std::vector<ConversionCase> cases = {
      {"nothing", "q.png", {}, 64, 40, {kRed, kGreen, kBlue, kYellow}},
      {"horizontal flip", "q.png", {"--flip-horizontal"}, 64, 40, {kGreen, kRed, kYellow, kBlue}},
      {"vertical flip", "q.png", {"--flip-vertical"}, 64, 40, {kBlue, kYellow, kRed, kGreen}},
      {"both flips", "q.png", {"--flip-horizontal", "--flip-vertical"}, 64, 40, {kYellow, kBlue, kGreen, kRed}},
      {"half turn, advanced",
       "q.png",
       {"--rotation=180", "--rotation-type=advanced"},
       64,
       40,
       {kYellow, kBlue, kGreen, kRed}},
      // The turn comes before the flip.
      {"quarter turn, then the flip",
       "q.png",
       {"--rotation=90", "--flip-horizontal"},
       40,
       64,
       {kYellow, kGreen, kBlue, kRed}},
      {"three-quarter turn", "qa.png", {"--rotation=270"}, 40, 64, {kBlue, kRed, kYellow, kGreen}},
      {"full turn", "q.png", {"--rotation=360"}, 64, 40, {kRed, kGreen, kBlue, kYellow}},
      {"width rules a landscape picture",
       "q.png",
       {"--width=32", "--height=100", "--keep-aspect-ratio"},
       32,
       20,
       {kRed, kGreen, kBlue, kYellow}},
      {"large pictures only",
       "q.png",
       {"--width=100", "--height=100", "--resize-type=largeimages"},
       64,
       40,
       {kRed, kGreen, kBlue, kYellow}},
      {"pixels and percent",
       "q.png",
       {"--width=32", "--height=150", "--height-unit=percent", "--resize-algorithm=box"},
       32,
       60,
       {kRed, kGreen, kBlue, kYellow}},
      {"inverted",
       "q.png",
       {"--invert"},
       64,
       40,
       {Inverted(kRed), Inverted(kGreen), Inverted(kBlue), Inverted(kYellow)}},
      // Red and blue are darker than middle grey by any weighting, green and yellow lighter.
      {"threshold", "q.png", {"--threshold=128"}, 64, 40, {kBlack, kWhite, kBlack, kWhite}},
      {"dither", "q.png", {"--dither=bayer4"}, 64, 40, {kBlack, kWhite, kBlack, kWhite}},
  };
  for (const ConversionCase& c : cases) {
    SCOPED_TRACE(c.name);
    Bitmap jpg = Convert(c.input, c.options);
    ASSERT_TRUE(jpg);
    EXPECT_EQ(FreeImage_GetWidth(jpg.get()), c.width);
    EXPECT_EQ(FreeImage_GetHeight(jpg.get()), c.height);
    ExpectQuadrants(jpg.get(), c.quadrants);
  }
}

TEST_F(StepsCliTest, SimpleRotationFillsTheGrownCornersWithTheBackColour) {
  // Also for a picture with an alpha channel, whose corners must not end up white.
  for (const char* input : {"q.png", "qa.png"}) {
    SCOPED_TRACE(input);
    Bitmap jpg = Convert(input, {"--rotation=45", "--rotation-back-color=FF00FF"});
    ASSERT_TRUE(jpg);
    // (64 + 40) / sqrt(2) = 73.5 a side.
    const int w = static_cast<int>(FreeImage_GetWidth(jpg.get())), h = static_cast<int>(FreeImage_GetHeight(jpg.get()));
    EXPECT_NEAR(w, 74, 2);
    EXPECT_NEAR(h, 74, 2);
    for (auto [x, y] : {std::pair{1, 1}, {w - 2, 1}, {1, h - 2}, {w - 2, h - 2}})
      ExpectNear(PixelAt(jpg.get(), x, y), Rgba{255, 0, 255, 255},
                 "corner " + std::to_string(x) + "," + std::to_string(y));
    // Turned counter-clockwise by 45 degrees: the top right quadrant now lies above the
    // centre, the top left one to its left.
    ExpectNear(PixelAt(jpg.get(), w / 2, h / 2 - 10), kGreen, "above the centre");
    ExpectNear(PixelAt(jpg.get(), w / 2 - 10, h / 2), kRed, "left of the centre");
    ExpectNear(PixelAt(jpg.get(), w / 2, h / 2 + 10), kBlue, "below the centre");
    ExpectNear(PixelAt(jpg.get(), w / 2 + 10, h / 2), kYellow, "right of the centre");
  }
}

TEST_F(StepsCliTest, GreyscaleKeepsTheOrderOfLightnessAndInversionReversesIt) {
  Bitmap grey = Convert("q.png", {"--greyscale"});
  ASSERT_TRUE(grey);
  std::rename((dir / "q.jpg").c_str(), (dir / "grey.jpg").c_str());
  Bitmap inverted = Convert("q.png", {"--greyscale", "--invert"});
  ASSERT_TRUE(inverted);
  auto level = [](FIBITMAP* dib, int x, int y) {
    Rgba c = PixelAt(dib, x, y);
    EXPECT_LE(std::abs(c.r - c.g) + std::abs(c.g - c.b), 4) << Show(c) << " is no grey";
    return int(c.g);
  };
  // Quadrant centres: red, green, blue, yellow.
  const std::pair<int, int> centres[] = {{16, 10}, {48, 10}, {16, 30}, {48, 30}};
  int g[4], v[4];
  for (int i = 0; i < 4; ++i) {
    g[i] = level(grey.get(), centres[i].first, centres[i].second);
    v[i] = level(inverted.get(), centres[i].first, centres[i].second);
    EXPECT_NEAR(g[i] + v[i], 255, kTolerance) << i;
  }
  // Yellow, then green, then red, then blue, by any luminance weighting.
  EXPECT_GT(g[3], g[1]);
  EXPECT_GT(g[1], g[0]);
  EXPECT_GT(g[0], g[2]);
}

TEST_F(StepsCliTest, ColourCorrectionComesBeforeTheThreshold) {
  // Grey 100 brightened by 60 % is 160, white at a threshold of 128; the other way round
  // the black of the threshold would only turn dark grey.
  SavePng(MakeRgb(16, 16, [](int, int) { return Rgba{100, 100, 100, 255}; }).get(), dir / "grey.png");
  Bitmap jpg = Convert("grey.png", {"--brightness=60", "--threshold=128"});
  ASSERT_TRUE(jpg);
  ExpectNear(PixelAt(jpg.get(), 8, 8), Rgba{255, 255, 255, 255}, "centre");
}

struct FailureCase {
  const char* name;
  const char* input;
  std::vector<std::string> options;
  std::string reason;  // on standard error
};

TEST_F(StepsCliTest, AnImpossibleSizeFailsWithItsReason) {
  SavePng(MakeRgb(300, 2, [](int x, int) { return Rgba{uint8_t(x), 0, 0, 255}; }).get(), dir / "strip.png");
  const std::vector<FailureCase> cases = {
      {"beyond the side limit",
       "q.png",
       {"--width=70000", "--height=10"},
       "cannot resize the image to 70000 x 10 pixels (the limit is 500 megapixels and 65500 pixels a side)"},
      {"beyond the pixel limit",
       "q.png",
       {"--width=100000", "--height=100000", "--width-unit=percent", "--height-unit=percent"},
       "cannot resize the image to 64000 x 40000 pixels (the limit is 500 megapixels and 65500 pixels a side)"},
      {"a kept ratio rounding to nothing",
       "strip.png",
       {"--width=1", "--height=5", "--keep-aspect-ratio"},
       "cannot resize the image to 1 x 0 pixels"},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args = {"-i", dir / c.input};
    args.insert(args.end(), c.options.begin(), c.options.end());
    ProgramResult r = Run(args);
    EXPECT_EQ(r.exitCode, 1);
    ASSERT_FALSE(r.lines().empty());
    EXPECT_EQ(r.lines().back(), "Conversion stopped");
    EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
  }
  EXPECT_EQ(ListFolder(dir.path()), (std::vector<std::string>{"q.png", "qa.png", "strip.png"}));
}

}  // namespace
}  // namespace rastello::test
