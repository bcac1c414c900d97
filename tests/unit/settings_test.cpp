#include <gtest/gtest.h>

#include <set>

#include "settings/settings.h"

namespace rastello {
namespace {

TEST(ResetSettings, CommandLineDefaults) {
  Settings s;
  ResetSettings(s, true);
  EXPECT_EQ(s.KeepAspectRatio, 0);
  EXPECT_EQ(s.JPGQuality, 95);
  EXPECT_EQ(s.WEBPQuality, 100);
  EXPECT_FLOAT_EQ(s.ImageGamma, 1.0f);
  EXPECT_EQ(s.TextPosition, 8);
  EXPECT_EQ(s.ImagePosition, 8);
  EXPECT_EQ(s.BackOpacity, 1);
  EXPECT_EQ(s.SolidOpacity, 255);
  EXPECT_EQ(s.ImageResizeAlgorithm, 3);
  EXPECT_EQ(s.RAWToneMapping, 2);
  EXPECT_EQ(s.InputFormat, "png");
  EXPECT_EQ(s.OutputFormat, "jpg");
  EXPECT_EQ(s.FilenameMask, "%filename%.%ext%");
  EXPECT_EQ(s.KeepSubfolders, 1);
  EXPECT_EQ(s.Font, "Arial");
  EXPECT_EQ(s.FontColor, "FFFFFF");
  EXPECT_EQ(s.ImageRotationBackColor, "000000");
  EXPECT_EQ(s.Text.rfind("©", 0), 0u) << "the notice begins with the sign ©";
  EXPECT_EQ(s.CFG, 19);
  int64_t now = LocalNowSeconds();
  EXPECT_NEAR(static_cast<double>(s.CustomTimestamp), static_cast<double>(now), 5.0);
  EXPECT_NEAR(static_cast<double>(s.UpdateDate), static_cast<double>(now), 5.0);
}

TEST(ResetSettings, WindowModeKeepsTheAspectRatioAndCentresTheWindow) {
  Settings s;
  ResetSettings(s, false, DesktopSize{1024, 768});
  EXPECT_EQ(s.KeepAspectRatio, 1);
  EXPECT_EQ(s.X, 257);
  EXPECT_EQ(s.Y, 254);
  EXPECT_EQ(s.Width, 510);
  EXPECT_EQ(s.Height, 260);
  ResetSettings(s, false, DesktopSize{400, 200});
  EXPECT_EQ(s.X, 100);
  EXPECT_EQ(s.Y, 100);
}

TEST(SettingsTable, NamesEveryFieldOnceByGroupAndKey) {
  std::set<std::string> names;
  for (const SettingInfo& info : SettingsTable())
    EXPECT_TRUE(names.insert(std::string(info.group) + "/" + info.key).second) << info.key;
  ASSERT_NE(FindSetting("output", "jpg quality"), nullptr);
  EXPECT_EQ(FindSetting("Output", "JPG Quality")->kind, SettingKind::Integer);
  // Keys that exist in two groups are told apart by the group.
  ASSERT_NE(FindSetting("Transform", "Image Rotation"), nullptr);
  ASSERT_NE(FindSetting("Watermark", "Image Rotation"), nullptr);
  EXPECT_NE(FindSetting("Transform", "Image Rotation")->field, FindSetting("Watermark", "Image Rotation")->field);
  EXPECT_EQ(FindSetting("Output", "No Such Key"), nullptr);
}

TEST(StoreNumber, KeepsTheLowBitsOfTheField) {
  Settings s;
  StoreNumber(s, &Settings::DoImageResize, 257);  // 8-bit field
  EXPECT_EQ(s.DoImageResize, 1);
  StoreNumber(s, &Settings::OutFoldersNumber, -1);
  EXPECT_EQ(s.OutFoldersNumber, -1);
  StoreNumber(s, &Settings::JPGQuality, (int64_t{1} << 32) + 80);
  EXPECT_EQ(s.JPGQuality, 80);
  StoreNumber(s, &Settings::CustomTimestamp, int64_t{1} << 40);
  EXPECT_EQ(s.CustomTimestamp, int64_t{1} << 40);
  EXPECT_EQ(NumericValue(s, &Settings::JPGQuality), 80);
  EXPECT_EQ(NumericValue(s, &Settings::Font), 0);
}

}  // namespace
}  // namespace rastello
