#include <gtest/gtest.h>

#include "engine/filetype.h"
#include "support/temp_dir.h"

namespace rastello {
namespace {

std::string Id(std::initializer_list<int> bytes) {
  std::vector<unsigned char> v;
  for (int b : bytes) v.push_back(static_cast<unsigned char>(b));
  return IdentifySignature(v.data(), v.size());
}

TEST(IdentifySignature, NamesKnownSignatures) {
  EXPECT_EQ(Id({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0}), "PNG");
  EXPECT_EQ(Id({0x49, 0x49, 0x2A, 0x00, 0x10, 0x00, 0x00, 0x00, 0x43, 0x52}), "CR2");
  EXPECT_EQ(Id({0x49, 0x49, 0x2A, 0x00, 0x08, 0x00}), "TIFF (LE)");
  EXPECT_EQ(Id({'B', 'M'}), "BMP");
  EXPECT_EQ(Id({0x50, 0x4B, 0x05, 0x06}), "ZIP (E)");
  EXPECT_EQ(Id({'1', '\n', '0', '0'}), "SRT");
  EXPECT_EQ(Id({'P', '1', '\r'}), "[ERROR] UNRECOGNIZED");
  EXPECT_EQ(Id({'P', '1', '\n'}), "PBM");
  EXPECT_EQ(Id({'A', 'T', '&', 'T', 'F', 'O', 'R', 'M', 1, 2, 3, 4, 'D', 'J', 'V'}), "DJVU");
  EXPECT_EQ(Id({'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f', 'o', 'r', 'm', 'a', 't', ' ', '3', 0}), "SQLITE/DB");
}

TEST(IdentifySignature, RiffFormsAreToldApartByBytesEightToEleven) {
  EXPECT_EQ(Id({'R', 'I', 'F', 'F', 1, 2, 3, 4, 'W', 'E', 'B', 'P'}), "WEBP");
  EXPECT_EQ(Id({'R', 'I', 'F', 'F', 9, 9, 9, 9, 'A', 'V', 'I', ' '}), "AVI");
  EXPECT_EQ(Id({'R', 'I', 'F', 'F', 0, 0, 0, 0, 'X', 'Y', 'Z', 'W'}), "[ERROR] UNRECOGNIZED");
}

TEST(IdentifySignature, JpegVariants) {
  EXPECT_EQ(Id({0xFF, 0xD8, 0xFF, 0xDB}), "JPG");
  EXPECT_EQ(Id({0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00, 0x01}), "JPEG/JFIF");
  EXPECT_EQ(Id({0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x11, 'J', 'F', 'I', 'F', 0x00, 0x01}), "[ERROR] UNRECOGNIZED");
  EXPECT_EQ(Id({0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00, 0x02}), "[ERROR] UNRECOGNIZED");
  EXPECT_EQ(Id({0xFF, 0xD8, 0xFF, 0xE1, 0x12, 0x34, 'E', 'x', 'i', 'f', 0, 0}), "JPEG/EXIF");
  EXPECT_EQ(Id({0xFF, 0xD8, 0xFF, 0xE2, 0, 0}), "[ERROR] UNRECOGNIZED");
  EXPECT_EQ(Id({0xFF, 0xFB, 0x90}), "MP3");
}

TEST(IdentifySignature, ShortSamplesNeverMatchLongerRows) {
  EXPECT_EQ(Id({0x00, 0x00, 0x01}), "[ERROR] UNRECOGNIZED");
  EXPECT_EQ(Id({0x49, 0x49, 0x2A, 0x00, 0x10, 0x00, 0x00, 0x00, 0x43}), "TIFF (LE)");
  EXPECT_EQ(IdentifySignature(nullptr, 0), "[ERROR] UNRECOGNIZED");
}

TEST(IdentifyFileType, ReadsTheFileWhateverItsName) {
  test::TempDir dir;
  test::WriteFile(dir / "image.jpg", std::string("\x89PNG\r\n\x1a\n", 8) + std::string(100, 'x'));
  EXPECT_EQ(IdentifyFileType(dir / "image.jpg"), "PNG");
  test::WriteFile(dir / "empty.png", "");
  EXPECT_EQ(IdentifyFileType(dir / "empty.png"), "[ERROR] UNRECOGNIZED");
  EXPECT_EQ(IdentifyFileType(dir / "missing.png"), "[ERROR] UNRECOGNIZED");
  EXPECT_EQ(IdentifyFileType(dir.path()), "[ERROR] UNRECOGNIZED");
  // Bytes past the twentieth are never looked at.
  test::WriteFile(dir / "long.bin", std::string(19, '\x01') + "BM");
  EXPECT_EQ(IdentifyFileType(dir / "long.bin"), "[ERROR] UNRECOGNIZED");
}

}  // namespace
}  // namespace rastello
