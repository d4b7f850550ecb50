#pragma once

#include <memory>
#include <string_view>

#include <tessaly/losses.h>
#include "engine/ansi_text.h"
#include "engine/conversion.h"
#include "engine/encodings.h"
#include "engine/mode_stream.h"

namespace tessaly {

/// Hex listing of the UTF-16LE bytes of the text's characters; the text is in `encoding`. Each
/// mode here throws CodePageError where the character-set library fails.
AnsiText Utf16Encode(std::string_view input, Encoding encoding = Encoding::Gbk);

/// Text in `encoding` from a hex listing of UTF-16LE bytes, up to the first zero unit; its losses
/// are pieces without a value, characters the encoding lacks and the cut. With `unicode_result`,
/// a character the encoding lacks keeps the whole result in UTF-8 instead of becoming "?".
ConversionResult Utf16Decode(std::string_view input, Encoding encoding = Encoding::Gbk,
                             bool unicode_result = false);

/// Hex listing of the UTF-8 bytes of the text's characters.
AnsiText Utf8Encode(std::string_view input, Encoding encoding = Encoding::Gbk);

/// Text from a hex listing of UTF-8 bytes, up to the first zero byte, as Utf16Decode. A
/// malformed sequence becomes "?".
ConversionResult Utf8Decode(std::string_view input, Encoding encoding = Encoding::Gbk,
                            bool unicode_result = false);

/// Utf16Encode block by block.
std::unique_ptr<ModeStream> Utf16EncodeStream(Encoding encoding = Encoding::Gbk);
/// Utf8Encode block by block.
std::unique_ptr<ModeStream> Utf8EncodeStream(Encoding encoding = Encoding::Gbk);

}  // namespace tessaly
