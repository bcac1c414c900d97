#include "engine/png_rows.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/stream.h"
#include "support/temp_dir.h"

namespace rastello {
namespace {

using Rows = std::vector<std::vector<unsigned char>>;

PngLayout LayoutOf(const std::string& path) {
  PngLayout layout;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  std::fseek(f, 0, SEEK_END);
  const long size = std::ftell(f);
  ReadPngLayout(f, uint64_t(size), layout);
  std::fclose(f);
  return layout;
}

// The rows as this reader gives them; empty when it gives up.
Rows Direct(const std::string& path) {
  const PngLayout layout = LayoutOf(path);
  const size_t bytes = size_t(layout.width) * (layout.colourType == PNG_COLOR_TYPE_RGB_ALPHA ? 4 : 3);
  Rows rows;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  const bool ok = ReadRowsDirect(f, layout, [&](const unsigned char* row) {
    rows.emplace_back(row, row + bytes);
    return true;
  });
  std::fclose(f);
  return ok ? rows : Rows();
}

// The rows as libpng gives them, without transformations.
Rows ByLibpng(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, f);
  png_read_info(png, info);
  Rows rows(png_get_image_height(png, info), std::vector<unsigned char>(png_get_rowbytes(png, info)));
  for (auto& row : rows) png_read_row(png, row.data(), nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(f);
  return rows;
}

// A photo-like RGB or RGBA picture written by libpng with the given filters.
void WritePng(const std::string& path, int colourType, int filters, int width = 131, int height = 67) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, f);
  png_set_IHDR(png, info, width, height, 8, colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_filter(png, 0, filters);
  png_write_info(png, info);
  const int channels = colourType == PNG_COLOR_TYPE_RGB_ALPHA ? 4 : 3;
  std::vector<unsigned char> row(size_t(width) * channels);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width * channels; ++x)
      row[x] = static_cast<unsigned char>((unsigned(x) * unsigned(x) / 7 + unsigned(y) * 13 + unsigned(x ^ y) * 3) & 0xFF);
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(f);
}

TEST(ReadRowsDirectTest, GivesLibpngsRowsForEveryFilterAndSuiteFile) {
  test::TempDir dir;
  std::vector<std::string> files;
  const std::pair<const char*, int> filters[] = {{"none", PNG_FILTER_NONE}, {"sub", PNG_FILTER_SUB},
                                                 {"up", PNG_FILTER_UP},     {"avg", PNG_FILTER_AVG},
                                                 {"paeth", PNG_FILTER_PAETH}, {"all", PNG_ALL_FILTERS}};
  for (auto [name, filter] : filters)
    for (int type : {PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_RGB_ALPHA}) {
      files.push_back(dir / (std::string(name) + std::to_string(type) + ".png"));
      WritePng(files.back(), type, filter);
    }
  // A row longer than the reader's input buffer.
  files.push_back(dir / "wide.png");
  WritePng(files.back(), PNG_COLOR_TYPE_RGB_ALPHA, PNG_ALL_FILTERS, 20000, 5);
  // Every filter type and zlib level, a gamma of 1/2.2, other chunks around the data.
  for (const char* name : {"f00n2c08.png", "f01n2c08.png", "f02n2c08.png", "f03n2c08.png", "f04n2c08.png",
                           "z00n2c08.png", "z03n2c08.png", "z06n2c08.png", "z09n2c08.png", "g04n2c08.png",
                           "exif2c08.png", "s01n3p01.png"})
    files.push_back(std::string(RASTELLO_PNGSUITE) + "/" + name);

  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    if (file.ends_with("s01n3p01.png")) {  // a palette: not this reader's
      EXPECT_FALSE(DirectRowsLayout(LayoutOf(file)));
      continue;
    }
    ASSERT_TRUE(DirectRowsLayout(LayoutOf(file)));
    const Rows direct = Direct(file);
    ASSERT_FALSE(direct.empty());
    EXPECT_TRUE(direct == ByLibpng(file));
  }
  // A gamma libpng would apply keeps a file from this reader.
  for (const char* name : {"g03n2c08.png", "g25n2c08.png", "basn2c08.png", "basn6a08.png"})
    EXPECT_FALSE(DirectRowsLayout(LayoutOf(std::string(RASTELLO_PNGSUITE) + "/" + name))) << name;
}

// A chunk with its length and CRC.
std::string Chunk(const std::string& type, const std::string& data, bool goodCrc = true) {
  std::string out(4, '\0');
  const uint32_t n = uint32_t(data.size());
  out[0] = char(n >> 24), out[1] = char(n >> 16), out[2] = char(n >> 8), out[3] = char(n);
  out += type + data;
  uLong crc = crc32(0, reinterpret_cast<const Bytef*>(out.data() + 4), uInt(4 + data.size()));
  if (!goodCrc) crc ^= 1;
  for (int shift = 24; shift >= 0; shift -= 8) out += char((crc >> shift) & 0xFF);
  return out;
}

TEST(ReadRowsDirectTest, GivesUpOnAnythingOutOfOrder) {
  test::TempDir dir;
  const std::string good = dir / "good.png";
  WritePng(good, PNG_COLOR_TYPE_RGB, PNG_ALL_FILTERS);
  const std::string bytes = test::ReadFile(good);
  const size_t idat = bytes.find("IDAT") - 4;  // libpng wrote one IDAT
  const size_t iend = bytes.find("IEND") - 4;
  const std::string head = bytes.substr(0, idat), data = bytes.substr(idat, iend - idat), tail = bytes.substr(iend);
  const uint32_t idatLength = uint32_t(data.size() - 12);
  const std::string zdata = data.substr(8, idatLength);

  std::string flipped = zdata;
  flipped[flipped.size() / 2] ^= 0x40;
  struct Case {
    const char* what;
    std::string file;
  };
  const Case cases[] = {
      {"a wrong CRC on sound image data", head + data.substr(0, data.size() - 1) + char(data.back() ^ 1) + tail},
      {"damaged data under a right CRC", head + Chunk("IDAT", flipped) + tail},
      {"a wrong CRC on an ancillary chunk", head + Chunk("tEXt", std::string("a\0b", 3), false) + data + tail},
      {"an unknown critical chunk", head + Chunk("QQQQ", "x") + data + tail},
      {"the data split by another chunk",
       head + Chunk("IDAT", zdata.substr(0, 100)) + Chunk("tEXt", std::string("a\0b", 3)) +
           Chunk("IDAT", zdata.substr(100)) + tail},
      {"more data after the rows", head + Chunk("IDAT", zdata + zdata) + tail},
      {"rows missing", head + Chunk("IDAT", zdata.substr(0, zdata.size() / 2)) + tail},
      {"cut short", bytes.substr(0, bytes.size() - 20)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir / "case.png";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(c.file.data(), 1, c.file.size(), f);
    std::fclose(f);
    EXPECT_TRUE(Direct(path).empty());
  }
  // The same pieces put back in order read, with the data split over several chunks.
  const std::string path = dir / "split.png";
  const std::string split =
      head + Chunk("IDAT", zdata.substr(0, 1)) + Chunk("IDAT", zdata.substr(1, 500)) + Chunk("IDAT", zdata.substr(501)) +
      Chunk("tEXt", std::string("after\0data", 10)) + tail;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(split.data(), 1, split.size(), f);
  std::fclose(f);
  EXPECT_TRUE(Direct(path) == ByLibpng(good));

  // A reader of the rows may stop it.
  std::FILE* g = std::fopen(good.c_str(), "rb");
  int seen = 0;
  EXPECT_FALSE(ReadRowsDirect(g, LayoutOf(good), [&](const unsigned char*) { return ++seen < 3; }));
  EXPECT_EQ(seen, 3);
  std::fclose(g);
}

}  // namespace
}  // namespace rastello
