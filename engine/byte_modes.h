#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "engine/ansi_text.h"
#include "engine/conversion.h"
#include "engine/two_byte_pieces.h"

namespace tessaly {

/// Reads two-byte pieces as "%02X" hex values, one byte per piece.
AnsiText ParseHexPairs(std::string_view text);

/// ParseHexPairs over a text that arrives in chunks; the value cell lives across them.
class HexPairReader {
 public:
  /// Appends the bytes of the chunk's whole pieces; an odd byte left over waits for the next one.
  void Read(std::string_view chunk, AnsiText& out);
  /// Appends the byte of a last, one-character piece if there is one.
  void Finish(AnsiText& out);

 private:
  void ReadPieces(std::string_view whole_pieces, AnsiText& out);

  std::int32_t cell_ = 0;  // what a piece without a value repeats when no piece had one yet
  TwoBytePieces pieces_;
};

/// "%02X" of every byte value, two characters each, so a listing is one copy per byte.
inline constexpr std::array<char, 512> kHexPairs = [] {
  constexpr char kUpperHexDigits[] = "0123456789ABCDEF";
  std::array<char, 512> pairs{};
  for (int byte = 0; byte < 256; ++byte) {
    pairs[2 * byte] = kUpperHexDigits[byte >> 4];
    pairs[2 * byte + 1] = kUpperHexDigits[byte & 0xF];
  }
  return pairs;
}();

/// Appends two uppercase hex digits per byte.
void AppendHex(std::string_view bytes, AnsiText& out);

/// Appends one quoted character-array element per byte, without the braces.
void AppendCharArrayElements(std::string_view bytes, AnsiText& out);

/// What opens and closes a character-array initialiser.
inline constexpr std::string_view kCharArrayOpening = "{";
inline constexpr std::string_view kCharArrayClosing = "'\\0'};";

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
