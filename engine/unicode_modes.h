#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engine/ansi_text.h"
#include "engine/code_page.h"
#include "engine/conversion.h"

namespace tessaly {
class CodePageDecoder;
}

namespace tessaly {

/// What the UTF-8 modes put out when their conversion fails: "转换失败" in GBK.
inline constexpr std::string_view kConversionFailedText = "\xD7\xAA\xBB\xBB\xCA\xA7\xB0\xDC";

/// Bytes of the code page, up to the first zero byte, as UTF-16.
std::u16string AnsiToWide(std::string_view source, const CodePage& code_page);

/// UTF-16 up to the first zero unit, in the code page; a character it lacks becomes "?".
AnsiText WideToAnsi(std::u16string_view source, const CodePage& code_page);

/// ANSI text up to its first zero byte as UTF-8; nullopt when the conversion fails or the result
/// and its terminator need more than `capacity` bytes.
std::optional<std::string> AnsiToUtf8(std::string_view source, std::size_t capacity);

/// UTF-8 up to its first zero byte as ANSI text; nullopt when the conversion fails or the result
/// and its terminator need more than `capacity` bytes.
std::optional<AnsiText> Utf8ToAnsi(std::string_view source, std::size_t capacity);

/// Utf16Encode or Utf8Encode over GBK text that arrives in chunks, through a table read from the
/// code page once instead of a converter call per text; the bytes equal the whole-text mode's.
class ChunkedUnicodeEncoding {
 public:
  /// `mode` is Utf16Encode or Utf8Encode; throws CodePageError when GBK's table cannot be read.
  explicit ChunkedUnicodeEncoding(ConversionMode mode);
  ~ChunkedUnicodeEncoding();

  /// Appends the hex listing of the chunk's characters; a last byte that may start a two-byte
  /// character waits for the next chunk. The text ends at its first zero byte.
  void Encode(std::string_view chunk, AnsiText& out);
  /// Appends the listing of a byte still waiting.
  void Finish(AnsiText& out);

 private:
  // The most a listing takes per byte of GBK: three UTF-8 bytes for a one-byte character.
  static constexpr std::size_t kMaxListingPerByte = 6;

  /// Writes the listing of one character; returns the end of what it wrote.
  char* WriteListing(char32_t code_point, char* target) const;

  bool utf8_;
  std::shared_ptr<const CodePageDecoder> decoder_;
  bool stopped_ = false;  // a zero byte ended the text
  bool pending_ = false;
  char pending_byte_ = 0;
};

/// Hex listing of the text's UTF-16LE bytes.
AnsiText Utf16Encode(std::string_view input);

/// Text from a hex listing of UTF-16LE bytes, up to the first zero unit.
AnsiText Utf16Decode(std::string_view input);

/// Hex listing of the text's UTF-8 bytes, or "转换失败".
AnsiText Utf8Encode(std::string_view input);

/// Text from a hex listing of UTF-8 bytes, up to the first zero byte, or "转换失败".
AnsiText Utf8Decode(std::string_view input);

}  // namespace tessaly
