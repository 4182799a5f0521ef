#include "carvers/office/xml_syntax_watch.h"

namespace officecarve {
namespace {

bool IsSpace(uint8_t byte) { return byte == ' ' || byte == '\t' || byte == '\n' || byte == '\r'; }

bool IsNameStart(uint8_t byte) {
  return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || byte == '_' ||
         byte == ':' || byte >= 0x80;
}

bool IsNameByte(uint8_t byte) {
  return IsNameStart(byte) || (byte >= '0' && byte <= '9') || byte == '-' || byte == '.';
}

}  // namespace

bool XmlSyntaxWatch::See(std::span<const uint8_t> bytes) {
  for (const uint8_t byte : bytes) {
    if (state_ == State::kNotXml) return true;
    if (!Utf8(byte) || !Step(byte)) return false;
    before_previous_ = previous_;
    previous_ = byte;
  }
  return true;
}

bool XmlSyntaxWatch::Utf8(uint8_t byte) {
  if (state_ == State::kStart || state_ == State::kByteOrderMark) return true;
  if (continuation_ > 0) {
    if (byte < 0x80 || byte > 0xBF) return false;
    --continuation_;
    return true;
  }
  if (byte < 0x20) return IsSpace(byte);
  if (byte < 0x80) return true;
  if (byte >= 0xC2 && byte <= 0xDF) {
    continuation_ = 1;
  } else if (byte >= 0xE0 && byte <= 0xEF) {
    continuation_ = 2;
  } else if (byte >= 0xF0 && byte <= 0xF4) {
    continuation_ = 3;
  } else {
    return false;
  }
  return true;
}

bool XmlSyntaxWatch::Step(uint8_t byte) {
  switch (state_) {
    case State::kStart:
      if (byte == 0xEF) {
        state_ = State::kByteOrderMark;
        mark_bytes_ = 1;
      } else {
        state_ = byte == '<' ? State::kTagOpen : State::kNotXml;
      }
      return true;
    case State::kByteOrderMark:
      if (mark_bytes_ < 3) {
        const uint8_t expected = mark_bytes_ == 1 ? 0xBB : 0xBF;
        state_ = byte == expected ? State::kByteOrderMark : State::kNotXml;
        ++mark_bytes_;
      } else {
        state_ = byte == '<' ? State::kTagOpen : State::kNotXml;
      }
      return true;
    case State::kText:
      if (byte == '<') state_ = State::kTagOpen;
      if (byte == '&') {
        state_ = State::kEntity;
        entity_length_ = 0;
      }
      return true;
    case State::kEntity:
      // "&amp;", "&#x20;": a short name or number, then a semicolon.
      if (byte == ';') {
        state_ = State::kText;
        return entity_length_ > 0;
      }
      return (IsNameByte(byte) || byte == '#') && ++entity_length_ <= 32;
    case State::kTagOpen:
      if (byte == '/') {
        state_ = State::kEndTagStart;
      } else if (byte == '?') {
        state_ = State::kSkipToClose;
        close_ = '?';
      } else if (byte == '!') {
        state_ = State::kSkipToClose;
        close_ = '!';
      } else if (IsNameStart(byte)) {
        state_ = State::kTagName;
      } else {
        return false;
      }
      return true;
    case State::kTagName:
      if (IsNameByte(byte)) return true;
      if (IsSpace(byte)) {
        state_ = State::kInTag;
      } else if (byte == '>') {
        state_ = State::kText;
      } else if (byte == '/') {
        state_ = State::kEmptyClose;
      } else {
        return false;
      }
      return true;
    case State::kInTag:
    case State::kAfterValue:
      if (IsSpace(byte)) {
        state_ = State::kInTag;
      } else if (byte == '>') {
        state_ = State::kText;
      } else if (byte == '/') {
        state_ = State::kEmptyClose;
      } else if (state_ == State::kInTag && IsNameStart(byte)) {
        state_ = State::kAttributeName;
      } else {
        return false;
      }
      return true;
    case State::kAttributeName:
      if (IsNameByte(byte)) return true;
      if (IsSpace(byte)) {
        state_ = State::kAfterAttributeName;
      } else if (byte == '=') {
        state_ = State::kAfterEquals;
      } else {
        return false;
      }
      return true;
    case State::kAfterAttributeName:
      if (IsSpace(byte)) return true;
      if (byte != '=') return false;
      state_ = State::kAfterEquals;
      return true;
    case State::kAfterEquals:
      if (IsSpace(byte)) return true;
      if (byte != '"' && byte != '\'') return false;
      quote_ = byte;
      state_ = State::kAttributeValue;
      return true;
    case State::kAttributeValue:
      if (byte == '<') return false;
      if (byte == quote_) state_ = State::kAfterValue;
      return true;
    case State::kEmptyClose:
      if (byte != '>') return false;
      state_ = State::kText;
      return true;
    case State::kEndTagStart:
      if (!IsNameStart(byte)) return false;
      state_ = State::kEndTagName;
      return true;
    case State::kEndTagName:
      if (IsNameByte(byte)) return true;
      if (byte == '>') {
        state_ = State::kText;
        return true;
      }
      if (!IsSpace(byte)) return false;
      state_ = State::kAfterEndTagName;
      return true;
    case State::kAfterEndTagName:
      if (IsSpace(byte)) return true;
      if (byte != '>') return false;
      state_ = State::kText;
      return true;
    case State::kSkipToClose:
      // A processing instruction ends at "?>"; "<!--" opens a comment that
      // ends at "-->"; declarations end at the next '>'.
      if (close_ == '!' && previous_ == '!' && byte == '-') return true;
      if (close_ == '!' && before_previous_ == '!' && previous_ == '-' && byte == '-') {
        state_ = State::kComment;
        return true;
      }
      if (byte == '>' && (close_ != '?' || previous_ == '?')) state_ = State::kText;
      return true;
    case State::kComment:
      if (byte == '>' && previous_ == '-' && before_previous_ == '-') state_ = State::kText;
      return true;
    case State::kNotXml:
      return true;
  }
  return true;
}

}  // namespace officecarve
