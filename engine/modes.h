#pragma once

#include <memory>
#include <span>
#include <string>
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

/// Everything the engine and the command line know about one mode; how the window shows it
/// lives with the window.
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
  std::unique_ptr<ModeStream> (*stream)(const ModeInfo& mode,
                                        const ConversionContext& context) = nullptr;
  /// The encoding of the mode's output when it is not the working encoding (GBK).
  std::string_view output_encoding = {};
  /// For a simplified/traditional mode: OpenCC's configuration, and the name its faults go under
  /// (the GBK/BIG5 modes name theirs too), so that it can run over UTF-8 text directly
  /// (ChineseTextConversion).
  std::string_view opencc_config = {};
  std::string_view routine = {};
};

/// Every mode, in the order of ConversionMode.
std::span<const ModeInfo> ModeTable();

/// The mode with this id, or nullptr for Unselected.
const ModeInfo* FindMode(ConversionMode id);

/// The mode with this command-line name, or nullptr.
const ModeInfo* FindMode(std::string_view cli_name);

/// The simplified/traditional conversion of OpenCC's configuration `config` under `routine`, for
/// the encoding, phrases and cache directory; one per process for each (made once its
/// dictionaries load; made anew, with its load fault, while they do not).
std::shared_ptr<const ChineseTextConversion> SharedChineseConversion(
    const std::string& config, std::string_view routine, Encoding encoding,
    const std::shared_ptr<const UserPhrases>& user, const std::filesystem::path& cache);

/// The simplified/traditional conversion of a mode that has one (`opencc_config`), for the
/// context's encoding, phrases and cache directory: the context's own when it carries one.
std::shared_ptr<const ChineseTextConversion> ChineseConversionFor(const ModeInfo& mode,
                                                                  const ConversionContext& context);

/// The encoding a front end hands the mode its text in: any Unicode text goes as UTF-8, so that
/// nothing is lost; everything else in the working encoding.
Encoding EngineEncoding(const ModeInfo& mode, Encoding working);

}  // namespace tessaly
