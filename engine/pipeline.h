#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "engine/ansi_text.h"
#include "engine/conversion.h"
#include "engine/two_byte_pieces.h"

namespace tessaly {

/// Deletes every character that starts with `target`; two-byte GBK characters are never split.
AnsiText RemoveChar(std::string_view text, char target);

/// Deletes the characters the options select, as successive RemoveChar passes would.
AnsiText StripSelectedChars(std::string_view text, const DeletionOptions& options);

/// Cuts the text into two-byte pieces and joins them in the given style.
AnsiText ApplySeparators(std::string_view text, SeparatorStyle style);

/// StripSelectedChars over a text that arrives in chunks.
class CharStripper {
 public:
  explicit CharStripper(const DeletionOptions& options);
  /// A stripper for one target byte, as RemoveChar uses.
  explicit CharStripper(char target);

  /// Appends the kept characters of the chunk; a character may start in one chunk and end in the
  /// next. (A lead byte that ends the text is a character of its own, and is kept.)
  void Strip(std::string_view chunk, AnsiText& out);
  /// Whether no byte is ever deleted, so stripping can be skipped.
  bool DeletesNothing() const { return target_count_ == 0; }

 private:
  void Mark(char target);
  char* StripBytes(const char* source, const char* end, char* target);

  static constexpr std::uint8_t kKept = 1;  // the byte stays when it starts a character
  static constexpr std::uint8_t kLead = 2;  // the byte starts a two-byte character
  std::array<std::uint8_t, 256> byte_kind_{};
  std::array<char, 6> targets_{};  // the bytes deleted
  std::size_t target_count_ = 0;
  unsigned in_trail_ = 0;  // the next byte is the second byte of a character
};

/// ApplySeparators over a text that arrives in chunks.
class SeparatorJoiner {
 public:
  explicit SeparatorJoiner(SeparatorStyle style);

  /// Appends the joined whole pieces of the chunk; an odd byte left over waits for the next one.
  void Join(std::string_view chunk, AnsiText& out);
  /// Appends the last, one-byte piece if there is one, and the "0x" of an empty hex list.
  void Finish(AnsiText& out);

 private:
  void JoinPieces(std::string_view whole_pieces, AnsiText& out);

  SeparatorStyle style_;
  char separator_ = 0;
  bool any_piece_ = false;
  TwoBytePieces pieces_;
};

}  // namespace tessaly
