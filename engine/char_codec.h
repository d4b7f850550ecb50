#pragma once

#include <memory>
#include <string_view>

#include "engine/code_page_table.h"
#include "engine/encodings.h"

namespace tessaly {

/// Reads and writes the characters of a working encoding one at a time, exactly as its converter
/// reads and writes a whole text.
class CharCodec {
 public:
  /// One character of a text: how many bytes it takes and what it decodes to (U+FFFD when the
  /// bytes are no character).
  using Char = CodePageDecoder::Char;

  virtual ~CharCodec() = default;

  /// The character starting at `pos` (< text.size()).
  virtual Char CharAt(std::string_view text, std::size_t pos) const = 0;
  /// What the encoding writes for one code point: its bytes, or "?" when it lacks it.
  virtual EncodedChar Encode(char32_t code_point) const = 0;

  /// The codec of a working encoding, built once per process; throws CodePageError.
  static std::shared_ptr<const CharCodec> For(Encoding encoding);
  /// The codec of a double-byte code page, from its tables; throws CodePageError.
  static std::shared_ptr<const CharCodec> ForDoubleByte(const CodePage& code_page);
};

}  // namespace tessaly
