#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "engine/ansi_text.h"
#include "engine/code_page.h"

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

/// Hex listing of the text's UTF-16LE bytes.
AnsiText Utf16Encode(std::string_view input);

/// Text from a hex listing of UTF-16LE bytes, up to the first zero unit.
AnsiText Utf16Decode(std::string_view input);

/// Hex listing of the text's UTF-8 bytes, or "转换失败".
AnsiText Utf8Encode(std::string_view input);

/// Text from a hex listing of UTF-8 bytes, up to the first zero byte, or "转换失败".
AnsiText Utf8Decode(std::string_view input);

}  // namespace tessaly
