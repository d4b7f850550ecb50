#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "engine/code_page.h"

namespace tessaly {

// A converter call per character would cost far more than the character's conversion, so the
// tables below ask the converter about every code once and then answer at table speed, with
// exactly the results the converter gives for a whole text.

/// What a converter writes for one character: its bytes when the code page holds it, else the
/// default character "?".
struct EncodedChar {
  std::array<char, 4> bytes{};
  std::uint8_t size = 0;
  bool held = false;
  std::string_view view() const { return {bytes.data(), size}; }
};

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

  /// The decoder of `code_page`, built once per process for the product's code pages.
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
  /// Asks `code_page` about every BMP character; throws CodePageError when the converter fails
  /// or its answers do not fit a double-byte code page. Keeps a reference to `code_page`.
  explicit CodePageEncoder(const CodePage& code_page);

  /// The encoder of `code_page`, built once per process for the product's code pages.
  static std::shared_ptr<const CodePageEncoder> For(const CodePage& code_page);

  /// What the converter writes for one code point.
  EncodedChar Encode(char32_t code_point) const {
    return code_point < bmp_.size() ? bmp_[code_point] : EncodeSupplementary(code_point);
  }

 private:
  EncodedChar EncodeSupplementary(char32_t code_point) const;

  const CodePage& code_page_;
  std::vector<EncodedChar> bmp_;
};

/// Re-encodes text from one double-byte code page into another, one table look-up per
/// character, with the bytes that decoding the whole text and encoding it again would give.
class CodePageRecoder {
 public:
  /// One character of the source text and what the target writes for it.
  /// Four bytes, so that the table of every pair stays small and each code is one aligned load.
  struct alignas(4) Code {
    std::array<char, 2> bytes{};
    std::uint8_t size : 2 = 0;
    bool is_pair : 1 = false;  ///< two bytes of the source, else one
    bool lost : 1 = false;     ///< the target lacks the character: `bytes` is its "?"
    std::size_t length() const { return is_pair ? 2 : 1; }
    std::string_view view() const { return {bytes.data(), size}; }
  };

  static_assert(sizeof(Code) == 4);

  /// How far RecodeAllButLast got.
  struct Progress {
    std::size_t used;      ///< bytes of the source
    std::size_t written;   ///< bytes of the target
    std::size_t lost = 0;  ///< characters the target lacks
  };

  /// Decodes every code of `source` and encodes the results in `target`; throws CodePageError
  /// when a converter fails or does not fit a double-byte code page.
  CodePageRecoder(const CodePage& source, const CodePage& target);

  /// The recoder between two code pages: built once per process for GBK to BIG5 and BIG5 to
  /// GBK, afresh for any other pair.
  static std::shared_ptr<const CodePageRecoder> For(const CodePage& source, const CodePage& target);

  /// The character starting at `pos` (< text.size()).
  const Code& At(std::string_view text, std::size_t pos) const {
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (pos + 1 < text.size()) {
      const Code& pair = codes_[lead << 8 | static_cast<unsigned char>(text[pos + 1])];
      if (pair.is_pair) return pair;
    }
    return codes_[kSingles + lead];
  }

  /// Re-encodes the characters of `text` up to its last byte, which is left over unless a pair
  /// takes it, into `dest`, which has room for two bytes per byte of `text`.
  Progress RecodeAllButLast(std::string_view text, char* dest) const;

  /// Whether `byte` starts a two-byte character with some byte after it.
  bool MayStartPair(char byte) const { return is_lead_[static_cast<unsigned char>(byte)]; }

 private:
  static constexpr std::size_t kSingles = 0x10000;  // codes_: every pair, then every single byte

  Progress RecodeLeadTrailPairs(std::string_view text, char* dest) const;

  std::vector<Code> codes_;
  std::array<bool, 256> is_lead_{};   // starts some pair
  std::array<bool, 256> is_trail_{};  // ends some pair
  bool pairs_are_product_ = false;    // every lead with every trail is a pair
};

}  // namespace tessaly
