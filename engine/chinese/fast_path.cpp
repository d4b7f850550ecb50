#include "engine/chinese/fast_path.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <span>
#include <utility>

#include "engine/chinese/general_path.h"
#include "engine/chinese/ids.h"
#include "engine/detail/utf8.h"

namespace tessaly::detail {
namespace {

// Output written through a pointer into a string grown ahead, since a call per character to
// std::string's append costs more than the lookup.
// The string's buffer and size are kept here, where a byte written cannot change them, so that
// they are not read again after each write.
class Sink {
 public:
  Sink(std::string& out, std::size_t expected)
      : out_(out),
        data_(out.data()),
        size_(out.size()),
        used_(out.size()),
        step_(std::min(expected + kSlack, kStep)) {
    out_.reserve(used_ + expected + kSlack);
  }
  ~Sink() { out_.resize(used_); }
  Sink(const Sink&) = delete;
  Sink& operator=(const Sink&) = delete;

  void Append(const char* bytes, std::size_t n) {
    Need(n);
    std::memcpy(data_ + used_, bytes, n);
    used_ += n;
  }
  void Put(FastChar c) {
    Need(sizeof c);
    PutInRoom(c);
  }
  /// Writes the eight bytes of `word` and keeps the first `keep` of them.
  void PutWord(std::uint64_t word, std::size_t keep) {
    Need(sizeof word);
    PutWordInRoom(word, keep);
  }
  // Where Room was made for them: no check of their own.
  void PutInRoom(FastChar c) {
    std::memcpy(data_ + used_, &c, sizeof c);
    used_ += c.tag & 3;
  }
  void PutWordInRoom(std::uint64_t word, std::size_t keep) {
    std::memcpy(data_ + used_, &word, sizeof word);
    used_ += keep;
  }
  /// Makes room for `n` bytes, at least, past those kept.
  void Room(std::size_t n) { Need(n); }

 private:
  static constexpr std::size_t kSlack = 64;
  static constexpr std::size_t kStep = 64 * 1024;  // what a resize writes zeros over, at most
  void Need(std::size_t n) {
    if (size_ - used_ >= n) [[likely]]
      return;
    // Within what was reserved a step at a time, no longer than the call's text, so that a short
    // call into a string with much room fills little; beyond it the string grows as it would by
    // appending.
    out_.resize(std::max(used_ + n + kSlack, std::min(out_.capacity(), used_ + step_)));
    data_ = out_.data();
    size_ = out_.size();
  }
  std::string& out_;
  char* data_;
  std::size_t size_;
  std::size_t used_;
  std::size_t step_;
};

// What the first step makes of a character that starts no phrase of the segmentation: its value
// (none when it stays itself) and the characters.
struct FirstStepForm {
  const Value* value = nullptr;
  std::u32string_view chars;  // of the tables, or of the character given, which must outlive it
};

FirstStepForm FirstStepOf(const PhraseTables& t, const char32_t& c) {
  const Match match = t.Longest(&c, 1, t.first_step_unmatched);
  if (match.length == 0) return {nullptr, std::u32string_view(&c, 1)};
  return {match.value,
          std::u32string_view(t.cp_pool.data() + match.value->cps, match.value->cp_length)};
}

}  // namespace

Survey SurveyOf(const PhraseTables& t) {
  Survey survey;
  if (t.steps.empty()) return survey;
  const unsigned unmatched = t.first_step_unmatched.mask;
  unsigned middle = 0;
  for (const Group& step : t.MiddleSteps()) middle |= step.mask;
  survey.fast = std::none_of(t.bmp.begin(), t.bmp.end(),
                             [&](const Info& info) { return info.longer & unmatched; });
  survey.question_mark = (t.bmp[U'?'].is_key | t.bmp[U'?'].longer) != 0;
  if (middle != 0) survey.reach = 1;
  for (const Slot& slot : t.slots) {
    if (slot.info.length == 0) continue;
    if (slot.parent == kRoot && slot.info.length == 1 && (slot.info.longer & unmatched))
      survey.fast = false;
    if (slot.last == U'?') survey.question_mark = true;
    if (slot.info.is_key & middle)
      survey.reach = std::max<std::size_t>(survey.reach, slot.info.length);
  }
  return survey;
}

FastPlan::FastPlan(const PhraseTables& t, const Survey& survey, const CharacterStops& stops,
                   std::vector<std::uint8_t> watched, bool strict)
    : stops_(stops),
      watched_(std::move(watched)),
      strict_(strict),
      ascii_inert_(t.ascii_inert),
      reach_(survey.reach) {
  if (strict_)
    for (char32_t c = 0xD800; c < 0xE000; ++c) stops_.Add(c);
  for (char32_t c = t.ascii_inert ? 0x80 : 0; c < 0x10000; ++c) chars_[c] = Entry(t, c);
  if (t.steps.size() == 2 && !t.fold_last) {
    run_step_ = &t.steps[1];
    PlanRuns(t);
  }
  if (reach_ != 0) {
    char_reach_.assign(0x10000, 1);
    for (char32_t c = 0; c < 0x10000; ++c)
      if ((chars_[c].tag & 3) == 0) char_reach_[c] = ReachOf(t, c);
  }
  // Where some keys hold ASCII (as "PN结" does), the letters that start none are still copied
  // a run at a time.
  for (char32_t c = 0; c < 0x80; ++c)
    copies_[c] = t.ascii_inert || ((chars_[c].tag & (3 | FastChar::kCheckPair)) == 1 &&
                                   chars_[c].bytes[0] == static_cast<char>(c));
  const auto ascii_end = copies_.begin() + 0x80;
  const auto lowest = std::find(copies_.begin(), ascii_end, false);
  if (lowest == ascii_end) {
    not_copied_below_ = 127;  // none: only DEL is looked at
  } else if (lowest == copies_.begin()) {
    not_copied_above_ = 0;  // NUL itself, which the range cannot hold: every word is looked at
  } else {
    not_copied_below_ = static_cast<std::uint64_t>(lowest - copies_.begin()) - 1;
    const auto highest = std::find(std::make_reverse_iterator(ascii_end), copies_.rend(), false);
    not_copied_above_ = static_cast<std::uint64_t>(copies_.rend() - highest);
  }
}

// A character normalization changes, and a description operator, take the trie, where the text
// is read as OpenCC reads it.
bool FastPlan::Special(const PhraseTables& t, char32_t c) {
  return t.Normalizes(c) || (t.ids_units && IdsArity(c) != 0);
}

FastChar FastPlan::Entry(const PhraseTables& t, char32_t c) const {
  if (stops_.Stops(c) || Special(t, c)) return {};
  FastChar entry = Converted(t, c);
  entry.tag |= FastChar::kPlain;
  return entry;
}

FastChar FastPlan::Converted(const PhraseTables& t, char32_t c) const {
  const Info& info = t.bmp[c];
  if (info.is_key & t.segmentation.mask) return {};
  std::string bytes;
  const FirstStepForm first = FirstStepOf(t, c);
  // What the first step makes of it must start no key of a middle step, or a phrase there may
  // begin with it and reach into the characters after it.
  for (const Group& step : t.MiddleSteps())
    if (std::any_of(first.chars.begin(), first.chars.end(),
                    [&](char32_t cp) { return step.MayStart(cp); }))
      return {};
  const Match single =
      t.fold_last && first.value == nullptr ? t.Longest(&c, 1, t.steps.back()) : Match{};
  if (const Value* value = first.value; value != nullptr) {
    if (Watched(t, *value)) return {};
    if (t.fold_last) {
      bytes.assign(t.utf8_pool, value->folded, value->folded_length);
    } else {
      bytes.assign(t.utf8_pool, value->utf8, value->utf8_length);
    }
  } else if (single.length != 0) {
    if (Watched(t, *single.value)) return {};
    bytes.assign(t.utf8_pool, single.value->utf8, single.value->utf8_length);
  } else {
    AppendUtf8(bytes, c);
  }
  if (bytes.empty() || bytes.size() > 3) return {};
  FastChar entry;
  std::memcpy(entry.bytes.data(), bytes.data(), bytes.size());
  entry.tag = static_cast<std::uint8_t>(bytes.size());
  if (info.longer & t.segmentation.mask) entry.tag |= FastChar::kCheckPair;
  return entry;
}

// With one middle step, from the longest keys that start with each character the first step
// makes of `c` (Info::reach); with more, the longest key of any, as a later step's key may be made
// of an earlier one's value.
std::uint8_t FastPlan::ReachOf(const PhraseTables& t, char32_t c) const {
  const auto whole = static_cast<std::uint8_t>(std::min<std::size_t>(reach_, 0xFF));
  if (t.MiddleSteps().size() != 1) return whole;
  const std::u32string_view first = FirstStepOf(t, c).chars;
  // A key that starts at the i-th of the m characters and is L long reaches L - (m - i) of
  // the characters after c, each of which the first step makes one character or more.
  std::size_t reach = 1;
  for (std::size_t i = 0; i < first.size(); ++i) {
    if (first[i] >= 0x10000) return whole;
    const std::size_t longest = t.bmp[first[i]].reach;
    if (i + longest > first.size()) reach = std::max(reach, 1 + i + longest - first.size());
  }
  return static_cast<std::uint8_t>(std::min<std::size_t>(reach, 0xFF));
}

// The characters RunCharacter would write, each looked up once here: for every BMP character
// what the first step makes of it begins with, and for each one that takes the trie only for the
// second step, what the two make of it alone.
void FastPlan::PlanRuns(const PhraseTables& t) {
  made_.assign(0x10000, kUnknownMade);
  for (char32_t c = 0; c < 0x10000; ++c) {
    const std::u32string_view form = FirstStepOf(t, c).chars;
    if (!form.empty() && form[0] < kUnknownMade) made_[c] = static_cast<char16_t>(form[0]);
  }
  for (char32_t c = 0; c < 0x10000; ++c) {
    FastChar& entry = chars_[c];
    if ((entry.tag & 3) != 0 || !(entry.tag & FastChar::kPlain)) continue;
    const std::optional<RunChar> run = RunOf(t, c);
    if (!run || run_chars_.size() >= (std::size_t{1} << 24)) continue;
    const auto index = static_cast<std::uint32_t>(run_chars_.size());
    entry.bytes = {static_cast<char>(index & 0xFF), static_cast<char>(index >> 8 & 0xFF),
                   static_cast<char>(index >> 16)};
    entry.tag |= FastChar::kRun;
    if (t.bmp[c].longer & t.segmentation.mask) entry.tag |= FastChar::kCheckPair;
    run_chars_.push_back(*run);
  }
}

// What RunCharacter makes of `c` alone, where no key of the segmentation is `c` itself and no
// value on the way is watched; where a longer key starts with it, the pair filter is asked first.
std::optional<RunChar> FastPlan::RunOf(const PhraseTables& t, char32_t c) const {
  if (t.bmp[c].is_key & t.segmentation.mask) return std::nullopt;
  const FirstStepForm first = FirstStepOf(t, c);
  if (first.chars.size() != 1 || first.chars[0] >= 0x10000) return std::nullopt;
  if (first.value != nullptr && Watched(t, *first.value)) return std::nullopt;
  const char32_t made = first.chars[0];
  std::string bytes;
  if (const Match second = t.Longest(&made, 1, *run_step_); second.length != 0) {
    if (Watched(t, *second.value)) return std::nullopt;
    bytes.assign(t.utf8_pool, second.value->utf8, second.value->utf8_length);
  } else {
    AppendUtf8(bytes, made);
  }
  RunChar run;
  if (bytes.size() > run.bytes.size()) return std::nullopt;
  std::memcpy(run.bytes.data(), bytes.data(), bytes.size());
  run.length = static_cast<std::uint8_t>(bytes.size());
  run.longer = (t.bmp[made].longer & run_step_->mask) != 0;
  run.made = static_cast<char16_t>(made);
  return run;
}

bool FastPlan::Watched(const PhraseTables& t, const Value& value) const {
  return !watched_.empty() && watched_[static_cast<std::size_t>(&value - t.values.data())];
}

namespace {

// A character of one to three bytes, or none: `length` 0.
struct ShortChar {
  char32_t cp = 0;
  std::size_t length = 0;
};

// The character at `i` when it takes one to three bytes of well-formed UTF-8. Inline, since nearly
// every character of a Chinese text is one and a call per character costs more than its lookup.
inline ShortChar ShortCharAt(const unsigned char* p, std::size_t i, std::size_t n) {
  const unsigned char lead = p[i];
  if (lead < 0x80) return {lead, 1};
  if (lead >= 0xE0 && lead < 0xF0) {
    if (i + 2 < n && IsContinuation(p[i + 1]) && IsContinuation(p[i + 2])) {
      const char32_t cp =
          char32_t{lead & 0x0Fu} << 12 | char32_t{p[i + 1] & 0x3Fu} << 6 | (p[i + 2] & 0x3Fu);
      if (cp >= 0x800) return {cp, 3};
    }
  } else if (lead >= 0xC2 && lead < 0xE0 && i + 1 < n && IsContinuation(p[i + 1])) {
    return {char32_t{lead & 0x1Fu} << 6 | (p[i + 1] & 0x3Fu), 2};
  }
  return {};
}

// Whether no key goes on at `j`: the text ends there, or ASCII no key holds starts there.
inline bool NoKeyGoesOn(const PhraseTables& t, const unsigned char* p, std::size_t n,
                        std::size_t j) {
  return j >= n || (p[j] < 0x80 && t.ascii_inert);
}

// Decodes into `w.text` from `*pos`, up to `limit` characters, stopping before ASCII, a stop or
// bytes that are not plain UTF-8; returns whether it stopped at such bytes.
bool DecodeWindow(const PhraseTables& t, const FastPlan& plan, std::string_view text,
                  std::size_t* pos, std::size_t limit, Workspace& w) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  while (w.text.size() < limit && !NoKeyGoesOn(t, p, text.size(), *pos)) {
    // A plain character is none of what the checks below look for.
    if (const ShortChar c = ShortCharAt(p, *pos, text.size());
        c.length != 0 && (plan[c.cp].tag & FastChar::kPlain)) {
      w.text.push_back(c.cp);
      if (w.normalized) w.lengths.push_back(static_cast<std::uint8_t>(c.length));
      *pos += c.length;
      continue;
    }
    char32_t cp = 0;
    const std::size_t length = OpenCcCharAt(p, *pos, text.size(), cp);
    if (length == 0) return true;
    if (plan.Stops(cp)) return false;
    // No key holds an operator: a segment may end before one, and one that starts a sequence
    // is a segment of its own (SlowSegment).
    if (t.ids_units && !w.text.empty() && IdsArity(cp) != 0) return false;
    PushChar(t, cp, length, w);
    *pos += length;
  }
  return false;
}

// The segmentation's match at character `k` of `w.text`, decoding more of the text, from `end`,
// while a longer key might match beyond the `window` characters decoded so far.
Match LongestInWindow(const PhraseTables& t, const FastPlan& plan, std::string_view text,
                      std::size_t k, std::size_t& end, std::size_t& window, Workspace& w) {
  bool cut = false;
  Match match = t.Longest(w.text.data() + k, w.text.size() - k, t.segmentation, &cut);
  while (cut && w.text.size() == window) {
    window *= 2;
    DecodeWindow(t, plan, text, &end, window, w);
    match = t.Longest(w.text.data() + k, w.text.size() - k, t.segmentation, &cut);
  }
  return match;
}

// How many characters of `w.text`, from its first, which starts no phrase of the segmentation,
// go on to the next that does or to where the decoding stops: OpenCC's segment of characters
// that start none. `end` is where the decoded bytes end, `window` how many were asked for.
std::size_t UnmatchedRun(const PhraseTables& t, const FastPlan& plan, std::string_view text,
                         std::size_t end, std::size_t window, Workspace& w) {
  std::size_t k = 1;
  // Where no key of a middle step that starts before k reaches: the run may end there, as the
  // steps then convert its two parts as they would the whole.
  std::size_t horizon = plan.Reach(w.text[0]);
  for (;; ++k) {
    if (k + 4 > w.text.size() && w.text.size() == window) {
      window = std::max(2 * window, k + 4);
      DecodeWindow(t, plan, text, &end, window, w);
    }
    if (k >= w.text.size()) return k;
    const Match match = LongestInWindow(t, plan, text, k, end, window, w);
    if (match.length != 0 || k >= horizon) return k;
    horizon = std::max(horizon, k + plan.Reach(w.text[k]));
  }
}

// The bytes of a complete description sequence at `pos`, which passes unchanged; 0 where none
// starts, or where one holds a stop or bytes the plan stops at (then its characters are read one
// by one, as the caller's text will have the stop apart).
std::size_t WholeIds(const FastPlan& plan, std::string_view text, std::size_t pos) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t length = CompleteIdsAt(p, pos, text.size());
  for (std::size_t i = pos; i < pos + length;) {
    char32_t cp = 0;
    const std::size_t step = OpenCcCharAt(p, i, pos + length, cp);
    if (step == 0) {
      if (plan.strict()) return 0;
      i += std::max<std::size_t>(1, kOpenCcLeadLength[p[i]]);
      continue;
    }
    if (plan.Stops(cp)) return 0;
    i += step;
  }
  return length;
}

// One segment at `pos`, where the fast table could not say: a phrase of the segmentation, or a
// single character that starts none. Returns where it ends; `pos` itself at a stop.
std::size_t SlowSegment(const PhraseTables& t, const FastPlan& plan, std::string_view text,
                        std::size_t pos, Workspace& w, std::string& scratch) {
  std::size_t window = 4;  // longer phrases are rare: decode more only for them
  ClearText(w);
  scratch.clear();
  if (const std::size_t ids = t.ids_units ? WholeIds(plan, text, pos) : 0; ids != 0) {
    scratch.assign(text.substr(pos, ids));
    return pos + ids;
  }
  std::size_t end = pos;
  const bool odd = DecodeWindow(t, plan, text, &end, window, w);
  if (w.text.empty()) {
    if (!odd || plan.strict()) return pos;
    // Bytes OpenCC reads its own way: the general path, up to the next ASCII character.
    return ConvertRunAt(t, text, pos, w, scratch);
  }
  const Match match = LongestInWindow(t, plan, text, 0, end, window, w);
  std::size_t length = match.length;
  if (length == 0 && !plan.runs() && w.text[0] < 0x10000) {
    // A character that starts no phrase after all: what the plan says it becomes.
    const FastChar c = plan[w.text[0]];
    if ((c.tag & 3) != 0) {
      scratch.assign(c.bytes.data(), c.tag & 3);
      return pos + SourceLength(w.text.data(), 1, w);
    }
  }
  if (length == 0) length = plan.runs() ? UnmatchedRun(t, plan, text, end, window, w) : 1;
  const Span segment{w.text.data(), length};
  ConvertSegment(t, segment, match.value, w, scratch, w.normalized ? nullptr : text.data() + pos);
  return pos + SourceLength(segment.data, segment.size, w);
}

// Whether a key may start with `a`, read from `i`, and the character after it; true too where
// that character is one DirectSegment or SlowSegment must look at more closely.
[[gnu::always_inline]] inline bool PairMayFollow(const PhraseTables& t, const FastPlan& plan,
                                                 const unsigned char* p, std::size_t n,
                                                 std::size_t i, ShortChar a) {
  const std::size_t j = i + a.length;
  if (NoKeyGoesOn(t, p, n, j)) return false;
  const ShortChar b = ShortCharAt(p, j, n);
  return b.length == 0 || !(plan[b.cp].tag & FastChar::kPlain) || t.PairMayStart(a.cp, b.cp);
}

// Copies the run of ASCII bytes the plan copies, from `pos` and before `n`, onto `sink`, which has
// room for the bytes and a word past them; returns where it ends.
// Eight bytes go at a time, as a call to memcpy for each of the short runs between Chinese
// characters costs more than the copy.
std::size_t CopyAscii(const FastPlan& plan, const unsigned char* p, std::size_t n, std::size_t pos,
                      Sink& sink) {
  constexpr std::uint64_t kHighBits = 0x8080808080808080u;
  // The first bytes of the text are the low ones of the word.
  constexpr bool kLittle = std::endian::native == std::endian::little;
  while (kLittle && pos + 8 <= n) {
    std::uint64_t word = 0;
    std::memcpy(&word, p + pos, sizeof word);
    const std::uint64_t high = word & kHighBits;
    std::size_t copied = high == 0 ? 8 : static_cast<std::size_t>(std::countr_zero(high)) / 8;
    if (!plan.ascii_inert() && plan.MayNotCopy(word)) {
      std::size_t k = 0;
      while (k < copied && plan.Copies(p[pos + k])) ++k;
      copied = k;
    }
    sink.PutWordInRoom(word, copied);
    pos += copied;
    if (copied < 8) return pos;
  }
  for (; pos < n && plan.Copies(p[pos]); ++pos)
    sink.Append(reinterpret_cast<const char*>(p + pos), 1);
  return pos;
}

// Plain characters decoded ahead from where a phrase may start, for DirectSegment.
struct DirectWindow {
  static constexpr std::size_t kMax = 32;
  // Left undefined beyond `count`: filling them costs more than a short match's lookup.
  std::array<char32_t, kMax> chars;
  std::array<std::uint8_t, kMax> lengths;
  std::size_t count = 0;
  std::size_t end = 0;   // where the bytes of the next character start
  bool closed = false;   // the text ends, or ASCII no key holds follows: no key goes on
  bool blocked = false;  // a character follows that is not plain, or not of one to three bytes

  // Decodes characters up to `want` of them in all, or until the window is closed or blocked.
  void Extend(const PhraseTables& t, const FastPlan& plan, const unsigned char* p, std::size_t n,
              std::size_t want) {
    while (count < want && !closed && !blocked) {
      if (NoKeyGoesOn(t, p, n, end)) {
        closed = true;
        break;
      }
      const ShortChar c = ShortCharAt(p, end, n);
      if (c.length == 0 || !(plan[c.cp].tag & FastChar::kPlain)) {
        blocked = true;
        break;
      }
      chars[count] = c.cp;
      lengths[count++] = static_cast<std::uint8_t>(c.length);
      end += c.length;
    }
  }
};

// The first character of `window`, which starts no phrase of the segmentation, in a chain of two
// steps whose second has phrases (FastPlan::run_step): when the second step's match at what the
// first makes of it is that alone, as no key of the second goes on with what the first makes of
// the next character, writes what the two steps make of it and returns its bytes; 0 to leave it
// to SlowSegment. No key of the second step that starts before it reaches it: the characters
// before it were written by the plan, which makes sure of that, or here, or by UnmatchedRun.
std::size_t RunCharacter(const PhraseTables& t, const FastPlan& plan, const DirectWindow& window,
                         Workspace& w, Sink& sink) {
  const Group* step = plan.run_step();
  if (step == nullptr) return 0;
  const FirstStepForm first = FirstStepOf(t, window.chars[0]);
  if (first.chars.size() != 1 || first.chars[0] >= 0x10000) return 0;
  const char32_t made = first.chars[0];
  if (t.bmp[made].longer & step->mask) {
    if (window.count < 2 && !window.closed) return 0;
    if (window.count >= 2) {
      const std::u32string_view next = FirstStepOf(t, window.chars[1]).chars;
      if (next.empty() || t.PairMayStart(made, next[0])) return 0;
    }
  }
  if (first.value != nullptr) w.Use(t, *first.value);
  if (const Match second = t.Longest(&made, 1, *step); second.length != 0) {
    w.Use(t, *second.value);
    sink.Append(t.utf8_pool.data() + second.value->utf8, second.value->utf8_length);
  } else {
    std::array<char, 4> bytes{};
    const std::size_t length = EncodeUtf8(made, bytes.data());
    sink.Append(bytes.data(), length);
  }
  return window.lengths[0];
}

// At `i`, where a phrase of the segmentation may start (PhraseTables::chained): when plain
// characters decide the segmentation's match there, writes what that segment becomes (as
// ConvertSegment would) and returns the bytes it was read from; 0 to leave it to SlowSegment.
std::size_t DirectSegment(const PhraseTables& t, const FastPlan& plan, const unsigned char* p,
                          std::size_t n, std::size_t i, Workspace& w, Sink& sink) {
  DirectWindow window;
  window.end = i;
  window.Extend(t, plan, p, n, 4);
  if (window.count == 0) return 0;
  Match match;
  for (std::size_t want = 8;; want *= 2) {
    bool cut = false;
    match = t.Longest(window.chars.data(), window.count, t.segmentation, &cut);
    if (!cut || window.closed) break;
    if (window.blocked || window.count == DirectWindow::kMax) return 0;
    window.Extend(t, plan, p, n, std::min(want, DirectWindow::kMax));
  }
  if (match.length == 0) {
    const FastChar c = plan[window.chars[0]];
    if ((c.tag & 3) == 0) return RunCharacter(t, plan, window, w, sink);
    sink.Put(c);
    return window.lengths[0];
  }
  const Value& value = *match.value;
  w.Use(t, value);
  sink.Append(t.utf8_pool.data() + value.chained, value.chained_length);
  std::size_t bytes = 0;
  for (std::size_t k = 0; k < match.length; ++k) bytes += window.lengths[k];
  return bytes;
}

// The character `a` at `i`, which has a RunChar: RunCharacter's work from the plan, when the
// character after it is plain and what the first step makes of it begins with a character the
// plan knows. Returns the bytes read; 0 to leave it to DirectSegment.
std::size_t RunAlone(const PhraseTables& t, const FastPlan& plan, const unsigned char* p,
                     std::size_t n, std::size_t i, ShortChar a, const RunChar& run, Sink& sink) {
  if (const std::size_t j = i + a.length; run.longer && !NoKeyGoesOn(t, p, n, j)) {
    const ShortChar b = ShortCharAt(p, j, n);
    if (b.length == 0 || !(plan[b.cp].tag & FastChar::kPlain)) return 0;
    const char16_t next = plan.Made(b.cp);
    if (next == FastPlan::kUnknownMade || t.PairMayStart(run.made, next)) return 0;
  }
  std::uint64_t word = 0;
  std::memcpy(&word, &run, sizeof word);
  sink.PutWord(word, run.length);
  return a.length;
}

// Where the plan cannot say at once what the character `a`, at `i`, becomes: RunAlone where it
// has a RunChar and no phrase of the segmentation starts there, else DirectSegment. Apart from
// RunFast's loop, which most characters leave after one lookup.
[[gnu::noinline]] std::size_t TakeSegment(const PhraseTables& t, const FastPlan& plan,
                                          const unsigned char* p, std::size_t n, std::size_t i,
                                          ShortChar a, FastChar c, Workspace& w, Sink& sink) {
  if (const RunChar* run = plan.Run(c);
      run != nullptr && (!(c.tag & FastChar::kCheckPair) || !PairMayFollow(t, plan, p, n, i, a)))
    if (const std::size_t length = RunAlone(t, plan, p, n, i, a, *run, sink); length != 0)
      return length;
  return DirectSegment(t, plan, p, n, i, w, sink);
}

}  // namespace

// The characters that take one lookup are written a block at a time into room made for it.
constexpr std::size_t kRoomBlock = 4096;

PhraseMatcher::Stop RunFast(const PhraseTables& t, const FastPlan& plan, std::string_view text,
                            std::string& out) {
  Workspace w;
  w.watched = plan.watched();
  std::string scratch;
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  Sink sink(out, n + n / 8);
  std::size_t i = 0;
  while (i < n) {
    // Room for what the block's characters that take one lookup write: at most three bytes kept
    // for each byte read, and a word past them. A phrase may write more, so room is made again
    // after one.
    const std::size_t block_end = std::min(n, i + kRoomBlock);
    sink.Room(3 * (block_end - i) + 16);
    while (i < block_end) {
      if (plan.Copies(p[i])) {
        i = CopyAscii(plan, p, block_end, i, sink);
        continue;
      }
      const ShortChar a = ShortCharAt(p, i, n);
      if (a.length == 0) break;
      const FastChar c = plan[a.cp];
      if ((c.tag & 3) == 0 ||
          ((c.tag & FastChar::kCheckPair) && PairMayFollow(t, plan, p, n, i, a)))
        break;
      sink.PutInRoom(c);
      i += a.length;
    }
    if (i >= block_end) continue;
    // The character the loop stopped at, read again here rather than kept across the loop, whose
    // registers matter more.
    if (const ShortChar a = ShortCharAt(p, i, n); a.length != 0 && t.chained) {
      if (const std::size_t length = TakeSegment(t, plan, p, n, i, a, plan[a.cp], w, sink);
          length != 0) {
        i += length;
        continue;
      }
    }
    const std::size_t end = SlowSegment(t, plan, text, i, w, scratch);
    if (end == i) return {i, w.wrote_watched};
    sink.Append(scratch.data(), scratch.size());
    i = end;
  }
  return {n, w.wrote_watched};
}

}  // namespace tessaly::detail
