#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace officecarve::demo {

struct EmbeddedFile {
  std::string_view name;
  std::span<const unsigned char> bytes;
};

// The real sample documents the demo image is built from, compiled in.
std::span<const EmbeddedFile> EmbeddedSamples();

}  // namespace officecarve::demo
