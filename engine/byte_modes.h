#pragma once

#include <memory>
#include <string_view>

#include "engine/ansi_text.h"
#include "engine/conversion.h"
#include <tessaly/losses.h>
#include "engine/mode_stream.h"

namespace tessaly {

/// Reads two-byte pieces as "%02X" hex values, one byte per piece; a piece without a value
/// repeats the byte before it, and `losses`, when given, counts it.
AnsiText ParseHexPairs(std::string_view text, LossReport* losses = nullptr);

/// Two uppercase hex digits per byte.
AnsiText HexEncode(std::string_view input);

/// One byte per two-character hex piece.
AnsiText HexDecode(std::string_view input, LossReport* losses = nullptr);

/// The 256 byte values in random order as hex digits, seeded from the tick source; input unused.
AnsiText RandomBytes(std::string_view input, const TickSource& ticks);

/// A C character-array initialiser with one quoted element per byte.
AnsiText CharArray(std::string_view input);

/// A C character-array initialiser that compiles: one character constant per byte, printable
/// ASCII as itself, \' and \\ for the quote and backslash, \xNN for every other byte.
AnsiText EscapedCharArray(std::string_view input);

/// The input unchanged.
AnsiText FormatOnly(std::string_view input);

/// HexEncode block by block.
std::unique_ptr<ModeStream> HexEncodeStream();
/// HexDecode block by block.
std::unique_ptr<ModeStream> HexDecodeStream();
/// CharArray block by block.
std::unique_ptr<ModeStream> CharArrayStream();
/// EscapedCharArray block by block.
std::unique_ptr<ModeStream> EscapedCharArrayStream();
/// FormatOnly block by block.
std::unique_ptr<ModeStream> FormatOnlyStream();

}  // namespace tessaly
