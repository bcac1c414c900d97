#include <algorithm>
#include <cmath>

#include "engine/naming.h"
#include "engine/session.h"
#include "engine/steps/steps.h"
#include "platform/drawing.h"
#include "platform/font.h"
#include "settings/settings.h"
#include "settings/text.h"

namespace rastello {

namespace {

constexpr std::string_view kLineBreak = "%eol%";
constexpr int kAlignLeft = 0;
constexpr int kAlignCenter = 1;
constexpr int kAlignRight = 2;
// The smallest box of a text with line breaks.
constexpr int64_t kMinimumBox = 10;

int Opacity(int32_t value) { return std::clamp(value, 0, 255); }

}  // namespace

std::vector<std::string> SplitWatermarkLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t from = 0;
  for (size_t at; (at = FindNoCase(text, kLineBreak, from)) != std::string_view::npos; from = at + kLineBreak.size())
    lines.emplace_back(text.substr(from, at - from));
  lines.emplace_back(text.substr(from));
  return lines;
}

int32_t LineX(int32_t lineWidth, int32_t boxWidth, const Settings& settings) {
  switch (settings.TextAlignment) {
    case kAlignLeft:
      return settings.TextPadding;
    case kAlignCenter:
      return static_cast<int32_t>(std::lround(static_cast<float>(boxWidth - lineWidth) / 2.0f));
    case kAlignRight:
      return boxWidth - lineWidth - settings.TextPadding;
    default:
      return 0;
  }
}

Bitmap TextWatermark(const Session& session) {
  const Settings& s = session.settings;
  if (!session.watermarkFont) return Bitmap();
  const Font& font = *session.watermarkFont;
  // The box, the line heights and the line positions come from the raster metrics in both modes.
  TextPen raster(font, TextMode::Raster);
  if (!raster) return Bitmap();

  const std::string text = ApplyTextTokens(session);
  const std::vector<std::string> lines = SplitWatermarkLines(text);
  const bool hasBreaks = lines.size() > 1;
  int64_t boxWidth = 0, boxHeight = 0, step = 0;
  std::vector<int32_t> widths;
  if (hasBreaks) {
    int64_t lineHeight = kMinimumBox;
    boxWidth = kMinimumBox;
    for (const std::string& line : lines) {
      const TextExtent extent = raster.Measure(line);
      widths.push_back(static_cast<int32_t>(extent.width));
      boxWidth = std::max<int64_t>(boxWidth, widths.back());
      lineHeight = std::max<int64_t>(lineHeight, extent.height);
    }
    step = lineHeight + s.FontLeading;
    boxHeight = lineHeight + static_cast<int64_t>(lines.size() - 1) * step;
  } else {
    const TextExtent extent = raster.Measure(text);
    boxWidth = static_cast<int64_t>(extent.width);
    boxHeight = extent.height;
  }
  boxWidth += 2 * int64_t{s.TextPadding};
  boxHeight += 2 * int64_t{s.TextPadding};
  if (boxWidth < 1 || boxHeight < 1 || boxWidth > kMaxCanvasSide || boxHeight > kMaxCanvasSide) return Bitmap();
  const int32_t width = static_cast<int32_t>(boxWidth), height = static_cast<int32_t>(boxHeight);
  const double padding = s.TextPadding;

  Canvas letters = Canvas::Create(width, height);
  if (!letters) return Bitmap();
  if (!s.TextAntialiasing) {
    // Letters and background straight into one buffer, alpha and all, without blending.
    const Colour front = ParseColorAlpha(s.FontColor, Opacity(s.TextOpacity));
    letters.Fill(ParseColorAlpha(s.BackColor, Opacity(s.BackOpacity)));
    if (!hasBreaks) {
      raster.Draw(letters, text, padding, padding, front);
    } else {
      double y = padding;
      for (size_t i = 0; i < lines.size(); ++i, y += static_cast<double>(step))
        raster.Draw(letters, lines[i], LineX(widths[i], width, s), y, front);
    }
    return ToBitmap(letters);
  }

  // Antialiased: letters and background drawn opaque in two layers, each then given its
  // opacity as a whole.
  TextPen vector(font, TextMode::Antialiased);
  Canvas back = Canvas::Create(width, height);
  Canvas overlay = Canvas::Create(width, height);
  if (!vector || !back || !overlay) return Bitmap();
  const Colour front = ParseColorAlpha(s.FontColor, 255);
  back.Fill(ParseColorAlpha(s.BackColor, 255));
  if (!hasBreaks) {
    vector.Draw(letters, text, padding, padding, front);
  } else {
    double y = padding;
    for (const std::string& line : lines) {
      const auto lineWidth = static_cast<int32_t>(std::lround(vector.Measure(line).width));
      vector.Draw(letters, line, LineX(lineWidth, width, s), y, front);
      y += static_cast<double>(step);
    }
  }
  overlay.Paint(back, 0, 0, Opacity(s.BackOpacity));
  overlay.Paint(letters, 0, 0, Opacity(s.TextOpacity));
  return ToBitmap(overlay);
}

}  // namespace rastello
