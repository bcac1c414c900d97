#include <gtest/gtest.h>

#include <memory>
#include <regex>

#include "engine/naming.h"
#include "engine/session.h"
#include "platform/time.h"
#include "support/temp_dir.h"

namespace rastello {
namespace {

std::unique_ptr<Session> NamingSession(const std::string& input, const std::string& mask) {
  auto s = std::make_unique<Session>();
  ResetSettings(s->settings, true);
  s->settings.FilenameMask = mask;
  s->state.InputPath = input;
  s->state.OutputFolder = "/out/";
  s->state.OutputFormat = "jpg";
  s->state.FileCounter = 1;
  s->state.RandomNumber = 42;
  s->state.TargetBpp = 24;
  s->state.ImageWidth = 640;
  s->state.ImageHeight = 480;
  s->state.FrameNumber = 1;
  return s;
}

TEST(ApplyFilenameMask, ExpandsTokensInOrder) {
  struct Case {
    const char* input;
    const char* mask;
    const char* expected;
  };
  const Case cases[] = {
      {"/in/photo.png", "", "photo.jpg"},
      {"/in/photo.png", "%filename%.%ext%", "photo.jpg"},
      {"/in/Photo.png", "IMG_%filename[u]%_%n%.%ext[u]%", "img_PHOTO_00001.JPG"},
      {"/in/hOLIDAY.png", "%filename[t]%.%ext[t]%", "Holiday.Jpg"},
      {"/in/MiXed.PNG", "%Filename%.%EXT%", "MiXed.jpg"},
      {"/in/MiXed.png", "%filename[l]%", "mixed"},
      {"/in/a.png", "out.jpg", "out.jpg"},
      {"/in/archive.tar.png", "%filename%.%ext%", "archive.tar.jpg"},
      {"/in/a.png", "%width%x%height%_%bpp%_%frame%_%rnd%.%ext%", "640x480_24_1_00042.jpg"},
      // A value inserted by an earlier token is searched by the later ones.
      {"/in/shot_%width%.png", "%filename%.%ext%", "shot_640.jpg"},
      // Unicode letters change case too.
      {"/in/\xC3\xA9t\xC3\xA9.png", "%filename[u]%.%ext%", "\xC3\x89T\xC3\x89.jpg"},
      {"/in/\xC3\xA9t\xC3\xA9.png", "%filename[t]%", "\xC3\x89t\xC3\xA9"},
      {"/in/noext", "%filename%.%ext%", "noext.jpg"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mask);
    auto s = NamingSession(c.input, c.mask);
    EXPECT_EQ(ApplyFilenameMask(*s), c.expected);
  }
}

TEST(ApplyFilenameMask, LiteralTextEndsUpInLowerCase) {
  auto s = NamingSession("/in/A.png", "Copy Of %filename%.%ext%");
  EXPECT_EQ(ApplyFilenameMask(*s), "copy of A.jpg");
}

TEST(ApplyFilenameMask, CountersKeepFiveCharacters) {
  auto s = NamingSession("/in/a.png", "%n%-%rnd%");
  s->state.FileCounter = 123456;
  s->state.RandomNumber = 7;
  EXPECT_EQ(ApplyFilenameMask(*s), "12345-00007");
}

TEST(ApplyFilenameMask, DateTokensReadTheLocalClock) {
  auto s = NamingSession("/in/a.png", "%yyyy%-%mm%-%dd% %hh%.%ii%.%ss%");
  std::tm before = LocalNow();
  std::string name = ApplyFilenameMask(*s);
  ASSERT_TRUE(std::regex_match(name, std::regex(R"(\d{4}-\d\d-\d\d \d\d\.\d\d\.\d\d)"))) << name;
  EXPECT_EQ(std::stoi(name.substr(0, 4)), before.tm_year + 1900);
  int month = std::stoi(name.substr(5, 2));
  EXPECT_TRUE(month >= 1 && month <= 12);
}

TEST(BuildOutputPath, PutsTheSubfolderWhenKept) {
  auto s = NamingSession("/in/2020/june/a.png", "%filename%.%ext%");
  s->state.Subfolder = "2020/june/";
  EXPECT_EQ(BuildOutputPath(*s), "/out/2020/june/a.jpg");
  s->settings.KeepSubfolders = 0;
  EXPECT_EQ(BuildOutputPath(*s), "/out/a.jpg");
}

TEST(CreateOutputSubfolders, CreatesEachMissingLevel) {
  test::TempDir dir;
  auto s = NamingSession("/in/a.png", "");
  s->state.OutputFolder = dir.path();
  s->state.Subfolder = "2020/june/";
  CreateOutputSubfolders(*s);
  EXPECT_TRUE(test::Exists(dir / "2020/june"));
}

TEST(ApplyTextTokens, ExpandsTokensInAnyCaseAndKeepsLiteralText) {
  auto s = NamingSession("/in/a.png", "");
  s->settings.Text = "Shot %Width%x%HEIGHT% of %FILENAME[U]%";
  EXPECT_EQ(ApplyTextTokens(*s), "Shot 640x480 of A");
  s->settings.Text = "100% Sample";
  EXPECT_EQ(ApplyTextTokens(*s), "100% Sample");
  // Only tokens written in the text are expanded, not those an inserted value brings in.
  s->state.InputPath = "/in/x%width%.png";
  s->settings.Text = "%filename% %n%";
  EXPECT_EQ(ApplyTextTokens(*s), "x%width% 00001");
}

TEST(StripExtension, RemovesTheLastExtensionOnly) {
  EXPECT_EQ(StripExtension("photo.png"), "photo");
  EXPECT_EQ(StripExtension("archive.tar.png"), "archive.tar");
  EXPECT_EQ(StripExtension("noext"), "noext");
  EXPECT_EQ(StripExtension(".hidden"), "");
}

}  // namespace
}  // namespace rastello
