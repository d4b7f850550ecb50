#pragma once

#include <string_view>

#include "engine/ansi_text.h"
#include "engine/conversion.h"
#include "engine/two_byte_pieces.h"

namespace tessaly {

/// Cuts the text into two-byte pieces and joins them in the given style.
AnsiText ApplySeparators(std::string_view text, SeparatorStyle style);

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
