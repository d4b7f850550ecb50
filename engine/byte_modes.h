#pragma once

#include <cstdint>
#include <string_view>

#include "engine/ansi_text.h"
#include "engine/conversion.h"

namespace tessaly {

/// Reads two-byte pieces as "%02X" hex values, one byte per piece.
AnsiText ParseHexPairs(std::string_view text);

/// Two uppercase hex digits per byte.
AnsiText HexEncode(std::string_view input);

/// One byte per two-character hex piece.
AnsiText HexDecode(std::string_view input);

/// Sets the pseudo-random generator's state.
void SeedRandom(std::uint32_t seed);

/// Advances the generator and returns a value from 0 to 32767.
int NextRandom();

/// The 256 byte values in random order as hex digits, seeded from the tick source; input unused.
AnsiText RandomBytes(std::string_view input, const TickSource& ticks);

/// A C character-array initialiser with one quoted element per byte.
AnsiText CharArray(std::string_view input);

/// The input unchanged.
AnsiText FormatOnly(std::string_view input);

}  // namespace tessaly
