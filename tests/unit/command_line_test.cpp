#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "app/command_line.h"
#include "engine/session.h"
#include "support/temp_dir.h"

namespace rastello {
namespace {

using Args = std::vector<std::string>;

struct Parsed {
  ParsedCommandLine result;
  std::unique_ptr<Session> session = std::make_unique<Session>();
};

Parsed Parse(const Args& args) {
  Parsed p;
  p.result = ParseCommandLine(args, *p.session);
  return p;
}

TEST(OptionName, TakesTheWordBeforeTheEqualsSignInUpperCase) {
  Args args{"--jpg-quality=80", "-i", "  --Debug  ", "photo.png", "--", "-x=1", "--a=b=c"};
  EXPECT_EQ(OptionName(args, 0), "--JPG-QUALITY");
  EXPECT_EQ(OptionName(args, 1), "-I");
  EXPECT_EQ(OptionName(args, 2), "--DEBUG");
  EXPECT_EQ(OptionName(args, 3), "");
  EXPECT_EQ(OptionName(args, 4), "--");
  EXPECT_EQ(OptionName(args, 5), "-X=1");  // single-dash words keep their "="
  EXPECT_EQ(OptionName(args, 9), "");
  EXPECT_EQ(OptionValue(args, 0), "80");
  EXPECT_EQ(OptionValue(args, 3), "photo.png");
  EXPECT_EQ(OptionValue(args, 2), "--Debug");  // no "=": the whole trimmed argument
  EXPECT_EQ(OptionValue(args, 6), "b=c");
  EXPECT_EQ(OptionValue(args, 7), "");  // past the end
}

struct GrammarCase {
  const char* name;
  Args args;
  StartKind kind;
  const char* error;
  std::function<void(const Session&)> check;
};

TEST(ParseCommandLine, Grammar) {
  const char* kIncorrect = "Incorrect number of parameters";
  const GrammarCase cases[] = {
      {"no arguments", {}, StartKind::Window, "", nullptr},
      {"quiet alone", {"--quiet"}, StartKind::Window, "", nullptr},
      {"output alone", {"-o", "/out"}, StartKind::Window, "", nullptr},
      {"input last", {"-d", "-i"}, StartKind::Error, kIncorrect, nullptr},
      {"long input with a blank", {"--input", "/a.png"}, StartKind::Error, kIncorrect, nullptr},
      {"long input without value", {"--input="}, StartKind::Error, kIncorrect, nullptr},
      {"input looks like an option", {"-i", "-x.png"}, StartKind::Error, kIncorrect, nullptr},
      {"output missing", {"-i", "a.png", "-o"}, StartKind::Error, kIncorrect, nullptr},
      {"conversion looks like an option", {"-i", "a.png", "-c", "-jpg"}, StartKind::Error, kIncorrect, nullptr},
      {"text value looks like an option", {"-i", "a.png", "--wm-text=--x"}, StartKind::Error, kIncorrect, nullptr},
      {"empty value", {"-i", "a.png", "--jpg-quality="}, StartKind::Error, kIncorrect, nullptr},
      {"value option without equals", {"-i", "a.png", "--jpg-quality", "80"}, StartKind::Error, kIncorrect,
       nullptr},
      {"negative number", {"-i", "a.png", "--brightness=-20"}, StartKind::Run, "",
       [](const Session& s) {
         EXPECT_EQ(s.settings.ImageBrightness, -20);
         EXPECT_EQ(s.settings.DoImageColorCorrection, 1);
       }},
      {"upper-case short input", {"-I", "A.PNG"}, StartKind::Run, "",
       [](const Session& s) {
         EXPECT_TRUE(s.state.CommandLineMode);
         EXPECT_EQ(s.state.InputRoot, "A.PNG");
       }},
      {"upper-case long input", {"--INPUT=A.PNG"}, StartKind::Run, "",
       [](const Session& s) { EXPECT_EQ(s.state.InputRoot, "A.PNG"); }},
      {"blanks around arguments", {"  -i ", "  a.png  ", " -d"}, StartKind::Run, "",
       [](const Session& s) {
         EXPECT_EQ(s.state.InputRoot, "a.png");
         EXPECT_EQ(s.state.Mode, "DEBUG");
       }},
      {"quoted path split by the shell", {"-i", "\"/home/My", "Pictures/a.png\""}, StartKind::Run, "",
       [](const Session& s) { EXPECT_EQ(s.state.InputRoot, "/home/My Pictures/a.png"); }},
      {"quoted text option", {"-i", "a.png", "--wm-text=\"a", "b", "c\""}, StartKind::Run, "",
       [](const Session& s) {
         EXPECT_EQ(s.settings.Text, "a b c");
         EXPECT_EQ(s.settings.DoWatermark, 1);
       }},
      {"unclosed quote takes the rest", {"-i", "a.png", "--wm-text=\"a", "b"}, StartKind::Run, "",
       [](const Session& s) { EXPECT_EQ(s.settings.Text, "a b"); }},
      {"quoted output", {"-i", "a.png", "-o", "\"/tmp/x\""}, StartKind::Run, "",
       [](const Session& s) { EXPECT_EQ(s.state.OutputFolder, "/tmp/x"); }},
      {"conversion is not joined, only unquoted", {"-i", "a.png", "-c", "\"JPG", "x\""}, StartKind::Run, "",
       [](const Session& s) { EXPECT_EQ(s.state.OutputFormat, "JPG"); }},
      {"switch ignores its value", {"-i", "a.png", "--invert=no"}, StartKind::Run, "",
       [](const Session& s) {
         EXPECT_EQ(s.settings.ImageInvert, 1);
         EXPECT_EQ(s.settings.DoImageColorCorrection, 1);
       }},
      {"version first", {"-v", "-i", "a.png"}, StartKind::Version, "", nullptr},
      {"long version first", {"--VERSION"}, StartKind::Version, "", nullptr},
      {"version later is ignored", {"-i", "a.png", "-v"}, StartKind::Run, "", nullptr},
      {"help forms", {"-?"}, StartKind::Help, "", nullptr},
      {"help later is ignored", {"-i", "a.png", "--help"}, StartKind::Run, "", nullptr},
      {"uninstall", {"-U"}, StartKind::Uninstall, "", nullptr},
      {"screenshot", {"-T", "/shots"}, StartKind::Screenshot, "",
       [](const Session& s) { EXPECT_EQ(s.state.Mode, "T"); }},
      {"missing profile stops the walk", {"-i", "a.png", "--profile=/no/such.ini", "--jpg-quality=50"},
       StartKind::Error, "Invalid profile file", [](const Session& s) { EXPECT_EQ(s.settings.JPGQuality, 95); }},
      {"conversion case is kept", {"-i", "a.png", "-c", "JPG"}, StartKind::Run, "",
       [](const Session& s) { EXPECT_EQ(s.state.OutputFormat, "JPG"); }},
      {"later option wins", {"-i", "a.png", "--jpg-quality=80", "--JPG-QUALITY=70"}, StartKind::Run, "",
       [](const Session& s) { EXPECT_EQ(s.settings.JPGQuality, 70); }},
      {"unknown words and plain arguments are ignored", {"stray", "-i", "a.png", "--no-such=1", "-z"},
       StartKind::Run, "", nullptr},
      {"flags and modes", {"-q", "-p", "-i", "a.png", "--debug"}, StartKind::Run, "",
       [](const Session& s) { EXPECT_EQ(s.state.Mode, "DEBUG"); }},
  };
  for (const GrammarCase& c : cases) {
    SCOPED_TRACE(c.name);
    Parsed p = Parse(c.args);
    EXPECT_EQ(p.result.kind, c.kind);
    EXPECT_EQ(p.result.error, c.error);
    if (c.check) c.check(*p.session);
  }
}

TEST(ParseCommandLine, QuietAndPauseAreSeparateFlags) {
  Parsed p = Parse({"-q", "-i", "a.png"});
  EXPECT_TRUE(p.result.quiet);
  EXPECT_FALSE(p.result.pause);
  p = Parse({"-i", "a.png", "--PAUSE"});
  EXPECT_FALSE(p.result.quiet);
  EXPECT_TRUE(p.result.pause);
}

TEST(ParseCommandLine, ValueOptionsSetTheirSettingsAndSecondSettings) {
  Parsed p = Parse({"-i", "a.png", "--width=800", "--height=600", "--width-unit= percent ", "--rotation=90",
                    "--rotation-type=advanced", "--gamma=1.5", "--dither=bayer8", "--threshold=128",
                    "--fr-solid-left=20", "--fr-solid-opacity=128", "--wm-solid-opacity=7", "--wm-image=/x.png",
                    "--no-subfolders", "--keep-aspect-ratio", "--file-timestamp=custom",
                    "--file-timestamp-custom=4102444800", "--jpg-chroma=HIGH", "--resize-algorithm=lanczos"});
  const Settings& s = p.session->settings;
  EXPECT_EQ(s.ImageWidth, 800);
  EXPECT_EQ(s.ImageHeight, 600);
  EXPECT_EQ(s.DoImageResize, 1);
  EXPECT_EQ(s.ImageWidthUnit, 1);
  EXPECT_EQ(s.ImageRotation, 90);
  EXPECT_EQ(s.DoImageRotation, 1);
  EXPECT_EQ(s.ImageRotationType, 1);
  EXPECT_FLOAT_EQ(s.ImageGamma, 1.5f);
  EXPECT_EQ(s.DoImageColorCorrection, 1);
  EXPECT_EQ(s.DoImageDither, 1);
  EXPECT_EQ(s.ImageDitherAlgorithm, 2);
  EXPECT_EQ(s.DoImageThreshold, 1);
  EXPECT_EQ(s.ImageThreshold, 128);
  EXPECT_EQ(s.DoFrame, 1);
  EXPECT_EQ(s.SolidLeft, 20);
  EXPECT_EQ(s.SolidOpacity, 128);  // the profile-only word changes nothing here
  EXPECT_EQ(s.DoWatermark, 2);
  EXPECT_EQ(s.Image, "/x.png");
  EXPECT_EQ(s.KeepSubfolders, 0);
  EXPECT_EQ(s.KeepAspectRatio, 1);
  EXPECT_EQ(s.FileTimestamp, 2);
  EXPECT_EQ(s.CustomTimestamp, 4102444800LL);  // dates beyond 2038 keep all their bits
  EXPECT_EQ(s.JPGChroma, 3);
  EXPECT_EQ(s.ImageResizeAlgorithm, 5);
}

TEST(ParseCommandLine, ResetsTheSettingsForTheCommandLine) {
  Parsed p;
  p.session->settings.JPGQuality = 10;
  p.session->settings.KeepAspectRatio = 1;
  p.session->state.InputRoot = "left over";
  p.result = ParseCommandLine({"-d"}, *p.session);
  EXPECT_EQ(p.session->settings.JPGQuality, 95);
  EXPECT_EQ(p.session->settings.KeepAspectRatio, 0);
  EXPECT_EQ(p.session->state.InputRoot, "");
}

TEST(ParseCommandLine, ProfileAppliesWhereItStands) {
  test::TempDir dir;
  test::WriteFile(dir / "p.ini", "[CLI]\n--jpg-quality=80\n");
  std::string profile = "--profile=" + dir.path() + "p.ini";
  EXPECT_EQ(Parse({"-i", "a.png", "--jpg-quality=90", profile}).session->settings.JPGQuality, 80);
  EXPECT_EQ(Parse({"-i", "a.png", profile, "--jpg-quality=90"}).session->settings.JPGQuality, 90);
  // A profile path with blanks, split by the shell and quoted.
  test::WriteFile(dir / "my profile.ini", "[CLI]\n--jpg-quality=60\n");
  Parsed p = Parse({"-i", "a.png", "--profile=\"" + dir.path() + "my", "profile.ini\""});
  EXPECT_EQ(p.result.kind, StartKind::Run);
  EXPECT_EQ(p.session->settings.JPGQuality, 60);
}

}  // namespace
}  // namespace rastello
