#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tessaly/errors.h"
#include "tessaly/export.h"
#include "tessaly/fault.h"
#include "tessaly/losses.h"

namespace tessaly {

/// Everything a conversion is made of, in the words tessaly-cli takes.
struct Options {
  std::string mode = "format";     ///< a mode's name: Modes()
  std::string encoding = "gbk";    ///< the working encoding, by name or alias: Encodings()
  std::string separator = "none";  ///< between two-byte pieces: none, space, comma, dot, 0x
  /// Characters deleted first: "all", "none" or a comma-separated subset of spaces, dots, commas,
  /// tabs, newlines; empty for the mode's own default (all for a mode that reads a listing).
  std::string deletions;
  std::string newlines = "as-is";  ///< text input: "as-is", or "crlf" (CR LF inside, LF outside)
  std::string phrases;  ///< a file of the user's own phrases (OpenCC's text format), or empty
  /// The user's own phrases given as that file's text instead (a source, a tab, its conversion,
  /// a line each); only one of the two may be given.
  std::string phrase_text;
  /// The dictionary data: empty for OpenCC's current data as this library ships it, "system" for
  /// the system's OpenCC data, or a folder of OpenCC configurations and dictionaries.
  std::string data;
  /// Reads OpenCC's dictionaries flagged as possibly giving characters few fonts show (its
  /// `may_output_tofu`, as OpenCC's --include-tofu-risk-dictionaries does); off, as in OpenCC.
  bool tofu_risk = false;
  /// Where compiled dictionary tables are kept between runs; empty: nothing is ever written.
  std::string cache_directory;
  std::optional<std::uint32_t> seed;  ///< for "random": the seed instead of the clock
  unsigned threads = 0;  ///< threads one conversion may use; 0: up to two, as cores allow
  /// Bytes input: a character a decoding mode finds that the working encoding lacks keeps the
  /// whole result in UTF-8 (Result::encoding says so) instead of becoming "?".
  bool keep_unicode = false;
  /// "char-array" writes C escapes that compile; false: every byte quoted as it is.
  bool c_char_array = true;
};

/// A conversion's output and what became of it on the way.
struct Result {
  std::string bytes;     ///< the output (the rest of it, from Stream::Finish)
  std::string encoding;  ///< what `bytes` are in: "utf-8" for text input
  LossReport losses;     ///< offsets count in the input as given
  /// Text input to the GBK/BIG5 modes only: characters of the text that the encoding it is read
  /// in (ModeDescription::text_encoding) lacks, each now "?". For every other mode they are
  /// among `losses`, counted against the working encoding.
  LossReport input_losses;
  std::optional<Fault> fault;  ///< the first fault, if any

  /// Whether the conversion gave its whole result.
  bool ok() const { return !fault.has_value(); }
};

/// What a mode reads.
enum class Reads {
  Text,     ///< a text in the working encoding
  AnyText,  ///< any Unicode text
  Listing,  ///< a listing of bytes, or text that is only reshaped
  Nothing,  ///< no input at all
};

/// One mode as a program lists it.
struct ModeDescription {
  std::string_view name;         ///< as Options::mode takes it
  std::string_view description;  ///< one line
  Reads reads;
  bool writes_listing;               ///< the output is a hex listing or a C initialiser
  std::string_view output_encoding;  ///< the output's encoding when not the working one
  std::string_view text_encoding;    ///< text input is read in this one when not the working one
  bool takes_phrases;                ///< a simplified/traditional standard
};

/// One working encoding.
struct EncodingDescription {
  std::string_view name;   ///< as Options::encoding takes it
  std::string_view label;  ///< how people call it: "GBK", "Shift_JIS"
  std::span<const std::string_view> aliases;
};

/// Every mode, in the order tessaly-cli lists them.
TESSALY_API std::span<const ModeDescription> Modes();

/// Every working encoding, the default first.
TESSALY_API std::span<const EncodingDescription> Encodings();

/// The library's version, "MAJOR.MINOR.PATCH".
TESSALY_API std::string_view Version();

/// Which dictionary data `data` (as in Options::data) names: the data set, its version and
/// folder, for a program to show.
TESSALY_API std::string DataDescription(std::string_view data);

/// The OpenCC version of the data `data` names; empty for a folder of the caller's.
TESSALY_API std::string DataVersion(std::string_view data);

/// The notice that the bundled OpenCC data's licence asks programs that ship it to show.
TESSALY_API std::string_view DataNotice();

/// Where a program that keeps compiled tables between runs should keep them: $XDG_CACHE_HOME/
/// tessaly, else ~/.cache/tessaly; empty when neither variable is set.
TESSALY_API std::string DefaultCacheDirectory();

namespace detail {
struct ConverterCore;
class StreamState;
}  // namespace detail

/// Whether a conversion reads UTF-8 text or bytes of the working encoding.
enum class Input {
  Text,   ///< UTF-8 text; the result is UTF-8 text
  Bytes,  ///< bytes of the working encoding (tessaly-cli --raw); the result is bytes
};

class Converter;

/// The results of many inputs converted at once: their outputs one after another in one buffer,
/// and a Result only for the few that lost something or met a fault.
struct BatchResult {
  std::string bytes;              ///< every item's output, in order
  std::vector<std::size_t> ends;  ///< one per item: where its output ends in `bytes`
  /// The items that lost something or met a fault, in order, by their index in the batch: each
  /// the Result the item alone gives, with its output left in `bytes` above instead.
  std::vector<std::pair<std::size_t, Result>> notes;
};

/// One conversion of an input that arrives in blocks: what Feed and Finish return, joined, is
/// what Converter::Convert gives for the whole input. Memory stays bounded whatever the input's
/// size for the modes that need no look at the whole text.
class TESSALY_API Stream {
 public:
  Stream(Stream&&) noexcept;
  Stream& operator=(Stream&&) noexcept;
  ~Stream();

  /// The input's size, when it is known beforehand: a mode that needs the whole text then keeps
  /// it in one piece of that size.
  void Reserve(std::size_t bytes);
  /// Converts the next block; returns the output that is already known.
  std::string Feed(std::string_view block);
  /// Converts the next block and appends the output that is already known to `out`, so that a
  /// caller may use one buffer for every block.
  void Feed(std::string_view block, std::string& out);
  /// Ends the input: the rest of the output, with the losses and fault of the whole conversion.
  Result Finish();

 private:
  friend class Converter;
  explicit Stream(std::unique_ptr<detail::StreamState> state);
  std::unique_ptr<detail::StreamState> state_;
};

/// A conversion made from options once and run any number of times, from any number of threads
/// at once. Making one loads what the mode needs (the dictionaries of a simplified/traditional
/// standard are loaded once per process).
class TESSALY_API Converter {
 public:
  /// Throws InvalidOption for a word it does not know or options that do not go together, and
  /// UserPhrasesError for a phrase file it cannot use.
  explicit Converter(const Options& options);
  Converter(const Converter&);
  Converter& operator=(const Converter&);
  Converter(Converter&&) noexcept;
  Converter& operator=(Converter&&) noexcept;
  ~Converter();

  /// Converts bytes of the working encoding.
  Result Convert(std::string_view bytes) const;
  /// Converts UTF-8 text; throws InvalidOption where the mode has no text form under this
  /// working encoding (the GBK/BIG5 modes other than under GBK).
  Result ConvertText(std::string_view utf8) const;
  /// Converts every item as ConvertText (Input::Text) or Convert (Input::Bytes) would, appending
  /// their outputs and notes to `into`; the items' indices count on from `into.ends.size()`.
  /// Throws as ConvertText does. Costs far less per item than a call each for short items.
  void ConvertBatch(std::span<const std::string_view> items, Input input, BatchResult& into) const;
  /// A conversion block by block; throws as ConvertText does.
  Stream Open(Input input) const;

  /// The options it was made from.
  const Options& options() const;
  /// Its mode.
  const ModeDescription& mode() const;
  /// The working encoding's name, as Encodings() gives it (an alias in the options resolved).
  std::string_view encoding() const;

 private:
  std::shared_ptr<const detail::ConverterCore> core_;
};

}  // namespace tessaly
