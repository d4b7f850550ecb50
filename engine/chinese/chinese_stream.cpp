#include "engine/chinese/chinese_stream.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <future>
#include <system_error>
#include <utility>
#include <vector>

namespace tessaly {
namespace {

// Blocks are looked at for a cut this many bytes at a time, as a reader hands them in.
constexpr std::size_t kBlock = std::size_t{1} << 17;

}  // namespace

// A batch's pieces, converted by whichever thread is free, so that the threads finish together
// however unevenly the text's hard parts fall; kept from batch to batch so that their memory is
// touched once.
struct ChineseStream::Pieces {
  explicit Pieces(std::size_t count)
      : text(count), offset(count), result(count), losses(count), malformed(count), error(count) {}

  std::vector<std::string_view> text;
  std::vector<std::size_t> offset;
  std::vector<std::string> result;
  std::vector<LossReport> losses;
  std::vector<std::optional<std::size_t>> malformed;  // where a piece of text is not UTF-8
  std::vector<std::exception_ptr> error;
  std::size_t count = 0;
  std::atomic<std::size_t> next{0};
};

ChineseStream::ChineseStream(std::shared_ptr<const ChineseTextConversion> conversion, bool raw,
                             unsigned threads, FaultLog& faults)
    : conversion_(std::move(conversion)),
      raw_(raw),
      threads_(threads == 0 ? 2 : threads),
      faults_(faults),
      pieces_(std::make_unique<Pieces>(std::max<std::size_t>(8, 4 * std::size_t{threads_}))) {}

ChineseStream::~ChineseStream() = default;

// Each block is searched once for the last place a cut may be, and a batch is cut there once it
// is full; a text with no such place is cut where its segmentation puts a phrase, walked once. So
// a line of any length costs linear time and memory bounded by the batch.
void ChineseStream::Convert(std::string_view chunk, AnsiText& out) {
  if (chunk.empty() || stopped_) return;
  if (!started_) {
    started_ = true;
    if (conversion_->load_fault()) faults_.Add(*conversion_->load_fault());
  }
  for (; !chunk.empty() && !stopped_; chunk.remove_prefix(std::min(chunk.size(), kBlock))) {
    const std::size_t start = lines_.size();
    lines_.append(chunk.substr(0, kBlock));
    if (const std::size_t last = conversion_->LastCut(std::string_view(lines_).substr(start), raw_);
        last != std::string::npos)
      cut_ = start + last;
    if (lines_.size() < kBatch) continue;
    if (cut_ == std::string::npos || cut_ == 0) {
      const auto segmented = conversion_->SegmentedCut(lines_, walked_, raw_);
      walked_ = segmented.resume;
      cut_ = segmented.phrase_end;
      // The conversion will stop at that byte and say so: nothing after it need be kept.
      if (segmented.invalid) cut_ = lines_.size();
    }
    if (cut_ == std::string::npos || cut_ == 0) continue;
    ConvertBatch(std::string_view(lines_).substr(0, cut_), out);
    lines_.erase(0, cut_);
    cut_ = std::string::npos;
    walked_ = 0;
  }
}

void ChineseStream::Finish(AnsiText& out) {
  if (!lines_.empty() && !stopped_) ConvertBatch(lines_, out);
  lines_.clear();
}

// Cuts `text`, which ends where a cut may be, into up to as many runs as there are pieces, at
// places where a cut may be: after a line break where one is near, else before a character no
// phrase holds.
void ChineseStream::Cut(std::string_view text) {
  Pieces& pieces = *pieces_;
  const std::size_t most = pieces.text.size();
  pieces.count = 0;
  const std::size_t target = std::max<std::size_t>(text.size() / most, 1 << 15);
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.size();
    if (pieces.count + 1 < most && start + target < text.size()) {
      std::size_t cut = text.find('\n', start + target);
      if (cut != std::string_view::npos) ++cut;
      if (cut == std::string_view::npos || cut - start > 2 * target)
        cut = std::min(cut, conversion_->NextCut(text, start + target, raw_));
      if (cut != std::string_view::npos) end = cut;
    }
    pieces.text[pieces.count] = text.substr(start, end - start);
    pieces.offset[pieces.count++] = offset_ + start;
    start = end;
  }
}

void ChineseStream::ConvertPiece(std::size_t k) {
  Pieces& pieces = *pieces_;
  std::string& out = pieces.result[k];
  out.clear();
  pieces.losses[k] = {};
  pieces.malformed[k].reset();
  pieces.error[k] = nullptr;
  try {
    if (raw_) {
      conversion_->ConvertBytes(pieces.text[k], out, faults_);
    } else {
      pieces.malformed[k] =
          conversion_->Convert(pieces.text[k], pieces.offset[k], out, pieces.losses[k], faults_);
    }
  } catch (...) {
    pieces.error[k] = std::current_exception();
  }
}

// The matcher is read-only, and no phrase reaches from one piece into the next, so the pieces
// are converted on this thread and the others that can be had. The results before the first
// piece that fails are written.
void ChineseStream::ConvertBatch(std::string_view batch, AnsiText& out) {
  Cut(batch);
  Pieces& pieces = *pieces_;
  const auto work = [this, &pieces] {
    for (std::size_t k; (k = pieces.next.fetch_add(1)) < pieces.count;) ConvertPiece(k);
  };
  pieces.next = 0;
  std::vector<std::future<void>> helpers;
  for (unsigned t = 1; t < threads_ && t < pieces.count; ++t) {
    try {
      helpers.push_back(std::async(std::launch::async, work));
    } catch (const std::system_error&) {
      break;  // no more threads: those there are do all the pieces
    }
  }
  work();
  for (std::future<void>& helper : helpers) helper.get();
  for (std::size_t k = 0; k < pieces.count; ++k) {
    if (pieces.error[k]) std::rethrow_exception(pieces.error[k]);
    if (pieces.malformed[k]) {
      faults_.Add(
          MalformedInputFault(conversion_->routine(), pieces.offset[k] + *pieces.malformed[k]));
      stopped_ = true;
      return;
    }
    out += pieces.result[k];
    losses_.Merge(pieces.losses[k]);
  }
  offset_ += batch.size();
}

}  // namespace tessaly
