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

#include "engine/formats.h"
#include "engine/naming.h"
#include "engine/pipeline.h"
#include "engine/session.h"
#include "engine/steps/steps.h"
#include "platform/files.h"

namespace rastello {

namespace {

uint32_t BigEndian32(const unsigned char* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

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

// Alpha onto white, with the bitmap path's arithmetic: a shift by 8 bits, the two ends exact.
void FlattenRow(const unsigned char* rgba, unsigned char* rgb, uint32_t width) {
  for (uint32_t x = 0; x < width; ++x, rgba += 4, rgb += 3) {
    const unsigned alpha = rgba[3];
    if (alpha == 255) {
      rgb[0] = rgba[0];
      rgb[1] = rgba[1];
      rgb[2] = rgba[2];
    } else if (alpha == 0) {
      rgb[0] = rgb[1] = rgb[2] = 255;
    } else {
      const unsigned white = (255 - alpha) * 255;
      rgb[0] = static_cast<unsigned char>((alpha * rgba[0] + white) >> 8);
      rgb[1] = static_cast<unsigned char>((alpha * rgba[1] + white) >> 8);
      rgb[2] = static_cast<unsigned char>((alpha * rgba[2] + white) >> 8);
    }
  }
}

// --- decoding: libpng reports errors by longjmp, so this side keeps to plain data.

struct PngDecoder {
  png_structp png = nullptr;
  png_infop info = nullptr;
};

void OnPngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnPngWarning(png_structp, png_const_charp) {}

// The settings the bitmap path's loader gives libpng for an 8-bit RGB(A) file: its gamma
// against a 2.2 screen when the file states one, and nothing else.
bool DecodeRows(std::FILE* file, const PngLayout& layout, RowPipe& pipe, unsigned char* scratch) {
  PngDecoder d;
  d.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
  if (!d.png) return false;
  d.info = png_create_info_struct(d.png);
  if (!d.info) {
    png_destroy_read_struct(&d.png, nullptr, nullptr);
    return false;
  }
  RowPipe::Block* volatile block = nullptr;
  volatile uint32_t y = 0;
  if (setjmp(png_jmpbuf(d.png))) {
    png_destroy_read_struct(&d.png, &d.info, nullptr);
    if (block) pipe.PutEmpty(block);
    return false;
  }
  png_init_io(d.png, file);
  png_read_info(d.png, d.info);
  double gamma = 0;
  if (png_get_gAMA(d.png, d.info, &gamma)) png_set_gamma(d.png, 2.2, gamma);
  png_read_update_info(d.png, d.info);
  const bool alpha = layout.colourType == PNG_COLOR_TYPE_RGB_ALPHA;
  if (png_get_rowbytes(d.png, d.info) != size_t(layout.width) * (alpha ? 4 : 3)) png_error(d.png, "layout");

  while (y < layout.height) {
    block = pipe.TakeEmpty();
    if (!block) png_error(d.png, "stopped");
    const uint32_t rows = std::min(pipe.rowsPerBlock(), layout.height - y);
    for (uint32_t i = 0; i < rows; ++i) {
      unsigned char* row = block->pixels.data() + i * pipe.rowBytes();
      if (alpha) {
        png_read_row(d.png, scratch, nullptr);
        FlattenRow(scratch, row, layout.width);
      } else {
        png_read_row(d.png, row, nullptr);
      }
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

// The parameters the bitmap path's JPEG writer uses: defaults, the quality limited to
// baseline tables, the chroma sampling and encoding mode of the flags, the density in dots
// per inch from the pixels per metre, and no header markers for the simple mode.
bool EncodeRows(JpegEncoder& e, const PngLayout& layout, int32_t flags, uint32_t pixelsPerMetreX,
                uint32_t pixelsPerMetreY, RowPipe& pipe) {
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
  e.cinfo.input_components = 3;
  e.cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&e.cinfo);
  if ((flags & JPEG_PROGRESSIVE) == JPEG_PROGRESSIVE) jpeg_simple_progression(&e.cinfo);
  if ((flags & JPEG_OPTIMIZE) == JPEG_OPTIMIZE) e.cinfo.optimize_coding = TRUE;
  e.cinfo.X_density = static_cast<UINT16>(0.5 + 0.0254 * pixelsPerMetreX);
  e.cinfo.Y_density = static_cast<UINT16>(0.5 + 0.0254 * pixelsPerMetreY);
  e.cinfo.density_unit = 1;
  if ((flags & JPEG_BASELINE) == JPEG_BASELINE) {  // "simple": no markers at all
    e.cinfo.write_JFIF_header = FALSE;
    e.cinfo.write_Adobe_marker = FALSE;
  }
  struct Sampling {
    int flag, h, v;
  };
  for (Sampling s : {Sampling{JPEG_SUBSAMPLING_411, 4, 1}, Sampling{JPEG_SUBSAMPLING_420, 2, 2},
                     Sampling{JPEG_SUBSAMPLING_422, 2, 1}, Sampling{JPEG_SUBSAMPLING_444, 1, 1}}) {
    if ((flags & s.flag) != s.flag) continue;
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

bool ReadPngLayout(std::FILE* file, uint64_t size, PngLayout& layout) {
  static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  unsigned char buf[80];
  if (std::fseek(file, 0, SEEK_SET) != 0 || std::fread(buf, 1, 8, file) != 8 || std::memcmp(buf, kSignature, 8) != 0)
    return false;
  uint64_t offset = 8;
  bool first = true;
  while (std::fread(buf, 1, 8, file) == 8) {
    const uint32_t length = BigEndian32(buf);
    const std::string type(reinterpret_cast<char*>(buf + 4), 4);
    if (length > 0x7FFFFFFF || offset + 12 + length > size) return true;  // not sound
    const size_t want = std::min<size_t>(length, sizeof buf);
    auto body = [&]() { return std::fread(buf, 1, want, file) == want; };
    if (first) {
      if (type != "IHDR" || length != 13 || !body()) return true;
      layout.width = BigEndian32(buf);
      layout.height = BigEndian32(buf + 4);
      layout.bitDepth = buf[8];
      layout.colourType = buf[9];
      layout.interlace = buf[12];
      first = false;
    } else if (type == "tRNS") {
      layout.transparentColour = true;
    } else if (type == "iCCP") {
      layout.colourProfile = true;
    } else if (type == "pHYs" && length == 9 && body()) {
      if (buf[8] == 1) {
        layout.physicalSize = true;
        layout.pixelsPerMetreX = BigEndian32(buf);
        layout.pixelsPerMetreY = BigEndian32(buf + 4);
      }
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
  return l.chunksSound && l.bitDepth == 8 && (l.colourType == PNG_COLOR_TYPE_RGB || l.colourType == PNG_COLOR_TYPE_RGB_ALPHA) &&
         l.interlace == 0 && !l.transparentColour && !l.colourProfile && !l.carriedText &&
         WithinImageLimits(l.width, l.height);
}

bool StreamableSettings(const Session& session) {
  const Settings& s = session.settings;
  const RunState& st = session.state;
  const bool rotates = s.DoImageRotation && s.ImageRotation >= 1 && s.ImageRotation <= 359;
  return session.allowStreaming && st.FormatId == FIF_JPEG && st.OutputFormat == "jpg" &&
         (st.AutoBpp || st.TargetBpp == 24) && !rotates && !s.DoImageFlipHorizontal && !s.DoImageFlipVertical &&
         !s.DoImageColorCorrection && !s.DoImageGreyscale && !s.DoImageThreshold && !s.DoImageDither &&
         s.DoFrame == 0 && s.DoWatermark == 0;
}

StreamOutcome StreamConvert(Session& session) {
  if (!StreamableSettings(session)) return StreamOutcome::NotStreamed;
  RunState& st = session.state;
  std::FILE* file = std::fopen(st.InputPath.c_str(), "rb");
  if (!file) return StreamOutcome::NotStreamed;
  struct stat info;
  PngLayout layout;
  const bool qualifies = ::fstat(::fileno(file), &info) == 0 &&
                         ReadPngLayout(file, uint64_t(info.st_size), layout) && StreamableLayout(layout) &&
                         (!session.settings.DoImageResize ||
                          !ResizeTarget(session.settings, int32_t(layout.width), int32_t(layout.height))) &&
                         std::fseek(file, 0, SEEK_SET) == 0;
  if (!qualifies) {
    std::fclose(file);
    return StreamOutcome::NotStreamed;
  }

  const bool alpha = layout.colourType == PNG_COLOR_TYPE_RGB_ALPHA;
  const size_t rowBytes = size_t(layout.width) * 3;
  const uint32_t rowsPerBlock = uint32_t(std::max<size_t>(8, (256 * 1024) / rowBytes));
  RowPipe pipe(rowBytes, rowsPerBlock, 4);
  std::vector<unsigned char> scratch(alpha ? size_t(layout.width) * 4 : 0);
  // The file's own density, else FreeImage's default of 72 dots per inch.
  const uint32_t defaultDensity = 2835;
  const uint32_t dpmX = layout.physicalSize ? layout.pixelsPerMetreX : defaultDensity;
  const uint32_t dpmY = layout.physicalSize ? layout.pixelsPerMetreY : defaultDensity;

  bool decoded = false;
  std::thread decoder([&] {
    decoded = DecodeRows(file, layout, pipe, scratch.data());
    if (decoded)
      pipe.Finish();
    else
      pipe.Stop();
  });
  JpegEncoder encoder;
  const bool encoded = EncodeRows(encoder, layout, st.SaveFlags, dpmX, dpmY, pipe);
  if (!encoded) pipe.Stop();
  decoder.join();
  std::fclose(file);
  if (!decoded || !encoded) {
    std::free(encoder.out);
    return StreamOutcome::NotStreamed;  // the bitmap path gives its own verdict on the file
  }

  st.SourceBpp = alpha ? 32 : 24;
  st.ImageWidth = int32_t(layout.width);
  st.ImageHeight = int32_t(layout.height);
  st.FrameNumber = 1;
  if (st.AutoBpp) st.TargetBpp = AutoBitDepth(st.OutputFormat, st.SourceBpp);
  st.OutputPath = BuildOutputPath(session);
  if (session.settings.KeepSubfolders) CreateOutputSubfolders(session);
  const bool written = WriteFileAtomically(st.OutputPath, encoder.out, encoder.size, st.FailureReason);
  std::free(encoder.out);
  return written ? StreamOutcome::Converted : StreamOutcome::Failed;
}

}  // namespace rastello
