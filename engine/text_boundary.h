#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include <tessaly/utf8.h>  // IWYU pragma: export
#include "engine/ansi_text.h"

#include "engine/encodings.h"

namespace tessaly {

/// How line breaks cross the boundary.
enum class LineBreaks {
  CrLf,  ///< as the window has them: each LF, CR LF or lone CR is CR LF inside, LF outside
  AsIs,  ///< byte for byte, as a file holds them
};

/// Text a person typed, as the engine's GBK bytes.
struct AnsiInput {
  AnsiText text;
  std::size_t substituted = 0;         ///< characters GBK lacks, each now "?"
  std::size_t first_substituted = 0;   ///< byte offset of the first of them in the given text
  std::string first_substituted_char;  ///< that character, UTF-8
};

/// Engine bytes as UTF-8 text, with the sequences GBK cannot read.
struct Utf8Output {
  std::string text;
  std::size_t invalid = 0;        ///< byte sequences that are no GBK character, each now U+FFFD
  std::size_t first_invalid = 0;  ///< byte offset of the first of them in the engine's bytes
  std::string first_invalid_bytes;
};

/// Box text to bytes of the encoding: each line break (LF, CR LF or a lone CR) becomes CR LF; a
/// character the encoding lacks becomes "?".
AnsiInput TextToAnsi(std::u16string_view text, Encoding encoding = Encoding::Gbk);

/// Bytes of the encoding to box text: CR LF becomes LF; a malformed sequence becomes U+FFFD.
/// Zero bytes stay.
std::u16string AnsiToText(std::string_view ansi, Encoding encoding = Encoding::Gbk);

/// TextToAnsi for UTF-8 text (the command line's form).
AnsiInput Utf8TextToAnsi(std::string_view utf8, LineBreaks breaks = LineBreaks::CrLf,
                         Encoding encoding = Encoding::Gbk);

/// AnsiToText as UTF-8.
std::string AnsiToUtf8Text(std::string_view ansi, LineBreaks breaks = LineBreaks::CrLf,
                           Encoding encoding = Encoding::Gbk);

/// AnsiToUtf8Text with what it could not read counted.
Utf8Output AnsiToUtf8Output(std::string_view ansi, LineBreaks breaks,
                            Encoding encoding = Encoding::Gbk);

/// The byte offset in `utf8` of the character that Utf8TextToAnsi put at `ansi_offset`.
std::size_t Utf8OffsetOf(std::string_view utf8, std::size_t ansi_offset, LineBreaks breaks,
                         Encoding encoding = Encoding::Gbk);

}  // namespace tessaly
