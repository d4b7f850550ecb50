#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include <memory>
#include <optional>

#include "engine/ansi_text.h"
#include "engine/encodings.h"
#include "engine/fault_reporter.h"
#include "engine/loss_report.h"
#include "engine/chinese/user_phrases.h"

namespace tessaly {

/// Conversion modes; the values are the ids of the window's mode radio buttons.
enum class ConversionMode : int {
  Unselected = 0,
  HexEncode = 1000,
  HexDecode = 1001,
  Utf16Encode = 1002,
  Utf16Decode = 1003,
  RandomBytes = 1004,
  SimplifiedToTraditional = 1005,
  TraditionalToSimplified = 1006,
  GbkToBig5 = 1007,
  Big5ToGbk = 1008,
  CharArray = 1009,
  Utf8Encode = 1010,
  Utf8Decode = 1011,
  // 1012 to 1018 are reserved: hidden radios that convert nothing.
  FormatOnly = 1019,
  // Regional simplified/traditional standards, beyond the window's radios.
  S2tw = 1100,
  S2twp = 1101,
  S2hk = 1102,
  Tw2s = 1103,
  Tw2sp = 1104,
  Hk2s = 1105,
  T2tw = 1106,
  Tw2t = 1107,
  T2hk = 1108,
  Hk2t = 1109,
  T2jp = 1110,
  Jp2t = 1111,
};

/// Output separator styles; the values are the ids of the separator radio buttons.
enum class SeparatorStyle : int {
  Unselected = 0,
  SeparatorNone = 1025,
  SeparatorSpace = 1026,
  SeparatorComma = 1027,
  SeparatorDot = 1028,
  SeparatorHexList = 1029,
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
  FaultReporter& reporter;
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

/// The mode output alone, before separators; empty for 0 and the reserved ids.
ConversionResult RunMode(ConversionMode mode, std::string_view input,
                         const ConversionContext& context);

}  // namespace tessaly
