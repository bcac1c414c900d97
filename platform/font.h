#pragma once
// Fonts of the drawing layer: a family resolved through fontconfig, with size and style.
#include <memory>
#include <string>

typedef struct _PangoFontDescription PangoFontDescription;

namespace rastello {

struct FontRequest {
  std::string family;
  int sizePoints = 0;  // points at 96 dots per inch
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strikeout = false;
};

class Font {
 public:
  // Null when fontconfig has neither the family nor a configured alias of it: a name that
  // would only fall back to some unrelated default font does not count as loaded.
  static std::unique_ptr<Font> Load(const FontRequest& request);

  const FontRequest& request() const { return request_; }
  const std::string& resolvedFamily() const { return resolvedFamily_; }  // e.g. Liberation Sans
  const std::string& file() const { return file_; }
  // The resolved family at the requested size (points * 96 / 72, in whole pixels), weight and slant,
  // for pango. Underline and strike-out are drawn per layout; see request().
  const PangoFontDescription* description() const { return description_.get(); }

 private:
  struct DescriptionDeleter {
    void operator()(PangoFontDescription* description) const;
  };

  FontRequest request_;
  std::string resolvedFamily_;
  std::string file_;
  std::unique_ptr<PangoFontDescription, DescriptionDeleter> description_;
};

// What holders outside the drawing layer use: in the program they reach the drawing module,
// which is loaded only when a run needs it.
struct FontDeleter {
  void operator()(Font* font) const;
};
using FontHandle = std::unique_ptr<Font, FontDeleter>;
FontHandle LoadFont(const FontRequest& request);

}  // namespace rastello
