#pragma once

#include <array>
#include <string_view>

#include "engine/ansi_text.h"
#include "engine/conversion.h"

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

  /// Appends the kept characters of the chunk; a lead byte that ends it waits for the next one.
  void Strip(std::string_view chunk, AnsiText& out);
  /// Appends a lead byte still waiting: the text ended with it, so it is a character of its own.
  void Finish(AnsiText& out);
  /// Whether no byte is ever deleted, so stripping can be skipped.
  bool DeletesNothing() const { return deletes_nothing_; }

 private:
  std::array<bool, 256> marked_{};
  bool deletes_nothing_ = true;
  bool lead_pending_ = false;
  char pending_lead_ = 0;
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
  bool byte_pending_ = false;
  char pending_byte_ = 0;
};

}  // namespace tessaly
