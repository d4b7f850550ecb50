#include "engine/chunked_conversion.h"

namespace tessaly {

bool ChunkedConversion::Supports(ConversionMode mode) {
  const ModeInfo* info = FindMode(mode);
  return info != nullptr && info->stream != nullptr;
}

ChunkedConversion::ChunkedConversion(ConversionMode mode, const DeletionOptions& deletion,
                                     SeparatorStyle style, const ConversionContext& context)
    : stream_(FindMode(mode)->stream(*FindMode(mode), context)),
      deletion_(deletion),
      stripper_(deletion, InfoOf(context.encoding).leads),
      leads_(InfoOf(context.encoding).leads),
      joiner_(style),
      separates_(style != SeparatorStyle::SeparatorNone && style != SeparatorStyle::Unselected) {}

void ChunkedConversion::Convert(std::string_view chunk, AnsiText& out) {
  std::string_view stripped = chunk;
  const bool started_in_trail = stripper_.InTrail();
  if (!stripper_.DeletesNothing()) {
    stripped_.clear();
    stripper_.Strip(chunk, stripped_);
    stripped = stripped_;
  }
  // Without separators the mode writes straight into the result.
  mode_output_.clear();
  stream_->Convert(stripped, separates_ ? mode_output_ : out);
  Separate(out);

  if (!stripped.empty()) {
    std::swap(before_last_, last_);
    last_.bytes.assign(chunk);
    last_.input_offset = input_offset_;
    last_.stripped_offset = stripped_offset_;
    last_.started_in_trail = started_in_trail;
  }
  input_offset_ += chunk.size();
  stripped_offset_ += stripped.size();
  // A loss first seen in this chunk is placed in the input now, while the chunk is at hand.
  for (std::size_t k = 0; k < kLossKindCount; ++k) {
    const auto kind = static_cast<LossKind>(k);
    const LossRecord& found = stream_->losses()[kind];
    LossRecord& placed = mapped_[kind];
    if (found.count == 0 || placed.count != 0) continue;
    placed = found;
    placed.first_offset = InputOffset(found.first_offset);
  }
}

// Where the byte at `stripped_offset` was in the input: in one of the last two chunks that kept
// any byte, as a stream sees no further back than one piece.
std::size_t ChunkedConversion::InputOffset(std::size_t stripped_offset) const {
  const KeptChunk& kept = stripped_offset >= last_.stripped_offset ? last_ : before_last_;
  const std::size_t offset = stripped_offset - kept.stripped_offset;
  if (stripper_.DeletesNothing()) return kept.input_offset + offset;
  return kept.input_offset +
         OffsetBeforeDeletions(kept.bytes, deletion_, offset, kept.started_in_trail, leads_);
}

void ChunkedConversion::Finish(AnsiText& out) {
  mode_output_.clear();
  stream_->Finish(separates_ ? mode_output_ : out);
  Separate(out);
  joiner_.Finish(out);
}

void ChunkedConversion::Separate(AnsiText& out) {
  if (separates_) joiner_.Join(mode_output_, out);
}

LossReport ChunkedConversion::losses() const {
  LossReport report;
  for (std::size_t k = 0; k < kLossKindCount; ++k) {
    const auto kind = static_cast<LossKind>(k);
    const LossRecord& found = stream_->losses()[kind];
    const LossRecord& placed = mapped_[kind];
    if (placed.count != 0) {
      report.Add(kind, placed.first_offset, placed.first_piece, found.count);
    } else {
      report.Add(kind, InputOffset(found.first_offset), found.first_piece, found.count);
    }
  }
  return report;
}

}  // namespace tessaly
