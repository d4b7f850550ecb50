#pragma once

#include <optional>
#include <string_view>

#include "engine/ansi_text.h"
#include "engine/byte_modes.h"
#include "engine/chinese_modes.h"
#include "engine/conversion.h"
#include "engine/pipeline.h"
#include "engine/unicode_modes.h"

namespace tessaly {

/// RunConversion for inputs that arrive in chunks, for the modes that need no look at the whole
/// text; the bytes it writes are exactly those RunConversion gives for the whole input.
class ChunkedConversion {
 public:
  /// Whether the mode can run chunk by chunk.
  static bool Supports(ConversionMode mode);

  /// `reporter` hears the faults of the GBK/BIG5 modes, as RunConversion's does.
  ChunkedConversion(ConversionMode mode, const DeletionOptions& deletion, SeparatorStyle style,
                    FaultReporter& reporter);

  /// Converts the next chunk and appends what is already known of the result.
  void Convert(std::string_view chunk, AnsiText& out);
  /// Appends the rest of the result once the input has ended.
  void Finish(AnsiText& out);

 private:
  void ConvertStripped(std::string_view stripped, AnsiText& out);
  void FinishMode(AnsiText& out);
  void Separate(std::string_view mode_output, AnsiText& out);

  ConversionMode mode_;
  CharStripper stripper_;
  HexPairReader hex_reader_;
  SeparatorJoiner joiner_;
  bool separates_;
  bool started_ = false;
  AnsiText stripped_;
  AnsiText mode_output_;
  std::optional<ChunkedRecoding> recoding_;
  std::optional<ChunkedUnicodeEncoding> unicode_;
};

}  // namespace tessaly
