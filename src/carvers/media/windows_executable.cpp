#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "carvers/carvers.h"
#include "carvers/media/declared_size.h"
#include "core/byte_order.h"
#include "scan/carver_frame.h"

namespace officecarve {
namespace {

using namespace std::string_view_literals;

// The DOS header, whose word at 0x3C points at the "PE\0\0" signature.
constexpr std::string_view kDosMagic = "MZ"sv;
constexpr size_t kDosHeaderBytes = 0x40;
constexpr size_t kNewHeaderPointerOffset = 0x3C;
constexpr std::string_view kPeSignature = "PE\x00\x00"sv;

// The file header after the signature.
constexpr size_t kFileHeaderBytes = 20;
constexpr size_t kMachineOffset = 0;
constexpr size_t kSectionCountOffset = 2;
constexpr size_t kSymbolTableOffset = 8;
constexpr size_t kSymbolCountOffset = 12;
constexpr size_t kOptionalHeaderSizeOffset = 16;
constexpr size_t kCharacteristicsOffset = 18;
constexpr uint16_t kExecutableImage = 0x0002;
constexpr uint16_t kMaxSections = 96;
// x86, x64, ARM64, ARM, Thumb, ARM Thumb-2, Itanium, EFI byte code.
constexpr std::array<uint16_t, 8> kMachines = {0x014C, 0x8664, 0xAA64, 0x01C0,
                                               0x01C2, 0x01C4, 0x0200, 0x0EBC};

// The optional header of 32-bit (PE32) and 64-bit (PE32+) images; they
// differ from the data directory count on.
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr size_t kSectionAlignmentOffset = 32;
constexpr size_t kFileAlignmentOffset = 36;
constexpr size_t kHeadersSizeOffset = 60;
constexpr size_t kPe32DirectoriesOffset = 96;
constexpr size_t kPe32PlusDirectoriesOffset = 112;
constexpr size_t kDirectoryBytes = 8;
constexpr uint32_t kMaxDirectories = 16;
constexpr size_t kMaxOptionalHeaderBytes = kPe32PlusDirectoriesOffset + 16 * kDirectoryBytes;
constexpr uint32_t kMinFileAlignment = 512;
constexpr uint32_t kMaxFileAlignment = 65536;
// The certificate table's entry holds a file offset, not an address; the
// table is a list of signatures, each starting on an 8-byte boundary.
constexpr uint32_t kCertificateDirectory = 4;
constexpr uint32_t kCertificateAlignment = 8;
constexpr uint32_t kMinCertificateBytes = 8;
// A signature with its certificate chain takes a few KiB; even a table of
// many is far below this.
constexpr uint32_t kMaxCertificateBytes = 16u << 20;

constexpr size_t kSectionHeaderBytes = 40;
constexpr size_t kRawSizeOffset = 16;
constexpr size_t kRawPointerOffset = 20;

// Symbols of 18 bytes, then a string table that starts with its own size.
constexpr uint64_t kSymbolBytes = 18;
constexpr uint64_t kStringTableSizeBytes = 4;

// The largest programs and libraries shipped are a few hundred MiB; what
// makes installers larger is an appended payload, which is not counted.
constexpr uint64_t kMaxExecutableBytes = 1ull << 30;

bool IsPowerOfTwo(uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

// Where the file header, optional header and section table lie.
struct Headers {
  size_t file_header = 0;
  size_t optional_header = 0;
  size_t optional_bytes = 0;
  size_t sections = 0;
  uint16_t section_count = 0;
  uint64_t end = 0;  // of the section table
};

// From the header unit: where the headers are, if they are an image's.
std::optional<Headers> LocateHeaders(std::span<const uint8_t> unit) {
  if (unit.size() < kDosHeaderBytes || !HeaderHas(unit, 0, kDosMagic)) return std::nullopt;
  const uint32_t signature_at = Le32At(unit, kNewHeaderPointerOffset);
  if (signature_at < kDosHeaderBytes ||
      signature_at > unit.size() - kPeSignature.size() - kFileHeaderBytes ||
      !HeaderHas(unit, signature_at, kPeSignature)) {
    return std::nullopt;
  }
  Headers headers;
  headers.file_header = signature_at + kPeSignature.size();
  const uint16_t machine = Le16At(unit, headers.file_header + kMachineOffset);
  headers.section_count = Le16At(unit, headers.file_header + kSectionCountOffset);
  headers.optional_bytes = Le16At(unit, headers.file_header + kOptionalHeaderSizeOffset);
  const uint16_t characteristics = Le16At(unit, headers.file_header + kCharacteristicsOffset);
  if (std::find(kMachines.begin(), kMachines.end(), machine) == kMachines.end() ||
      headers.section_count == 0 || headers.section_count > kMaxSections ||
      headers.optional_bytes < kPe32DirectoriesOffset ||
      headers.optional_bytes > kMaxOptionalHeaderBytes ||
      (characteristics & kExecutableImage) == 0) {
    return std::nullopt;
  }
  headers.optional_header = headers.file_header + kFileHeaderBytes;
  headers.sections = headers.optional_header + headers.optional_bytes;
  headers.end = headers.sections + uint64_t{headers.section_count} * kSectionHeaderBytes;
  return headers;
}

// What the headers say of the file's extent.
struct Extent {
  uint64_t end = 0;           // of the headers, the sections' data and the certificate table
  uint64_t string_table = 0;  // where the symbols' string table starts; 0 without symbols
};

// From the bytes through the section table: the extent, if every field is
// one a linker writes.
std::optional<Extent> ReadExtent(std::span<const uint8_t> bytes, const Headers& headers) {
  const size_t optional = headers.optional_header;
  const uint16_t magic = Le16At(bytes, optional);
  if (magic != kPe32Magic && magic != kPe32PlusMagic) return std::nullopt;
  const size_t directories =
      magic == kPe32PlusMagic ? kPe32PlusDirectoriesOffset : kPe32DirectoriesOffset;
  if (headers.optional_bytes < directories) return std::nullopt;
  const uint32_t directory_count = Le32At(bytes, optional + directories - 4);
  const uint32_t section_alignment = Le32At(bytes, optional + kSectionAlignmentOffset);
  const uint32_t file_alignment = Le32At(bytes, optional + kFileAlignmentOffset);
  const uint32_t headers_bytes = Le32At(bytes, optional + kHeadersSizeOffset);
  if (directory_count > kMaxDirectories ||
      directories + directory_count * kDirectoryBytes > headers.optional_bytes ||
      !IsPowerOfTwo(file_alignment) || file_alignment < kMinFileAlignment ||
      file_alignment > kMaxFileAlignment || section_alignment < file_alignment ||
      headers_bytes < headers.end || headers_bytes % file_alignment != 0) {
    return std::nullopt;
  }

  Extent extent{headers_bytes, 0};
  for (uint16_t index = 0; index < headers.section_count; ++index) {
    const size_t section = headers.sections + index * kSectionHeaderBytes;
    const uint32_t raw_bytes = Le32At(bytes, section + kRawSizeOffset);
    const uint32_t raw_at = Le32At(bytes, section + kRawPointerOffset);
    if (raw_bytes == 0) continue;  // uninitialised data takes no room in the file
    if (raw_at % file_alignment != 0 || raw_at < headers_bytes) return std::nullopt;
    extent.end = std::max(extent.end, uint64_t{raw_at} + raw_bytes);
  }

  if (directory_count > kCertificateDirectory) {
    const size_t entry = optional + directories + kCertificateDirectory * kDirectoryBytes;
    const uint32_t table_at = Le32At(bytes, entry);
    const uint32_t table_bytes = Le32At(bytes, entry + 4);
    if (table_bytes != 0) {
      if (table_at % kCertificateAlignment != 0 || table_at < headers_bytes ||
          table_bytes < kMinCertificateBytes || table_bytes > kMaxCertificateBytes) {
        return std::nullopt;
      }
      extent.end = std::max(extent.end, uint64_t{table_at} + table_bytes);
    }
  }

  // Images seldom keep symbols, but some linkers leave them after the
  // sections unless told to strip them.
  const uint32_t symbols_at = Le32At(bytes, headers.file_header + kSymbolTableOffset);
  if (symbols_at != 0) {
    if (symbols_at < headers_bytes) return std::nullopt;
    extent.string_table =
        symbols_at + kSymbolBytes * Le32At(bytes, headers.file_header + kSymbolCountOffset);
  }
  return extent;
}

bool Bounded(CarverCall& call, uint64_t end) {
  return end <= kMaxExecutableBytes && FitsScanRange(call, end);
}

}  // namespace

// The file is taken to end with its image: the headers, the sections' data,
// the symbols and the certificate table. Whatever a program appended after
// that (an installer's payload, a self-extracting archive) is described by
// no header and cannot be bounded.
void CarveWindowsExecutable(CarverEnv& env, std::string_view /*folder*/, int64_t offset) {
  CarverCall call(env, offset);
  if (!call.Started()) return;
  const std::optional<Headers> headers = LocateHeaders(call.Bytes());
  if (!headers || !call.ReadUntil(headers->end)) return call.Fail();
  const std::optional<Extent> extent = ReadExtent(call.Bytes(), *headers);
  if (!extent || !Bounded(call, extent->end)) return call.Fail();

  uint64_t end = extent->end;
  uint64_t covered = call.Held();
  if (extent->string_table != 0) {
    // The string table's size is read where it lies, before anything up to
    // it is claimed: a size refused then costs nothing.
    const uint64_t size_end = extent->string_table + kStringTableSizeBytes;
    if (!Bounded(call, size_end)) return call.Fail();
    std::array<uint8_t, kStringTableSizeBytes> size_bytes{};
    if (!call.PeekAt(extent->string_table, size_bytes)) return call.Fail();
    const uint32_t string_bytes = Le32At(size_bytes, 0);
    const uint64_t symbols_end = extent->string_table + string_bytes;
    if (string_bytes < kStringTableSizeBytes || !Bounded(call, symbols_end)) return call.Fail();
    end = std::max(end, symbols_end);
  }
  ClaimDeclaredLength(call, end, covered);
}

}  // namespace officecarve
