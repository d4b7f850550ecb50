#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "engine/code_page.h"

namespace tessaly {

// A converter call per character would cost more than the character's conversion, so the two
// tables below ask the converter about every code once and then answer at table speed, with
// exactly the results the converter gives for a whole text.

/// Reads the text of a double-byte code page (GBK, BIG5) character by character.
class CodePageDecoder {
 public:
  /// One character of a text: how many bytes it takes and what the converter decodes it to.
  struct Char {
    std::size_t length;
    char32_t code_point;
  };

  /// Asks `code_page` about every byte and byte pair; throws CodePageError when the converter
  /// fails or its answers do not fit a double-byte code page.
  explicit CodePageDecoder(const CodePage& code_page);

  /// The decoder of `code_page`: built once per process for GBK and BIG5, afresh for any other.
  static std::shared_ptr<const CodePageDecoder> For(const CodePage& code_page);

  /// The character starting at `pos` (< text.size()), split and decoded as the converter does
  /// when it reads the whole text.
  Char CharAt(std::string_view text, std::size_t pos) const {
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (pos + 1 < text.size()) {
      const char32_t pair = pairs_[lead << 8 | static_cast<unsigned char>(text[pos + 1])];
      if (pair != kNoChar) return {2, pair};
    }
    return {1, singles_[lead]};
  }

 private:
  static constexpr char32_t kNoChar = 0xFFFFFFFF;

  void ReadPair(const CodePage& code_page, int lead, int trail);
  void ReadPairBatch(const CodePage& code_page, int lead);

  std::array<char32_t, 256> singles_{};
  std::vector<char32_t> pairs_;  // lead << 8 | trail; kNoChar where the pair is not one character
};

/// Writes characters in a double-byte code page (GBK, BIG5), fallbacks off.
class CodePageEncoder {
 public:
  /// What the converter writes for one character: its bytes when the code page holds it, else
  /// the default character "?" (or nothing, for the few characters the converter skips).
  struct Encoded {
    std::array<char, 2> bytes{};
    std::uint8_t size = 0;
    bool held = false;
    std::string_view view() const { return {bytes.data(), size}; }
  };

  /// Asks `code_page` about every BMP character; throws CodePageError when the converter fails
  /// or its answers do not fit a double-byte code page. Keeps a reference to `code_page`.
  explicit CodePageEncoder(const CodePage& code_page);

  /// The encoder of `code_page`: built once per process for GBK and BIG5, afresh for any other.
  static std::shared_ptr<const CodePageEncoder> For(const CodePage& code_page);

  /// What the converter writes for one code point.
  Encoded Encode(char32_t code_point) const {
    return code_point < kBmpSize ? bmp_[code_point] : EncodeSupplementary(code_point);
  }

 private:
  static constexpr std::size_t kBmpSize = 0x10000;

  Encoded EncodeSupplementary(char32_t code_point) const;

  const CodePage& code_page_;
  std::vector<Encoded> bmp_;
};

}  // namespace tessaly
