#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "engine/ansi_text.h"
#include "engine/conversion.h"
#include "engine/encodings.h"

namespace tessaly {

/// Deletes every character that starts with `target`, an ASCII byte (the deletion classes are);
/// two-byte GBK characters are never split. Throws InvalidArgument for any other byte.
AnsiText RemoveChar(std::string_view text, char target);

/// Deletes the characters the options select, as successive RemoveChar passes would; `leads` are
/// the lead bytes of the text's encoding.
AnsiText StripSelectedChars(std::string_view text, const DeletionOptions& options,
                            LeadBytes leads = LeadBytes::Cjk);

/// The offset in `text` of the byte that StripSelectedChars put at `stripped_offset`, so that a
/// position found after the deletions can be shown in the text the user gave. `starts_in_trail`:
/// the text's first byte completes a character begun before it.
std::size_t OffsetBeforeDeletions(std::string_view text, const DeletionOptions& options,
                                  std::size_t stripped_offset, bool starts_in_trail = false,
                                  LeadBytes leads = LeadBytes::Cjk);

/// StripSelectedChars over a text that arrives in chunks.
class CharStripper {
 public:
  explicit CharStripper(const DeletionOptions& options, LeadBytes leads = LeadBytes::Cjk);
  /// A stripper for one ASCII target byte, as RemoveChar uses.
  explicit CharStripper(char target);

  /// Appends the kept characters of the chunk; a character may start in one chunk and end in the
  /// next. (A lead byte that ends the text is a character of its own, and is kept.)
  void Strip(std::string_view chunk, AnsiText& out);
  /// Whether no byte is ever deleted, so stripping can be skipped.
  bool DeletesNothing() const { return target_count_ == 0; }
  /// Whether the next byte is kept whatever it is: the second byte of a character.
  bool InTrail() const { return in_trail_ != 0; }

 private:
  void Mark(char target);
  char* StripBytes(const char* source, const char* end, char* target);
#ifdef __SSE2__
  __m128i LeadsIn(__m128i block) const;
#endif

  static constexpr std::uint8_t kKept = 1;  // the byte stays when it starts a character
  static constexpr std::uint8_t kLead = 2;  // the byte starts a two-byte character
  std::array<std::uint8_t, 256> byte_kind_{};
  std::array<char, 6> targets_{};  // the bytes deleted
  std::size_t target_count_ = 0;
  LeadBytes leads_;
  unsigned in_trail_ = 0;  // the next byte is the second byte of a character
};

}  // namespace tessaly
