#pragma once
#include <string>
#include <string_view>

namespace rastello {

// Replaces "%s1%" .. "%s4%" (any letter case) by the texts, one after the other on the
// growing result; an empty text leaves its placeholder alone.
std::string FillPlaceholders(std::string_view message, std::string_view s1 = {}, std::string_view s2 = {},
                             std::string_view s3 = {}, std::string_view s4 = {});

}  // namespace rastello
