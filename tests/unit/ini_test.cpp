#include <gtest/gtest.h>

#include "settings/ini.h"
#include "support/temp_dir.h"

namespace rastello {
namespace {

TEST(IniFile, ReadsGroupsKeysAndTrimmedValues) {
  IniFile ini = IniFile::Parse(
      "top = ignored\r\n"
      "  ; a comment\r\n"
      "[First]\r\n"
      "  Key One \t=  value with  blanks \t\r\n"
      "empty=\n"
      "no equals sign here\r"
      "a=b=c\n"
      "[Second\n"
      "dup = 1\n"
      "DUP = 2\n"
      "[first]\n"
      "Key One = later group\n");
  ASSERT_EQ(ini.groups().size(), 3u);
  EXPECT_EQ(ini.groups()[1].name, "Second");  // the name runs to the end of the line
  ASSERT_NE(ini.Find("FIRST", "key one"), nullptr);
  EXPECT_EQ(*ini.Find("FIRST", "key one"), "value with  blanks");
  EXPECT_EQ(*ini.Find("First", "empty"), "");
  EXPECT_EQ(*ini.Find("First", "a"), "b=c");
  EXPECT_EQ(ini.Find("First", "no equals sign here"), nullptr);
  EXPECT_EQ(ini.Find("First", "top"), nullptr);  // entries before any group belong to none
  EXPECT_EQ(*ini.Find("second", "dup"), "1");     // the first occurrence counts
  EXPECT_EQ(ini.Find("Third", "x"), nullptr);
}

TEST(IniFile, DecodesUtf8AfterAByteOrderMarkElseLatin1) {
  IniFile utf8 = IniFile::Parse("\xEF\xBB\xBF[G]\nname = caf\xC3\xA9\n");
  EXPECT_EQ(*utf8.Find("G", "name"), "caf\xC3\xA9");
  IniFile latin1 = IniFile::Parse("[G]\nname = caf\xE9\n");
  EXPECT_EQ(*latin1.Find("G", "name"), "caf\xC3\xA9");
}

TEST(IniFile, LoadRefusesWhatCannotBeRead) {
  test::TempDir dir;
  EXPECT_FALSE(IniFile::Load(""));
  EXPECT_FALSE(IniFile::Load(dir / "missing.ini"));
  EXPECT_FALSE(IniFile::Load(dir.path()));  // a folder
  test::WriteFile(dir / "p.ini", "[CLI]\r\n--jpg-quality = 80\r\n");
  auto ini = IniFile::Load(dir / "p.ini");
  ASSERT_TRUE(ini);
  EXPECT_EQ(*ini->Find("cli", "--JPG-QUALITY"), "80");
}

}  // namespace
}  // namespace rastello
