#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string_view>

#include <memory>
#include <optional>

#include <tessaly/losses.h>
#include "engine/ansi_text.h"
#include "engine/chinese/user_phrases.h"
#include "engine/encodings.h"
#include "engine/fault_log.h"

namespace tessaly {

class ChineseTextConversion;

/// Conversion modes. Unselected is no mode at all: the conversion's mode output stays empty.
enum class ConversionMode {
  Unselected,
  HexEncode,
  HexDecode,
  Utf16Encode,
  Utf16Decode,
  RandomBytes,
  SimplifiedToTraditional,
  TraditionalToSimplified,
  GbkToBig5,
  Big5ToGbk,
  CharArray,
  Utf8Encode,
  Utf8Decode,
  FormatOnly,
  // Regional simplified/traditional standards.
  S2tw,
  S2twp,
  S2hk,
  Tw2s,
  Tw2sp,
  Hk2s,
  T2tw,
  Tw2t,
  T2hk,
  Hk2t,
  T2jp,
  Jp2t,
};

/// Output separator styles. Unselected joins nothing, as SeparatorNone does.
enum class SeparatorStyle {
  Unselected,
  SeparatorNone,
  SeparatorSpace,
  SeparatorComma,
  SeparatorDot,
  SeparatorHexList,
};

/// Which characters to delete from the input before converting.
struct DeletionOptions {
  bool DeleteSpaces = false;
  bool DeleteDots = false;
  bool DeleteCommas = false;
  bool DeleteTabs = false;
  bool DeleteLineBreaks = false;

  /// All five flags set, as the window starts.
  static constexpr DeletionOptions All() { return {true, true, true, true, true}; }
  bool operator==(const DeletionOptions&) const = default;
};

/// Everything one conversion needs from the user.
struct ConversionRequest {
  AnsiText input;
  ConversionMode mode = ConversionMode::FormatOnly;
  DeletionOptions deletion = DeletionOptions::All();
  SeparatorStyle style = SeparatorStyle::SeparatorNone;
};

/// Milliseconds since an arbitrary start, wrapping at 2^32.
using TickSource = std::function<std::uint32_t()>;

/// The monotonic clock in milliseconds, truncated to 32 bits.
std::uint32_t MonotonicTickCount();

/// What a conversion may call out to: where faults go and where the random seed comes from.
struct ConversionContext {
  FaultLog& faults;
  TickSource ticks = MonotonicTickCount;
  /// What the input's text is made of, and the results' text unless they say otherwise.
  Encoding encoding = Encoding::Gbk;
  /// The caller can show a UTF-8 result: a decoded character the encoding lacks stays itself
  /// (the whole result is then UTF-8) instead of becoming "?".
  bool unicode_result = false;
  /// The caller wants a character array that compiles as C (EscapedCharArray) instead of the
  /// window's form, which quotes every byte as it is.
  bool c_escapes = false;
  /// Phrases the user wants converted their own way by the simplified/traditional modes.
  std::shared_ptr<const UserPhrases> user_phrases = {};
  /// Where the simplified/traditional modes keep compiled tables; empty: nothing is written.
  std::filesystem::path cache_directory = {};
  /// Threads a simplified/traditional mode may use; 0: two where a second can be had.
  unsigned threads = 0;
  /// The simplified/traditional conversion of the mode, made beforehand by a caller that runs it
  /// many times; made for each conversion when none.
  std::shared_ptr<const ChineseTextConversion> chinese = {};
};

/// A conversion's text and what it lost on the way.
struct ConversionResult {
  AnsiText text;
  LossReport losses;                   ///< offsets count in the conversion's input
  std::optional<Encoding> encoding{};  ///< the text's encoding when not the context's
};

/// Deletes the chosen characters, runs the mode and joins its output in the chosen style; loss
/// offsets count in the request's input, before the deletions.
ConversionResult RunConversion(const ConversionRequest& request, const ConversionContext& context);

/// The same on input the caller keeps.
ConversionResult RunConversion(std::string_view input, ConversionMode mode,
                               const DeletionOptions& deletion, SeparatorStyle style,
                               const ConversionContext& context);

/// The mode output alone, before separators; empty for Unselected.
ConversionResult RunMode(ConversionMode mode, std::string_view input,
                         const ConversionContext& context);

}  // namespace tessaly
