#include "settings/text.h"

#include <locale.h>
#include <wctype.h>

namespace rastello {

namespace {

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }
char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

locale_t Utf8Locale() {
  // glibc's built-in C.UTF-8 carries the full Unicode case tables, whatever the user's locale.
  static locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  return loc;
}

// Decodes one UTF-8 sequence at s[i] and advances i. A malformed byte is passed through
// unchanged (ok = false) so that case mapping never alters bytes it does not understand.
// Overlong forms, surrogates and values past U+10FFFF are malformed too: decoded, "\xC0\xAF"
// would come back as "/" and "\xC0\x80" as NUL, and a file name could change folders.
char32_t Decode(std::string_view s, size_t& i, bool& ok) {
  static constexpr char32_t kShortest[4] = {0, 0x80, 0x800, 0x10000};
  unsigned char c = static_cast<unsigned char>(s[i]);
  int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
  ok = false;
  if (extra < 0 || i + extra >= s.size() + (extra == 0)) {
    ++i;
    return c;
  }
  char32_t cp = extra == 0 ? c : c & (0x3F >> extra);
  for (int k = 1; k <= extra; ++k) {
    unsigned char cc = static_cast<unsigned char>(s[i + k]);
    if ((cc & 0xC0) != 0x80) {
      ++i;
      return c;
    }
    cp = (cp << 6) | (cc & 0x3F);
  }
  if (cp < kShortest[extra] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
    ++i;
    return c;
  }
  i += extra + 1;
  ok = true;
  return cp;
}

void Encode(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6));
    out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | (cp >> 12));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xF0 | (cp >> 18));
    out += char(0x80 | ((cp >> 12) & 0x3F));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

template <typename F>
std::string MapChars(std::string_view s, F map) {
  std::string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    size_t start = i;
    bool ok;
    char32_t cp = Decode(s, i, ok);
    if (ok)
      Encode(map(cp), out);
    else
      out.append(s.substr(start, i - start));
  }
  return out;
}

}  // namespace

std::string AsciiUpper(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = UpperAscii(c);
  return r;
}

std::string AsciiLower(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = LowerAscii(c);
  return r;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
  return true;
}

size_t FindNoCase(std::string_view hay, std::string_view needle, size_t from) {
  if (needle.empty()) return from <= hay.size() ? from : std::string_view::npos;
  for (size_t i = from; i + needle.size() <= hay.size(); ++i)
    if (EqualsNoCase(hay.substr(i, needle.size()), needle)) return i;
  return std::string_view::npos;
}

std::string UnicodeUpper(std::string_view s) {
  locale_t loc = Utf8Locale();
  return MapChars(s, [loc](char32_t c) -> char32_t {
    if (loc) return char32_t(towupper_l(wint_t(c), loc));
    return c < 0x80 ? char32_t(UpperAscii(char(c))) : c;
  });
}

std::string UnicodeLower(std::string_view s) {
  locale_t loc = Utf8Locale();
  return MapChars(s, [loc](char32_t c) -> char32_t {
    if (loc) return char32_t(towlower_l(wint_t(c), loc));
    return c < 0x80 ? char32_t(LowerAscii(char(c))) : c;
  });
}

std::string UnicodeTitle(std::string_view s) {
  if (s.empty()) return {};
  size_t i = 0;
  bool ok;
  Decode(s, i, ok);
  return UnicodeUpper(s.substr(0, i)) + UnicodeLower(s.substr(i));
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

std::string_view TrimBlanksTabs(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::string Latin1ToUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (unsigned char c : s) Encode(c, out);
  return out;
}

std::string ReplaceAllNoCase(std::string_view text, std::string_view from, std::string_view to) {
  std::string out;
  size_t pos = 0;
  while (true) {
    size_t hit = FindNoCase(text, from, pos);
    if (hit == std::string_view::npos || from.empty()) break;
    out.append(text.substr(pos, hit - pos));
    out.append(to);
    pos = hit + from.size();
  }
  out.append(text.substr(pos));
  return out;
}

}  // namespace rastello
