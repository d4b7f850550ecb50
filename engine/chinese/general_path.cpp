#include "engine/chinese/general_path.h"

#include "engine/chinese/ids.h"
#include "engine/errors.h"

#include <algorithm>
#include <stdexcept>

// OpenCC's converter builds a string for every segment and looks every position up in a
// general-purpose byte trie; here the text is decoded once into code points, and runs of ASCII,
// when no key holds any, are copied as they are.
namespace tessaly::detail {
namespace {

void AppendChar(std::string& out, char32_t cp, const Workspace& w) {
  if (cp >= kRawBase) {
    out.append(w.raw[cp - kRawBase]);
  } else {
    AppendUtf8(out, cp);
  }
}

// One step of the chain; the input itself when nothing in it matches, which is the common case
// for the small dictionaries late in a chain.
Span StepToChars(const PhraseTables& t, Span in, const Group& group, std::vector<char32_t>& out,
                 Workspace& w) {
  std::size_t i = 0;
  Match match;
  while (i < in.size && (match = t.Longest(in.data + i, in.size - i, group)).length == 0) ++i;
  if (i == in.size) return in;
  out.assign(in.data, in.data + i);
  while (true) {
    w.Use(t, *match.value);
    const char32_t* value = t.cp_pool.data() + match.value->cps;
    out.insert(out.end(), value, value + match.value->cp_length);
    i += match.length;
    for (; i < in.size; ++i) {
      match = t.Longest(in.data + i, in.size - i, group);
      if (match.length != 0) break;
      out.push_back(in.data[i]);
    }
    if (i == in.size) return {out.data(), out.size()};
  }
}

// The step that writes UTF-8, with the folded last step when there is one. When `in` is the
// text as read, `source` is where its bytes start, and characters that pass unchanged are
// copied from there a run at a time rather than written again one by one.
void StepToUtf8(const PhraseTables& t, Span in, const Group& group, bool fold, Workspace& w,
                std::string& out, const char* source) {
  const char* unchanged = nullptr;  // the start of a run of such characters
  const auto flush = [&] {
    if (unchanged == nullptr) return;
    out.append(unchanged, static_cast<std::size_t>(source - unchanged));
    unchanged = nullptr;
  };
  for (std::size_t i = 0; i < in.size;) {
    const Match match = t.Longest(in.data + i, in.size - i, group);
    if (match.length != 0) {
      flush();
      w.Use(t, *match.value);
      if (fold) {
        out.append(t.utf8_pool, match.value->folded, match.value->folded_length);
      } else {
        out.append(t.utf8_pool, match.value->utf8, match.value->utf8_length);
      }
      if (source != nullptr) source += SourceLength(in.data + i, match.length, w);
      i += match.length;
      continue;
    }
    const Match single = fold ? t.Longest(in.data + i, 1, t.steps.back()) : Match{};
    if (single.length != 0) {
      flush();
      w.Use(t, *single.value);
      out.append(t.utf8_pool, single.value->utf8, single.value->utf8_length);
    } else if (source != nullptr) {
      if (unchanged == nullptr) unchanged = source;
    } else {
      AppendChar(out, in.data[i], w);
    }
    if (source != nullptr) source += SourceLength(in.data + i, 1, w);
    ++i;
  }
  flush();
}

}  // namespace

// Each step's output is the next one's input.
void ConvertSegment(const PhraseTables& t, Span segment, const Value* key_value, Workspace& w,
                    std::string& out, const char* source) {
  // The step that writes UTF-8.
  const std::size_t last = t.steps.size() - (t.fold_last ? 2 : 1);
  std::size_t first = 0;
  if (key_value != nullptr && t.first_step_repeats_seg) {
    w.Use(t, *key_value);
    if (last == 0) {
      if (t.fold_last) {
        out.append(t.utf8_pool, key_value->folded, key_value->folded_length);
      } else {
        out.append(t.utf8_pool, key_value->utf8, key_value->utf8_length);
      }
      return;
    }
    if (t.chained) {
      out.append(t.utf8_pool, key_value->chained, key_value->chained_length);
      return;
    }
    segment = {t.cp_pool.data() + key_value->cps, key_value->cp_length};
    source = nullptr;
    first = 1;
  }
  if (t.steps.empty()) {
    for (std::size_t i = 0; i < segment.size; ++i) AppendChar(out, segment.data[i], w);
    return;
  }
  auto group = [&](std::size_t k) -> const Group& {
    return k == 0 && key_value == nullptr ? t.first_step_unmatched : t.steps[k];
  };
  std::size_t free = 0;  // the buffer that does not hold `segment`
  for (std::size_t k = first; k < last; ++k) {
    const Span next = StepToChars(t, segment, group(k), w.steps[free], w);
    if (next.data != segment.data) {
      segment = next;
      source = nullptr;
      free ^= 1;
    }
  }
  StepToUtf8(t, segment, group(last), t.fold_last, w, out, source);
}

namespace {

// Decodes from `pos` up to the next ASCII character when ASCII is inert, or to the end; returns
// where it stopped.
std::size_t Decode(const PhraseTables& t, std::string_view text, std::size_t pos, Workspace& w) {
  ClearText(w);
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  while (pos < text.size()) {
    const unsigned char lead = p[pos];
    if (lead < 0x80) {
      if (t.ascii_inert) break;
      PushChar(t, lead, 1, w);
      ++pos;
      continue;
    }
    // A sequence that passes as one unit is no part of the run; the caller copies it.
    if (t.ids_units && !w.text.empty() && CompleteIdsAt(p, pos, text.size()) != 0) break;
    const std::size_t length = kOpenCcLeadLength[lead];
    if (length == 0) throw MalformedText("invalid UTF-8: no character starts with this byte");
    char32_t cp = 0;
    if (pos + length <= text.size() && DecodeOpenCcChar(p + pos, length, cp)) {
      PushChar(t, cp, length, w);
      pos += length;
    } else {
      const std::size_t taken = std::min(length, text.size() - pos);
      cp = kRawBase + static_cast<char32_t>(w.raw.size());
      w.raw.push_back(text.substr(pos, taken));
      PushChar(t, cp, taken, w);
      pos += taken;
    }
  }
  return pos;
}

// Where a run of unmatched characters from `from` may end for `out`: at `end`, or, for an `out`
// that wants runs apart (PieceOut), where characters no key holds give way to ones some key
// holds or the other way round. No phrase reaches over a character no key holds, so the run
// converts the same either way.
template <typename Out>
std::size_t UnmatchedEnd(const Out& out, const char32_t* s, std::size_t from, std::size_t end) {
  if constexpr (Out::kSplitsRuns) {
    const bool free = out.Free(s[from]);
    std::size_t i = from + 1;
    while (i < end && out.Free(s[i]) == free) ++i;
    return i;
  } else {
    return end;
  }
}

template <typename Out>
void ConvertRun(const PhraseTables& t, Workspace& w, const char* source, Out& out) {
  const char32_t* s = w.text.data();
  const std::size_t n = w.text.size();
  std::size_t unmatched = 0;
  const char* unmatched_source = source;
  auto flush_unmatched = [&](std::size_t end) {
    for (std::size_t from = unmatched; from < end;) {
      const std::size_t to = UnmatchedEnd(out, s, from, end);
      const Span span{s + from, to - from};
      const char* const start = unmatched_source;
      unmatched_source += SourceLength(span.data, span.size, w);
      const char* const copy_from = w.normalized ? nullptr : start;
      out.Unmatched(
          static_cast<std::size_t>(unmatched_source - start), span,
          [&](std::string& into) { ConvertSegment(t, span, nullptr, w, into, copy_from); });
      from = to;
    }
  };
  for (std::size_t i = 0; i < n;) {
    const Match match = t.Longest(s + i, n - i, t.segmentation);
    if (match.length == 0) {
      source += SourceLength(s + i, 1, w);
      ++i;
      continue;
    }
    flush_unmatched(i);
    const Span span{s + i, match.length};
    const char* const start = source;
    source += SourceLength(span.data, span.size, w);
    const char* const copy_from = w.normalized ? nullptr : start;
    out.Matched(static_cast<std::size_t>(source - start), [&](std::string& into) {
      ConvertSegment(t, span, match.value, w, into, copy_from);
    });
    i += match.length;
    unmatched = i;
    unmatched_source = source;
  }
  flush_unmatched(n);
}

// Returns whether a watched value was written at some step.
template <typename Out>
bool Run(const PhraseTables& t, std::string_view text, Out& out,
         const std::vector<std::uint8_t>* watched = nullptr) {
  Workspace w;
  w.watched = watched;
  for (std::size_t pos = 0; pos < text.size();) {
    if (t.ascii_inert && static_cast<unsigned char>(text[pos]) < 0x80) {
      const std::size_t end = AsciiEnd(text, pos);
      out.Inert(text.substr(pos, end - pos));
      pos = end;
      continue;
    }
    if (t.ids_units) {
      const auto* p = reinterpret_cast<const unsigned char*>(text.data());
      if (const std::size_t length = CompleteIdsAt(p, pos, text.size()); length != 0) {
        out.Verbatim(text.substr(pos, length));
        pos += length;
        continue;
      }
    }
    const char* const source = text.data() + pos;
    pos = Decode(t, text, pos, w);
    ConvertRun(t, w, source, out);
  }
  return w.wrote_watched;
}

class TextOut {
 public:
  static constexpr bool kSplitsRuns = false;
  explicit TextOut(std::string& out) : out_(out) {}
  void Inert(std::string_view bytes) { out_.append(bytes); }
  void Verbatim(std::string_view bytes) { out_.append(bytes); }
  template <typename Fill>
  void Unmatched(std::size_t, Span, Fill&& fill) {
    fill(out_);
  }
  template <typename Fill>
  void Matched(std::size_t, Fill&& fill) {
    fill(out_);
  }
  bool Free(char32_t) const { return false; }

 private:
  std::string& out_;
};

// Unmatched characters, inert ones included, gather into one piece until a phrase comes, as they
// gather into one segment in OpenCC; except that characters no key holds and characters some key
// holds go into pieces apart. The caller puts a piece back into its encoding whole where its
// characters' count changed, keeping all of its source when one character cannot be put back:
// a piece that mixed the two would make the result of some characters depend on others no phrase
// joins them to, and a text cut before a character no key holds convert otherwise than the whole.
// A piece of characters no key holds is itself, character for character.
class PieceOut {
 public:
  static constexpr bool kSplitsRuns = true;
  PieceOut(const MappedPieceSink& sink, const CharacterStops& in_keys)
      : sink_(sink), in_keys_(in_keys) {}
  void Inert(std::string_view bytes) {
    Take(Kind::Free);
    pending_bytes_ += bytes.size();
    pending_.append(bytes);
  }
  template <typename Fill>
  void Unmatched(std::size_t source_bytes, Span span, Fill&& fill) {
    Take(Free(span.data[0]) ? Kind::Free : Kind::Held);
    pending_bytes_ += source_bytes;
    fill(pending_);
  }
  // A description sequence, which passes unchanged, is a piece of its own.
  void Verbatim(std::string_view bytes) {
    Flush();
    sink_(bytes.size(), std::string(bytes));
  }
  template <typename Fill>
  void Matched(std::size_t source_bytes, Fill&& fill) {
    Flush();
    phrase_.clear();
    fill(phrase_);
    sink_(source_bytes, phrase_);
  }
  void Flush() {
    kind_ = Kind::None;
    if (pending_bytes_ == 0) return;
    sink_(pending_bytes_, pending_);
    pending_bytes_ = 0;
    pending_.clear();
  }
  // Characters read from bytes that are not UTF-8 (kRawBase on) count as held.
  bool Free(char32_t c) const { return c < 0x10000 && !in_keys_.Stops(c); }

 private:
  enum class Kind { None, Free, Held };

  // The pending piece goes first when it is of the other kind.
  void Take(Kind kind) {
    if (kind_ != kind && kind_ != Kind::None) Flush();
    kind_ = kind;
  }

  const MappedPieceSink& sink_;
  const CharacterStops& in_keys_;
  std::size_t pending_bytes_ = 0;
  std::string pending_;
  std::string phrase_;
  Kind kind_ = Kind::None;  // of what the pending piece holds
};

}  // namespace

std::size_t ConvertRunAt(const PhraseTables& t, std::string_view text, std::size_t pos,
                         Workspace& w, std::string& out) {
  TextOut text_out(out);
  if (t.ids_units) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    if (const std::size_t length = CompleteIdsAt(p, pos, text.size()); length != 0) {
      out.append(text.substr(pos, length));
      return pos + length;
    }
  }
  const char* const source = text.data() + pos;
  const std::size_t end = Decode(t, text, pos, w);
  ConvertRun(t, w, source, text_out);
  return end;
}

bool ConvertText(const PhraseTables& t, std::string_view text, std::string& out,
                 const std::vector<std::uint8_t>* watched) {
  TextOut text_out(out);
  return Run(t, text, text_out, watched);
}

void ConvertPieces(const PhraseTables& t, std::string_view text, const MappedPieceSink& sink,
                   const CharacterStops& in_keys) {
  PieceOut out(sink, in_keys);
  Run(t, text, out);
  out.Flush();
}

}  // namespace tessaly::detail
