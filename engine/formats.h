#pragma once
// What the engine knows of file formats, and how the settings become FreeImage save flags
// and output depths.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "engine/bitmap.h"

namespace rastello {

struct Settings;
struct Session;

struct OutputFormatInfo {
  int32_t formatId;           // FreeImage format id
  std::string extension;      // lower case
  std::string description;
  std::string allowedDepths;  // ascending, comma-separated
};

struct InputFormatInfo {
  std::string family;  // main extension of the format
  std::string description;
};

// The 20 formats the engine can write, keyed by lower-case extension.
const std::map<std::string, OutputFormatInfo>& OutputFormats();
// The 79 extensions the converter family can read.
const std::map<std::string, InputFormatInfo>& InputFormats();
// What this program accepts: "jpg" out and "png" in.
const std::vector<std::string>& AllowedOutputFormats();
const std::vector<std::string>& AllowedInputFormats();

// Exact comparison, letter case included.
bool IsAllowedOutputFormat(std::string_view extension);
// True for 0 (automatic) or a depth the format allows.
bool IsAllowedDepth(std::string_view extension, int64_t depth);

// Every known input extension whose family this program accepts.
const std::vector<std::string>& AcceptedExtensions();
bool IsAcceptedExtension(std::string_view extension);  // lower case expected

// FreeImage save flags for an output extension from the current settings.
int32_t SaveFlagsFor(const Settings& settings, std::string_view extension);
// The smallest allowed depth that holds the source depth, else the largest allowed.
int32_t AutoBitDepth(std::string_view extension, int32_t sourceBpp);
// Fills FormatId, TargetBpp, SaveFlags and AutoBpp for the run's output format.
void SelectOutputFormat(Session& session);
// Brings the bitmap to the run's target depth (fixing TargetBpp per file when automatic).
Bitmap ConvertBitDepth(Session& session, Bitmap bitmap);

}  // namespace rastello
