#pragma once
#include <string>

namespace rastello {

// Names the kind of a file from its first bytes ("PNG", "JPEG/EXIF", "ZIP (E)"), without
// trusting its name; "[ERROR] UNRECOGNIZED" when unknown or unreadable. Reads at most 20 bytes.
std::string IdentifyFileType(const std::string& path);
// The same for bytes already read (at most the first 20 are looked at).
std::string IdentifySignature(const unsigned char* bytes, size_t count);

}  // namespace rastello
