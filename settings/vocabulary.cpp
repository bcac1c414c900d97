#include "settings/vocabulary.h"

#include <initializer_list>
#include <utility>

#include "settings/text.h"

namespace rastello {

namespace {

struct Word {
  const char* word;
  int32_t value;
};

struct List {
  std::initializer_list<Word> words;
};

// Vocabulary 4 serves five compression settings at once, so its numbers repeat; the first
// word of a number is the one printed.
const List kLists[] = {
    /* 0 */ {{{"AUTO", 0}, {"BGRA", 1}, {"RGBA", 2}}},
    /* 1 */ {{{"AUTO", 0}, {"8", 1}, {"16", 2}, {"24", 3}, {"48HS", 4}, {"48", 5}}},
    /* 2 */ {{{"ALL", 0}, {"FIRST", 1}, {"MIDDLE", 2}, {"LAST", 3}, {"RANDOM", 4}}},
    /* 3 */ {{{"NONE", 0}, {"LINEAR", 1}, {"AL", 2}, {"DRR", 3}, {"GD", 4}}},
    /* 4 */
    {{{"NONE", 0},      {"RLE", 1},       {"ZIP", 1},      {"PIZ", 2},        {"PXR24", 3},
      {"B44", 4},       {"ZLIB1", 1},     {"ZLIB6", 2},    {"ZLIB9", 3},      {"CCITTFAX3", 1},
      {"CCITTFAX4", 2}, {"PACKBITS", 3},  {"DEFLATE", 4},  {"ADOBEDEFLATE", 5}, {"LZW", 6},
      {"JPEG", 7},      {"LOGLUV", 8}}},
    /* 5 */ {{{"AUTO", 0}, {"EXACT", 1}}},
    /* 6 */ {{{"RGB", 0}, {"CMYK", 1}, {"LAB", 2}}},
    /* 7 */ {{{"NONE", 0}, {"LOW", 1}, {"MEDIUM", 2}, {"HIGH", 3}}},
    /* 8 */ {{{"STANDARD", 0}, {"SIMPLE", 1}, {"OPTIMIZED", 2}, {"PROGRESSIVE", 3}}},
    /* 9 */ {{{"SIMPLE", 0}, {"ADVANCED", 1}}},
    /* 10 */ {{{"PIXELS", 0}, {"PERCENT", 1}}},
    /* 11 */ {{{"ALLIMAGES", 0}, {"LARGEIMAGES", 1}}},
    /* 12 */
    {{{"BOX", 0}, {"BILINEAR", 1}, {"BSPLINE", 2}, {"BICUBIC", 3}, {"CATMULLROM", 4}, {"LANCZOS", 5}}},
    /* 13 */
    {{{"FS", 0},
      {"BAYER4", 1},
      {"BAYER8", 2},
      {"BAYER16", 3},
      {"CLUSTER6", 4},
      {"CLUSTER8", 5},
      {"CLUSTER16", 6}}},
    /* 14 */ {{{"NONE", 0}, {"SOLID", 1}}},
    /* 15 */ {{{"NONE", 0}, {"TEXT", 1}, {"IMAGE", 2}}},
    /* 16 */ {{{"REGULAR", 0}, {"BOLD", 1}, {"ITALIC", 2}, {"BOLDITALIC", 3}}},
    /* 17 */ {{{"NONE", 0}, {"UNDERLINE", 1}, {"STRIKETHROUGHT", 2}}},
    /* 18 */ {{{"LEFT", 0}, {"CENTER", 1}, {"RIGHT", 2}}},
    /* 19 */ {{{"IMAGE", 0}, {"FRAME", 1}}},
    /* 20 */
    {{{"TOPLEFT", 0},
      {"TOPCENTER", 1},
      {"TOPRIGHT", 2},
      {"MIDDLELEFT", 3},
      {"MIDDLECENTER", 4},
      {"MIDDLERIGHT", 5},
      {"BOTTOMLEFT", 6},
      {"BOTTOMCENTER", 7},
      {"BOTTOMRIGHT", 8}}},
    /* 21 */ {{{"FIXED", 0}}},
    /* 22 */ {{{"CURRENT", 0}, {"ORIGINAL", 1}, {"CUSTOM", 2}}},
};

constexpr int kCount = int(std::size(kLists));

}  // namespace

int32_t VocabularyValue(int vocabulary, std::string_view word) {
  if (vocabulary < 0 || vocabulary >= kCount || vocabulary == kVocFrame || vocabulary == kVocWatermark)
    return 0;
  std::string upper = AsciiUpper(word);
  for (const Word& w : kLists[vocabulary].words)
    if (upper == w.word) return w.value;
  return 0;
}

std::string VocabularyWord(int vocabulary, int64_t value) {
  if (vocabulary < 0 || vocabulary >= kCount) return {};
  for (const Word& w : kLists[vocabulary].words)
    if (w.value == value) return AsciiLower(w.word);
  return {};
}

}  // namespace rastello
