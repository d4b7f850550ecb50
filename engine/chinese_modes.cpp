#include "engine/chinese_modes.h"

#include <unicode/utf8.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "engine/char_codec.h"
#include "engine/code_page_table.h"
#include "engine/detail/chinese_routines.h"
#include "engine/errors.h"

namespace tessaly {
namespace {

constexpr std::string_view RoutineName(detail::RecodingRoutine routine) {
  return routine == detail::RecodingRoutine::GbkToBig5 ? "GBK2BIG5" : "BIG52GBK";
}

// Runs a routine's conversion steps. An engine error inside them is a fault of the routine, and
// the text comes back as it was given. Anything else, std::bad_alloc first,
// goes on to the front end: an input passed off as its conversion would hide it.
template <typename Steps>
AnsiText Guarded(std::string_view text, std::string_view routine, FaultLog& faults, Steps steps) {
  if (text.empty()) return {};
  try {
    return steps(text);
  } catch (const Error& error) {
    faults.Add(routine, error);
  }
  return AnsiText(text);
}

// Counts the characters of `text` that the target lacks, `lost` in all; only while none was seen
// yet does it walk the text for where the first one is.
void NoteLost(const CodePageRecoder& recoder, std::string_view text, std::size_t offset,
              std::size_t lost, LossReport* losses) {
  if (lost == 0 || losses == nullptr) return;
  if ((*losses)[LossKind::Unmappable].count != 0) {
    losses->Add(LossKind::Unmappable, offset + text.size(), {}, lost);
    return;
  }
  for (std::size_t pos = 0; pos < text.size();) {
    const CodePageRecoder::Code& code = recoder.At(text, pos);
    if (code.lost) {
      losses->Add(LossKind::Unmappable, offset + pos, text.substr(pos, code.length()), lost);
      return;
    }
    pos += code.length();
  }
}

// Appends the re-encoded characters of `text` and returns how many of its bytes were used: all,
// or all but a last byte that may start a two-byte character when `more` text follows. Losses
// count from `offset`, where `text` starts in the whole text.
std::size_t AppendRecoded(const CodePageRecoder& recoder, std::string_view text, bool more,
                          AnsiText& out, std::size_t offset = 0, LossReport* losses = nullptr) {
  // A character comes out in at most two bytes, so a text may grow (the euro sign, 0x80 in GBK,
  // is A3 E1 in BIG5): each block of input gets room for the worst case.
  constexpr std::size_t kBlock = 64 * 1024;
  out.reserve(out.size() + text.size() + text.size() / 8 + 2 * kBlock);
  std::size_t pos = 0;
  while (pos + 1 < text.size()) {
    const std::string_view block = text.substr(pos, kBlock + 1);
    const std::size_t written = out.size();
    out.resize(written + 2 * block.size());
    const CodePageRecoder::Progress progress =
        recoder.RecodeAllButLast(block, out.data() + written);
    out.resize(written + progress.written);
    NoteLost(recoder, block.substr(0, progress.used), offset + pos, progress.lost, losses);
    pos += progress.used;
  }
  if (pos + 1 == text.size() && !(more && recoder.MayStartPair(text.back()))) {
    const CodePageRecoder::Code& code = recoder.At(text, pos);
    out.append(code.view());
    NoteLost(recoder, text.substr(pos), offset + pos, code.lost ? 1 : 0, losses);
    ++pos;
  }
  return pos;
}

AnsiText Recode(std::string_view text, const CodePage& source, const CodePage& target,
                LossReport* losses) {
  AnsiText out;
  AppendRecoded(*CodePageRecoder::For(source, target), text, false, out, 0, losses);
  return out;
}

void AppendUtf8(std::string& out, char32_t code_point) {
  char bytes[U8_MAX_LENGTH];
  std::int32_t length = 0;
  U8_APPEND_UNSAFE(bytes, length, code_point);
  out.append(bytes, static_cast<std::size_t>(length));
}

std::string GbkToUtf8(std::string_view text, const CharCodec& gbk) {
  std::string utf8;
  utf8.reserve(text.size() * 3 / 2 + U8_MAX_LENGTH);
  for (std::size_t pos = 0; pos < text.size();) {
    const CharCodec::Char source_char = gbk.CharAt(text, pos);
    AppendUtf8(utf8, source_char.code_point);
    pos += source_char.length;
  }
  return utf8;
}

// Puts the mapped pieces back into GBK, walking the source text alongside them, so that every
// character whose new form GBK cannot hold keeps its source bytes.
class GbkJoiner {
 public:
  GbkJoiner(std::string_view source, const CharCodec& codec)
      : source_(source), decoder_(codec), encoder_(codec) {
    out_.reserve(source.size());
  }

  // Walks the piece's source characters and its mapped ones side by side, with no copy of either,
  // since a piece may be a whole text without a phrase in it.
  void Add(std::size_t source_utf8_bytes, std::string_view mapped) {
    const std::size_t start = pos_;
    const std::size_t written = out_.size();
    const auto* mapped_bytes = reinterpret_cast<const std::uint8_t*>(mapped.data());
    const auto mapped_length = static_cast<std::int32_t>(mapped.size());
    std::int32_t next = 0;
    bool aligned = true;
    std::size_t covered = 0;
    while (covered < source_utf8_bytes) {
      if (pos_ >= source_.size()) throw MappingMismatch("a mapped piece reaches past the text");
      const CharCodec::Char decoded = decoder_.CharAt(source_, pos_);
      covered += U8_LENGTH(decoded.code_point);
      aligned = aligned && next < mapped_length;
      if (aligned) AppendChar(pos_, decoded, NextMapped(mapped_bytes, next, mapped_length));
      pos_ += decoded.length;
    }
    if (covered != source_utf8_bytes)
      throw MappingMismatch("a mapped piece ends inside a character");
    if (aligned && next == mapped_length) return;
    out_.resize(written);
    AppendPhrase(source_.substr(start, pos_ - start), mapped);
  }

  AnsiText Finish() && {
    if (pos_ != source_.size()) throw MappingMismatch("the mapped pieces stop short of the text");
    return std::move(out_);
  }

 private:
  static char32_t NextMapped(const std::uint8_t* bytes, std::int32_t& pos, std::int32_t length) {
    UChar32 code_point = 0;
    U8_NEXT(bytes, pos, length, code_point);
    return code_point < 0 ? U'\uFFFD' : static_cast<char32_t>(code_point);
  }

  void AppendChar(std::size_t pos, const CharCodec::Char& source_char, char32_t mapped) {
    const std::string_view original = source_.substr(pos, source_char.length);
    if (mapped == source_char.code_point) {
      out_.append(original);
      return;
    }
    const EncodedChar bytes = encoder_.Encode(mapped);
    out_.append(bytes.held ? bytes.view() : original);
  }

  // A phrase whose character count changed has no character-by-character match: it goes in whole
  // when GBK holds every one of its characters, and the source phrase stays otherwise.
  void AppendPhrase(std::string_view original, std::string_view mapped) {
    const std::size_t written = out_.size();
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(mapped.data());
    const auto length = static_cast<std::int32_t>(mapped.size());
    for (std::int32_t next = 0; next < length;) {
      const EncodedChar encoded = encoder_.Encode(NextMapped(bytes, next, length));
      if (!encoded.held) {
        out_.resize(written);
        out_.append(original);
        return;
      }
      out_.append(encoded.view());
    }
  }

  std::string_view source_;
  const CharCodec& decoder_;
  const CharCodec& encoder_;
  std::size_t pos_ = 0;
  AnsiText out_;
};

AnsiText MapRun(std::string_view text, const ChineseMapper& mapper, const CharCodec& codec) {
  GbkJoiner joiner(text, codec);
  mapper.Map(GbkToUtf8(text, codec), [&joiner](std::size_t source_bytes, std::string_view mapped) {
    joiner.Add(source_bytes, mapped);
  });
  return std::move(joiner).Finish();
}

// A zero byte is a character no phrase holds, and mappers read C strings: the runs between zero
// bytes are mapped apart and the zero bytes kept.
AnsiText MapChinese(std::string_view text, const ChineseMapper& mapper, const CharCodec& codec) {
  AnsiText out;
  for (;;) {
    const std::size_t zero = text.find('\0');
    out += MapRun(text.substr(0, zero), mapper, codec);
    if (zero == std::string_view::npos) return out;
    out += '\0';
    text.remove_prefix(zero + 1);
  }
}

// The working encoding's codec, or the tables of a code page a test hands in.
std::shared_ptr<const CharCodec> CodecOf(const CodePage& code_page, Encoding encoding) {
  if (&code_page == &CodePageOf(encoding)) return CharCodec::For(encoding);
  return CharCodec::ForDoubleByte(code_page);
}

// Losses are told only when the conversion went through: after a fault the text is as given.
AnsiText RecodeGuarded(std::string_view text, detail::RecodingRoutine routine, FaultLog& faults,
                       const CodePage& source, const CodePage& target, LossReport* losses) {
  LossReport found;
  AnsiText out = Guarded(text, RoutineName(routine), faults, [&](std::string_view bytes) {
    found = {};
    return Recode(bytes, source, target, &found);
  });
  if (losses != nullptr) losses->Merge(found);
  return out;
}

}  // namespace

namespace detail {

AnsiText SimplifiedToTraditionalWith(std::string_view text, FaultLog& faults,
                                     const ChineseMapper& mapper, const CodePage& gbk,
                                     Encoding encoding) {
  return Guarded(text, "GB2GBK", faults, [&](std::string_view source) {
    return MapChinese(source, mapper, *CodecOf(gbk, encoding));
  });
}

AnsiText TraditionalToSimplifiedWith(std::string_view text, FaultLog& faults,
                                     const ChineseMapper& mapper, const CodePage& gbk,
                                     Encoding encoding) {
  return Guarded(text, "GBK2GB", faults, [&](std::string_view source) {
    return MapChinese(source, mapper, *CodecOf(gbk, encoding));
  });
}

AnsiText GbkToBig5With(std::string_view text, FaultLog& faults, const CodePage& gbk,
                       const CodePage& big5, LossReport* losses) {
  return RecodeGuarded(text, RecodingRoutine::GbkToBig5, faults, gbk, big5, losses);
}

AnsiText Big5ToGbkWith(std::string_view text, FaultLog& faults, const CodePage& big5,
                       const CodePage& gbk, LossReport* losses) {
  return RecodeGuarded(text, RecodingRoutine::Big5ToGbk, faults, big5, gbk, losses);
}

AnsiText ConvertChineseWith(std::string_view text, FaultLog& faults, std::string_view routine,
                            const ChineseMapper& mapper, Encoding encoding) {
  return Guarded(text, routine, faults, [&](std::string_view source) {
    return MapChinese(source, mapper, *CharCodec::For(encoding));
  });
}

ChunkedRecoding::ChunkedRecoding(RecodingRoutine routine, FaultLog& faults)
    : ChunkedRecoding(routine, faults,
                      routine == RecodingRoutine::GbkToBig5 ? GbkCodePage() : Big5CodePage(),
                      routine == RecodingRoutine::GbkToBig5 ? Big5CodePage() : GbkCodePage()) {}

ChunkedRecoding::ChunkedRecoding(RecodingRoutine routine, FaultLog& faults, const CodePage& source,
                                 const CodePage& target)
    : routine_(RoutineName(routine)), faults_(faults) {
  try {
    recoder_ = CodePageRecoder::For(source, target);
  } catch (const Error& error) {
    faults_.Add(routine_, error);
  }
}

ChunkedRecoding::~ChunkedRecoding() = default;

void ChunkedRecoding::Convert(std::string_view chunk, AnsiText& out) {
  if (!chunk.empty()) Recode(chunk, true, out);
}

void ChunkedRecoding::Finish(AnsiText& out) {
  if (pending_) Recode({}, false, out);
}

void ChunkedRecoding::Recode(std::string_view chunk, bool more, AnsiText& out) {
  if (recoder_) {
    const std::size_t before = out.size();
    try {
      RecodeWithPending(chunk, more, out);
      return;
    } catch (const Error& error) {
      out.resize(before);
      recoder_.reset();
      losses_ = {};
      faults_.Add(routine_, error);
    }
  }
  if (pending_) out.push_back(pending_byte_);
  pending_ = false;
  out.append(chunk);
}

void ChunkedRecoding::RecodeWithPending(std::string_view chunk, bool more, AnsiText& out) {
  std::size_t used = 0;
  if (pending_) {
    const char lead_and_next[] = {pending_byte_, chunk.empty() ? '\0' : chunk.front()};
    const std::string_view pair(lead_and_next, chunk.empty() ? 1u : 2u);
    const CodePageRecoder::Code& code = recoder_->At(pair, 0);
    out.append(code.view());
    NoteLost(*recoder_, pair.substr(0, code.length()), offset_ - 1, code.lost ? 1 : 0, &losses_);
    used = code.length() - 1;
  }
  used += AppendRecoded(*recoder_, chunk.substr(used), more, out, offset_ + used, &losses_);
  pending_ = used < chunk.size();
  if (pending_) pending_byte_ = chunk[used];
  offset_ += chunk.size();
}

}  // namespace detail

AnsiText GbkToBig5(std::string_view input, FaultLog& faults, LossReport* losses) {
  return detail::GbkToBig5With(input, faults, GbkCodePage(), Big5CodePage(), losses);
}

AnsiText Big5ToGbk(std::string_view input, FaultLog& faults, LossReport* losses) {
  return detail::Big5ToGbkWith(input, faults, Big5CodePage(), GbkCodePage(), losses);
}

std::unique_ptr<ModeStream> GbkToBig5Stream(FaultLog& faults) {
  return std::make_unique<detail::ChunkedRecoding>(detail::RecodingRoutine::GbkToBig5, faults);
}

std::unique_ptr<ModeStream> Big5ToGbkStream(FaultLog& faults) {
  return std::make_unique<detail::ChunkedRecoding>(detail::RecodingRoutine::Big5ToGbk, faults);
}

}  // namespace tessaly
