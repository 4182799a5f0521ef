#include <cstdint>
#include <span>
#include <string_view>

#include "carvers/carvers.h"
#include "carvers/media/declared_size.h"
#include "core/byte_order.h"
#include "scan/carver_frame.h"

namespace officecarve {
namespace {

using namespace std::string_view_literals;

constexpr std::string_view kSqliteMagic = "SQLite format 3\x00"sv;
// Header fields, big-endian.
constexpr size_t kPageSizeOffset = 16;  // 16 bits; 1 stands for 65536
constexpr size_t kWriteVersionOffset = 18;
constexpr size_t kReadVersionOffset = 19;
constexpr size_t kReservedBytesOffset = 20;
constexpr size_t kPayloadFractionsOffset = 21;
constexpr size_t kChangeCounterOffset = 24;
constexpr size_t kPageCountOffset = 28;
constexpr size_t kVersionValidForOffset = 92;
constexpr size_t kHeaderBytes = 100;

constexpr uint32_t kMinPageBytes = 512;
constexpr uint32_t kMaxPageBytes = 65536;
// Every page keeps at least this many bytes after its reserved tail.
constexpr uint32_t kMinUsablePageBytes = 480;
// The three payload fractions are fixed by the file format.
constexpr std::string_view kPayloadFractions = "\x40\x20\x20"sv;

// The databases desktop programs keep (histories, caches, mail indexes,
// catalogues) stay below a few GiB; a larger size on a disk of documents is
// far likelier a damaged header than a database.
constexpr uint64_t kMaxDatabaseBytes = 4ull << 30;

bool IsJournalVersion(uint8_t version) { return version == 1 || version == 2; }

// The page size, or 0 when the field holds none.
uint32_t PageBytes(std::span<const uint8_t> header) {
  const uint16_t field = Be16At(header, kPageSizeOffset);
  const uint32_t page_bytes = field == 1 ? kMaxPageBytes : field;
  const bool power_of_two = (page_bytes & (page_bytes - 1)) == 0;
  return page_bytes >= kMinPageBytes && page_bytes <= kMaxPageBytes && power_of_two ? page_bytes
                                                                                    : 0;
}

// The database's length in bytes, or 0 when the header does not hold a
// usable one.
uint64_t DatabaseBytes(std::span<const uint8_t> header) {
  if (header.size() < kHeaderBytes || !HeaderHas(header, 0, kSqliteMagic) ||
      !HeaderHas(header, kPayloadFractionsOffset, kPayloadFractions) ||
      !IsJournalVersion(header[kWriteVersionOffset]) ||
      !IsJournalVersion(header[kReadVersionOffset])) {
    return 0;
  }
  const uint32_t page_bytes = PageBytes(header);
  if (page_bytes == 0 || page_bytes - header[kReservedBytesOffset] < kMinUsablePageBytes) return 0;
  // The page count is trusted only when the program that last changed the
  // file also wrote it, which it marks by copying the change counter. Older
  // writers left it stale, and then only the file system knew the length:
  // such a database is not claimed at all.
  if (Be32At(header, kVersionValidForOffset) != Be32At(header, kChangeCounterOffset)) return 0;
  return uint64_t{page_bytes} * Be32At(header, kPageCountOffset);
}

}  // namespace

void CarveSqlite(CarverEnv& env, std::string_view /*folder*/, int64_t offset) {
  CarverCall call(env, offset);
  if (!call.Started()) return;
  const uint64_t length = DatabaseBytes(call.Bytes());
  if (length == 0 || length > kMaxDatabaseBytes || !FitsScanRange(call, length)) {
    return call.Fail();
  }
  ClaimDeclaredLength(call, length);
}

}  // namespace officecarve
