#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/conversion.h"
#include "engine/modes.h"

namespace tessaly {

/// Blanks the "0x" and "0X" prefixes of a hex listing (C arrays, the "0x" separator style) with
/// a character the deletions remove, so that the listing reads as its digits alone while every
/// offset stays where it was. A prefix is "0x" at the start or after a byte that is no hex digit,
/// followed by a hex digit.
class HexPrefixBlanker {
 public:
  /// Prefixes become two `blank`s.
  explicit HexPrefixBlanker(char blank) : blank_(blank) {}

  /// Appends the chunk with its prefixes blanked; a prefix may be cut between two chunks, so up to
  /// two bytes wait for the next one.
  void Blank(std::string_view chunk, std::string& out);
  /// Appends the bytes still waiting.
  void Finish(std::string& out);

 private:
  void Take(char c, std::string& out);

  char blank_;
  std::string pending_;       // "0" or "0x" that may yet turn out a prefix
  bool after_digit_ = false;  // the last byte handed on was a hex digit
};

/// The character that blanks prefixes for a mode that reads hex pieces under these deletions,
/// or nothing: for other modes, and where nothing is deleted (the pieces are then as given).
std::optional<char> PrefixBlank(const ModeInfo& mode, const DeletionOptions& deletion);

/// The whole text with its prefixes blanked.
std::string BlankHexPrefixes(std::string_view text, char blank);

}  // namespace tessaly
