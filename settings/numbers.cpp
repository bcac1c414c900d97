#include "settings/numbers.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "settings/text.h"

namespace rastello {

int64_t ReadInteger64(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  unsigned base = 10;
  if (i < s.size() && s[i] == '$') {
    base = 16;
    ++i;
  } else if (i < s.size() && s[i] == '%') {
    base = 2;
    ++i;
  }
  uint64_t value = 0;  // unsigned: overflow wraps instead of being undefined
  for (; i < s.size(); ++i) {
    char c = s[i];
    unsigned digit;
    if (c >= '0' && c <= '9')
      digit = unsigned(c - '0');
    else if (c >= 'a' && c <= 'f')
      digit = unsigned(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F')
      digit = unsigned(c - 'A' + 10);
    else
      break;
    if (digit >= base) break;
    value = value * base + digit;
  }
  if (negative) value = ~value + 1;
  return static_cast<int64_t>(value);
}

int32_t ReadInteger(std::string_view text) {
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(ReadInteger64(text))));
}

float ReadFloat(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  bool negative = false;
  std::string_view body = s;
  if (!body.empty() && (body.front() == '+' || body.front() == '-')) {
    negative = body.front() == '-';
    body.remove_prefix(1);
  }
  if (EqualsNoCase(body.substr(0, 8), "infinity"))
    return negative ? -std::numeric_limits<float>::infinity() : std::numeric_limits<float>::infinity();
  if (EqualsNoCase(body.substr(0, 3), "nan")) return std::numeric_limits<float>::quiet_NaN();
  // Only plain decimal forms: from_chars would also take "inf" and hex without a prefix.
  if (body.empty() || !((body.front() >= '0' && body.front() <= '9') || body.front() == '.')) return 0.0f;
  float value = 0.0f;
  auto result = std::from_chars(body.data(), body.data() + body.size(), value, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    // Too large for a float: infinity; too small: zero. from_chars leaves value alone then.
    double d = 0.0;
    std::from_chars(body.data(), body.data() + body.size(), d, std::chars_format::general);
    value = static_cast<float>(d);
  } else if (result.ec != std::errc()) {
    value = 0.0f;
  }
  return negative ? -value : value;
}

std::string FormatFloat(float value, int decimals) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Infinity" : "+Infinity";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, static_cast<double>(value));
  return buf;
}

}  // namespace rastello
