#pragma once

#include <string_view>

#include "engine/ansi_text.h"
#include <tessaly/losses.h>

namespace tessaly {

/// One mode's conversion over a text that arrives in chunks: the bytes appended, chunk after
/// chunk and then Finish, are exactly those the mode gives for the whole text.
class ModeStream {
 public:
  virtual ~ModeStream() = default;

  /// Converts the next chunk and appends what is already known of the output.
  virtual void Convert(std::string_view chunk, AnsiText& out) = 0;
  /// Appends the rest once the input has ended.
  virtual void Finish(AnsiText& out) = 0;

  /// What the stream lost so far; offsets count from the start of its input.
  const LossReport& losses() const { return losses_; }

 protected:
  LossReport losses_;
};

}  // namespace tessaly
