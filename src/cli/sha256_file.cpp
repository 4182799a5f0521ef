#include "cli/sha256_file.h"

#include <nettle/sha2.h>

#include <cstdint>
#include <fstream>
#include <vector>

namespace officecarve::cli {

std::optional<std::string> Sha256OfFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  sha256_ctx context;
  sha256_init(&context);
  std::vector<char> chunk(1 << 20);
  while (in) {
    in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    const std::streamsize got = in.gcount();
    if (got > 0) {
      sha256_update(&context, static_cast<size_t>(got),
                    reinterpret_cast<const uint8_t*>(chunk.data()));
    }
  }
  if (in.bad()) return std::nullopt;
  uint8_t digest[SHA256_DIGEST_SIZE];
  sha256_digest(&context, sizeof(digest), digest);
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  for (const uint8_t byte : digest) {
    text.push_back(kHex[byte >> 4]);
    text.push_back(kHex[byte & 0xF]);
  }
  return text;
}

}  // namespace officecarve::cli
