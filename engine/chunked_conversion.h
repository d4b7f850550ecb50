#pragma once

#include <memory>
#include <string_view>

#include "engine/ansi_text.h"
#include "engine/conversion.h"
#include "engine/modes.h"
#include "engine/separators.h"
#include "engine/strip.h"

namespace tessaly {

/// RunConversion for inputs that arrive in chunks, for the modes that need no look at the whole
/// text; the bytes it writes are exactly those RunConversion gives for the whole input.
class ChunkedConversion {
 public:
  /// Whether the mode can run chunk by chunk.
  static bool Supports(ConversionMode mode);

  /// `context.faults` hears the faults of the modes, as RunConversion's does.
  ChunkedConversion(ConversionMode mode, const DeletionOptions& deletion, SeparatorStyle style,
                    const ConversionContext& context);

  /// Converts the next chunk and appends what is already known of the result.
  void Convert(std::string_view chunk, AnsiText& out);
  /// Appends the rest of the result once the input has ended.
  void Finish(AnsiText& out);

  /// What the conversion lost so far; offsets count in the input before the deletions.
  LossReport losses() const;

 private:
  void Separate(AnsiText& out);
  std::size_t InputOffset(std::size_t stripped_offset) const;

  std::unique_ptr<ModeStream> stream_;
  DeletionOptions deletion_;
  CharStripper stripper_;
  LeadBytes leads_;
  SeparatorJoiner joiner_;
  bool separates_;
  AnsiText stripped_;
  AnsiText mode_output_;
  // Where the stream's first losses are, mapped back into the input while their chunk is at hand.
  std::size_t input_offset_ = 0;
  std::size_t stripped_offset_ = 0;
  LossReport mapped_;
  // The last two chunks that kept any byte: a piece may begin in one and end in the next, and a
  // loss that only Finish sees (a last odd piece) lies in the last.
  struct KeptChunk {
    AnsiText bytes;
    std::size_t input_offset = 0;
    std::size_t stripped_offset = 0;
    bool started_in_trail = false;
  };
  KeptChunk before_last_;
  KeptChunk last_;
};

}  // namespace tessaly
