#pragma once

// Building blocks of the byte modes, shared with the Unicode modes and the chunked conversion.
#include <array>
#include <cstdint>
#include <string_view>

#include "engine/ansi_text.h"
#include <tessaly/losses.h>
#include "engine/two_byte_pieces.h"

namespace tessaly::detail {

/// ParseHexPairs over a text that arrives in chunks; the value cell lives across them.
class HexPairReader {
 public:
  /// `losses`, when given, hears of every piece that held no value and of a last piece that was
  /// one digit alone.
  explicit HexPairReader(LossReport* losses = nullptr) : losses_(losses) {}

  /// Appends the bytes of the chunk's whole pieces; an odd byte left over waits for the next one.
  void Read(std::string_view chunk, AnsiText& out);
  /// Appends the byte of a last, one-character piece if there is one.
  void Finish(AnsiText& out);

 private:
  void ReadPieces(std::string_view whole_pieces, AnsiText& out);

  void Repeated(const char* piece, std::size_t size);

  LossReport* losses_;
  std::size_t offset_ = 0;  // of the next piece in the text
  std::int32_t cell_ = 0;   // what a piece without a value repeats when no piece had one yet
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

/// One C character constant and a comma per byte: printable ASCII as itself, \' and \\ for the
/// quote and backslash, \xNN for every other byte.
void AppendEscapedCharArrayElements(std::string_view bytes, AnsiText& out);

/// What opens and closes a character-array initialiser.
inline constexpr std::string_view kCharArrayOpening = "{";
inline constexpr std::string_view kCharArrayClosing = "'\\0'};";

/// Sets the pseudo-random generator's state.
void SeedRandom(std::uint32_t seed);

/// Advances the generator and returns a value from 0 to 32767.
int NextRandom();

}  // namespace tessaly::detail
