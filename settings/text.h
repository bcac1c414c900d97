#pragma once
// Small text helpers shared by every subsystem. Text is UTF-8 in std::string.
#include <string>
#include <string_view>

namespace rastello {

// ASCII letter case only: option words, keys, group names and tokens are ASCII.
std::string AsciiUpper(std::string_view s);
std::string AsciiLower(std::string_view s);
bool EqualsNoCase(std::string_view a, std::string_view b);
// Position of `needle` in `hay` ignoring ASCII case, or npos.
size_t FindNoCase(std::string_view hay, std::string_view needle, size_t from = 0);

// Unicode-aware case mapping of UTF-8 text (simple one-to-one mappings).
std::string UnicodeUpper(std::string_view s);
std::string UnicodeLower(std::string_view s);
// First character upper case, the rest lower case.
std::string UnicodeTitle(std::string_view s);

// Blanks only (not tabs), as option arguments are trimmed.
std::string_view TrimBlanks(std::string_view s);
// Blanks and tabs, as settings-file values are trimmed.
std::string_view TrimBlanksTabs(std::string_view s);

std::string Latin1ToUtf8(std::string_view s);

// Replace every occurrence of `from` (ASCII case ignored) by `to`, left to right,
// without rescanning inserted text.
std::string ReplaceAllNoCase(std::string_view text, std::string_view from, std::string_view to);

}  // namespace rastello
