#include "engine/char_codec.h"

#include <unicode/utf8.h>

#include <array>
#include <atomic>
#include <mutex>

namespace tessaly {
namespace {

// The double-byte code pages, and GB18030 up to its two-byte characters: tables read once. The
// decoding table is built at the first read, as text converted from UTF-8 seldom needs it.
class TableCodec : public CharCodec {
 public:
  explicit TableCodec(const CodePage& code_page)
      : code_page_(code_page), encoder_(CodePageEncoder::For(code_page)) {}

  Char CharAt(std::string_view text, std::size_t pos) const override {
    return Decoder().CharAt(text, pos);
  }
  EncodedChar Encode(char32_t code_point) const override { return encoder_->Encode(code_point); }

 private:
  // One atomic load per character once built, as text of the code page is read character by
  // character.
  const CodePageDecoder& Decoder() const {
    if (const CodePageDecoder* decoder = decoder_.load(std::memory_order_acquire)) return *decoder;
    std::call_once(decoder_built_, [this] {
      owned_decoder_ = CodePageDecoder::For(code_page_);
      decoder_.store(owned_decoder_.get(), std::memory_order_release);
    });
    return *owned_decoder_;
  }

  const CodePage& code_page_;
  std::shared_ptr<const CodePageEncoder> encoder_;
  mutable std::once_flag decoder_built_;
  mutable std::shared_ptr<const CodePageDecoder> owned_decoder_;
  mutable std::atomic<const CodePageDecoder*> decoder_{nullptr};
};

// GB18030's four-byte sequences are too many for a table; they are rare, so the converter reads
// each one.
class Gb18030Codec final : public TableCodec {
 public:
  explicit Gb18030Codec(const CodePage& code_page) : TableCodec(code_page), code_page_(code_page) {}

  // A lead byte and a digit begin a four-byte sequence. The converter reads a whole one as one
  // character, one cut short by the end of the text as one U+FFFD, and otherwise the lead byte
  // alone as U+FFFD.
  Char CharAt(std::string_view text, std::size_t pos) const override {
    const std::size_t left = text.size() - pos;
    if (left < 2 || !Lead(text[pos]) || !Digit(text[pos + 1])) return TableCodec::CharAt(text, pos);
    if (left >= 4 && Lead(text[pos + 2]) && Digit(text[pos + 3]))
      return FourBytes(text.substr(pos, 4));
    if (left == 2 || (left == 3 && Lead(text[pos + 2]))) return {left, U'\uFFFD'};
    return {1, U'\uFFFD'};
  }

 private:
  static bool Lead(char c) { return static_cast<unsigned char>(c) >= 0x81 && c != '\xFF'; }
  static bool Digit(char c) { return c >= '0' && c <= '9'; }

  Char FourBytes(std::string_view bytes) const {
    const std::u16string units = code_page_.ToUtf16(bytes);
    char32_t code_point = U'\uFFFD';
    if (units.size() == 1) code_point = units[0];
    if (units.size() == 2 && U16_IS_LEAD(units[0]) && U16_IS_TRAIL(units[1]))
      code_point = U16_GET_SUPPLEMENTARY(units[0], units[1]);
    return {4, code_point};
  }

  const CodePage& code_page_;
};

// UTF-8 needs no table: ICU's macros read it as its converter does, a maximal malformed subpart
// at a time.
class Utf8Codec final : public CharCodec {
 public:
  Char CharAt(std::string_view text, std::size_t pos) const override {
    const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
    auto next = static_cast<std::int64_t>(pos);
    UChar32 code_point = 0;
    U8_NEXT(data, next, static_cast<std::int64_t>(text.size()), code_point);
    return {static_cast<std::size_t>(next) - pos,
            code_point < 0 ? U'\uFFFD' : static_cast<char32_t>(code_point)};
  }

  EncodedChar Encode(char32_t code_point) const override {
    EncodedChar encoded;
    if (code_point > 0x10FFFF || U_IS_SURROGATE(code_point)) {
      encoded.bytes[0] = '?';
      encoded.size = 1;
      return encoded;
    }
    std::size_t length = 0;
    U8_APPEND_UNSAFE(encoded.bytes.data(), length, code_point);
    encoded.size = static_cast<std::uint8_t>(length);
    encoded.held = true;
    return encoded;
  }
};

std::shared_ptr<const CharCodec> Make(Encoding encoding) {
  switch (encoding) {
    case Encoding::Utf8:
      return std::make_shared<const Utf8Codec>();
    case Encoding::Gb18030:
      return std::make_shared<const Gb18030Codec>(CodePageOf(encoding));
    default:
      return std::make_shared<const TableCodec>(CodePageOf(encoding));
  }
}

}  // namespace

std::shared_ptr<const CharCodec> CharCodec::ForDoubleByte(const CodePage& code_page) {
  return std::make_shared<const TableCodec>(code_page);
}

std::shared_ptr<const CharCodec> CharCodec::For(Encoding encoding) {
  static std::mutex mutex;
  static std::array<std::shared_ptr<const CharCodec>, kEncodingCount> codecs;
  const std::lock_guard lock(mutex);
  auto& codec = codecs[static_cast<std::size_t>(encoding)];
  if (!codec) codec = Make(encoding);
  return codec;
}

}  // namespace tessaly
