#pragma once

#include <cstdint>
#include <span>

namespace officecarve {

// Follows XML as it comes out of an entry being unpacked and says when it
// stops being well formed locally: a byte XML forbids, broken UTF-8, a tag
// that does not open with a name, an attribute without its quoted value, an
// entity reference that does not close. Deflate data taken from the wrong
// place often unpacks for kilobytes without an error, into the letters and
// brackets its codes were built for; this sees the result within bytes.
// Element nesting is not followed. Output that does not start like XML is
// never judged.
class XmlSyntaxWatch {
 public:
  // False once the bytes seen so far cannot be an XML document's.
  bool See(std::span<const uint8_t> bytes);

 private:
  enum class State : uint8_t {
    kStart,
    kByteOrderMark,
    kText,
    kEntity,
    kTagOpen,
    kTagName,
    kInTag,
    kAttributeName,
    kAfterAttributeName,
    kAfterEquals,
    kAttributeValue,
    kAfterValue,
    kEmptyClose,
    kEndTagStart,
    kEndTagName,
    kAfterEndTagName,
    kSkipToClose,
    kComment,
    kNotXml,
  };
  bool Step(uint8_t byte);
  bool Utf8(uint8_t byte);

  State state_ = State::kStart;
  uint8_t quote_ = 0;
  uint8_t continuation_ = 0;
  uint8_t entity_length_ = 0;
  uint8_t mark_bytes_ = 0;
  // The last bytes, for the ends of comments and processing instructions.
  uint8_t previous_ = 0;
  uint8_t before_previous_ = 0;
  uint8_t close_ = '>';
};

}  // namespace officecarve
