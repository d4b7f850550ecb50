#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "engine/ansi_text.h"

namespace tessaly {

/// Text a person typed, as the engine's GBK bytes.
struct AnsiInput {
  AnsiText text;
  std::size_t substituted = 0;  ///< characters GBK lacks, each now "?"
};

/// Box text to GBK: each line break (LF, CR LF or a lone CR) becomes CR LF; a character GBK lacks
/// becomes "?".
AnsiInput TextToAnsi(std::u16string_view text);

/// GBK bytes to box text: CR LF becomes LF; a malformed sequence becomes U+FFFD. Zero bytes stay.
std::u16string AnsiToText(std::string_view ansi);

/// TextToAnsi for UTF-8 text (the command line's form).
AnsiInput Utf8TextToAnsi(std::string_view utf8);

/// AnsiToText as UTF-8.
std::string AnsiToUtf8Text(std::string_view ansi);

/// Offset of the first byte that does not belong to well-formed UTF-8, or nullopt when all do.
std::optional<std::size_t> FindInvalidUtf8(std::string_view bytes);

}  // namespace tessaly
