#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "engine/ansi_text.h"
#include "engine/chinese/chinese_text.h"
#include "engine/fault_log.h"
#include "engine/mode_stream.h"

namespace tessaly {

/// A simplified/traditional standard over a text that arrives in blocks, in bounded memory: the
/// blocks are gathered into batches that end where a cut is exact, and each batch is cut into
/// pieces that up to `threads` threads convert at once. A batch's results are appended while
/// the next batch converts, so reading and writing overlap the conversion. What it appends is
/// what the conversion gives for the whole text.
class ChineseStream final : public ModeStream {
 public:
  /// `raw`: the text is bytes of the conversion's working encoding; else UTF-8, whose first
  /// malformed byte ends the conversion with a fault (MalformedInput), the text before it
  /// converted.
  /// `threads` 0 means two where the process may use a second core.
  ChineseStream(std::shared_ptr<const ChineseTextConversion> conversion, bool raw, unsigned threads,
                FaultLog& faults);
  ~ChineseStream() override;

  void Convert(std::string_view chunk, AnsiText& out) override;
  void Finish(AnsiText& out) override;

  /// A batch's size: the blocks of a text are gathered up to it before a cut is looked for. Each
  /// of the two slots holds a batch and its pieces' results, memory touched for the first time
  /// as it fills: at 1 MiB that costs half of what it did at 2 MiB, and the threads still
  /// share the work evenly.
  static constexpr std::size_t kBatch = std::size_t{1} << 20;

 private:
  struct Slot;
  struct Pool;

  void Submit(std::size_t size, AnsiText& out);
  bool ConvertInPlace(std::string_view block, AnsiText& out);
  void ConvertHere(std::string_view batch, AnsiText& out);
  void StopAt(std::string_view text, std::size_t offset, std::size_t malformed, AnsiText& out);
  void Cut(Slot& slot);
  void Publish(Slot& slot);
  void StartHelpers();
  void Help();
  void ConvertNextPiece(Slot& slot, std::unique_lock<std::mutex>& lock);
  void Collect(Slot& slot, AnsiText& out);
  void ConvertPiece(Slot& slot, std::size_t k);
  std::optional<std::size_t> ConvertText(std::string_view text, std::size_t offset, AnsiText& out,
                                         LossReport& losses, FaultLog& faults) const;

  std::shared_ptr<const ChineseTextConversion> conversion_;
  bool raw_;
  unsigned threads_;
  FaultLog& faults_;
  std::array<std::unique_ptr<Slot>, 2> slots_;  // a batch converting, the one before collected
  std::size_t next_slot_ = 0;
  std::string lines_;                    // gathered, not yet converted
  std::size_t offset_ = 0;               // of `lines_` in the whole text
  std::size_t cut_ = std::string::npos;  // the last exact cut found in `lines_`
  std::size_t walked_ = 0;  // how far the segmentation of `lines_` was walked for a cut
  bool started_ = false;
  bool stopped_ = false;  // at malformed text: the rest is not converted
  std::unique_ptr<Pool> pool_;  // the helpers, joined by the destructor
};

}  // namespace tessaly
