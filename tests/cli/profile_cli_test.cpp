// Profile files, end to end: what a profile sets reaches the converted picture.
#include <sys/stat.h>

#include <algorithm>

#include "cli_fixture.h"

namespace rastello::test {
namespace {

class ProfileCliTest : public CliTest {
 protected:
  std::string Profile(const std::string& entries) {
    WriteFile(dir / "p.ini", "[CLI]\n" + entries);
    return "--profile=" + (dir / "p.ini");
  }
  static bool Lists(const ProgramResult& r, const std::string& line) {
    std::vector<std::string> lines = r.lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
};

TEST_F(ProfileCliTest, RotationAndResizeFromAProfile) {
  SavePng(MakeRgb(64, 40,
                  [](int x, int) {
                    return x < 32 ? Rgba{255, 0, 0, 255} : Rgba{0, 0, 255, 255};
                  })
              .get(),
          dir / "q.png");
  std::string profile =
      Profile("--rotation=90\n--width=50\n--height = 50\n--width-unit=percent\n--height-unit = PERCENT\n");
  ProgramResult r = Run({"-i", dir / "q.png", profile});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  Bitmap jpg = LoadAny(dir / "q.jpg");
  ASSERT_TRUE(jpg);
  EXPECT_EQ(FreeImage_GetWidth(jpg.get()), 20u);
  EXPECT_EQ(FreeImage_GetHeight(jpg.get()), 32u);
  // The right (blue) half turned to the top.
  Rgba top = PixelAt(jpg.get(), 10, 6), bottom = PixelAt(jpg.get(), 10, 26);
  EXPECT_GT(top.b, 200);
  EXPECT_LT(top.r, 40);
  EXPECT_GT(bottom.r, 200);
  EXPECT_LT(bottom.b, 40);
}

TEST_F(ProfileCliTest, OptionsAfterTheProfileOverrideIt) {
  SavePng(MakeRgb(64, 64,
                  [](int x, int y) {
                    return Rgba{uint8_t(x * 37 + y * 11), uint8_t(x * y), uint8_t(y * 53), 255};
                  })
              .get(),
          dir / "n.png");
  std::string profile = Profile("--jpg-quality=10\n");
  ProgramResult low = Run({"-i", dir / "n.png", "-d", "--jpg-quality=95", profile});
  ASSERT_EQ(low.exitCode, 0) << low.out;
  EXPECT_TRUE(Lists(low, "JPG Quality: 10"));
  const size_t lowSize = ReadFile(dir / "n.jpg").size();
  ProgramResult high = Run({"-i", dir / "n.png", "-d", profile, "--jpg-quality=95"});
  ASSERT_EQ(high.exitCode, 0) << high.out;
  EXPECT_TRUE(Lists(high, "JPG Quality: 95"));
  const size_t highSize = ReadFile(dir / "n.jpg").size();
  EXPECT_GT(highSize, 2 * lowSize);
}

struct ListingCase {
  const char* name;
  std::string entries;
  std::vector<std::string> options;
  std::string line;  // a line the debug listing must hold
};

TEST_F(ProfileCliTest, WhatTheProfileSetsIsListed) {
  const std::vector<ListingCase> cases = {
      {"frame opacity by its profile word", "--WM-SOLID-OPACITY=100\n", {"--fr-solid-left=3"}, "Frame opacity: 100"},
      {"not by the command-line word", "--FR-SOLID-OPACITY=100\n", {"--fr-solid-left=3"}, "Frame opacity: 255"},
      {"a switch is set by its presence", "--invert = 0\n", {}, "Invert: 1"},
      {"text values keep their quotes",
       "--rotation-back-color = \"FF0000\"\n",
       {"--rotation=10"},
       "Image Rotation Back Color: \"FF0000\""},
      {"the mask loses them",
       "--filename-mask = \"%filename% copy.%ext%\"\n",
       {},
       "Filename Mask: %filename% copy.%ext%"},
  };
  for (const ListingCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args = {"-i", dir / "a.png", "-d", Profile(c.entries)};
    args.insert(args.end(), c.options.begin(), c.options.end());
    ProgramResult r = Run(args);
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(Lists(r, c.line)) << r.out;
  }
  EXPECT_TRUE(Exists(dir / "a copy.jpg"));
}

TEST_F(ProfileCliTest, AWidthFromTheProfileNeedsAHeight) {
  ProgramResult r = Run({"-i", dir / "a.png", Profile("--width=800\n")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(AfterBanner(r), (std::vector<std::string>{"Preparing...", "Error: Invalid height value"}));
  ProgramResult fixed = Run({"-i", dir / "a.png", Profile("--width=800\n"), "--height=600"});
  EXPECT_EQ(fixed.exitCode, 0) << fixed.out;
  Bitmap jpg = LoadAny(dir / "a.jpg");
  ASSERT_TRUE(jpg);
  EXPECT_EQ(FreeImage_GetWidth(jpg.get()), 800u);
  EXPECT_EQ(FreeImage_GetHeight(jpg.get()), 600u);
}

TEST_F(ProfileCliTest, AProfileThatCannotBeReadStopsBeforeAnything) {
  ::mkdir((dir / "folder.ini").c_str(), 0755);
  for (const char* name : {"missing.ini", "folder.ini"}) {
    SCOPED_TRACE(name);
    ProgramResult r = Run({"-i", dir / "a.png", "--profile=" + (dir / name), "--jpg-quality=0"});
    EXPECT_EQ(r.exitCode, 2);
    // The error line only: no banner, and the bad quality after it is never looked at.
    EXPECT_EQ(r.lines(), (std::vector<std::string>{"Error: Invalid profile file"}));
  }
  EXPECT_EQ(ListFolder(dir.path()), (std::vector<std::string>{"a.png", "folder.ini"}));
}

}  // namespace
}  // namespace rastello::test
