#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace rastello {

// Numbered word lists of the enumerated settings.
enum Vocabulary : int {
  kVocDdsLoadAs = 0,
  kVocRawLoadAs = 1,
  kVocFrameLoading = 2,
  kVocRawToneMapping = 3,
  kVocCompression = 4,
  kVocBmpColorTable = 5,
  kVocColorMode = 6,
  kVocJpgChroma = 7,
  kVocJpgSaveAs = 8,
  kVocRotationType = 9,
  kVocUnit = 10,
  kVocResizeType = 11,
  kVocResizeAlgorithm = 12,
  kVocDither = 13,
  kVocFrame = 14,
  kVocWatermark = 15,
  kVocFontStyle = 16,
  kVocFontEffect = 17,
  kVocTextAlignment = 18,
  kVocBoundary = 19,
  kVocPosition = 20,
  kVocSize = 21,
  kVocFileTimestamp = 22,
};

// Number of `word` (upper-cased, compared exactly); unknown words and vocabularies give 0.
// Vocabularies 14 and 15 are for printing only and always give 0 here.
int32_t VocabularyValue(int vocabulary, std::string_view word);
// Lower-case word of `value`, the first listed where several share a number; "" if none.
std::string VocabularyWord(int vocabulary, int64_t value);

}  // namespace rastello
