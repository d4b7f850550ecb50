#pragma once

#include <optional>
#include <string_view>

namespace tessaly {

/// Cuts a text that arrives in chunks into two-byte pieces counted from the text's start, as the
/// hex reader and the separators read it.
class TwoBytePieces {
 public:
  /// Hands `whole_pieces` runs of whole pieces of the chunk, in order (a piece split between two
  /// chunks comes as a run of its own); an odd byte left over waits for the next chunk.
  template <typename WholePieces>
  void Cut(std::string_view chunk, WholePieces&& whole_pieces) {
    if (chunk.empty()) return;
    if (byte_pending_) {
      const char piece[2] = {pending_byte_, chunk[0]};
      byte_pending_ = false;
      whole_pieces(std::string_view(piece, 2));
      chunk.remove_prefix(1);
    }
    if (chunk.size() % 2 != 0) {
      byte_pending_ = true;
      pending_byte_ = chunk.back();
      chunk.remove_suffix(1);
    }
    if (!chunk.empty()) whole_pieces(chunk);
  }

  /// The last piece, of one byte, once the text has ended with an odd length.
  std::optional<char> TakeOddByte() {
    if (!byte_pending_) return std::nullopt;
    byte_pending_ = false;
    return pending_byte_;
  }

 private:
  bool byte_pending_ = false;
  char pending_byte_ = 0;
};

}  // namespace tessaly
