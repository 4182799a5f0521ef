#include "scan/open_document_type.h"

#include <array>
#include <string_view>

namespace officecarve {
namespace {

using namespace std::string_view_literals;

constexpr std::string_view kLocalHeader = "PK\x03\x04"sv;
constexpr std::string_view kMimetypeName = "mimetype"sv;
constexpr size_t kFixedHeaderBytes = 30;

struct KnownType {
  std::string_view mimetype;
  OpenDocumentType type;
};

constexpr std::array<KnownType, 6> kKnownTypes = {{
    {"application/vnd.oasis.opendocument.text"sv, OpenDocumentType::kText},
    {"application/vnd.oasis.opendocument.text-template"sv, OpenDocumentType::kText},
    {"application/vnd.oasis.opendocument.spreadsheet"sv, OpenDocumentType::kSpreadsheet},
    {"application/vnd.oasis.opendocument.spreadsheet-template"sv, OpenDocumentType::kSpreadsheet},
    {"application/vnd.oasis.opendocument.presentation"sv, OpenDocumentType::kPresentation},
    {"application/vnd.oasis.opendocument.presentation-template"sv, OpenDocumentType::kPresentation},
}};

uint32_t Le16(std::span<const uint8_t> bytes, size_t at) {
  return bytes[at] | (uint32_t{bytes[at + 1]} << 8);
}

std::string_view TextAt(std::span<const uint8_t> bytes, size_t at, size_t length) {
  return {reinterpret_cast<const char*>(bytes.data() + at), length};
}

}  // namespace

OpenDocumentType OpenDocumentTypeOf(std::span<const uint8_t> first_bytes) {
  if (first_bytes.size() < kFixedHeaderBytes + kMimetypeName.size()) return OpenDocumentType::kNone;
  if (TextAt(first_bytes, 0, kLocalHeader.size()) != kLocalHeader) return OpenDocumentType::kNone;
  const size_t name_length = Le16(first_bytes, 26);
  const size_t extra_length = Le16(first_bytes, 28);
  const uint32_t method = Le16(first_bytes, 8);
  if (name_length != kMimetypeName.size() || method != 0) return OpenDocumentType::kNone;
  if (TextAt(first_bytes, kFixedHeaderBytes, name_length) != kMimetypeName) {
    return OpenDocumentType::kNone;
  }
  const size_t data_start = kFixedHeaderBytes + name_length + extra_length;
  const size_t data_length = Le16(first_bytes, 18) | (size_t{Le16(first_bytes, 20)} << 16);
  if (data_length > first_bytes.size() || data_start > first_bytes.size() - data_length) {
    return OpenDocumentType::kNone;
  }
  const std::string_view mimetype = TextAt(first_bytes, data_start, data_length);
  for (const KnownType& known : kKnownTypes) {
    if (mimetype == known.mimetype) return known.type;
  }
  return OpenDocumentType::kNone;
}

}  // namespace officecarve
