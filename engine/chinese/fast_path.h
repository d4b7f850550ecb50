#pragma once

// The fast path of the phrase matcher: where the first step converts a character that starts no
// phrase of the segmentation on its own, what such a character becomes through the whole chain
// is looked up in one table (the plan); only the positions where a phrase may start, of the
// segmentation or of a later step, take the trie.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/chinese/phrase_matcher.h"
#include "engine/chinese/tables.h"

namespace tessaly::detail {

/// What a BMP character becomes when it starts no phrase: up to three bytes of UTF-8.
struct FastChar {
  std::array<char, 3> bytes{};
  // bits 0-1: how many bytes (0: take the trie); bit 2: check the pair; bit 3: neither a stop nor
  // read in a special way (normalized, a description operator), so it may be matched inline;
  // bit 4: with 0 bytes, `bytes` holds the index of its RunChar
  std::uint8_t tag = 0;

  static constexpr std::uint8_t kCheckPair = 4;
  static constexpr std::uint8_t kPlain = 8;
  static constexpr std::uint8_t kRun = 16;
};

/// A character that starts no phrase of the segmentation, in a chain of two steps whose second
/// has phrases (FastPlan::run_step), where what the first step makes of it is one character
/// that starts a key of the second: what the two steps make of it when that key is not there.
struct RunChar {
  std::array<char, 4> bytes{};
  std::uint8_t length = 0;
  // Whether a key of the second step may go on from `made`: then the next character decides.
  bool longer = false;
  char16_t made = 0;  // what the first step makes of it
};
static_assert(sizeof(RunChar) == 8);
static_assert(sizeof(FastChar) == 4);

/// What a plan needs to know of the tables, read in one pass over them.
struct Survey {
  // The first step converts every character that starts no phrase of the segmentation on its
  // own; the later steps are looked at character by character (FastPlan).
  bool fast = false;
  bool question_mark = false;  // some key holds "?"
  std::size_t reach = 0;       // the longest key of a middle step, in characters; 0: none
};

/// The survey of `t`.
Survey SurveyOf(const PhraseTables& t);

/// PhraseMatcher::Plan: what each BMP character that starts no phrase becomes, the stops and the
/// watched values of one caller.
class FastPlan {
 public:
  /// The plan for `t`, whose survey is `survey`; `strict` makes bytes that are not well-formed
  /// UTF-8, and surrogates, stop the conversion.
  FastPlan(const PhraseTables& t, const Survey& survey, const CharacterStops& stops,
           std::vector<std::uint8_t> watched, bool strict);

  /// What `c` becomes when it starts no phrase; a tag of length 0 says to take the trie.
  const FastChar& operator[](char32_t c) const { return chars_[c]; }
  /// Whether `c` stops the conversion.
  bool Stops(char32_t c) const { return stops_.Stops(c); }
  /// Whether bytes that are not well-formed UTF-8 stop the conversion.
  bool strict() const { return strict_; }
  /// Whether no key holds an ASCII character.
  bool ascii_inert() const { return ascii_inert_; }
  /// Whether `b` is an ASCII byte that passes unchanged and starts no phrase, so it is copied.
  bool Copies(unsigned char b) const { return copies_[b]; }
  /// Whether some byte of `word` may be ASCII the plan does not copy: false only where none is.
  bool MayNotCopy(std::uint64_t word) const {
    // A byte between the lowest and the highest ASCII byte not copied, found as in "Bit
    // Twiddling Hacks" (hasbetween), so that a word of lower case letters needs no look at each.
    if (not_copied_above_ == 0) return true;
    constexpr std::uint64_t kOnes = ~std::uint64_t{0} / 255;
    const std::uint64_t low7 = word & kOnes * 127;
    return ((kOnes * (127 + not_copied_above_) - low7) & ~word &
            (low7 + kOnes * (127 - not_copied_below_)) & kOnes * 128) != 0;
  }
  /// Whether a character that starts no phrase of the segmentation is converted with the ones
  /// after it, up to the next phrase, as a middle step may join them.
  bool runs() const { return reach_ != 0; }
  /// How many characters, from `c` in a run of characters that start no phrase, a key of a
  /// middle step that starts within what the first step makes of `c` may cover.
  std::size_t Reach(char32_t c) const { return c < 0x10000 ? char_reach_[c] : reach_; }
  /// The second step of a chain of two whose second has phrases; none for any other chain.
  const Group* run_step() const { return run_step_; }
  /// What the two steps make of `c` when no key of the second step goes on from it; none where
  /// only the trie can say.
  const RunChar* Run(FastChar c) const {
    if (!(c.tag & FastChar::kRun)) return nullptr;
    return &run_chars_[std::uint32_t{static_cast<unsigned char>(c.bytes[0])} |
                       std::uint32_t{static_cast<unsigned char>(c.bytes[1])} << 8 |
                       std::uint32_t{static_cast<unsigned char>(c.bytes[2])} << 16];
  }
  /// The first character of what the first step makes of BMP character `c`; kUnknownMade where
  /// that is nothing or beyond the BMP.
  char16_t Made(char32_t c) const { return made_[c]; }
  static constexpr char16_t kUnknownMade = 0xFFFF;
  /// The values to tell of, by index; none when nothing is watched.
  const std::vector<std::uint8_t>* watched() const {
    return watched_.empty() ? nullptr : &watched_;
  }

 private:
  FastChar Entry(const PhraseTables& t, char32_t c) const;
  FastChar Converted(const PhraseTables& t, char32_t c) const;
  std::uint8_t ReachOf(const PhraseTables& t, char32_t c) const;
  void PlanRuns(const PhraseTables& t);
  std::optional<RunChar> RunOf(const PhraseTables& t, char32_t c) const;
  static bool Special(const PhraseTables& t, char32_t c);
  bool Watched(const PhraseTables& t, const Value& value) const;

  std::vector<FastChar> chars_ = std::vector<FastChar>(0x10000);
  CharacterStops stops_;
  std::vector<std::uint8_t> watched_;
  std::array<bool, 0x100> copies_{};
  // Every ASCII byte the plan does not copy is above the first and below the second; the second
  // is 0 where NUL is one.
  std::uint64_t not_copied_below_ = 0;
  std::uint64_t not_copied_above_ = 128;
  std::vector<std::uint8_t> char_reach_;
  const Group* run_step_ = nullptr;
  std::vector<RunChar> run_chars_;
  std::vector<char16_t> made_;  // for run_step_ only
  bool strict_;
  bool ascii_inert_;
  std::size_t reach_;
};

/// Converts `text` up to its first stop, or all of it, onto `out`
/// (PhraseMatcher::ConvertUntilStop).
PhraseMatcher::Stop RunFast(const PhraseTables& t, const FastPlan& plan, std::string_view text,
                            std::string& out);

}  // namespace tessaly::detail
