#include "settings/settings_file.h"

#include <gtest/gtest.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <limits>
#include <optional>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include <maker.h>

#include "platform/files.h"
#include "support/temp_dir.h"

namespace rastello {
namespace {

using test::ListFolder;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

constexpr DesktopSize kDesktop{1024, 768};  // centres the window at 257, 254

std::string Lines(std::initializer_list<const char*> lines) {
  std::string text;
  for (const char* line : lines) text += std::string(line) + "\r\n";
  return text;
}

// A field's value as text, so that table rows can name any setting.
std::string FieldText(const Settings& s, const SettingInfo& info) {
  return std::visit(
      [&s](auto member) -> std::string {
        using T = std::remove_cvref_t<decltype(s.*member)>;
        if constexpr (std::is_same_v<T, std::string>) {
          return s.*member;
        } else if constexpr (std::is_same_v<T, float>) {
          if (std::isnan(s.*member)) return "nan";
          char buf[32];
          std::snprintf(buf, sizeof buf, "%g", static_cast<double>(s.*member));
          return buf;
        } else {
          return std::to_string(static_cast<int64_t>(s.*member));
        }
      },
      info.field);
}

std::string FieldText(const Settings& s, const char* group, const char* key) {
  const SettingInfo* info = FindSetting(group, key);
  if (info == nullptr) return std::string("<no setting ") + group + "/" + key + ">";
  return FieldText(s, *info);
}

// Every field to a value no default has: negative numbers, dates past 32 bits, marked texts.
Settings Scrambled() {
  Settings s;
  const std::vector<SettingInfo>& table = SettingsTable();
  for (size_t i = 0; i < table.size(); ++i) {
    int n = static_cast<int>(i);
    std::visit(
        [&](auto member) {
          using T = std::remove_cvref_t<decltype(s.*member)>;
          if constexpr (std::is_same_v<T, std::string>)
            s.*member = std::string("v\xC3\xA4lue ") + table[i].key;
          else if constexpr (std::is_same_v<T, float>)
            s.*member = 1.5f;
          else if constexpr (std::is_same_v<T, int64_t>)
            s.*member = 5'000'000'000 + n;
          else if constexpr (std::is_same_v<T, int32_t>)
            s.*member = -100'000 - n;
          else
            s.*member = static_cast<int8_t>(-2 - n % 100);
        },
        table[i].field);
  }
  return s;
}

Settings Defaults() {
  Settings s;
  ResetSettings(s, false, kDesktop);
  s.UpdateDate = 1700000000;
  s.CustomTimestamp = 1234567890;
  return s;
}

Settings ReadText(const std::string& bytes) {
  TempDir dir;
  WriteFile(dir / "config.ini", bytes);
  Settings s = Scrambled();  // nothing of what was there before may survive a read
  ReadSettingsFile(s, dir / "config.ini", kDesktop);
  return s;
}

// ----------------------------------------------------------------------------------------------
// Writing

TEST(SettingsFileWrite, DefaultsGiveTheExactFile) {
  const std::string notice = std::string("Text = ") + maker::kNotice;
  const std::string expected = Lines({
      "\xEF\xBB\xBF",
      "[General]",
      "CFG = 19",
      "Language = en",
      "Update Range = 2",
      "Update Date = 1700000000",
      "Save Window Position = 1",
      "; ",
      "[Window]",
      "IsMaximized = 0",
      "Width = 510",
      "Height = 260",
      "X = 257",
      "Y = 254",
      "; ",
      "[Interface]",
      "UI Theme = handdrawn",
      "UI Size = 2",
      "; ",
      "[Input]",
      "Format = png",
      "; ",
      "[Output]",
      "Format = jpg",
      "JPG BPP = 0",
      "JPG Quality = 95",
      "JPG Chroma = 0",
      "JPG Save As = 0",
      "; ",
      "[Transform]",
      "Do Image Rotation = 0",
      "Image Rotation Type = 0",
      "Image Rotation = 0",
      "Image Rotation Back Color = 000000",
      "Do Image Resize = 0",
      "Image Width = 0",
      "Image Width Unit = 0",
      "Image Height = 0",
      "Image Height Unit = 0",
      "Keep Aspect Ratio = 1",
      "Image Resize Type = 0",
      "Image Resize Algorithm = 3",
      "Do Image Flip Horizontal = 0",
      "Do Image Flip Vertical = 0",
      "; ",
      "[Adjustment]",
      "Do Image Color Correction = 0",
      "Image Brightness = 0",
      "Image Contrast = 0",
      "Image Gamma = 1.000000",
      "Image Invert = 0",
      "Do Image Greyscale = 0",
      "Do Image Threshold = 0",
      "Image Threshold = 0",
      "Do Image Dither = 0",
      "Image Dither Algorithm = 0",
      "; ",
      "[Frame]",
      "Do Frame = 0",
      "Solid Left = 0",
      "Solid Right = 0",
      "Solid Top = 0",
      "Solid Bottom = 0",
      "Solid Left Color = 000000",
      "Solid Right Color = 000000",
      "Solid Top Color = 000000",
      "Solid Bottom Color = 000000",
      "Solid Opacity = 255",
      "; ",
      "[Watermark]",
      "Do Watermark = 0",
      notice.c_str(),
      "Fonts = Arial,Tahoma,Verdana",
      "Font = Arial",
      "Font Size = 14",
      "Font Leading = 0",
      "Font Colors = 000000,FFFFFF,FF0000,FF8000,FFFF00,008000,00FFFF,0000FF,8000FF",
      "Font Color = FFFFFF",
      "Font Style = 0",
      "Font Effect = 0",
      "Text Antialiasing = 0",
      "Text Alignment = 0",
      "Text Padding = 0",
      "Text Opacity = 255",
      "Back Colors = 000000,FFFFFF,FF0000,FF8000,FFFF00,008000,00FFFF,0000FF,8000FF",
      "Back Color = 000000",
      "Back Opacity = 1",
      "Text Boundary = 0",
      "Text Position = 8",
      "Text X Offset = 10",
      "Text Y Offset = 10",
      "Text Rotation = 0",
      "Text Size = 0",
      "Text Scale = 10",
      "Image = ",
      "Image Greyscale = 0",
      "Image Opacity = 255",
      "Image Boundary = 0",
      "Image Position = 8",
      "Image X Offset = 10",
      "Image Y Offset = 10",
      "Image Rotation = 0",
      "Image Size = 0",
      "Image Scale = 10",
      "; ",
      "[Advanced]",
      "Filename Mask = %filename%.%ext%",
      "File Timestamp = 0",
      "Custom Timestamp = 1234567890",
      "Out Folders History = 1",
      "Out Folders Number = 5",
      "Keep Subfolders = 1",
      "; ",
      "[File]",
      "Recent Out Folders = ",
      "Recent Files = ",
      "; ",
      "[Privacy]",
      "Clean Recent Files = 0",
      "; ",
  });
  EXPECT_EQ(SettingsFileText(Defaults()), expected);

  TempDir dir;
  ASSERT_TRUE(WriteSettingsFile(Defaults(), dir / "config.ini"));
  EXPECT_EQ(ReadFile(dir / "config.ini"), expected);
}

TEST(SettingsFileWrite, WindowGroupStaysEmptyWhenThePositionIsNotKept) {
  Settings s = Defaults();
  s.SaveWindowPosition = 0;
  s.X = 700;
  s.Width = 900;
  std::string text = SettingsFileText(s);
  EXPECT_NE(text.find("\r\nSave Window Position = 0\r\n; \r\n[Window]\r\n; \r\n[Interface]\r\n"), std::string::npos)
      << text;

  // The next start opens the window at 100, 100 with its default size.
  Settings read = ReadText(text);
  EXPECT_EQ(read.X, 100);
  EXPECT_EQ(read.Y, 100);
  EXPECT_EQ(read.Width, 510);
  EXPECT_EQ(read.Height, 260);
  EXPECT_EQ(read.IsMaximized, 0);
}

TEST(SettingsFileWrite, LayoutVersionIsAlwaysTheCurrentOne) {
  Settings s = Defaults();
  s.CFG = 3;
  EXPECT_NE(SettingsFileText(s).find("\r\nCFG = 19\r\n"), std::string::npos);
}

TEST(SettingsFileWrite, GammaIsFixedPointOrAWord) {
  struct Case {
    float gamma;
    const char* line;
  };
  const float inf = std::numeric_limits<float>::infinity();
  for (const Case& c : std::vector<Case>{{1.5f, "Image Gamma = 1.500000"},
                                         {0.01f, "Image Gamma = 0.010000"},
                                         {-2.25f, "Image Gamma = -2.250000"},
                                         {inf, "Image Gamma = +Infinity"},
                                         {-inf, "Image Gamma = -Infinity"},
                                         {std::numeric_limits<float>::quiet_NaN(), "Image Gamma = NaN"}}) {
    SCOPED_TRACE(c.line);
    Settings s = Defaults();
    s.ImageGamma = c.gamma;
    std::string text = SettingsFileText(s);
    EXPECT_NE(text.find(std::string("\r\n") + c.line + "\r\n"), std::string::npos);
    float back = ReadText(text).ImageGamma;
    if (std::isnan(c.gamma))
      EXPECT_TRUE(std::isnan(back));
    else
      EXPECT_FLOAT_EQ(back, c.gamma);
  }
}

TEST(SettingsFileWrite, LineBreakInATextCannotForgeOtherKeys) {
  // Folder names may hold line breaks on this system; written raw they would add lines
  // ahead of the real keys, and the first occurrence wins.
  Settings s = Defaults();
  s.RecentOutFolders = "/tmp/a\r\nRecent Files = forged\n[Privacy]\rClean Recent Files = 1\t/tmp/b/";
  s.RecentFiles = "/tmp/real.png";
  std::string text = SettingsFileText(s);
  Settings read = ReadText(text);
  EXPECT_EQ(read.RecentFiles, "/tmp/real.png");
  EXPECT_EQ(read.CleanRecentFiles, 0);
  EXPECT_EQ(read.RecentOutFolders, "/tmp/a  Recent Files = forged [Privacy] Clean Recent Files = 1\t/tmp/b/");
}

// ----------------------------------------------------------------------------------------------
// Round trip

bool WrittenWithThisProgramsFormats(const SettingInfo& info) {
  std::string_view group = info.group, key = info.key;
  if (group != "Input" && group != "Output") return true;
  static const std::set<std::string_view> written = {"Format", "JPG BPP", "JPG Quality", "JPG Chroma", "JPG Save As"};
  return written.count(key) > 0;
}

TEST(SettingsFileRoundTrip, EveryWrittenSettingSurvives) {
  Settings s = Scrambled();
  s.Font = "   Verdana  ";
  s.RecentOutFolders = "/home/u/new photos/\t/tmp/x/\t/mnt/\xC3\xBC/";
  s.ImageBrightness = -42;
  s.KeepSubfolders = -1;

  TempDir dir;
  ASSERT_TRUE(WriteSettingsFile(s, dir / "config.ini"));
  std::string text = ReadFile(dir / "config.ini");
  EXPECT_NE(text.find("\r\nFont =    Verdana  \r\n"), std::string::npos) << "written unquoted, as it is";
  EXPECT_NE(text.find("\r\nImage Gamma = 1.500000\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nImage Brightness = -42\r\n"), std::string::npos);

  Settings read;
  ReadSettingsFile(read, dir / "config.ini", kDesktop);
  Settings defaults;
  ResetSettings(defaults, false, kDesktop);
  for (const SettingInfo& info : SettingsTable()) {
    SCOPED_TRACE(std::string(info.group) + "/" + info.key);
    if (info.field == SettingField(&Settings::CFG))
      EXPECT_EQ(read.CFG, 19);
    else if (info.field == SettingField(&Settings::Font))
      EXPECT_EQ(read.Font, "Verdana");
    else if (WrittenWithThisProgramsFormats(info))
      EXPECT_EQ(FieldText(read, info), FieldText(s, info));
    else  // keys of formats this program does not write take their read defaults
      EXPECT_EQ(FieldText(read, info), FieldText(defaults, info));
  }
  EXPECT_EQ(read.RecentOutFolders, "/home/u/new photos/\t/tmp/x/\t/mnt/\xC3\xBC/");
  EXPECT_EQ(read.UpdateDate, s.UpdateDate);  // needs more than 32 bits
}

TEST(SettingsFileRoundTrip, NamesInOtherLetterCaseAreRewrittenWithTheProgramsNames) {
  TempDir dir;
  WriteFile(dir / "config.ini", Lines({"[general]", "cfg = 19", "[OUTPUT]", "jpg quality = 80", "jpg CHROMA = 2"}));
  Settings s;
  ReadSettingsFile(s, dir / "config.ini", kDesktop);
  EXPECT_EQ(s.JPGQuality, 80);
  EXPECT_EQ(s.JPGChroma, 2);
  ASSERT_TRUE(WriteSettingsFile(s, dir / "config.ini"));
  std::string text = ReadFile(dir / "config.ini");
  EXPECT_NE(text.find("\r\n[Output]\r\nFormat = jpg\r\nJPG BPP = 0\r\nJPG Quality = 80\r\nJPG Chroma = 2\r\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("OUTPUT"), std::string::npos);
  EXPECT_EQ(text.find("quality"), std::string::npos);
}

// ----------------------------------------------------------------------------------------------
// Reading

struct Expect {
  const char* group;
  const char* key;
  std::string value;
};

struct ReadCase {
  const char* name;
  std::string file;
  std::vector<Expect> expect;
};

TEST(SettingsFileRead, HandEditsAndOlderLayouts) {
  const std::vector<ReadCase> cases = {
      // Upgrades by layout version
      {"missing CFG upgrades the mask",
       Lines({"[Advanced]", "Filename Mask = %filename%"}),
       {{"General", "CFG", "0"}, {"Advanced", "Filename Mask", "%filename%.%ext%"}}},
      {"CFG 10 upgrades the mask",
       Lines({"[General]", "CFG = 10", "[Advanced]", "Filename Mask = out_%filename%"}),
       {{"Advanced", "Filename Mask", "out_%filename%.%ext%"}}},
      {"CFG 11 keeps the mask",
       Lines({"[General]", "CFG = 11", "[Advanced]", "Filename Mask = %filename%"}),
       {{"Advanced", "Filename Mask", "%filename%"}}},
      {"an old mask naming the extension in another form keeps it single",
       Lines({"[Advanced]", "Filename Mask = %filename%.%EXT[u]%"}),
       {{"Advanced", "Filename Mask", "%filename%.%EXT[u]%"}}},
      {"CFG 13 moves RAW Load As",
       Lines({"[General]", "CFG = 13", "[Input]", "RAW Load As = 1"}),
       {{"Input", "RAW Load As", "3"}}},
      {"CFG 13 leaves RAW Load As 0",
       Lines({"[General]", "CFG = 13", "[Input]", "RAW Load As = 0"}),
       {{"Input", "RAW Load As", "0"}}},
      {"CFG 13 moves the largest RAW Load As without overflow",
       Lines({"[General]", "CFG = 13", "[Input]", "RAW Load As = 2147483647"}),
       {{"Input", "RAW Load As", "-2147483647"}}},
      {"CFG 14 keeps RAW Load As",
       Lines({"[General]", "CFG = 14", "[Input]", "RAW Load As = 1"}),
       {{"Input", "RAW Load As", "1"}}},
      {"CFG 18 takes the old colour model names",
       Lines({"[General]", "CFG = 18", "[Input]", "PSD Color Mode = 0", "PSD Color Model = 2", "[Output]",
              "TIFF Color Mode = 2", "TIFF Color Model = 1"}),
       {{"Input", "PSD Color Mode", "2"}, {"Output", "TIFF Color Mode", "1"}}},
      {"a zero old colour model changes nothing",
       Lines({"[General]", "CFG = 18", "[Input]", "PSD Color Mode = 1", "PSD Color Model = 0"}),
       {{"Input", "PSD Color Mode", "1"}}},
      {"CFG 19 ignores the old colour model names",
       Lines({"[General]", "CFG = 19", "[Input]", "PSD Color Mode = 1", "PSD Color Model = 2", "[Output]",
              "TIFF Color Model = 2"}),
       {{"Input", "PSD Color Mode", "1"}, {"Output", "TIFF Color Mode", "0"}}},
      {"an old colour model counts only in its own group",
       Lines({"[Output]", "PSD Color Model = 2"}),
       {{"Input", "PSD Color Mode", "0"}}},

      // Read defaults
      {"an empty file is the oldest layout with the window at 100, 100",
       "",
       {{"General", "CFG", "0"},
        {"Window", "X", "100"},
        {"Window", "Y", "100"},
        {"Window", "Width", "510"},
        {"Advanced", "Filename Mask", "%filename%.%ext%"},
        {"Transform", "Keep Aspect Ratio", "1"}}},
      {"missing keys take their defaults",
       Lines({"[General]", "CFG = 19", "[Output]", "WEBP BPP = 8"}),
       {{"Output", "JPG Quality", "95"},
        {"Output", "WEBP Quality", "100"},
        {"Watermark", "Text Position", "8"},
        {"Watermark", "Font", "Arial"},
        {"Adjustment", "Image Gamma", "1"},
        {"Output", "WEBP BPP", "8"}}},
      {"an empty Window group opens at 100, 100 with the default size",
       Lines({"[General]", "Save Window Position = 0", "; ", "[Window]", "; "}),
       {{"General", "Save Window Position", "0"},
        {"Window", "X", "100"},
        {"Window", "Y", "100"},
        {"Window", "Width", "510"},
        {"Window", "Height", "260"},
        {"Window", "IsMaximized", "0"}}},

      // Reader rules
      {"names in other letter case",
       Lines({"[OUTPUT]", "jpg quality = 80", "[advanced]", "FILENAME MASK = %filename%_x.%ext%"}),
       {{"Output", "JPG Quality", "80"}, {"Advanced", "Filename Mask", "%filename%_x.%ext%"}}},
      {"Latin-1 without a byte-order mark",
       Lines({"[Watermark]", "Font = Caf\xE9", "Text = \xA9 me"}),
       {{"Watermark", "Font", "Caf\xC3\xA9"}, {"Watermark", "Text", "\xC2\xA9 me"}}},
      {"UTF-8 after a byte-order mark",
       Lines({"\xEF\xBB\xBF", "[Watermark]", "Font = Caf\xC3\xA9"}),
       {{"Watermark", "Font", "Caf\xC3\xA9"}}},
      {"the first of a duplicated key counts",
       Lines({"[Output]", "JPG Quality = 80", "JPG Quality = 90"}),
       {{"Output", "JPG Quality", "80"}}},
      {"garbage lines are skipped",
       Lines({"[Output]", "not a key at all", "=81", "\x01\x02\xFF", "; JPG Quality = 1", "   JPG Quality\t=\t 70 \t",
              "JPG Chroma"}),
       {{"Output", "JPG Quality", "70"}, {"Output", "JPG Chroma", "0"}}},
      {"keys count only in their own group",
       Lines({"JPG Quality = 10", "[General]", "JPG Quality = 20", "[Output]", "Quality = 30"}),
       {{"Output", "JPG Quality", "95"}}},
      {"LF line ends", "[Output]\nJPG Quality = 81\n", {{"Output", "JPG Quality", "81"}}},
      {"CR line ends", "[Output]\rJPG Quality = 82", {{"Output", "JPG Quality", "82"}}},
      {"texts are trimmed of blanks and tabs only at the ends",
       Lines({"[Watermark]", "Font =   Verdana  ", "Text = \t a = b \t", "[File]", "Recent Out Folders = /a/\t/b c/"}),
       {{"Watermark", "Font", "Verdana"},
        {"Watermark", "Text", "a = b"},
        {"File", "Recent Out Folders", "/a/\t/b c/"}}},

      // Numbers
      {"integers read as far as they are decimal",
       Lines({"[Output]", "JPG Quality = 80abc", "JPG BPP = $FF", "WEBP Quality = +7", "PNG BPP = abc",
              "[Adjustment]", "Image Brightness = -12px", "Image Contrast = 1e3"}),
       {{"Output", "JPG Quality", "80"},
        {"Output", "JPG BPP", "0"},
        {"Output", "WEBP Quality", "7"},
        {"Output", "PNG BPP", "0"},
        {"Adjustment", "Image Brightness", "-12"},
        {"Adjustment", "Image Contrast", "1"}}},
      {"integers keep their low 32 bits, dates all 64",
       Lines({"[General]", "Update Date = 5000000000", "[Output]", "JPG Quality = 4294967297"}),
       {{"General", "Update Date", "5000000000"}, {"Output", "JPG Quality", "1"}}},
      {"8-bit kinds keep their low 8 bits",
       Lines({"[Advanced]", "Out Folders Number = 300", "Keep Subfolders = -1", "[Frame]", "Do Frame = 257"}),
       {{"Advanced", "Out Folders Number", "44"}, {"Advanced", "Keep Subfolders", "-1"}, {"Frame", "Do Frame", "1"}}},
      {"gamma 1.5", Lines({"[Adjustment]", "Image Gamma = 1.5"}), {{"Adjustment", "Image Gamma", "1.5"}}},
      {"gamma with exponent", Lines({"[Adjustment]", "Image Gamma = 2.5e-1x"}), {{"Adjustment", "Image Gamma", "0.25"}}},
      {"gamma nan", Lines({"[Adjustment]", "Image Gamma = nan"}), {{"Adjustment", "Image Gamma", "nan"}}},
      {"gamma -INFINITY", Lines({"[Adjustment]", "Image Gamma = -INFINITY"}), {{"Adjustment", "Image Gamma", "-inf"}}},
      {"gamma not a number", Lines({"[Adjustment]", "Image Gamma = x1"}), {{"Adjustment", "Image Gamma", "0"}}},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    Settings s = ReadText(c.file);
    for (const Expect& e : c.expect) EXPECT_EQ(FieldText(s, e.group, e.key), e.value) << e.group << "/" << e.key;
  }
}

TEST(SettingsFileRead, FileThatCannotBeOpenedGivesCentredDefaults) {
  TempDir dir;
  ::mkdir((dir / "folder.ini").c_str(), 0755);
  for (const std::string& path : {dir / "missing.ini", dir / "folder.ini", std::string()}) {
    SCOPED_TRACE(path);
    Settings s = Scrambled();
    ReadSettingsFile(s, path, kDesktop);
    EXPECT_EQ(s.CFG, 19);
    EXPECT_EQ(s.X, 257);
    EXPECT_EQ(s.Y, 254);
    EXPECT_EQ(s.KeepAspectRatio, 1);
    EXPECT_EQ(s.JPGQuality, 95);
    EXPECT_EQ(s.FilenameMask, "%filename%.%ext%");
    EXPECT_NEAR(static_cast<double>(s.UpdateDate), static_cast<double>(LocalNowSeconds()), 5.0);
  }
}

// ----------------------------------------------------------------------------------------------
// Safe writing

constexpr uid_t kNobody = 65534;

// The wait status of `body` run in a child process; as root the child first becomes user
// nobody, so that file permissions bind it as they bind everyone else.
int RunInChild(const std::function<int()>& body) {
  std::fflush(nullptr);
  pid_t pid = ::fork();
  if (pid == 0) {
    if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
      ::_exit(99);
    ::_exit(body());
  }
  int status = -1;
  ::waitpid(pid, &status, 0);
  return status;
}

bool WriteInChild(const Settings& s, const std::string& path) {
  int status = RunInChild([&] { return WriteSettingsFile(s, path) ? 0 : 1; });
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) <= 1) << "status " << status;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A folder the child of RunInChild owns, below a test folder it may pass through.
std::string ChildsFolder(const TempDir& dir) {
  ::chmod(dir.path().c_str(), 0711);
  std::string folder = dir / "cfg/";
  ::mkdir(folder.c_str(), 0755);
  if (::geteuid() == 0 && ::chown(folder.c_str(), kNobody, kNobody) != 0) ADD_FAILURE() << "chown";
  return folder;
}

Settings Changed() {
  Settings s = Defaults();
  s.JPGQuality = 42;
  s.RecentOutFolders = std::string(5000, 'x');  // longer than the size limits below
  return s;
}

class SettingsFileSafety : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = ChildsFolder(dir_);
    path_ = folder_ + "config.ini";
    ASSERT_TRUE(WriteSettingsFile(Defaults(), path_));
    if (::geteuid() == 0 && ::chown(path_.c_str(), kNobody, kNobody) != 0) ADD_FAILURE() << "chown";
    old_ = ReadFile(path_);
  }
  void ExpectOldFileIntact() {
    EXPECT_EQ(ReadFile(path_), old_);
    Settings s;
    ReadSettingsFile(s, path_);
    EXPECT_EQ(s.JPGQuality, 95);
  }

  TempDir dir_;
  std::string folder_, path_, old_;
};

TEST_F(SettingsFileSafety, UnwritableFolderKeepsTheOldFile) {
  ::chmod(folder_.c_str(), 0555);
  EXPECT_FALSE(WriteInChild(Changed(), path_));
  ::chmod(folder_.c_str(), 0755);
  ExpectOldFileIntact();
  EXPECT_EQ(ListFolder(folder_), std::vector<std::string>{"config.ini"});

  // The same writer succeeds once the folder lets it.
  EXPECT_TRUE(WriteInChild(Changed(), path_));
  Settings s;
  ReadSettingsFile(s, path_);
  EXPECT_EQ(s.JPGQuality, 42);
}

TEST_F(SettingsFileSafety, ReadOnlyFileIsLeftAlone) {
  ::chmod(path_.c_str(), 0444);
  EXPECT_FALSE(WriteInChild(Changed(), path_));
  ExpectOldFileIntact();
  ::chmod(path_.c_str(), 0644);
  EXPECT_TRUE(WriteInChild(Changed(), path_));
  EXPECT_NE(ReadFile(path_), old_);
}

TEST_F(SettingsFileSafety, FullDiskKeepsTheOldFileAndLeavesNoTemporary) {
  int status = RunInChild([&] {
    ::signal(SIGXFSZ, SIG_IGN);  // writes past the limit fail with EFBIG, as on a full disk
    struct rlimit limit;
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = 1000;
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 2;
    return WriteSettingsFile(Changed(), path_) ? 0 : 1;
  });
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1) << "the write must report failure";
  ExpectOldFileIntact();
  EXPECT_EQ(ListFolder(folder_), std::vector<std::string>{"config.ini"});
}

TEST_F(SettingsFileSafety, WriterKilledWhileWritingLeavesTheOldFile) {
  int status = RunInChild([&] {
    ::signal(SIGXFSZ, SIG_DFL);  // the process dies at the first write past the limit
    struct rlimit limit;
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = 1000;
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 2;
    WriteSettingsFile(Changed(), path_);
    return 3;
  });
  ASSERT_TRUE(WIFSIGNALED(status)) << "status " << status;
  EXPECT_EQ(WTERMSIG(status), SIGXFSZ);
  ExpectOldFileIntact();
  // The partial text went to a file of its own.
  std::vector<std::string> names = ListFolder(folder_);
  ASSERT_EQ(names.size(), 2u);
  std::string partial = names[0] == "config.ini" ? names[1] : names[0];
  EXPECT_EQ(ReadFile(folder_ + partial).size(), 1000u);
}

TEST_F(SettingsFileSafety, SuccessfulWriteReplacesTheFileInsteadOfRewritingIt) {
  // A second name for the old file shows whether its bytes were ever touched.
  ASSERT_EQ(::link(path_.c_str(), (folder_ + "old").c_str()), 0);
  ASSERT_TRUE(WriteSettingsFile(Changed(), path_));
  EXPECT_EQ(ReadFile(folder_ + "old"), old_);
  EXPECT_EQ(ReadFile(path_), SettingsFileText(Changed()));
  EXPECT_EQ(ListFolder(folder_), (std::vector<std::string>{"config.ini", "old"}));
}

TEST_F(SettingsFileSafety, LinkedFileIsWrittenThroughTheLink) {
  std::string shared = dir_ / "shared.ini";
  ASSERT_EQ(::rename(path_.c_str(), shared.c_str()), 0);
  ASSERT_EQ(::symlink(shared.c_str(), path_.c_str()), 0);
  ASSERT_TRUE(WriteSettingsFile(Changed(), path_));
  struct stat st;
  ASSERT_EQ(::lstat(path_.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(ReadFile(shared), SettingsFileText(Changed()));
}

TEST_F(SettingsFileSafety, MissingFolderFailsQuietly) {
  EXPECT_FALSE(WriteSettingsFile(Changed(), folder_ + "gone/config.ini"));
  EXPECT_FALSE(WriteSettingsFile(Changed(), ""));
  EXPECT_EQ(ListFolder(folder_), std::vector<std::string>{"config.ini"});
}

// ----------------------------------------------------------------------------------------------
// Folder

class SettingsFileFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"XDG_CONFIG_HOME", "HOME"}) {
      const char* value = std::getenv(name);
      saved_.push_back({name, value ? std::optional<std::string>(value) : std::nullopt});
    }
  }
  void TearDown() override {
    for (const auto& [name, value] : saved_)
      value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
  }
  static void Set(const char* name, const std::optional<std::string>& value) {
    value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
  }

  TempDir dir_;
  std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

TEST_F(SettingsFileFolder, BuiltFromTheConfigHomeWithEveryLevelCreated) {
  struct Case {
    const char* name;
    std::optional<std::string> xdg;
    std::string expected;
  };
  const std::string home = dir_ / "home";
  const std::vector<Case> cases = {
      {"config home set", dir_ / "xdg/deep", dir_ / "xdg/deep/Tessaly/rastello/"},
      {"blanks and a final slash", "  " + dir_ / "blank/  ", dir_ / "blank/Tessaly/rastello/"},
      {"config home unset", std::nullopt, home + "/.config/Tessaly/rastello/"},
      {"config home empty", "", home + "/.config/Tessaly/rastello/"},
      {"config home relative", "relative/cfg", home + "/.config/Tessaly/rastello/"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Set("XDG_CONFIG_HOME", c.xdg);
    Set("HOME", home);
    EXPECT_EQ(BuildSettingsFolder(), c.expected);
    EXPECT_TRUE(IsFolder(c.expected));
    EXPECT_EQ(BuildSettingsFolder(), c.expected) << "existing folders are fine";
  }
  EXPECT_FALSE(test::Exists("relative")) << "nothing is made relative to the current folder";
  struct stat st;
  ASSERT_EQ(::stat((home + "/.config").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 077, 0u) << "a config home made here is private";
}

TEST_F(SettingsFileFolder, FolderThatCannotBeMadeLosesTheSettingsQuietly) {
  WriteFile(dir_ / "file", "x");
  Set("XDG_CONFIG_HOME", dir_ / "file/cfg");
  std::string folder = BuildSettingsFolder();
  EXPECT_EQ(folder, dir_ / "file/cfg/Tessaly/rastello/");
  EXPECT_FALSE(WriteSettingsFile(Defaults(), folder + "config.ini"));
  Settings s;
  ReadSettingsFile(s, folder + "config.ini", kDesktop);
  EXPECT_EQ(s.X, 257);
}

TEST_F(SettingsFileFolder, ComputedOnceAndUsedByTheDefaultPath) {
  Set("XDG_CONFIG_HOME", dir_ / "first");
  const std::string folder = SettingsFolder();
  Set("XDG_CONFIG_HOME", dir_ / "second");
  EXPECT_EQ(SettingsFolder(), folder);
  EXPECT_EQ(SettingsFilePath(), folder + "config.ini");
  // Only this test asks for the kept folder, so it was computed under "first".
  ASSERT_EQ(folder, dir_ / "first/Tessaly/rastello/");

  Settings s = Changed();
  ASSERT_TRUE(WriteSettingsFile(s));
  EXPECT_EQ(ReadFile(folder + "config.ini"), SettingsFileText(s));
  Settings read;
  ReadSettingsFile(read, kDesktop);
  EXPECT_EQ(read.JPGQuality, 42);
  EXPECT_FALSE(test::Exists(dir_ / "second"));
}

}  // namespace
}  // namespace rastello
