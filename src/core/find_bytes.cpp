#include "core/find_bytes.h"

#include <bit>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#define OFFICECARVE_X86 1
#endif

namespace officecarve {
namespace {

// Each filter looks at the starts from `from` on in blocks of its width while
// a whole block of starts lies at or before `last`, and leaves `from` at the
// first start it did not look at.
#if defined(OFFICECARVE_X86)
std::optional<uint64_t> FilterBy16(const uint8_t* data, uint64_t& from, uint64_t last,
                                   std::string_view needle) {
  const size_t length = needle.size();
  const __m128i first = _mm_set1_epi8(needle[0]);
  const __m128i final = _mm_set1_epi8(needle[length - 1]);
  for (; from + 15 <= last; from += 16) {
    const uint8_t* at = data + from;
    const __m128i starts = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    const __m128i ends = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + length - 1));
    auto mask = static_cast<uint32_t>(_mm_movemask_epi8(
        _mm_and_si128(_mm_cmpeq_epi8(starts, first), _mm_cmpeq_epi8(ends, final))));
    for (; mask != 0; mask &= mask - 1) {
      const int bit = std::countr_zero(mask);
      if (std::memcmp(at + bit + 1, needle.data() + 1, length - 2) == 0) return from + bit;
    }
  }
  return std::nullopt;
}

// The starts among the 32 at `at` where the needle's first and last bytes match.
__attribute__((target("avx2"))) inline __m256i MatchBy32(const uint8_t* at, size_t length,
                                                         __m256i first, __m256i final) {
  const __m256i starts = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
  const __m256i ends = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + length - 1));
  return _mm256_and_si256(_mm256_cmpeq_epi8(starts, first), _mm256_cmpeq_epi8(ends, final));
}

__attribute__((target("avx2"))) std::optional<uint64_t> FilterBy32(const uint8_t* data,
                                                                   uint64_t& from, uint64_t last,
                                                                   std::string_view needle) {
  const size_t length = needle.size();
  const __m256i first = _mm256_set1_epi8(needle[0]);
  const __m256i final = _mm256_set1_epi8(needle[length - 1]);
  auto verify = [&](uint64_t block, uint32_t mask) -> std::optional<uint64_t> {
    for (; mask != 0; mask &= mask - 1) {
      const int bit = std::countr_zero(mask);
      if (std::memcmp(data + block + bit + 1, needle.data() + 1, length - 2) == 0) {
        return block + bit;
      }
    }
    return std::nullopt;
  };
  // Four blocks at a time, looked into only when one of them holds a start
  // whose ends match.
  for (; from + 127 <= last; from += 128) {
    const uint8_t* at = data + from;
    const __m256i matches[4] = {
        MatchBy32(at, length, first, final), MatchBy32(at + 32, length, first, final),
        MatchBy32(at + 64, length, first, final), MatchBy32(at + 96, length, first, final)};
    const __m256i any = _mm256_or_si256(_mm256_or_si256(matches[0], matches[1]),
                                        _mm256_or_si256(matches[2], matches[3]));
    if (_mm256_testz_si256(any, any)) continue;
    for (int block = 0; block < 4; ++block) {
      const auto mask = static_cast<uint32_t>(_mm256_movemask_epi8(matches[block]));
      if (const auto found = verify(from + 32 * block, mask)) return found;
    }
  }
  for (; from + 31 <= last; from += 32) {
    const auto mask =
        static_cast<uint32_t>(_mm256_movemask_epi8(MatchBy32(data + from, length, first, final)));
    if (const auto found = verify(from, mask)) return found;
  }
  return std::nullopt;
}
#endif

}  // namespace

std::optional<uint64_t> FindBytes(std::span<const uint8_t> bytes, uint64_t from,
                                  std::string_view needle) {
  const size_t length = needle.size();
  if (length == 0 || bytes.size() < length) return std::nullopt;
  const uint64_t last = bytes.size() - length;
  const uint8_t* data = bytes.data();
#if defined(OFFICECARVE_X86)
  if (length > 1) {
    if (__builtin_cpu_supports("avx2")) {
      if (const auto found = FilterBy32(data, from, last, needle)) return found;
    }
    if (const auto found = FilterBy16(data, from, last, needle)) return found;
  }
#endif
  const auto first_byte = static_cast<unsigned char>(needle[0]);
  while (from <= last) {
    const void* hit = std::memchr(data + from, first_byte, static_cast<size_t>(last - from + 1));
    if (hit == nullptr) return std::nullopt;
    const uint64_t at = static_cast<uint64_t>(static_cast<const uint8_t*>(hit) - data);
    if (std::memcmp(data + at, needle.data(), length) == 0) return at;
    from = at + 1;
  }
  return std::nullopt;
}

}  // namespace officecarve
