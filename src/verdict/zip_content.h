#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace officecarve {

inline constexpr uint16_t kZipStored = 0;
inline constexpr uint16_t kZipDeflated = 8;

// Checks the entries of one package in turn (one checker per thread).
class EntryContentChecker {
 public:
  EntryContentChecker();
  ~EntryContentChecker();
  EntryContentChecker(const EntryContentChecker&) = delete;
  EntryContentChecker& operator=(const EntryContentChecker&) = delete;

  // Unpacks one entry's data (stored or raw deflate) and compares it with the
  // size and CRC-32 the central directory lists. Returns the problem, without
  // the entry's name, or nothing when both agree. Memory stays small whatever
  // the entry claims: the output is checked in chunks and never kept.
  std::optional<std::string> Check(std::span<const uint8_t> data, uint16_t method, uint64_t size,
                                   uint32_t crc);

 private:
  class Inflater;
  std::optional<std::string> CheckDeflated(std::span<const uint8_t> data, uint64_t size,
                                           uint32_t crc);

  std::unique_ptr<Inflater> inflater_;
  std::vector<uint8_t> output_;
};

}  // namespace officecarve
