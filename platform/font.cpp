#include "platform/font.h"

#include <fontconfig/fontconfig.h>
#include <pango/pango.h>

#include <algorithm>
#include <cmath>
#include <mutex>

#include "settings/text.h"

namespace rastello {

namespace {

// True when `family` stands in the substituted pattern as the requested name or as one of
// its aliases. Aliases are bound strongly (or "same"); the generic fallbacks that
// fontconfig appends for unknown names are bound weakly.
bool IsNamedOrAliased(FcPattern* pattern, const std::string& family) {
  FcPatternIter iter;
  if (!FcPatternFindIter(pattern, &iter, FC_FAMILY)) return false;
  int count = FcPatternIterValueCount(pattern, &iter);
  for (int i = 0; i < count; ++i) {
    FcValue value;
    FcValueBinding binding;
    if (FcPatternIterGetValue(pattern, &iter, i, &value, &binding) != FcResultMatch) continue;
    if (value.type != FcTypeString || binding == FcValueBindingWeak) continue;
    if (EqualsNoCase(reinterpret_cast<const char*>(value.u.s), family)) return true;
  }
  return false;
}

// Sizes below one point would make pango refuse the description; text taller than the
// largest drawing buffer cannot be drawn at all, so larger sizes stop there.
constexpr double kSmallestPoints = 1;
constexpr double kLargestPixels = 32767;
constexpr double kDotsPerInch = 96.0;

PangoFontDescription* Describe(const std::string& family, const FontRequest& request) {
  PangoFontDescription* description = pango_font_description_new();
  pango_font_description_set_family(description, family.c_str());
  pango_font_description_set_weight(description, request.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_font_description_set_style(description, request.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
  // Whole pixels, as a 96-dpi screen font has them: hinted raster text stays crisp.
  const double points = std::max<double>(request.sizePoints, kSmallestPoints);
  const double pixels = std::min(std::round(points * kDotsPerInch / 72.0), kLargestPixels);
  pango_font_description_set_absolute_size(description, pixels * PANGO_SCALE);
  return description;
}

}  // namespace

void Font::DescriptionDeleter::operator()(PangoFontDescription* description) const {
  pango_font_description_free(description);
}

std::unique_ptr<Font> Font::Load(const FontRequest& request) {
  std::string family(TrimBlanksTabs(request.family));
  if (family.empty()) return nullptr;
  static std::once_flag init;
  static bool ready = false;
  std::call_once(init, [] { ready = FcInit() == FcTrue; });
  if (!ready) return nullptr;

  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddInteger(pattern, FC_WEIGHT, request.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, request.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);

  FcResult result;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  std::unique_ptr<Font> font;
  FcChar8* matchedFamily = nullptr;
  FcChar8* file = nullptr;
  if (match && FcPatternGetString(match, FC_FAMILY, 0, &matchedFamily) == FcResultMatch &&
      IsNamedOrAliased(pattern, reinterpret_cast<const char*>(matchedFamily))) {
    font.reset(new Font());
    font->request_ = request;
    font->request_.family = family;
    font->resolvedFamily_ = reinterpret_cast<const char*>(matchedFamily);
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch)
      font->file_ = reinterpret_cast<const char*>(file);
    font->description_.reset(Describe(font->resolvedFamily_, request));
  }
  if (match) FcPatternDestroy(match);
  FcPatternDestroy(pattern);
  return font;
}

void FontDeleter::operator()(Font* font) const { delete font; }

FontHandle LoadFont(const FontRequest& request) { return FontHandle(Font::Load(request).release()); }

}  // namespace rastello
