#pragma once
// Output file names from the filename mask, and the same tokens in watermark texts.
#include <string>
#include <string_view>

namespace rastello {

struct Session;

// The 19 tokens, in the order they are replaced.
extern const char* const kNameTokens[19];

// `text` with every occurrence of `token` (any letter case) replaced by its value.
std::string ExpandToken(const Session& session, std::string_view text, std::string_view token);
// The output file name: the lower-cased mask with its tokens expanded.
std::string ApplyFilenameMask(const Session& session);
// OutputFolder, the subfolder when kept, and the file name.
std::string BuildOutputPath(const Session& session);
// The watermark text with its tokens expanded; literal text keeps its case.
std::string ApplyTextTokens(const Session& session);
// The name without its last extension.
std::string StripExtension(std::string_view name);
// Creates each missing level of Subfolder below OutputFolder; failures show at the save.
void CreateOutputSubfolders(const Session& session);

}  // namespace rastello
