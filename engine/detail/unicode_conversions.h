#pragma once

// The conversions under the Unicode modes, apart for their tests.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "engine/ansi_text.h"
#include "engine/code_page.h"

namespace tessaly::detail {

/// Bytes of the code page as UTF-16; a zero byte is U+0000.
std::u16string AnsiToWide(std::string_view source, const CodePage& code_page);

/// UTF-16 up to the first zero unit, in the code page; a character it lacks becomes "?".
AnsiText WideToAnsi(std::u16string_view source, const CodePage& code_page,
                    std::size_t* substituted = nullptr);

/// ANSI text as UTF-8; nullopt when the conversion fails or the result
/// and its terminator need more than `capacity` bytes.
std::optional<std::string> AnsiToUtf8Within(std::string_view source, std::size_t capacity,
                                            const CodePage& code_page = GbkCodePage());

/// UTF-8 up to its first zero byte as ANSI text; nullopt when the conversion fails or the result
/// and its terminator need more than `capacity` bytes.
std::optional<AnsiText> Utf8ToAnsiWithin(std::string_view source, std::size_t capacity,
                                         const CodePage& code_page = GbkCodePage(),
                                         std::size_t* substituted = nullptr);

}  // namespace tessaly::detail
