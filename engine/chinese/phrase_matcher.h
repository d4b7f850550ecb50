#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "engine/chinese/chinese_mapping.h"
#include "engine/chinese/user_phrases.h"

namespace tessaly {

namespace detail {
struct PhraseTables;
class FastPlan;
}  // namespace detail

/// Characters at which PhraseMatcher::ConvertUntilStop hands the text back to its caller: a bit
/// per BMP character, and every character beyond the BMP when `beyond_bmp` holds.
struct CharacterStops {
  std::array<std::uint64_t, 0x10000 / 64> bmp{};
  bool beyond_bmp = false;

  /// Adds a BMP character.
  void Add(char32_t c) { bmp[c >> 6] |= std::uint64_t{1} << (c & 63); }
  /// Whether `c` stops the conversion.
  bool Stops(char32_t c) const { return c >= 0x10000 ? beyond_bmp : (bmp[c >> 6] >> (c & 63)) & 1; }
};

/// One OpenCC configuration's dictionaries compiled into lookup tables: the same maximum-match
/// segmentation and conversion chain as OpenCC's converter, giving the same bytes, much faster.
/// A zero byte is an ordinary character here (OpenCC stops at it).
class PhraseMatcher {
 public:
  /// The compiled tables (engine/chinese/tables.h).
  using Tables = detail::PhraseTables;

  /// The matcher of a configuration file (a bare name is looked up in OpenCC's data directory),
  /// loaded once per process: the first load reads the tables cached in `cache`, or compiles and
  /// caches them there (nothing is written with `cache` empty); throws ChineseMappingUnavailable
  /// when it cannot be loaded.
  static std::shared_ptr<const PhraseMatcher> Load(std::string_view config,
                                                   const std::filesystem::path& cache = {});

  /// The same, not remembered: read from the tables cached in `cache` when they were compiled
  /// from the same files, compiled and cached there otherwise (never with `cache` empty).
  static std::shared_ptr<const PhraseMatcher> Build(std::string_view config,
                                                    const std::filesystem::path& cache);

  /// The matcher of the tables cached for `config` in `cache`, when they were compiled from the
  /// same files and pass every check; none otherwise (nothing is compiled).
  static std::shared_ptr<const PhraseMatcher> FromCache(std::string_view config,
                                                        const std::filesystem::path& cache);

  /// The same with a user's phrases tried before the configuration's dictionaries, in its
  /// segmentation and its first conversion step, longest match winning as usual; loaded once
  /// per process and list of phrases (by their content), never cached in a file.
  static std::shared_ptr<const PhraseMatcher> Load(std::string_view config,
                                                   const std::shared_ptr<const UserPhrases>& user,
                                                   const std::filesystem::path& cache = {});

  /// Converts the whole text; throws MalformedText where OpenCC throws on bad UTF-8 (a
  /// byte that cannot start a character where one starts).
  std::string Convert(std::string_view utf8) const;

  /// The same, appended to `out`; returns whether it wrote, at some step of the chain, one of
  /// the values `watched` flags (ValuesWith), false when none is watched.
  bool ConvertTo(std::string_view utf8, std::string& out,
                 const std::vector<std::uint8_t>* watched = nullptr) const;

  /// What ConvertUntilStop needs for one caller, built once and shared by any number of
  /// threads: a table of what each character that starts no phrase becomes
  /// (engine/chinese/fast_path.h).
  using Plan = detail::FastPlan;

  /// A plan for text: a byte that is not well-formed UTF-8 stops the conversion, and so does a
  /// character of `stops` (surrogates always do); writing a value that `watched` flags
  /// (ValuesWith) is told of. None when the configuration's first step does not convert a
  /// character that starts no phrase on its own, or a key holds "?", which a stop stands for.
  std::shared_ptr<const Plan> PlanFor(const CharacterStops& stops,
                                      std::vector<std::uint8_t> watched = {}) const;

  /// Where ConvertUntilStop stopped, and whether it wrote a watched value before.
  struct Stop {
    std::size_t at = 0;
    bool wrote_watched = false;
  };

  /// Converts `utf8` up to its first stop, or all of it (then `at` is its size), appending to
  /// `out`. No phrase reaches over a stop, so what comes before converts as a text of its own.
  Stop ConvertUntilStop(std::string_view utf8, std::string& out, const Plan& plan) const;

  /// Flags the dictionary values that hold a character for which `flag` holds, for ConvertTo.
  std::vector<std::uint8_t> ValuesWith(const std::function<bool(char32_t)>& flag) const;
  /// The same for the characters of a set.
  std::vector<std::uint8_t> ValuesWith(const CharacterStops& flag) const;

  /// The BMP characters that some key of some dictionary holds, anywhere in it; every character
  /// beyond the BMP counts as held. No phrase reaches over any other character, so a text cut
  /// before one converts as the whole text would. Worked out once per matcher.
  const CharacterStops& KeyCharacters() const;

  /// How far a text is segmented as the whole text would be: `phrase_end`, the last place in it
  /// where a phrase of the segmentation ends or starts (no later step reaches over one, so the
  /// text converts as two texts cut there would; npos when none), and `resume`, where a later
  /// call over a longer text may start again.
  struct Segmented {
    std::size_t phrase_end = std::string_view::npos;
    std::size_t resume = 0;
    bool invalid = false;  // the walk stopped at a byte that is not UTF-8
  };

  /// Walks the segmentation of `utf8` from `from`, a place a walk has reached before (or 0), up to
  /// where the rest of the text could still change it: its end, or a byte that is not UTF-8.
  /// Characters of `as_question_mark` are read as "?", as the caller's text will have them.
  Segmented Segment(std::string_view utf8, std::size_t from,
                    const CharacterStops& as_question_mark) const;

  /// Converts the text piece by piece, one piece per OpenCC segment: a dictionary phrase, or a run
  /// of characters that starts none, cut where characters no key holds give way to ones some key
  /// holds or the other way round; the pieces cover the whole text.
  void Map(std::string_view utf8, const MappedPieceSink& sink) const;

  /// Whether the matcher passes complete ideographic description sequences over as units, as
  /// OpenCC 1.4 does (not 1.1).
  bool ReadsDescriptionSequences() const;

  explicit PhraseMatcher(std::unique_ptr<const Tables> tables);
  ~PhraseMatcher();
  PhraseMatcher(const PhraseMatcher&) = delete;
  PhraseMatcher& operator=(const PhraseMatcher&) = delete;

 private:
  const Plan* DefaultPlan() const;

  std::unique_ptr<const Tables> tables_;
  mutable std::once_flag plan_built_;
  mutable std::unique_ptr<const Plan> plan_;  // for Convert; none when there is no fast path
  mutable std::once_flag key_characters_built_;
  mutable CharacterStops key_characters_;
};

}  // namespace tessaly
