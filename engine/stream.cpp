#include "engine/stream.h"

#include <jpeglib.h>
#include <png.h>
#include <sys/stat.h>

#include <condition_variable>
#include <csetjmp>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/blend.h"
#include "engine/formats.h"
#include "engine/png_header.h"
#include "engine/png_rows.h"
#include "engine/naming.h"
#include "engine/pipeline.h"
#include "engine/session.h"
#include "engine/steps/steps.h"
#include "platform/files.h"

namespace rastello {

namespace {

// Rows travel from the decoder to the encoder in a few blocks that go round.
class RowPipe {
 public:
  struct Block {
    std::vector<unsigned char> pixels;
    uint32_t rows = 0;
  };

  RowPipe(size_t rowBytes, uint32_t rowsPerBlock, int blocks) : rowBytes_(rowBytes), rowsPerBlock_(rowsPerBlock) {
    blocks_.resize(size_t(blocks));
    for (Block& b : blocks_) {
      b.pixels.resize(rowBytes * rowsPerBlock);
      empty_.push_back(&b);
    }
  }

  size_t rowBytes() const { return rowBytes_; }
  uint32_t rowsPerBlock() const { return rowsPerBlock_; }

  // The decoder's side. Null once the encoder has given up.
  Block* TakeEmpty() { return Take(empty_); }
  void PutFull(Block* block) { Put(full_, block); }
  void Finish() {
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
    changed_.notify_all();
  }
  // The encoder's side. Null when the decoder has finished (or either side gave up) and
  // nothing is left.
  Block* TakeFull() { return Take(full_); }
  void PutEmpty(Block* block) { Put(empty_, block); }

  void Stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
    changed_.notify_all();
  }
  bool stopped() {
    std::lock_guard<std::mutex> lock(mutex_);
    return stopped_;
  }

 private:
  Block* Take(std::vector<Block*>& from) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return stopped_ || !from.empty() || (&from == &full_ && finished_); });
    if (stopped_ || from.empty()) return nullptr;
    Block* block = from.front();
    from.erase(from.begin());
    return block;
  }
  void Put(std::vector<Block*>& to, Block* block) {
    std::lock_guard<std::mutex> lock(mutex_);
    to.push_back(block);
    changed_.notify_all();
  }

  size_t rowBytes_;
  uint32_t rowsPerBlock_;
  std::vector<Block> blocks_;
  std::vector<Block*> empty_, full_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool finished_ = false, stopped_ = false;
};

// Alpha onto white, as the bitmap path flattens it.
void FlattenRow(const unsigned char* rgba, unsigned char* rgb, uint32_t width) {
  std::memset(rgb, 255, size_t(width) * 3);
  BlendOver(rgba, rgb, width);
}

// 16-bit samples (as libpng gives them, most significant byte first) to 8 bits the way
// FreeImage brings a 16-bit bitmap down: the high byte, no rounding.
void HighBytes(const unsigned char* wide, unsigned char* narrow, size_t samples) {
  for (size_t i = 0; i < samples; ++i) narrow[i] = wide[2 * i];
}

// An overlay on row `y` of the image, with the bitmap path's compositing arithmetic.
void MergeRow(const RowOverlay& overlay, uint32_t y, unsigned char* rgb) {
  if (y < overlay.y || y - overlay.y >= overlay.height) return;
  BlendOver(overlay.rgba.data() + size_t(y - overlay.y) * overlay.width * 4, rgb + size_t(overlay.x) * 3,
            overlay.width);
}

// What the rows look like on their way to the JPEG writer.
struct StreamShape {
  bool alpha = false;  // decoded with alpha, flattened onto white
  bool grey = false;   // one grey sample a pixel, written as a greyscale JPEG
  int channels() const { return grey ? 1 : 3; }
};

// --- decoding: libpng reports errors by longjmp, so this side keeps to plain data.

void OnPngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnPngWarning(png_structp, png_const_charp) {}

// The caller sets the jump buffer itself: a setjmp must stay in the frame that reads.
struct PngDecoder {
  png_structp png = nullptr;
  png_infop info = nullptr;

  bool Open() {
    png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
    if (!png) return false;
    info = png_create_info_struct(png);
    if (info) return true;
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
};

// The rows of a plain RGB or RGBA file, read without libpng (see ReadRowsDirect). Gives up
// on a file that is not in perfect order; the bitmap path then reads it.
bool DecodeRowsDirect(std::FILE* file, const PngLayout& layout, const StreamShape& shape,
                      const std::vector<RowOverlay>& overlays, RowPipe& pipe) {
  RowPipe::Block* block = nullptr;
  uint32_t y = 0, inBlock = 0;
  const bool ok = ReadRowsDirect(file, layout, [&](const unsigned char* pixels) {
    if (!block) {
      block = pipe.TakeEmpty();
      if (!block) return false;
      inBlock = 0;
    }
    unsigned char* row = block->pixels.data() + inBlock * pipe.rowBytes();
    if (shape.alpha)
      FlattenRow(pixels, row, layout.width);
    else
      std::memcpy(row, pixels, size_t(layout.width) * 3);
    for (const RowOverlay& overlay : overlays) MergeRow(overlay, y, row);
    ++y;
    if (++inBlock == pipe.rowsPerBlock() || y == layout.height) {
      block->rows = inBlock;
      pipe.PutFull(block);
      block = nullptr;
    }
    return true;
  });
  if (block) pipe.PutEmpty(block);
  return ok;
}

// The settings the bitmap path's loader gives libpng: its gamma against a 2.2 screen when the
// file states one. Palettes and 1-bit grey are expanded to 8 bits a sample, grey goes to RGB
// unless the JPEG is to be grey, and alpha is flattened onto white row by row. 16-bit files
// are read as that loader reads them (grey with alpha widened to RGBA, gamma applied to the
// 16-bit samples) and brought down to 8 bits here, as the bitmap path does after loading.
// `scratch` holds an RGBA row of 8-bit samples for flattening; `wide` a 16-bit row. The
// frame and watermark go over the finished rows.
bool DecodeRows(std::FILE* file, const PngLayout& layout, const StreamShape& shape,
                const std::vector<RowOverlay>& overlays, RowPipe& pipe, unsigned char* scratch, unsigned char* wide) {
  if (DirectRowsLayout(layout)) return DecodeRowsDirect(file, layout, shape, overlays, pipe);
  PngDecoder d;
  if (!d.Open()) return false;
  RowPipe::Block* volatile block = nullptr;
  volatile uint32_t y = 0;
  if (setjmp(png_jmpbuf(d.png))) {
    png_destroy_read_struct(&d.png, &d.info, nullptr);
    if (block) pipe.PutEmpty(block);
    return false;
  }
  png_init_io(d.png, file);
  png_read_info(d.png, d.info);
  const bool deep = layout.bitDepth == 16;
  if (layout.colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(d.png);
  if (layout.colourType == PNG_COLOR_TYPE_GRAY && layout.bitDepth < 8) png_set_expand_gray_1_2_4_to_8(d.png);
  if (layout.colourType == PNG_COLOR_TYPE_GRAY_ALPHA ||
      (layout.colourType == PNG_COLOR_TYPE_GRAY && !shape.grey && !deep))
    png_set_gray_to_rgb(d.png);
  // The bitmap path's loader corrects pixels for gamma but reads a palette as stored.
  double gamma = 0;
  if (layout.colourType != PNG_COLOR_TYPE_PALETTE && png_get_gAMA(d.png, d.info, &gamma))
    png_set_gamma(d.png, 2.2, gamma);
  png_read_update_info(d.png, d.info);
  const bool alpha = shape.alpha;
  // 16-bit grey stays one sample a pixel until it is narrowed.
  const size_t samples = size_t(layout.width) * (alpha ? 4 : layout.colourType == PNG_COLOR_TYPE_GRAY ? 1 : 3);
  if (png_get_rowbytes(d.png, d.info) != (deep ? 2 * samples : size_t(layout.width) * (alpha ? 4 : shape.channels())))
    png_error(d.png, "layout");

  while (y < layout.height) {
    block = pipe.TakeEmpty();
    if (!block) png_error(d.png, "stopped");
    const uint32_t rows = std::min(pipe.rowsPerBlock(), layout.height - y);
    for (uint32_t i = 0; i < rows; ++i) {
      unsigned char* row = block->pixels.data() + i * pipe.rowBytes();
      if (deep) {
        png_read_row(d.png, wide, nullptr);
        if (alpha) {
          HighBytes(wide, scratch, samples);
          FlattenRow(scratch, row, layout.width);
        } else if (layout.colourType == PNG_COLOR_TYPE_GRAY && !shape.grey) {
          for (uint32_t x = 0; x < layout.width; ++x) row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = wide[2 * x];
        } else {
          HighBytes(wide, row, samples);
        }
      } else if (alpha) {
        png_read_row(d.png, scratch, nullptr);
        FlattenRow(scratch, row, layout.width);
      } else {
        png_read_row(d.png, row, nullptr);
      }
      for (const RowOverlay& overlay : overlays) MergeRow(overlay, y + i, row);
    }
    block->rows = rows;
    pipe.PutFull(block);
    block = nullptr;
    y = y + rows;
  }
  // The chunks after the pixels are checked as the bitmap path checks them.
  png_read_end(d.png, d.info);
  png_destroy_read_struct(&d.png, &d.info, nullptr);
  return true;
}

// --- encoding: libjpeg's errors also arrive by longjmp.

struct JpegEncoder {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr error;
  std::jmp_buf jump;
  unsigned char* out = nullptr;
  unsigned long size = 0;
};

void OnJpegError(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<JpegEncoder*>(cinfo->client_data)->jump, 1);
}
void OnJpegMessage(j_common_ptr) {}

// A density as the bitmap path's JPEG writer stores it: rounded to dots per inch and cut to
// 16 bits. A file may claim up to 2^32 pixels per metre; converting that straight to 16 bits
// would be undefined.
UINT16 DotsPerInch(uint32_t pixelsPerMetre) {
  return static_cast<UINT16>(static_cast<int64_t>(0.5 + 0.0254 * pixelsPerMetre));
}

// The parameters the bitmap path's JPEG writer uses: defaults, the quality limited to
// baseline tables, the chroma sampling and encoding mode of the flags, the density in dots
// per inch from the pixels per metre, and no header markers for the simple mode.
bool EncodeRows(JpegEncoder& e, const PngLayout& layout, const StreamShape& shape, int32_t flags,
                uint32_t pixelsPerMetreX, uint32_t pixelsPerMetreY, RowPipe& pipe) {
  e.cinfo.err = jpeg_std_error(&e.error);
  e.error.error_exit = OnJpegError;
  e.error.output_message = OnJpegMessage;
  e.cinfo.client_data = &e;
  RowPipe::Block* volatile block = nullptr;
  if (setjmp(e.jump)) {
    jpeg_destroy_compress(&e.cinfo);
    if (block) pipe.PutEmpty(block);
    return false;
  }
  jpeg_create_compress(&e.cinfo);
  jpeg_mem_dest(&e.cinfo, &e.out, &e.size);
  e.cinfo.image_width = layout.width;
  e.cinfo.image_height = layout.height;
  e.cinfo.input_components = shape.channels();
  e.cinfo.in_color_space = shape.grey ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&e.cinfo);
  if ((flags & JPEG_PROGRESSIVE) == JPEG_PROGRESSIVE) jpeg_simple_progression(&e.cinfo);
  if ((flags & JPEG_OPTIMIZE) == JPEG_OPTIMIZE) e.cinfo.optimize_coding = TRUE;
  e.cinfo.X_density = DotsPerInch(pixelsPerMetreX);
  e.cinfo.Y_density = DotsPerInch(pixelsPerMetreY);
  e.cinfo.density_unit = 1;
  if ((flags & JPEG_BASELINE) == JPEG_BASELINE) {  // "simple": no markers at all
    e.cinfo.write_JFIF_header = FALSE;
    e.cinfo.write_Adobe_marker = FALSE;
  }
  struct Sampling {
    int flag, h, v;
  };
  const Sampling samplings[] = {{JPEG_SUBSAMPLING_411, 4, 1}, {JPEG_SUBSAMPLING_420, 2, 2},
                                {JPEG_SUBSAMPLING_422, 2, 1}, {JPEG_SUBSAMPLING_444, 1, 1}};
  for (const Sampling& s : samplings) {
    if (shape.grey || (flags & s.flag) != s.flag) continue;  // one component has no chroma
    e.cinfo.comp_info[0].h_samp_factor = s.h;
    e.cinfo.comp_info[0].v_samp_factor = s.v;
    for (int c = 1; c < 3; ++c) e.cinfo.comp_info[c].h_samp_factor = e.cinfo.comp_info[c].v_samp_factor = 1;
    break;
  }
  jpeg_set_quality(&e.cinfo, flags & 0x7F, TRUE);
  jpeg_start_compress(&e.cinfo, TRUE);

  JSAMPROW rows[1024];
  while (true) {
    block = pipe.TakeFull();
    if (!block) break;
    for (uint32_t done = 0; done < block->rows;) {
      const uint32_t n = std::min<uint32_t>(block->rows - done, 1024);
      for (uint32_t i = 0; i < n; ++i) rows[i] = block->pixels.data() + (done + i) * pipe.rowBytes();
      done += jpeg_write_scanlines(&e.cinfo, rows, n);
    }
    pipe.PutEmpty(block);
    block = nullptr;
  }
  if (e.cinfo.next_scanline != e.cinfo.image_height) {  // the decoder gave up
    jpeg_destroy_compress(&e.cinfo);
    return false;
  }
  jpeg_finish_compress(&e.cinfo);
  jpeg_destroy_compress(&e.cinfo);
  return true;
}

// Keywords of text chunks that the JPEG writer would carry over as markers. A keyword ends
// at its NUL byte, within the first 80 bytes of the chunk.
bool CarriedKeyword(const unsigned char* body, size_t length) {
  const void* end = std::memchr(body, 0, length);
  if (!end) return false;
  const std::string keyword(reinterpret_cast<const char*>(body), static_cast<const unsigned char*>(end) - body);
  return keyword == "Comment" || keyword == "XML:com.adobe.xmp";
}

}  // namespace

// The density as libpng gives it to the bitmap path, which ignores a pHYs chunk that is
// damaged, repeated or after the pixels: pixels per metre, else FreeImage's 72 dots per inch.
// Reads the chunks before the pixels from the start of `file`; false when they are unsound.
bool ReadDensity(std::FILE* file, uint32_t& pixelsPerMetreX, uint32_t& pixelsPerMetreY) {
  constexpr uint32_t kDefaultDensity = 2835;
  PngDecoder d;
  if (!d.Open()) return false;
  if (setjmp(png_jmpbuf(d.png))) {
    png_destroy_read_struct(&d.png, &d.info, nullptr);
    return false;
  }
  png_init_io(d.png, file);
  png_read_info(d.png, d.info);
  png_uint_32 x = 0, y = 0;
  int unit = 0;
  const bool metres = png_get_pHYs(d.png, d.info, &x, &y, &unit) && unit == PNG_RESOLUTION_METER;
  pixelsPerMetreX = metres ? x : kDefaultDensity;
  pixelsPerMetreY = metres ? y : kDefaultDensity;
  png_destroy_read_struct(&d.png, &d.info, nullptr);
  return true;
}

bool ReadPngLayout(std::FILE* file, uint64_t size, PngLayout& layout) {
  unsigned char buf[80];
  if (std::fseek(file, 0, SEEK_SET) != 0 || std::fread(buf, 1, 8, file) != 8 || std::memcmp(buf, kPngSignature, 8) != 0)
    return false;
  uint64_t offset = 8;
  bool first = true;
  while (std::fread(buf, 1, 8, file) == 8) {
    const uint32_t length = PngNumber(buf);
    const std::string type(reinterpret_cast<char*>(buf + 4), 4);
    if (length > 0x7FFFFFFF || offset + 12 + length > size) return true;  // not sound
    const size_t want = std::min<size_t>(length, sizeof buf);
    auto body = [&]() { return std::fread(buf, 1, want, file) == want; };
    if (first) {
      if (type != "IHDR" || length != 13 || !body()) return true;
      layout.width = PngNumber(buf);
      layout.height = PngNumber(buf + 4);
      layout.bitDepth = buf[8];
      layout.colourType = buf[9];
      layout.interlace = buf[12];
      first = false;
    } else if (type == "tRNS") {
      layout.transparentColour = true;
    } else if (type == "iCCP") {
      layout.colourProfile = true;
    } else if (type == "gAMA" && length == 4 && layout.gamma == 0) {
      if (!body()) return true;
      layout.gamma = PngNumber(buf);
    } else if (type == "PLTE" && length % 3 == 0 && length <= 768) {
      // A palette of greys makes a grey bitmap, which the bitmap path may save as a grey JPEG.
      unsigned char palette[768];
      if (std::fread(palette, 1, length, file) != length) return true;
      layout.greyPalette = true;
      for (uint32_t i = 0; i < length; i += 3)
        if (palette[i] != palette[i + 1] || palette[i + 1] != palette[i + 2]) layout.greyPalette = false;
    } else if ((type == "tEXt" || type == "zTXt" || type == "iTXt") && body()) {
      if (CarriedKeyword(buf, want)) layout.carriedText = true;
    } else if (type == "IEND") {
      layout.chunksSound = true;
      return true;
    }
    offset += 12 + uint64_t(length);
    if (std::fseek(file, static_cast<long>(offset), SEEK_SET) != 0) return true;
  }
  return true;
}

bool StreamableLayout(const PngLayout& l) {
  bool kind;
  switch (l.colourType) {
    case PNG_COLOR_TYPE_GRAY:
      // 2- and 4-bit grey become palettes of their own in the bitmap path.
      kind = l.bitDepth == 1 || l.bitDepth == 8 || l.bitDepth == 16;
      break;
    case PNG_COLOR_TYPE_PALETTE:
      // 2-bit palettes are widened differently there too.
      kind = l.bitDepth != 2 && !l.greyPalette;
      break;
    case PNG_COLOR_TYPE_RGB:
    case PNG_COLOR_TYPE_GRAY_ALPHA:
    case PNG_COLOR_TYPE_RGB_ALPHA:
      kind = l.bitDepth == 8 || l.bitDepth == 16;
      break;
    default:
      kind = false;
  }
  return kind && l.chunksSound && l.interlace == 0 && !l.transparentColour && !l.colourProfile && !l.carriedText &&
         WithinImageLimits(l.width, l.height);
}

bool StreamableSettings(const Session& session) {
  const Settings& s = session.settings;
  const RunState& st = session.state;
  const bool rotates = s.DoImageRotation && s.ImageRotation >= 1 && s.ImageRotation <= 359;
  return session.allowStreaming && st.FormatId == FIF_JPEG && st.OutputFormat == "jpg" &&
         (st.AutoBpp || st.TargetBpp == 24) && !rotates && !s.DoImageFlipHorizontal && !s.DoImageFlipVertical &&
         !s.DoImageColorCorrection && !s.DoImageGreyscale && !s.DoImageThreshold && !s.DoImageDither;
}

StreamOutcome StreamConvert(Session& session) {
  if (!StreamableSettings(session)) return StreamOutcome::NotStreamed;
  RunState& st = session.state;
  std::FILE* file = std::fopen(st.InputPath.c_str(), "rb");
  if (!file) return StreamOutcome::NotStreamed;
  struct stat info;
  PngLayout layout;
  uint32_t dpmX = 0, dpmY = 0;
  const bool qualifies = ::fstat(::fileno(file), &info) == 0 &&
                         ReadPngLayout(file, uint64_t(info.st_size), layout) && StreamableLayout(layout) &&
                         (!session.settings.DoImageResize ||
                          !ResizeTarget(session.settings, int32_t(layout.width), int32_t(layout.height))) &&
                         std::fseek(file, 0, SEEK_SET) == 0 && ReadDensity(file, dpmX, dpmY) &&
                         std::fseek(file, 0, SEEK_SET) == 0;
  if (!qualifies) {
    std::fclose(file);
    return StreamOutcome::NotStreamed;
  }

  // The depth FreeImage gives the loaded bitmap, and with it the depth of the JPEG.
  StreamShape shape;
  shape.alpha = layout.colourType == PNG_COLOR_TYPE_RGB_ALPHA || layout.colourType == PNG_COLOR_TYPE_GRAY_ALPHA;
  const bool deep = layout.bitDepth == 16;
  const bool rgb = layout.colourType == PNG_COLOR_TYPE_RGB;
  const int32_t sourceBpp = deep ? (shape.alpha ? 64 : rgb ? 48 : 16) : (shape.alpha ? 32 : rgb ? 24 : layout.bitDepth);
  const int32_t targetBpp = st.AutoBpp ? AutoBitDepth(st.OutputFormat, sourceBpp) : st.TargetBpp;
  shape.grey = layout.colourType == PNG_COLOR_TYPE_GRAY && targetBpp == 8;
  const bool alpha = shape.alpha;

  // What the bitmap path knows of the image before its frame and watermark, whose text may
  // name the size and depth.
  st.SourceBpp = sourceBpp;
  st.ImageWidth = int32_t(layout.width);
  st.ImageHeight = int32_t(layout.height);
  st.FrameNumber = 1;

  // A frame or watermark on a colour image: the bitmap path works on 24 bits there, as the
  // rows do.
  std::vector<RowOverlay> overlays;
  if (session.settings.DoFrame != 0 || session.settings.DoWatermark != 0) {
    if (shape.channels() != 3 || sourceBpp < 24 ||
        !PrepareOverlays(session, int32_t(layout.width), int32_t(layout.height), overlays)) {
      std::fclose(file);
      return StreamOutcome::NotStreamed;
    }
  }

  const size_t rowBytes = size_t(layout.width) * shape.channels();
  const uint32_t rowsPerBlock = uint32_t(std::max<size_t>(8, (256 * 1024) / rowBytes));
  RowPipe pipe(rowBytes, rowsPerBlock, 4);
  std::vector<unsigned char> scratch(alpha ? size_t(layout.width) * 4 : 0);
  std::vector<unsigned char> wide(deep ? size_t(layout.width) * 8 : 0);

  bool decoded = false;
  std::thread decoder([&] {
    decoded = DecodeRows(file, layout, shape, overlays, pipe, scratch.data(), wide.data());
    if (decoded)
      pipe.Finish();
    else
      pipe.Stop();
  });
  JpegEncoder encoder;
  const bool encoded = EncodeRows(encoder, layout, shape, st.SaveFlags, dpmX, dpmY, pipe);
  if (!encoded) pipe.Stop();
  decoder.join();
  std::fclose(file);
  if (!decoded || !encoded) {
    std::free(encoder.out);
    return StreamOutcome::NotStreamed;  // the bitmap path gives its own verdict on the file
  }

  st.TargetBpp = targetBpp;
  st.OutputPath = BuildOutputPath(session);
  if (session.settings.KeepSubfolders) CreateOutputSubfolders(session);
  const bool written = WriteFileAtomically(st.OutputPath, encoder.out, encoder.size, st.FailureReason);
  std::free(encoder.out);
  return written ? StreamOutcome::Converted : StreamOutcome::Failed;
}

}  // namespace rastello
