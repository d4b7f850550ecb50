#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <tessaly/losses.h>
#include "engine/ansi_text.h"
#include "engine/chinese/phrase_matcher.h"
#include "engine/chinese/user_phrases.h"
#include "engine/encodings.h"
#include "engine/fault_log.h"

namespace tessaly {

class HeldCharacters;
class RawTranscoder;
class CharCodec;

/// A simplified/traditional standard over UTF-8 text, block by block, with the result the mode
/// gives for the same text in a working encoding: characters the encoding lacks become "?" first,
/// and a converted character it lacks keeps its source. The matcher runs on the UTF-8 itself, so
/// nothing is transcoded around it unless the encoding lacks a converted character.
class ChineseTextConversion {
 public:
  /// `config` is OpenCC's configuration (`s2t.json`, ...), whose compiled tables are kept in
  /// `cache` (none when empty); `routine` names the faults. When the dictionaries cannot be
  /// loaded, every text passes as given and load_fault() says why.
  ChineseTextConversion(std::string_view config, std::string_view routine, Encoding encoding,
                        std::shared_ptr<const UserPhrases> user = {},
                        const std::filesystem::path& cache = {});
  /// How far before a place the text is looked at to tell whether a cut may be there: a
  /// description sequence's 64 characters of up to six bytes.
  static constexpr std::size_t kDescriptionReach = 64 * 6;

  ~ChineseTextConversion();

  /// Appends the converted block, which starts at `offset` of the whole text and ends at a line
  /// break or the end of the text (no phrase crosses either); adds to `losses` the characters the
  /// encoding lacks. Returns the offset in the block of its first byte that is not UTF-8, having
  /// converted nothing then. Blocks may be converted on several threads at once.
  /// A fault of the mode on the way is added to `faults`.
  [[nodiscard]] std::optional<std::size_t> Convert(std::string_view utf8, std::size_t offset,
                                                   std::string& out, LossReport& losses,
                                                   FaultLog& faults) const;

  /// After Convert found the first byte of `utf8` that is not UTF-8 at `malformed`: adds the
  /// fault (MalformedInput, at `offset` + `malformed`) and appends the text before the byte
  /// converted, as no phrase reaches over a byte no key holds. So the output of a malformed text
  /// depends on the text alone, not on how it was cut into blocks.
  void StopAtMalformed(std::string_view utf8, std::size_t offset, std::size_t malformed,
                       std::string& out, LossReport& losses, FaultLog& faults) const;

  /// Appends the converted text, as Convert does, when it is done in one pass of the fast path:
  /// no character in it that the encoding lacks or that is not UTF-8, no value written that might
  /// bring one in. Returns false, having appended nothing, for any other text, which Convert then
  /// takes. A short text's cheaper way, as the losses and faults it never has need no bookkeeping.
  bool ConvertPlain(std::string_view utf8, std::string& out) const;

  /// The same over bytes of the working encoding (--raw): a block whose every character decodes
  /// and encodes back to its own bytes goes through the matcher as UTF-8, any other through the
  /// mode itself, which keeps the bytes it cannot read.
  void ConvertBytes(std::string_view bytes, std::string& out, FaultLog& faults) const;

  /// The name its faults go under.
  std::string_view routine() const { return routine_; }

  /// Why the dictionaries could not be loaded; none when they were.
  const std::optional<Fault>& load_fault() const { return load_fault_; }

  /// The last place in `text` where it may be cut so that both parts convert as the whole would:
  /// before a line feed or another character that no phrase holds (for `raw` bytes, a control or
  /// ASCII punctuation byte, which no double-byte character holds either); npos when none is.
  std::size_t LastCut(std::string_view text, bool raw) const;

  /// The first such place at or after `from`; npos when none is.
  std::size_t NextCut(std::string_view text, std::size_t from, bool raw) const;

  /// For a text without such a place: where a phrase starts or ends as the whole text would be
  /// segmented, walking on from `walked` (0 at first, then the `resume` of the last call). For
  /// `raw` bytes of GB18030, none.
  PhraseMatcher::Segmented SegmentedCut(std::string_view text, std::size_t walked, bool raw) const;

  /// Whether a cut at `pos` of UTF-8 text might fall inside an ideographic description sequence,
  /// which the matcher passes over as one unit: an operator starts close enough before it.
  bool NearDescription(std::string_view text, std::size_t pos) const;

 private:
  bool CutsBefore(std::string_view text, std::size_t pos, bool raw) const;
  bool CharacterCuts(std::string_view text, std::size_t pos, bool raw) const;

  std::optional<bool> ConvertPlanned(std::string_view utf8, std::size_t offset, std::string& out,
                                     LossReport& losses, FaultLog& faults) const;
  bool ConvertBytesOnMatcher(std::string_view bytes, std::string& out) const;
  AnsiText ByMode(std::string_view bytes, FaultLog& faults) const;
  const RawTranscoder* Raw() const;
  bool DecodesCleanly(std::string_view bytes, std::string& utf8) const;
  void ConvertHeld(std::string_view text, std::string& out, FaultLog& faults) const;
  bool Substitute(std::string_view utf8, std::size_t offset, std::string& buffer,
                  LossReport& losses, std::string_view& text) const;
  void ConvertExactly(std::string_view utf8, std::string& out, FaultLog& faults) const;

  std::string config_;
  std::string_view routine_;
  Encoding encoding_;
  std::filesystem::path cache_;
  std::optional<Fault> load_fault_;
  std::shared_ptr<const PhraseMatcher> matcher_;     // none after a fault
  std::shared_ptr<const PhraseMatcher::Plan> plan_;  // none where the matcher has no fast path
  std::shared_ptr<const HeldCharacters> held_;       // none when the encoding holds every character
  std::vector<std::uint8_t> lacking_values_;  // the matcher's values with a character it lacks
  std::shared_ptr<const CharCodec> codec_;
  std::shared_ptr<const UserPhrases> user_;
  CharacterStops cuts_;     // characters held, and in no key: a text may be cut before them
  CharacterStops lacking_;  // characters the encoding lacks, which become "?"
  mutable std::once_flag raw_built_;
  mutable std::unique_ptr<const RawTranscoder> raw_;  // for --raw blocks in a double-byte encoding
};

}  // namespace tessaly
