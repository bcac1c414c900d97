#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace rastello {

// Reads a number the way every option and settings value is read: blanks and tabs skipped,
// an optional sign, then "$" and hex digits, "%" and binary digits, or decimal digits, up to
// the first character that does not fit. No digits give 0. Computed in 64 bits (wrapping).
int64_t ReadInteger64(std::string_view text);
// The same, keeping the low 32 bits.
int32_t ReadInteger(std::string_view text);
// A decimal number with "." as the point and an optional exponent, read as far as it forms
// a number; "+Infinity", "-Infinity" and "NaN" in any case. Anything else gives 0.
float ReadFloat(std::string_view text);

// Formats a float the way the settings file and the debug listing show the special values.
std::string FormatFloat(float value, int decimals);

}  // namespace rastello
