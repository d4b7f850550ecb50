#pragma once

#include <memory>
#include <span>
#include <string_view>

#include "engine/conversion.h"
#include "engine/mode_stream.h"

namespace tessaly {

/// What a mode reads.
enum class ModeReads {
  Text,     ///< a text to convert, in the working encoding
  AnyText,  ///< any Unicode text: front ends hand it over as UTF-8, so nothing is lost
  Listing,  ///< a listing of bytes (hex pairs, or text that is only reshaped)
  Nothing,  ///< nothing at all
};

/// What a mode writes.
enum class ModeWrites {
  Listing,  ///< a listing: hex pairs or a character-array initialiser
  Text,     ///< a text
};

/// Where a help text's "{}" comes from: bytes that only the mode itself can spell.
enum class HelpExample {
  None,
  Big5Phrase,       ///< 中華人民共和國 in BIG5
  WebAddressArray,  ///< the maker's web address, " = ", and its character array
};

/// Everything the front ends know about one mode; the one place a mode is described.
struct ModeInfo {
  ConversionMode id;
  std::string_view cli_name;     ///< `tessaly-cli -m NAME`
  std::string_view description;  ///< one line for --help, the completions and the manual
  /// The manual's text on the mode, in roff, when it says more than the description does.
  std::string_view manual;
  /// The manual's example as a terminal shows it: "$ " and a command, then what it prints.
  std::string_view manual_example;
  ModeReads reads;
  ModeWrites writes;
  /// The whole-text conversion; it is handed its own row.
  ConversionResult (*run)(const ModeInfo& mode, std::string_view input,
                          const ConversionContext& context);
  /// The conversion block by block, or nullptr when the mode needs the whole text.
  std::unique_ptr<ModeStream> (*stream)(const ConversionContext& context) = nullptr;
  std::string_view window_button = {};  ///< the radio's object name in the form; empty: none
  std::string_view label = {};          ///< the radio's label (UTF-8)
  std::string_view help = {};           ///< what a click on the radio shows (UTF-8, "\n" breaks)
  HelpExample example = HelpExample::None;
  /// The encoding of the mode's output when it is not the working encoding (GBK).
  std::string_view output_encoding = {};
  /// For a simplified/traditional mode: OpenCC's configuration, and the name its faults go under,
  /// so that a front end can run it over UTF-8 text directly (ChineseTextConversion).
  std::string_view opencc_config = {};
  std::string_view routine = {};
};

/// Every mode, in the order of the window's ids.
std::span<const ModeInfo> Modes();

/// The mode with this id, or nullptr (0 and the reserved ids).
const ModeInfo* FindMode(ConversionMode id);

/// The mode with this command-line name, or nullptr.
const ModeInfo* FindMode(std::string_view cli_name);

/// The encoding a front end hands the mode its text in: any Unicode text goes as UTF-8, so that
/// nothing is lost; everything else in the working encoding.
Encoding EngineEncoding(const ModeInfo& mode, Encoding working);

}  // namespace tessaly
