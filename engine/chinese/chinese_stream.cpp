#include "engine/chinese/chinese_stream.h"

#include <sched.h>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace tessaly {
namespace {

// Blocks are looked at for a cut this many bytes at a time, as a reader hands them in.
constexpr std::size_t kBlock = std::size_t{1} << 17;
constexpr std::size_t kDescriptionReach = ChineseTextConversion::kDescriptionReach;
// A piece is at least about this long: a batch no longer is not worth a second thread.
constexpr std::size_t kPiece = std::size_t{1} << 15;

// Two threads, or one where the process may run on one core only (taskset, a container's
// cpuset): a second thread there only takes turns with the first.
unsigned DefaultThreads() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) return CPU_COUNT(&set) > 1 ? 2 : 1;
  return std::thread::hardware_concurrency() == 1 ? 1 : 2;
}

}  // namespace

// One batch and its pieces, converted by whichever thread is free, so that the threads finish
// together however unevenly the text's hard parts fall. A slot is used again two batches later,
// so its memory is touched once.
struct ChineseStream::Slot {
  explicit Slot(std::size_t most)
      : text(most), offset(most), result(most), losses(most), faults(most), malformed(most),
        error(most) {}

  std::string batch;  // the batch's text, which the pieces view
  std::vector<std::string_view> text;
  std::vector<std::size_t> offset;
  std::vector<std::string> result;
  std::vector<LossReport> losses;
  std::deque<FaultLog> faults;  // each piece's, told in the pieces' order
  std::vector<std::optional<std::size_t>> malformed;  // where a piece of text is not UTF-8
  std::vector<std::exception_ptr> error;
  std::size_t count = 0;     // pieces
  std::size_t claimed = 0;   // by some thread; under the pool's lock
  std::size_t finished = 0;  // under the pool's lock
  bool in_flight = false;    // published and not yet collected
};

// The helper threads, kept for the stream's life, and what they share with the calling thread:
// the slots in flight, oldest first.
struct ChineseStream::Pool {
  std::mutex mutex;
  std::condition_variable work;      // a piece to claim, or the end
  std::condition_variable finished;  // a piece finished
  std::vector<Slot*> queue;          // published slots with pieces to claim, oldest first
  bool ending = false;
  std::vector<std::thread> threads;
};

ChineseStream::ChineseStream(std::shared_ptr<const ChineseTextConversion> conversion, bool raw,
                             unsigned threads, FaultLog& faults)
    : conversion_(std::move(conversion)),
      raw_(raw),
      threads_(threads == 0 ? DefaultThreads() : threads),
      faults_(faults),
      pool_(std::make_unique<Pool>()) {
  const std::size_t most = std::max<std::size_t>(8, 4 * std::size_t{threads_});
  for (auto& slot : slots_) slot = std::make_unique<Slot>(most);
}

ChineseStream::~ChineseStream() {
  {
    const std::lock_guard lock(pool_->mutex);
    pool_->ending = true;
  }
  pool_->work.notify_all();
  for (std::thread& thread : pool_->threads) thread.join();
}

// Each block is searched once for the last place a cut may be, and a batch is cut there once it
// is full; a text with no such place is cut where its segmentation puts a phrase, walked once. So
// a line of any length costs linear time and memory bounded by two batches.
void ChineseStream::Convert(std::string_view chunk, AnsiText& out) {
  if (chunk.empty() || stopped_) return;
  if (!started_) {
    started_ = true;
    if (conversion_->load_fault()) faults_.Add(*conversion_->load_fault());
  }
  for (; !chunk.empty() && !stopped_; chunk.remove_prefix(std::min(chunk.size(), kBlock))) {
    if (threads_ == 1 && ConvertInPlace(chunk.substr(0, kBlock), out)) continue;
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
    Submit(cut_, out);
    cut_ = std::string::npos;
    walked_ = 0;
  }
}

void ChineseStream::Finish(AnsiText& out) {
  if (!lines_.empty() && !stopped_) Submit(lines_.size(), out);
  lines_.clear();
  for (std::size_t k = 0; k < slots_.size(); ++k) {
    Slot& slot = *slots_[(next_slot_ + k) % slots_.size()];  // the older first
    if (slot.in_flight) Collect(slot, out);
  }
}

// The first `size` bytes of the gathered text become the next batch. While the helpers convert
// it, the calling thread helps finish the batch before it and appends that one's results: the
// caller then writes them and reads on as the helpers go on converting.
void ChineseStream::Submit(std::size_t size, AnsiText& out) {
  if (pool_->threads.empty() && size > kPiece) StartHelpers();
  if (pool_->threads.empty()) {
    ConvertHere(std::string_view(lines_).substr(0, size), out);
    lines_.erase(0, size);
    return;
  }
  Slot& slot = *slots_[next_slot_];
  Slot& previous = *slots_[(next_slot_ + 1) % slots_.size()];
  next_slot_ = (next_slot_ + 1) % slots_.size();
  // The slot's old buffer keeps what follows the batch, and the batch keeps the gathered buffer.
  slot.batch.swap(lines_);
  lines_.reserve(kBatch + kBlock);
  lines_.assign(std::string_view(slot.batch).substr(size));
  slot.batch.resize(size);
  Cut(slot);
  Publish(slot);
  if (previous.in_flight) Collect(previous, out);
}

// On one thread, a block with places to cut converts where it is, but for its two ends: what
// was gathered before it converts with the block up to its first cut, and what follows its last
// cut is kept. The cuts are looked for past the reach of a description sequence that may start
// before the block. False, having done nothing, for a block without two such places.
bool ChineseStream::ConvertInPlace(std::string_view block, AnsiText& out) {
  const std::size_t last = conversion_->LastCut(block, raw_);
  if (last == std::string_view::npos || last <= kDescriptionReach) return false;
  const std::size_t first = conversion_->NextCut(block, kDescriptionReach, raw_);  // at most last
  lines_.append(block.substr(0, first));
  ConvertHere(lines_, out);
  if (!stopped_) ConvertHere(block.substr(first, last - first), out);
  lines_.assign(block.substr(last));
  cut_ = std::string::npos;
  walked_ = 0;
  return true;
}

// Without helpers, a batch converts on the calling thread straight onto `out`, as one piece.
void ChineseStream::ConvertHere(std::string_view batch, AnsiText& out) {
  LossReport losses;
  if (const auto malformed = ConvertText(batch, offset_, out, losses, faults_)) {
    StopAt(batch, offset_, *malformed, out);
    return;
  }
  losses_.Merge(losses);
  offset_ += batch.size();
}

// Text or bytes, as the stream reads them, onto `out`; where text is not UTF-8, nothing is
// appended and the offset of its first such byte comes back.
std::optional<std::size_t> ChineseStream::ConvertText(std::string_view text, std::size_t offset,
                                                      AnsiText& out, LossReport& losses,
                                                      FaultLog& faults) const {
  if (!raw_) return conversion_->Convert(text, offset, out, losses, faults);
  conversion_->ConvertBytes(text, out, faults);
  return std::nullopt;
}

// Cuts the slot's batch, which ends where a cut may be, into up to as many runs as there are
// pieces, at places where a cut may be: after a line break where one is near, else before a
// character no phrase holds.
void ChineseStream::Cut(Slot& slot) {
  const std::string_view text = slot.batch;
  const std::size_t most = slot.text.size();
  slot.count = 0;
  const std::size_t target = std::max(text.size() / most, kPiece);
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.size();
    if (slot.count + 1 < most && start + target < text.size()) {
      std::size_t cut = text.find('\n', start + target);
      if (cut != std::string_view::npos) ++cut;
      if (cut != std::string_view::npos && !raw_ && conversion_->NearDescription(text, cut))
        cut = std::string_view::npos;
      if (cut == std::string_view::npos || cut - start > 2 * target)
        cut = std::min(cut, conversion_->NextCut(text, start + target, raw_));
      if (cut != std::string_view::npos) end = cut;
    }
    slot.text[slot.count] = text.substr(start, end - start);
    slot.offset[slot.count++] = offset_ + start;
    start = end;
  }
  offset_ += text.size();
}

// Lets the helpers have the slot's pieces.
void ChineseStream::Publish(Slot& slot) {
  {
    const std::lock_guard lock(pool_->mutex);
    slot.claimed = slot.finished = 0;
    slot.in_flight = true;
    pool_->queue.push_back(&slot);
  }
  pool_->work.notify_all();
}

// Helpers, started at the first batch long enough to share, stay for the stream's life.
void ChineseStream::StartHelpers() {
  for (unsigned t = 1; t < threads_; ++t) {
    try {
      pool_->threads.emplace_back([this] { Help(); });
    } catch (const std::system_error&) {
      break;  // no more threads: those there are do all the pieces
    }
  }
}

// A helper: claims and converts pieces, the oldest batch's first, until the stream ends.
void ChineseStream::Help() {
  std::unique_lock lock(pool_->mutex);
  for (;;) {
    pool_->work.wait(lock, [this] { return pool_->ending || !pool_->queue.empty(); });
    if (pool_->ending) return;
    ConvertNextPiece(*pool_->queue.front(), lock);
  }
}

// With the pool's lock held by `lock`: claims the slot's next piece (the slot leaves the queue
// with its last), converts it without the lock, and counts it finished.
void ChineseStream::ConvertNextPiece(Slot& slot, std::unique_lock<std::mutex>& lock) {
  const std::size_t k = slot.claimed++;
  if (slot.claimed == slot.count)
    pool_->queue.erase(std::find(pool_->queue.begin(), pool_->queue.end(), &slot));
  lock.unlock();
  ConvertPiece(slot, k);
  lock.lock();
  if (++slot.finished == slot.count) pool_->finished.notify_all();
}

// The calling thread converts the slot's pieces nobody has claimed, waits for the others, and
// appends the results before the first piece that fails. A batch after malformed text is dropped.
void ChineseStream::Collect(Slot& slot, AnsiText& out) {
  {
    std::unique_lock lock(pool_->mutex);
    if (stopped_ && slot.claimed < slot.count) {
      slot.count = slot.claimed;
      pool_->queue.erase(std::find(pool_->queue.begin(), pool_->queue.end(), &slot));
    }
    while (slot.claimed < slot.count) ConvertNextPiece(slot, lock);
    pool_->finished.wait(lock, [&slot] { return slot.finished == slot.count; });
    slot.in_flight = false;
  }
  if (stopped_) return;
  for (std::size_t k = 0; k < slot.count; ++k) {
    if (slot.error[k]) std::rethrow_exception(slot.error[k]);
    for (Fault& fault : slot.faults[k].All()) faults_.Add(std::move(fault));
    if (slot.malformed[k]) {
      StopAt(slot.text[k], slot.offset[k], *slot.malformed[k], out);
      return;
    }
    out += slot.result[k];
    losses_.Merge(slot.losses[k]);
  }
}

// At the first byte of `text` (which starts at `offset` of the whole) that is not UTF-8: the
// conversion ends there with the fault, the text before the byte converted.
void ChineseStream::StopAt(std::string_view text, std::size_t offset, std::size_t malformed,
                           AnsiText& out) {
  stopped_ = true;
  conversion_->StopAtMalformed(text, offset, malformed, out, losses_, faults_);
}

void ChineseStream::ConvertPiece(Slot& slot, std::size_t k) {
  std::string& out = slot.result[k];
  out.clear();
  slot.losses[k] = {};
  slot.malformed[k].reset();
  slot.error[k] = nullptr;
  slot.faults[k].Clear();
  try {
    slot.malformed[k] =
        ConvertText(slot.text[k], slot.offset[k], out, slot.losses[k], slot.faults[k]);
  } catch (...) {
    slot.error[k] = std::current_exception();
  }
}

}  // namespace tessaly
