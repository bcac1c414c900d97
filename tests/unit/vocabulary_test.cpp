#include <gtest/gtest.h>

#include "settings/vocabulary.h"

namespace rastello {
namespace {

TEST(VocabularyValue, MatchesWholeWordsWithoutRegardToCase) {
  struct Case {
    int vocabulary;
    const char* word;
    int32_t expected;
  };
  const Case cases[] = {
      {kVocResizeAlgorithm, "bicubic", 3},
      {kVocResizeAlgorithm, "BICUBIC", 3},
      {kVocResizeAlgorithm, "BICUBIC2", 0},  // no partial match: BOX
      {kVocResizeAlgorithm, "LANCZOS", 5},
      {kVocResizeAlgorithm, "", 0},
      {kVocSize, "FIXED", 0},
      {kVocSize, "anything", 0},
      {kVocCompression, "ZIP", 1},
      {kVocCompression, "RLE", 1},
      {kVocCompression, "ZLIB1", 1},
      {kVocCompression, "CCITTFAX3", 1},
      {kVocCompression, "LOGLUV", 8},
      {kVocCompression, "ZLIB9", 3},
      {kVocDither, "cluster16", 6},
      {kVocPosition, "BottomRight", 8},
      {kVocFontEffect, "STRIKETHROUGHT", 2},
      {kVocFontEffect, "STRIKETHROUGH", 0},
      {kVocRawLoadAs, "48HS", 4},
      {kVocFileTimestamp, "custom", 2},
      {kVocFrame, "SOLID", 0},      // printing only
      {kVocWatermark, "IMAGE", 0},  // printing only
      {23, "AUTO", 0},
      {-1, "AUTO", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.vocabulary) + " " + c.word);
    EXPECT_EQ(VocabularyValue(c.vocabulary, c.word), c.expected);
  }
}

TEST(VocabularyWord, PrintsTheFirstWordOfANumberInLowerCase) {
  const char* compression[] = {"none", "rle", "piz", "pxr24", "b44", "adobedeflate", "lzw", "jpeg", "logluv"};
  for (int v = 0; v <= 8; ++v) EXPECT_EQ(VocabularyWord(kVocCompression, v), compression[v]) << v;
  EXPECT_EQ(VocabularyWord(kVocCompression, 9), "");
  EXPECT_EQ(VocabularyWord(kVocJpgChroma, 9), "");
  EXPECT_EQ(VocabularyWord(kVocJpgChroma, 0), "none");
  EXPECT_EQ(VocabularyWord(kVocJpgSaveAs, 0), "standard");
  EXPECT_EQ(VocabularyWord(kVocFrame, 1), "solid");
  EXPECT_EQ(VocabularyWord(kVocWatermark, 2), "image");
  EXPECT_EQ(VocabularyWord(kVocFileTimestamp, 0), "current");
  EXPECT_EQ(VocabularyWord(kVocUnit, 1), "percent");
  EXPECT_EQ(VocabularyWord(99, 0), "");
}

TEST(Vocabulary, EveryWordReadsBackToItsNumber) {
  // Words printed for every number of every list read back to that number (but the two
  // lists that exist only for printing).
  for (int v = 0; v <= kVocFileTimestamp; ++v) {
    if (v == kVocFrame || v == kVocWatermark) continue;
    for (int n = 0; n <= 8; ++n) {
      std::string word = VocabularyWord(v, n);
      if (!word.empty()) {
        EXPECT_EQ(VocabularyValue(v, word), n) << v << " " << word;
      }
    }
  }
}

}  // namespace
}  // namespace rastello
