// Lines of text with pango: measuring and drawing in raster or antialiased mode.
#include <pango/pangocairo.h>

#include "platform/drawing.h"
#include "platform/font.h"

namespace rastello {

namespace {

constexpr double kDotsPerInch = 96.0;

cairo_font_options_t* OptionsFor(TextMode mode) {
  cairo_font_options_t* options = cairo_font_options_create();
  if (mode == TextMode::Raster) {
    // Glyph outlines and advances snapped to the pixel grid, drawn as whole pixels.
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_NONE);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_FULL);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
  } else {
    // Grey antialiasing: sub-pixel colour fringes would show once merged into the picture.
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  }
  return options;
}

}  // namespace

TextPen::TextPen(const Font& font, TextMode mode) : mode_(mode) {
  if (!font.description()) return;
  // The default font map is per thread, so conversions may run on any thread.
  PangoContext* context = pango_font_map_create_context(pango_cairo_font_map_get_default());
  if (!context) return;
  cairo_font_options_t* options = OptionsFor(mode);
  pango_cairo_context_set_font_options(context, options);
  cairo_font_options_destroy(options);
  pango_cairo_context_set_resolution(context, kDotsPerInch);
  pango_context_set_round_glyph_positions(context, mode == TextMode::Raster);

  layout_ = pango_layout_new(context);
  g_object_unref(context);  // the layout holds its own reference
  pango_layout_set_font_description(layout_, font.description());
  // One line is one line: a line feed in the text does not start another.
  pango_layout_set_single_paragraph_mode(layout_, TRUE);
  if (font.request().underline || font.request().strikeout) {
    PangoAttrList* attributes = pango_attr_list_new();
    if (font.request().underline) pango_attr_list_insert(attributes, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    if (font.request().strikeout) pango_attr_list_insert(attributes, pango_attr_strikethrough_new(TRUE));
    pango_layout_set_attributes(layout_, attributes);
    pango_attr_list_unref(attributes);
  }
}

TextPen::~TextPen() {
  if (layout_) g_object_unref(layout_);
}

void TextPen::SetText(std::string_view line) const {
  const auto length = static_cast<gssize>(line.size());
  if (g_utf8_validate(line.data(), length, nullptr)) {
    pango_layout_set_text(layout_, line.data(), static_cast<int>(length));
    return;
  }
  // Bytes that are no UTF-8 show as replacement characters instead of upsetting pango.
  gchar* valid = g_utf8_make_valid(line.data(), length);
  pango_layout_set_text(layout_, valid, -1);
  g_free(valid);
}

TextExtent TextPen::Measure(std::string_view line) const {
  TextExtent extent;
  if (!layout_) return extent;
  SetText(line);
  PangoRectangle logical;
  if (mode_ == TextMode::Raster) {
    pango_layout_get_pixel_extents(layout_, nullptr, &logical);
    extent.width = logical.width;
  } else {
    pango_layout_get_extents(layout_, nullptr, &logical);
    extent.width = static_cast<double>(logical.width) / PANGO_SCALE;
    pango_layout_get_pixel_extents(layout_, nullptr, &logical);
  }
  extent.height = logical.height;
  return extent;
}

void TextPen::Draw(Canvas& canvas, std::string_view line, double x, double y, Colour colour) const {
  if (!layout_ || !canvas) return;
  SetText(line);
  cairo_t* cr = cairo_create(canvas.surface());
  if (mode_ == TextMode::Raster) {
    // Underline and strike-out bars as whole pixels too; glyph pixels replace what is there.
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  } else {
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_GRAY);
  }
  cairo_set_source_rgba(cr, colour.red / 255.0, colour.green / 255.0, colour.blue / 255.0, colour.alpha / 255.0);
  cairo_move_to(cr, x, y);
  pango_cairo_show_layout(cr, layout_);
  cairo_destroy(cr);
}

}  // namespace rastello
