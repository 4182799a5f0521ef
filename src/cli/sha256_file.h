#pragma once

#include <optional>
#include <string>

namespace officecarve::cli {

// The SHA-256 of a file's contents in lower-case hexadecimal; nothing when it
// cannot be read to its end.
std::optional<std::string> Sha256OfFile(const std::string& path);

}  // namespace officecarve::cli
