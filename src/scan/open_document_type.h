#pragma once

#include <cstdint>
#include <span>

namespace officecarve {

enum class OpenDocumentType { kNone, kText, kSpreadsheet, kPresentation };

// An OpenDocument package starts with a stored entry named "mimetype" whose
// data names the document type. `first_bytes` are the package's first bytes
// (at least the first sector); anything else, including types we do not
// recover (drawings, formulas, masters), gives kNone.
OpenDocumentType OpenDocumentTypeOf(std::span<const uint8_t> first_bytes);

}  // namespace officecarve
