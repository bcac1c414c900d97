// Profile files: the file format, the keys they take and how their values are stored.
#include "app/profile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "engine/session.h"
#include "settings/settings.h"
#include "support/temp_dir.h"

namespace rastello {
namespace {

Settings Defaults() {
  Settings s;
  ResetSettings(s, true);
  return s;
}

// Keys of the settings whose values differ, in table order.
std::vector<std::string> Changed(const Settings& a, const Settings& b) {
  std::vector<std::string> keys;
  for (const SettingInfo& info : SettingsTable()) {
    bool same = true;
    if (auto text = std::get_if<std::string Settings::*>(&info.field))
      same = a.**text == b.**text;
    else if (auto real = std::get_if<float Settings::*>(&info.field))
      same = a.**real == b.**real;
    else
      same = NumericValue(a, info.field) == NumericValue(b, info.field);
    if (!same) keys.push_back(std::string(info.group) + "/" + info.key);
  }
  return keys;
}

using Keys = std::vector<std::string>;

struct ProfileCase {
  const char* name;
  std::string bytes;  // the whole file
  Keys changed;       // every setting the file changes
  std::function<void(const Settings&)> check = nullptr;
};

TEST(ApplyProfileTest, ReadsTheFirstCliGroupByTheFileRules) {
  const std::vector<ProfileCase> cases = {
      {"the example profile",
       "[CLI]\n--jpg-quality = 85\n--width=1024\n--height=768\n--keep-aspect-ratio=1\n"
       "--resize-algorithm = lanczos\n--wm-text = Sample\n--wm-text-position = bottomright\n",
       {"Output/JPG Quality", "Transform/Do Image Resize", "Transform/Image Width", "Transform/Image Height",
        "Transform/Keep Aspect Ratio", "Transform/Image Resize Algorithm", "Watermark/Do Watermark", "Watermark/Text"},
       [](const Settings& s) {
         EXPECT_EQ(s.JPGQuality, 85);
         EXPECT_EQ(s.ImageWidth, 1024);
         EXPECT_EQ(s.ImageHeight, 768);
         EXPECT_EQ(s.DoImageResize, 1);
         EXPECT_EQ(s.KeepAspectRatio, 1);
         EXPECT_EQ(s.ImageResizeAlgorithm, 5);
         EXPECT_EQ(s.Text, "Sample");
         EXPECT_EQ(s.DoWatermark, 1);
         EXPECT_EQ(s.TextPosition, 8);  // also the default
       }},
      {"empty file", "", {}},
      {"only another group", "[Settings]\n--jpg-quality=10\n", {}},
      {"entries before any group", "--jpg-quality=10\n[CLI]\n", {}},
      {"second CLI group ignored",
       "[CLI]\n--jpg-quality=80\n[Other]\n--jpg-quality=70\n[cli]\n--jpg-quality=60\n",
       {"Output/JPG Quality"},
       [](const Settings& s) { EXPECT_EQ(s.JPGQuality, 80); }},
      {"group name in any case, after another group",
       "[Other]\n--jpg-quality=70\n[cLi]\n--jpg-quality=60\n",
       {"Output/JPG Quality"},
       [](const Settings& s) { EXPECT_EQ(s.JPGQuality, 60); }},
      {"group name up to the bracket",
       "[CLI] trailing words\n--jpg-quality=61\n",
       {"Output/JPG Quality"},
       [](const Settings& s) { EXPECT_EQ(s.JPGQuality, 61); }},
      {"group header without its bracket",
       "[CLI\n--jpg-quality=62\n",
       {"Output/JPG Quality"},
       [](const Settings& s) { EXPECT_EQ(s.JPGQuality, 62); }},
      {"later entry wins",
       "[CLI]\n--jpg-quality=80\n--JPG-QUALITY=81\n",
       {"Output/JPG Quality"},
       [](const Settings& s) { EXPECT_EQ(s.JPGQuality, 81); }},
      {"comments, blank lines, indented keys, tabs",
       "; a comment\n[CLI]\n\n  ; --jpg-quality=10\n\t --jpg-quality \t=\t 77 \t\n",
       {"Output/JPG Quality"},
       [](const Settings& s) { EXPECT_EQ(s.JPGQuality, 77); }},
      {"CR line ends",
       "[CLI]\r--jpg-quality=70\r--contrast=5\r",
       {"Output/JPG Quality", "Adjustment/Do Image Color Correction", "Adjustment/Image Contrast"},
       [](const Settings& s) {
         EXPECT_EQ(s.JPGQuality, 70);
         EXPECT_EQ(s.ImageContrast, 5);
       }},
      {"CR LF line ends",
       "[CLI]\r\n--jpg-quality=71\r\n--wm-font=Serif\r\n",
       {"Output/JPG Quality", "Watermark/Font"},
       [](const Settings& s) {
         EXPECT_EQ(s.JPGQuality, 71);
         EXPECT_EQ(s.Font, "Serif");
       }},
      {"key up to the first equals sign",
       "[CLI]\n--wm-text=a=b\n",
       {"Watermark/Do Watermark", "Watermark/Text"},
       [](const Settings& s) { EXPECT_EQ(s.Text, "a=b"); }},
      {"a line without an equals sign matches nothing", "[CLI]\n--invert\n--greyscale\n", {}},
      {"unknown keys and one-letter forms", "[CLI]\n--no-such-option=1\n-q=1\nquality=5\n", {}},
      // Front-end options are no profile keys.
      {"front-end options ignored",
       "[CLI]\n--input=a.png\n--output=/tmp\n--conversion=bmp\n--debug=1\n--quiet=1\n--pause=1\n"
       "--profile=other.ini\n--help=1\n--version=1\n-i=a.png\n-d=1\n",
       {}},
      {"frame opacity goes by its profile word",
       "[CLI]\n--FR-SOLID-OPACITY=128\n--wm-solid-opacity=100\n",
       {"Frame/Solid Opacity"},
       [](const Settings& s) { EXPECT_EQ(s.SolidOpacity, 100); }},
      {"the command-line opacity word changes nothing", "[CLI]\n--FR-SOLID-OPACITY=128\n", {}},
      {"text values keep their quotes",
       "[CLI]\n--wm-text=\"Hello\"\n--wm-font = \"Serif\"\n",
       {"Watermark/Do Watermark", "Watermark/Text", "Watermark/Font"},
       [](const Settings& s) {
         EXPECT_EQ(s.Text, "\"Hello\"");
         EXPECT_EQ(s.Font, "\"Serif\"");
       }},
      {"but the filename mask loses them",
       "[CLI]\n--filename-mask = \"\" %filename% copy.%ext%\"\n",
       {"Advanced/Filename Mask"},
       [](const Settings& s) { EXPECT_EQ(s.FilenameMask, " %filename% copy.%ext%"); }},
      {"switches are set by their presence",
       "[CLI]\n--keep-aspect-ratio=0\n--invert = 0\n--flip-horizontal=no\n--greyscale=\n--no-subfolders=1\n",
       {"Transform/Keep Aspect Ratio", "Transform/Do Image Flip Horizontal", "Adjustment/Do Image Color Correction",
        "Adjustment/Image Invert", "Adjustment/Do Image Greyscale", "Advanced/Keep Subfolders"},
       [](const Settings& s) {
         EXPECT_EQ(s.KeepAspectRatio, 1);
         EXPECT_EQ(s.ImageInvert, 1);
         EXPECT_EQ(s.DoImageGreyscale, 1);
         EXPECT_EQ(s.KeepSubfolders, 0);
       }},
      {"second settings",
       "[CLI]\n--rotation=90\n--threshold=100\n--dither=bayer16\n--wm-image=logo.png\n--gamma=2.5\n",
       {"Transform/Do Image Rotation", "Transform/Image Rotation", "Adjustment/Do Image Color Correction",
        "Adjustment/Image Gamma", "Adjustment/Do Image Threshold", "Adjustment/Image Threshold",
        "Adjustment/Do Image Dither", "Adjustment/Image Dither Algorithm", "Watermark/Do Watermark", "Watermark/Image"},
       [](const Settings& s) {
         EXPECT_EQ(s.ImageDitherAlgorithm, 3);
         EXPECT_EQ(s.DoWatermark, 2);
         EXPECT_FLOAT_EQ(s.ImageGamma, 2.5f);
       }},
      {"a width alone also switches resizing on",
       "[CLI]\n--width=800\n",
       {"Transform/Do Image Resize", "Transform/Image Width"}},
      {"words in any case, unknown words give 0",
       "[CLI]\n--width-unit= Percent \n--resize-algorithm=sharpest\n",
       {"Transform/Image Width Unit", "Transform/Image Resize Algorithm"},
       [](const Settings& s) {
         EXPECT_EQ(s.ImageWidthUnit, 1);
         EXPECT_EQ(s.ImageResizeAlgorithm, 0);
       }},
      {"numbers that cannot be read store 0",
       "[CLI]\n--jpg-quality=high\n--rotation=$5A\n",
       {"Output/JPG Quality", "Transform/Do Image Rotation", "Transform/Image Rotation"},
       [](const Settings& s) {
         EXPECT_EQ(s.JPGQuality, 0);
         EXPECT_EQ(s.ImageRotation, 90);
       }},
      {"Latin-1 without a byte-order mark",
       "[CLI]\n--wm-text=Caf\xE9\n",
       {"Watermark/Do Watermark", "Watermark/Text"},
       [](const Settings& s) { EXPECT_EQ(s.Text, "Caf\xC3\xA9"); }},
      {"UTF-8 after a byte-order mark",
       "\xEF\xBB\xBF[CLI]\n--wm-text=Caf\xC3\xA9\n",
       {"Watermark/Do Watermark", "Watermark/Text"},
       [](const Settings& s) { EXPECT_EQ(s.Text, "Caf\xC3\xA9"); }},
  };
  for (const ProfileCase& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    test::WriteFile(dir / "p.ini", c.bytes);
    const Settings base = Defaults();
    Settings s = base;
    ASSERT_TRUE(ApplyProfile(s, dir / "p.ini"));
    EXPECT_EQ(Changed(base, s), c.changed);
    if (c.check) c.check(s);
  }
}

TEST(ApplyProfileTest, FailsOnlyWhenTheFileCannotBeRead) {
  test::TempDir dir;
  const Settings base = Defaults();
  Settings s = base;
  EXPECT_FALSE(ApplyProfile(s, ""));
  EXPECT_FALSE(ApplyProfile(s, dir / "missing.ini"));
  EXPECT_FALSE(ApplyProfile(s, dir.path())) << "a folder";
  EXPECT_TRUE(Changed(base, s).empty());
}

TEST(ApplyProfileTest, RelativePathsStartInTheCurrentFolder) {
  test::TempDir dir;
  test::WriteFile(dir / "p.ini", "[CLI]\n--jpg-quality=42\n");
  std::string here = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  Settings s = Defaults();
  bool applied = ApplyProfile(s, "p.ini");
  std::filesystem::current_path(here);
  EXPECT_TRUE(applied);
  EXPECT_EQ(s.JPGQuality, 42);
}

struct OrderCase {
  const char* name;
  std::vector<std::string> args;  // "@" stands for the profile path
  std::function<void(const Settings&)> check;
};

// Where --profile stands decides what overrides what, also for second settings and switches.
TEST(ApplyProfileTest, ThePlaceOfTheProfileOptionDecides) {
  test::TempDir dir;
  test::WriteFile(dir / "p.ini", "[CLI]\n--width=800\n--height=600\n--rotation-type=advanced\n--keep-aspect-ratio=0\n");
  const std::vector<OrderCase> cases = {
      {"options after the profile win",
       {"--profile=@", "--width=100", "--rotation-type=simple"},
       [](const Settings& s) {
         EXPECT_EQ(s.ImageWidth, 100);
         EXPECT_EQ(s.ImageHeight, 600);
         EXPECT_EQ(s.ImageRotationType, 0);
       }},
      {"the profile wins over options before it",
       {"--width=100", "--rotation-type=simple", "--profile=@"},
       [](const Settings& s) {
         EXPECT_EQ(s.ImageWidth, 800);
         EXPECT_EQ(s.ImageRotationType, 1);
         EXPECT_EQ(s.DoImageResize, 1);
       }},
      // A switch can only be switched on, so a profile never takes one back.
      {"a switch set before stays set",
       {"--keep-aspect-ratio", "--profile=@"},
       [](const Settings& s) { EXPECT_EQ(s.KeepAspectRatio, 1); }},
  };
  for (const OrderCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args = {"-i", "a.png"};
    for (std::string arg : c.args) {
      if (arg.ends_with("@")) arg = arg.substr(0, arg.size() - 1) + (dir / "p.ini");
      args.push_back(arg);
    }
    auto session = std::make_unique<Session>();
    ParsedCommandLine parsed = ParseCommandLine(args, *session);
    ASSERT_EQ(parsed.kind, StartKind::Run) << parsed.error;
    c.check(session->settings);
  }
}

TEST(ApplyProfileTest, AnInputInTheProfileDoesNotMakeACommandLineRun) {
  test::TempDir dir;
  test::WriteFile(dir / "p.ini", "[CLI]\n--input=a.png\n-i=a.png\n--jpg-quality=80\n");
  auto session = std::make_unique<Session>();
  ParsedCommandLine parsed = ParseCommandLine({"--profile=" + (dir / "p.ini")}, *session);
  EXPECT_EQ(parsed.kind, StartKind::Window);
  EXPECT_EQ(session->state.InputRoot, "");
}

}  // namespace
}  // namespace rastello
