#include "i18n/strings.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "support/temp_dir.h"

namespace rastello {
namespace {

// The text every failed lookup gives.
const char* const kMissing = "%NO_STRING_ERROR%";

struct LookupCase {
  const char* group;
  const char* key;
  const char* text;
};

std::ostream& operator<<(std::ostream& os, const LookupCase& c) {
  return os << c.group << "/" << c.key;
}

class BuiltInStringTables : public ::testing::Test {
 protected:
  void SetUp() override { tables_.Build(""); }
  StringTables tables_;
};

TEST_F(BuiltInStringTables, HoldsEveryGroupInOrderWithItsEntryCount) {
  const std::vector<std::pair<std::string, size_t>> expected = {
      {"MENU", 27},        {"GENERAL", 10},          {"MSG", 41},       {"DIALOG", 18},
      {"PREFERENCES", 223}, {"ABOUT", 4},            {"CUSTOM-CONVERTER", 4}, {"UNINSTALL", 3},
  };
  std::vector<std::string> names;
  for (const auto& [name, count] : expected) {
    names.push_back(name);
    EXPECT_EQ(tables_.EntryCount(name), count) << name;
  }
  EXPECT_EQ(tables_.GroupNames(), names);
  EXPECT_EQ(tables_.EntryCount("custom-converter"), 4u);
  EXPECT_EQ(tables_.EntryCount("Nope"), 0u);
}

TEST_F(BuiltInStringTables, FindsTheTextOfKeysFromEveryGroup) {
  // Each group's alphabetically first and last keys are included: they sit at the ends of the
  // group's sorted range and at the first-character index's edges.
  const LookupCase cases[] = {
      {"Menu", "About", "About..."},
      {"Menu", "Visit Homepage", "Visit the Program's Homepage"},
      {"Menu", "Select Input File", "Add Input File..."},
      {"Menu", "Select Input Files", "Add Input Files..."},
      {"Menu", "Select Input Folder", "Add Input Folder..."},
      {"Menu", "Custom Converter", "Find a File Converter..."},
      {"General", "Convert", "Convert"},
      {"General", "Converting", "Converting..."},
      {"General", "Ready", "Ready"},
      {"Msg", "Ask break conversion", "Do you want to break the conversion?"},
      {"Msg", "Warning", "Warning"},
      {"Msg", "Invalid input folder",
       "The following input folder is invalid or doesn't exist:\r\n%s1%\r\n\r\n"
       "Please, correct the input path and try again!"},
      {"Msg", "Ask continue to find",
       "No matches of %s1% found!\r\n\r\nDo you want to search from the start of the list?"},
      {"Msg", "Progress", "(%s1%/%s2%)"},
      {"Msg", "New Update", "New Update"},
      {"Msg", "New Update Text",
       "A new version of Tessaly PNG to JPG is available! Are you ready to download it right now?"},
      {"Dialog", "All Files", "All Files"},
      {"Dialog", "Time Unknown", "Unknown"},
      {"Dialog", "Time Remaining", "Time Remaining: %s1%"},
      {"Dialog", "OK", "OK"},
      {"Preferences", "Adaptive Logarithmic", "Adaptive Logarithmic"},
      {"Preferences", "ZLIB9", "ZLib Level 9"},
      {"Preferences", "Keep Aspect Ratio", "Keep Proportions:"},
      {"Preferences", "FS", "Floyd and Steinberg error diffusion"},
      {"Preferences", "Medium", "Medium"},
      {"Preferences", "RGB", "RGB"},
      {"Preferences", "RGB48", "RGB 48-bit"},
      {"Preferences", "RGB48HS", "RGB 48-bit (HS)"},
      {"Preferences", "Title", "Preferences..."},
      {"Preferences", "Clean Recent Files", "Clean Recent Files List on Exit"},
      {"Preferences", "Out Folders Number", "Output Folders Number:"},
      {"About", "Email", "E-mail:"},
      {"About", "Website", "Web:"},
      {"About", "Title", "About..."},
      {"Custom-Converter", "From", "From:"},
      {"Custom-Converter", "To", "To:"},
      {"Custom-Converter", "Title", "Find a File Converter"},
      {"Uninstall", "Next", "Next"},
      {"Uninstall", "Uninstall Text", "Full Uninstall - Visit Uninstall Center"},
      {"Uninstall", "Title", "Uninstall"},
  };
  for (const LookupCase& c : cases) EXPECT_EQ(tables_.Lookup(c.group, c.key), c.text) << c;
}

TEST_F(BuiltInStringTables, PreferencesLabelsDerivedFromTheirKeys) {
  const char* const sameAsKey[] = {
      "None", "Auto", "General", "Every day", "Every week", "Every month", "Every 3 months",
      "Every 6 months", "Never", "Interface", "Small", "Medium", "Large", "Extra Large", "Huge",
      "Input", "Linear", "Adaptive Logarithmic", "DR Reduction", "Gradient Domain", "Output", "RLE",
      "ZIP", "PXR24", "B44", "LZW", "JPEG", "Exact", "RGB", "CMYK", "LAB", "Low", "Medium", "High",
      "Baseline Standard", "Baseline Simple", "Baseline Optimized", "Progressive", "Transform",
      "All Images", "Large Images", "Box", "Bilinear", "Bicubic", "Lanczos", "Adjustment", "Frame",
      "Watermark", "Color", "Black", "Silver", "Gray", "White", "Maroon", "Red", "Purple",
      "Fuchsia", "Green", "Lime", "Olive", "Yellow", "Navy", "Blue", "Teal", "Aqua", "Orange",
      "Brown", "Violet", "Regular", "Bold", "Italic", "Bold Italic", "Underline", "Top-Left",
      "Top-Center", "Top-Right", "Middle-Left", "Middle-Center", "Middle-Right", "Bottom-Left",
      "Bottom-Center", "Bottom-Right", "Fixed", "Proportional", "Fit", "Fill", "Advanced",
      "Current", "Original", "Custom", "Export", "Privacy",
  };
  const char* const keyWithColon[] = {
      "Language", "Check for Updates", "Input Format", "Header Size", "Load As", "Frame Loading",
      "Output Format", "Bits Per Pixel", "Compression", "Color Table", "Color Mode",
      "Image Quality", "Chroma Subsampling", "Save As", "Interlaced", "Image Rotation",
      "Rotation Type", "Rotation Angle", "Background Color", "Image Resize", "Image Width",
      "Image Height", "Resize Type", "Resize Algorithm", "Image Brightness", "Image Contrast",
      "Image Threshold", "Threshold Level", "Image Dither", "Left", "Right", "Top", "Bottom",
      "Left Color", "Right Color", "Top Color", "Bottom Color", "Text", "Image", "Font",
      "Font Size", "Font Leading", "Font Color", "Font Style", "Font Effect", "Antialiasing",
      "Text Alignment", "Text Padding", "Text Opacity", "Background Opacity", "Opacity", "Boundary",
      "Position", "X-Offset", "Y-Offset", "Size", "Scale", "Filename Mask", "File Timestamp",
      "Custom Timestamp", "Keep Subfolders",
  };
  for (const char* key : sameAsKey) EXPECT_EQ(tables_.Lookup("Preferences", key), key) << key;
  for (const char* key : keyWithColon)
    EXPECT_EQ(tables_.Lookup("Preferences", key), std::string(key) + ":") << key;
}

TEST_F(BuiltInStringTables, MatchesGroupAndKeyWithoutRegardToCase) {
  const LookupCase cases[] = {
      {"Msg", "Warning", "Warning"},
      {"msg", "warning", "Warning"},
      {"MSG", "WARNING", "Warning"},
      {"mSG", "wARNING", "Warning"},
      {"custom-converter", "title", "Find a File Converter"},
      {"preferences", "keep aspect ratio", "Keep Proportions:"},
      {"PREFERENCES", "fs", "Floyd and Steinberg error diffusion"},
      {"menu", "select input files", "Add Input Files..."},
  };
  for (const LookupCase& c : cases) EXPECT_EQ(tables_.Lookup(c.group, c.key), c.text) << c;
}

TEST_F(BuiltInStringTables, MissingGroupOrKeyGivesTheErrorText) {
  const LookupCase cases[] = {
      {"Msg", "No such key", ""},
      {"Nope", "Warning", ""},
      {"", "Warning", ""},
      {"Msg", "", ""},
      {"Msg ", "Warning", ""},
      {"Msg", "Warning ", ""},
      {"Menu", "Select Input", ""},        // a prefix of stored keys
      {"Menu", "Select Input Filesx", ""},  // a stored key is a prefix of it
      {"Menu", "Add Input File...", ""},   // a text, not a key
      {"Menu", "\xC3\x84nderung", ""},       // first byte outside ASCII
      // Keys of the next group that sort after every key here with the same first character:
      // the scan must stop at the end of the requested group.
      {"General", "Reset to Defaults", ""},
      {"Dialog", "Transform", ""},
      // Sort after every later key of the data, so a scan past the group runs off its end.
      {"About", "Website2", ""},
      {"Uninstall", "Uninstall Zzz", ""},
  };
  for (const LookupCase& c : cases) EXPECT_EQ(tables_.Lookup(c.group, c.key), kMissing) << c;
}

TEST_F(BuiltInStringTables, LookupFollowsEveryChangeOfGroup) {
  // "Title" exists in four groups with four texts; a stale remembered group would answer from
  // the previous one.
  const LookupCase sequence[] = {
      {"About", "Title", "About..."},
      {"Custom-Converter", "Title", "Find a File Converter"},
      {"custom-converter", "Title", "Find a File Converter"},
      {"Nope", "Title", kMissing},
      {"Uninstall", "Title", "Uninstall"},
      {"Preferences", "Title", "Preferences..."},
      {"About", "Title", "About..."},
      {"Menu", "File", "File"},
      {"Nope", "File", kMissing},
      {"Menu", "File", "File"},
  };
  for (const LookupCase& c : sequence) EXPECT_EQ(tables_.Lookup(c.group, c.key), c.text) << c;
}

TEST(StringTablesData, LookupBeforeBuildFindsNothing) {
  StringTables tables;
  EXPECT_EQ(tables.Lookup("Msg", "Warning"), kMissing);
  EXPECT_TRUE(tables.GroupNames().empty());
}

// Small data sets show the table rules apart from the built-in vocabulary.
TEST(StringTablesData, BuildsGroupsFromMarkersAndSortsTheirKeys) {
  const StringPair data[] = {
      {"Orphan", "before any group"},
      {kGroupMarker, "Alpha"},
      {"b", "alpha b"},
      {kGroupMarker, "Empty"},
      {kGroupMarker, "Beta"},
      {"Cz", "beta cz"},
      {"ba", "beta ba"},
      {"c", "beta c"},
      {"bz", "beta bz"},
      {kEndMarker, ""},
      {kGroupMarker, "Late"},
      {"d", "after the end"},
  };
  StringTables tables;
  tables.Build(data, "");

  EXPECT_EQ(tables.GroupNames(), (std::vector<std::string>{"ALPHA", "EMPTY", "BETA"}));
  EXPECT_EQ(tables.EntryCount("Alpha"), 1u);
  EXPECT_EQ(tables.EntryCount("Empty"), 0u);
  EXPECT_EQ(tables.EntryCount("Beta"), 4u);

  const LookupCase cases[] = {
      {"Alpha", "B", "alpha b"},
      {"Beta", "c", "beta c"},
      {"Beta", "cZ", "beta cz"},
      {"Beta", "BA", "beta ba"},
      {"Beta", "bz", "beta bz"},
      {"Alpha", "bz", kMissing},  // Beta's key, reachable only by running past Alpha
      {"Beta", "b", kMissing},
      {"Empty", "b", kMissing},
      {"Alpha", "Orphan", kMissing},
      {"", "Orphan", kMissing},
      {"Late", "d", kMissing},
      {"Beta", "d", kMissing},
  };
  for (const LookupCase& c : cases) EXPECT_EQ(tables.Lookup(c.group, c.key), c.text) << c;
}

// Each test writes its language files into its own fresh folder.
class StringTablesLanguageFile : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& bytes) {
    test::WriteFile(dir_ / name, bytes);
    return dir_ / name;
  }

  test::TempDir dir_;
  StringTables tables_;
};

TEST_F(StringTablesLanguageFile, ReplacesTextsKeyByKey) {
  struct Case {
    const char* name;
    std::string bytes;
    LookupCase expect;
  };
  const Case cases[] = {
      {"lower-case group line", "[msg]\r\nwarning = Avviso\r\n", {"Msg", "Warning", "Avviso"}},
      {"upper-case group line", "[PREFERENCES]\nKEEP ASPECT RATIO=Proporzioni:\n",
       {"Preferences", "Keep Aspect Ratio", "Proporzioni:"}},
      {"Latin-1 without BOM", "[Menu]\nFile = Fichier \xE9" "dit\xE9\n",
       {"Menu", "File", "Fichier \xC3\xA9" "dit\xC3\xA9"}},
      {"UTF-8 BOM", "\xEF\xBB\xBF[Menu]\r\nFile = \xD0\xA4\xD0\xB0\xD0\xB9\xD0\xBB\r\n",
       {"Menu", "File", "\xD0\xA4\xD0\xB0\xD0\xB9\xD0\xBB"}},
      {"UTF-8 without BOM is read as Latin-1", "[Menu]\nFile = \xC3\xA9\n",
       {"Menu", "File", "\xC3\x83\xC2\xA9"}},
      {"CR line ends", "[Menu]\rNew = Nuovo\rOpen = Apri\r", {"Menu", "Open", "Apri"}},
      {"first occurrence wins", "[Menu]\nFile = First\nFILE = Second\n", {"Menu", "File", "First"}},
      {"both entries of a duplicated key", "[Preferences]\nMedium = Mittel\n",
       {"Preferences", "Medium", "Mittel"}},
      {"empty value", "[Menu]\nFile =\n", {"Menu", "File", ""}},
      {"only the named group", "[Uninstall]\nTitle = Disinstalla\n",
       {"About", "Title", "About..."}},
      {"a key outside any group is ignored", "File = Nothing\n[Menu]\n", {"Menu", "File", "File"}},
      {"a key the data lacks is not added", "[Menu]\nNo Such Key = x\n",
       {"Menu", "No Such Key", kMissing}},
      {"a group the data lacks is not added", "[Extra]\nFile = x\n",
       {"Extra", "File", kMissing}},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    tables_.Build(Write("lang" + std::to_string(n++) + ".ini", c.bytes));
    EXPECT_EQ(tables_.Lookup(c.expect.group, c.expect.key), c.expect.text);
  }
}

TEST_F(StringTablesLanguageFile, KeepsBuiltInTextsTheFileDoesNotName) {
  tables_.Build(Write("it.ini",
                      "[Msg]\nWarning = Avviso\nNo Such Key = x\n"
                      "[About]\nTitle = Informazioni\n"
                      "[Extra]\nFile = x\n"));
  EXPECT_EQ(tables_.Lookup("Msg", "Warning"), "Avviso");
  EXPECT_EQ(tables_.Lookup("About", "Title"), "Informazioni");
  EXPECT_EQ(tables_.Lookup("Msg", "Error"), "Error");
  EXPECT_EQ(tables_.Lookup("Custom-Converter", "Title"), "Find a File Converter");
  EXPECT_EQ(tables_.Lookup("Menu", "File"), "File");
  EXPECT_EQ(tables_.EntryCount("Msg"), 41u);
  EXPECT_EQ(tables_.GroupNames().size(), 8u);
}

TEST_F(StringTablesLanguageFile, UnreadableFileLeavesTheBuiltInTexts) {
  for (const std::string& path : {dir_ / "missing.ini", dir_.path()}) {
    SCOPED_TRACE(path);
    tables_.Build(path);
    EXPECT_EQ(tables_.Lookup("Msg", "Warning"), "Warning");
    EXPECT_EQ(tables_.Lookup("Preferences", "FS"), "Floyd and Steinberg error diffusion");
    EXPECT_EQ(tables_.EntryCount("Preferences"), 223u);
  }
}

TEST_F(StringTablesLanguageFile, RebuildDropsEarlierOverrides) {
  tables_.Build(Write("de.ini", "[Msg]\nWarning = Warnung\n"));
  ASSERT_EQ(tables_.Lookup("Msg", "Warning"), "Warnung");
  tables_.Build("");
  EXPECT_EQ(tables_.Lookup("Msg", "Warning"), "Warning");
}

// The process-wide tables are shared with every other test of this binary, so each case leaves
// them built from the built-in data.
class ProcessStringTables : public StringTablesLanguageFile {
 protected:
  void TearDown() override { BuildStringTables(""); }
};

TEST_F(ProcessStringTables, BuildsTheBuiltInTextsForLookupString) {
  EXPECT_EQ(BuildStringTables(""), 1);
  EXPECT_EQ(LookupString("Msg", "Warning"), "Warning");
  EXPECT_EQ(LookupString("msg", "warning"), "Warning");
  EXPECT_EQ(LookupString("Menu", "Select Input File"), "Add Input File...");
  EXPECT_EQ(LookupString("Msg", "No such key"), kMissing);
}

TEST_F(ProcessStringTables, LanguageFileReachesLookupString) {
  EXPECT_EQ(BuildStringTables(Write("fr.ini", "[dialog]\nok = D'accord\n")), 1);
  EXPECT_EQ(LookupString("Dialog", "OK"), "D'accord");
  EXPECT_EQ(BuildStringTables(dir_ / "missing.ini"), 1);
  EXPECT_EQ(LookupString("Dialog", "OK"), "OK");
}

}  // namespace
}  // namespace rastello
