#include "engine/chinese/chinese_text.h"

#include "engine/chinese/ids.h"

#include <unicode/utf8.h>

#include <array>
#include <cstring>
#include <mutex>
#include <vector>

#include "engine/char_codec.h"
#include "engine/chinese/chinese_mapping.h"
#include "engine/chinese/phrase_matcher.h"
#include "engine/detail/chinese_routines.h"
#include "engine/detail/utf8.h"
#include "engine/errors.h"
#include "engine/text_boundary.h"

namespace tessaly {

/// Which characters an encoding holds: a bit per BMP character, the codec for the rest.
class HeldCharacters {
 public:
  explicit HeldCharacters(Encoding encoding) : codec_(CharCodec::For(encoding)) {
    for (char32_t c = 0; c < 0x10000; ++c)
      if (codec_->Encode(c).held) bmp_[c >> 6] |= std::uint64_t{1} << (c & 63);
  }

  bool HoldsBmp(char32_t c) const { return (bmp_[c >> 6] >> (c & 63)) & 1; }
  bool Holds(char32_t c) const { return c < 0x10000 ? HoldsBmp(c) : codec_->Encode(c).held; }

  /// The first character from `pos` that the encoding lacks or that is not UTF-8; npos if none.
  /// Every byte of the input passes here once.
  std::size_t FirstStop(std::string_view utf8, std::size_t pos = 0) const {
    return detail::FindUtf8Stop(utf8, pos, [this](char32_t c) { return Holds(c); });
  }

  static std::shared_ptr<const HeldCharacters> For(Encoding encoding) {
    // GB18030 and UTF-8 hold every character.
    if (encoding == Encoding::Gb18030 || encoding == Encoding::Utf8) return nullptr;
    static std::mutex mutex;
    static std::array<std::shared_ptr<const HeldCharacters>, kEncodingCount> sets;
    const std::lock_guard lock(mutex);
    auto& set = sets[static_cast<std::size_t>(encoding)];
    if (!set) set = std::make_shared<const HeldCharacters>(encoding);
    return set;
  }

 private:
  std::shared_ptr<const CharCodec> codec_;
  std::array<std::uint64_t, 0x10000 / 64> bmp_{};
};

// A double-byte encoding's characters to and from UTF-8, one look-up each, for --raw text that
// goes through the matcher: what the codec says character by character, laid out ahead.
class RawTranscoder {
 public:
  explicit RawTranscoder(const CharCodec& codec) {
    for (std::size_t code = 0; code < 0x10000; ++code) {
      const char bytes[] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
      pairs_[code] = Read(codec, std::string_view(bytes, 2));
    }
    for (std::size_t byte = 0; byte < 256; ++byte) {
      const char single = static_cast<char>(byte);
      singles_[byte] = Read(codec, std::string_view(&single, 1));
    }
    for (char32_t c = 0; c < 0x10000; ++c) {
      const EncodedChar encoded = codec.Encode(c);
      if (!encoded.held || encoded.size > 2) continue;
      bmp_[c] = {{encoded.bytes[0], encoded.bytes[1]}, encoded.size};
    }
    for (std::size_t code = 0; code < 0x10000; ++code)
      if (pairs_[code].source == 2) is_lead_[code >> 8] = true;
    // Shift_JIS's ICU table swaps three control codes, so ASCII is not always itself.
    for (std::size_t c = 0; c < 0x80; ++c)
      ascii_is_itself_ = ascii_is_itself_ && bmp_[c].size == 1 &&
                         bmp_[c].bytes[0] == static_cast<char>(c) && singles_[c].size == 1 &&
                         singles_[c].utf8[0] == static_cast<char>(c);
  }

  /// The text as UTF-8, when every character reads and writes back as its own bytes.
  bool Decode(std::string_view bytes, std::string& utf8) const {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    // A pair or a single byte is at most three bytes of UTF-8 (GBK's 0x80 is the euro sign,
    // Shift_JIS's single bytes are half-width katakana), and each copy writes four.
    utf8.resize(n * 3 + 4);
    char* out = utf8.data();
    // The step is a predicted branch with constant lengths, so the walk runs ahead of the
    // look-ups instead of waiting for each.
    for (std::size_t pos = 0; pos < n;) {
      const Decoded* c = nullptr;
      if (pos + 1 < n && pairs_[std::size_t{p[pos]} << 8 | p[pos + 1]].source == 2) [[likely]] {
        c = &pairs_[std::size_t{p[pos]} << 8 | p[pos + 1]];
        pos += 2;
      } else {
        c = &singles_[p[pos]];
        if (c->source == 0) return false;
        pos += 1;
      }
      std::memcpy(out, c->utf8.data(), 4);  // four always, of which `size` count
      out += c->size;
    }
    utf8.resize(static_cast<std::size_t>(out - utf8.data()));
    return true;
  }

  /// The characters of `bytes` from `pos` as UTF-8, up to the first that does not read back as
  /// its own bytes (or a pair cut off by the end); `source[k]` is where the character written
  /// at `utf8[k]` starts in `bytes`, and `source[utf8.size()]` where the decoding stopped.
  void DecodeMapped(std::string_view bytes, std::size_t pos, std::string& utf8,
                    std::vector<std::size_t>& source) const {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    for (; pos < bytes.size();) {
      const bool pair =
          pos + 1 < bytes.size() && pairs_[std::size_t{p[pos]} << 8 | p[pos + 1]].source == 2;
      const Decoded& c = pair ? pairs_[std::size_t{p[pos]} << 8 | p[pos + 1]] : singles_[p[pos]];
      if (c.source == 0 || (!pair && pos + 1 == bytes.size() && is_lead_[p[pos]])) break;
      utf8.append(c.utf8.data(), c.size);
      source.insert(source.end(), c.size, pos);
      pos += c.source;
    }
    source.push_back(pos);
  }

  /// Appends the matcher's UTF-8 in the encoding; false, having appended nothing, at a
  /// character the encoding lacks.
  bool Encode(std::string_view utf8, std::string& out) const {
    const std::size_t start = out.size();
    out.resize(start + utf8.size() + 2);  // no character takes more bytes here than in UTF-8
    char* dest = out.data() + start;
    const auto* p = reinterpret_cast<const std::uint8_t*>(utf8.data());
    for (std::size_t pos = 0; pos < utf8.size();) {
      if (p[pos] < 0x80 && ascii_is_itself_) {
        *dest++ = static_cast<char>(p[pos++]);
        continue;
      }
      UChar32 c = 0;
      U8_NEXT_UNSAFE(p, pos, c);  // the matcher writes well-formed UTF-8
      const Encoded* e = c < 0x10000 ? &bmp_[static_cast<std::size_t>(c)] : nullptr;
      if (e == nullptr || e->size == 0) {
        out.resize(start);
        return false;
      }
      std::memcpy(dest, e->bytes.data(), 2);
      dest += e->size;
    }
    out.resize(static_cast<std::size_t>(dest - out.data()));
    return true;
  }

 private:
  struct Decoded {
    std::array<char, 4> utf8{};
    std::uint8_t size = 0;
    std::uint8_t source = 0;  // bytes read; 0 where the character is not clean
  };
  struct Encoded {
    std::array<char, 2> bytes{};
    std::uint8_t size = 0;  // 0 where the encoding lacks the character
  };

  // `bytes` as one character that decodes and encodes back to them; none where it is not one.
  static Decoded Read(const CharCodec& codec, std::string_view bytes) {
    Decoded decoded;
    const CharCodec::Char c = codec.CharAt(bytes, 0);
    if (c.length != bytes.size() || c.code_point >= 0x10000) return decoded;
    const EncodedChar back = codec.Encode(c.code_point);
    if (!back.held || back.view() != bytes) return decoded;
    std::size_t size = 0;
    U8_APPEND_UNSAFE(decoded.utf8.data(), size, c.code_point);
    decoded.size = static_cast<std::uint8_t>(size);
    decoded.source = static_cast<std::uint8_t>(bytes.size());
    return decoded;
  }

  std::vector<Decoded> pairs_ = std::vector<Decoded>(0x10000);
  std::array<Decoded, 256> singles_{};
  std::vector<Encoded> bmp_ = std::vector<Encoded>(0x10000);
  bool ascii_is_itself_ = true;      // every ASCII byte reads and writes as its own character
  std::array<bool, 256> is_lead_{};  // starts some pair
};

ChineseTextConversion::ChineseTextConversion(std::string_view config, std::string_view routine,
                                             Encoding encoding,
                                             std::shared_ptr<const UserPhrases> user,
                                             const std::filesystem::path& cache)
    : config_(config),
      routine_(routine),
      encoding_(encoding),
      cache_(cache),
      user_(std::move(user)) {
  try {
    held_ = HeldCharacters::For(encoding);
    codec_ = CharCodec::For(encoding);
    matcher_ = PhraseMatcher::Load(config_, user_, cache_);
    if (held_) {
      for (char32_t c = 0x80; c < 0x10000; ++c)
        if (!held_->HoldsBmp(c)) lacking_.Add(c);
      lacking_.beyond_bmp = true;  // the caller asks the codec
      // Beyond the BMP too many values may be flagged: the output is checked where one was written.
      lacking_values_ = matcher_->ValuesWith(lacking_);
    }
    plan_ = matcher_->PlanFor(lacking_, lacking_values_);
    const CharacterStops& in_keys = matcher_->KeyCharacters();
    for (char32_t c = 0; c < 0x10000; ++c)
      if (!in_keys.Stops(c) && (!held_ || held_->HoldsBmp(c))) cuts_.Add(c);
  } catch (const Error& error) {
    matcher_.reset();
    load_fault_.emplace();
    load_fault_->routine = routine_;
    load_fault_->kind = KindOf(error);
    load_fault_->detail = error.what();
  }
}

ChineseTextConversion::~ChineseTextConversion() = default;

std::optional<std::size_t> ChineseTextConversion::Convert(std::string_view utf8, std::size_t offset,
                                                          std::string& out, LossReport& losses,
                                                          FaultLog& faults) const {
  if (plan_) {
    const std::optional<bool> done = ConvertPlanned(utf8, offset, out, losses, faults);
    if (done == true) return std::nullopt;
    if (done == false)
      if (const auto invalid = FindInvalidUtf8(utf8)) return invalid;
  }
  std::string buffer;
  std::string_view text = utf8;
  if (!held_) {
    if (const auto invalid = FindInvalidUtf8(utf8)) return invalid;
  } else if (!Substitute(utf8, offset, buffer, losses, text)) {
    return FindInvalidUtf8(utf8);
  }
  ConvertHeld(text, out, faults);
  return std::nullopt;
}

void ChineseTextConversion::StopAtMalformed(std::string_view utf8, std::size_t offset,
                                            std::size_t malformed, std::string& out,
                                            LossReport& losses, FaultLog& faults) const {
  faults.Add(MalformedInputFault(routine_, offset + malformed));
  // Well-formed up to the first malformed byte, so it converts.
  (void)Convert(utf8.substr(0, malformed), offset, out, losses, faults);
}

bool ChineseTextConversion::ConvertPlain(std::string_view utf8, std::string& out) const {
  if (!plan_) return false;
  const std::size_t start = out.size();
  const PhraseMatcher::Stop stop = matcher_->ConvertUntilStop(utf8, out, *plan_);
  if (stop.at == utf8.size() && !stop.wrote_watched) return true;
  out.resize(start);
  return false;
}

// The fast path: the matcher stops at what is not UTF-8 and at characters the encoding lacks,
// which become "?" here; a "?" splits phrases just as a stop does. True when converted, false at
// a byte that is not UTF-8 (nothing converted), nothing where only the general path can tell.
std::optional<bool> ChineseTextConversion::ConvertPlanned(std::string_view utf8, std::size_t offset,
                                                          std::string& out, LossReport& losses,
                                                          FaultLog& faults) const {
  const std::size_t start = out.size();
  LossReport lost;
  bool wrote_watched = false;
  const auto* data = reinterpret_cast<const std::uint8_t*>(utf8.data());
  for (std::size_t pos = 0;;) {
    const PhraseMatcher::Stop stop = matcher_->ConvertUntilStop(utf8.substr(pos), out, *plan_);
    wrote_watched = wrote_watched || stop.wrote_watched;
    pos += stop.at;
    if (pos == utf8.size()) break;
    std::size_t next = pos;
    UChar32 c = 0;
    U8_NEXT(data, next, utf8.size(), c);
    if (c < 0 || !held_ || held_->Holds(static_cast<char32_t>(c))) {
      out.resize(start);
      if (c < 0) return false;
      return std::nullopt;  // a character beyond the BMP that the encoding holds
    }
    lost.Add(LossKind::Unmappable, offset + pos, utf8.substr(pos, next - pos));
    out += '?';
    pos = next;
  }
  // A converted character the encoding lacks keeps its source: only the exact path knows which.
  if (wrote_watched && held_->FirstStop(out, start) != std::string_view::npos) {
    out.resize(start);
    std::string buffer;
    std::string_view text = utf8;
    LossReport again;
    Substitute(utf8, offset, buffer, again, text);
    ConvertExactly(text, out, faults);
  }
  losses.Merge(lost);
  return true;
}

// Text whose every character the encoding holds.
void ChineseTextConversion::ConvertHeld(std::string_view text, std::string& out,
                                        FaultLog& faults) const {
  if (!matcher_) {
    out.append(text);
    return;
  }
  const std::size_t start = out.size();
  // Only a value with a character the encoding lacks can bring one in.
  const bool maybe_lacking = matcher_->ConvertTo(text, out, held_ ? &lacking_values_ : nullptr);
  // A converted character the encoding lacks keeps its source: only the exact path knows which.
  if (maybe_lacking && held_->FirstStop(out, start) != std::string_view::npos) {
    out.resize(start);
    ConvertExactly(text, out, faults);
  }
}

void ChineseTextConversion::ConvertBytes(std::string_view bytes, std::string& out,
                                         FaultLog& faults) const {
  if (!matcher_) {
    out += bytes;
    return;
  }
  if (!ConvertBytesOnMatcher(bytes, out)) out += ByMode(bytes, faults);
}

// The bytes as UTF-8 through the matcher and back; false, having appended nothing, where a
// character does not read back as its own bytes or a converted one is not held: only the mode
// knows what becomes of those.
bool ChineseTextConversion::ConvertBytesOnMatcher(std::string_view bytes, std::string& out) const {
  std::string utf8;
  if (const RawTranscoder* raw = Raw()) {
    if (!raw->Decode(bytes, utf8)) return false;
    std::string converted;
    matcher_->ConvertTo(utf8, converted);
    return raw->Encode(converted, out);
  }
  if (encoding_ == Encoding::Utf8) {  // the bytes are the text
    if (FindInvalidUtf8(bytes)) return false;
    matcher_->ConvertTo(bytes, out);
    return true;
  }
  if (!DecodesCleanly(bytes, utf8)) return false;
  const std::string converted = matcher_->Convert(utf8);
  const std::size_t start = out.size();
  out.reserve(start + bytes.size() + bytes.size() / 8);
  const auto* data = reinterpret_cast<const std::uint8_t*>(converted.data());
  for (std::size_t pos = 0; pos < converted.size();) {
    if (data[pos] < 0x80) {  // ASCII is itself in every encoding
      out += static_cast<char>(data[pos++]);
      continue;
    }
    UChar32 c = 0;
    U8_NEXT_UNSAFE(data, pos, c);  // the matcher writes well-formed UTF-8
    const EncodedChar encoded = codec_->Encode(static_cast<char32_t>(c));
    if (!encoded.held) {
      out.resize(start);
      return false;
    }
    out.append(encoded.bytes.data(), encoded.size);
  }
  return true;
}

// The mode itself, which keeps the bytes it cannot read and the characters it cannot write.
AnsiText ChineseTextConversion::ByMode(std::string_view bytes, FaultLog& faults) const {
  return detail::ConvertChineseWith(bytes, faults, routine_, StandardMapper(config_, user_, cache_),
                                    encoding_);
}

// Built at the first --raw block: text never needs it. None for the encodings with characters
// of more than two bytes.
const RawTranscoder* ChineseTextConversion::Raw() const {
  if (encoding_ == Encoding::Gb18030 || encoding_ == Encoding::Utf8 || !codec_) return nullptr;
  std::call_once(raw_built_, [this] { raw_ = std::make_unique<const RawTranscoder>(*codec_); });
  return raw_.get();
}

// Whether every character of `bytes` is one the encoding reads and writes back as those bytes;
// `utf8` gets the text.
bool ChineseTextConversion::DecodesCleanly(std::string_view bytes, std::string& utf8) const {
  utf8.reserve(bytes.size() * 3 / 2);
  for (std::size_t pos = 0; pos < bytes.size();) {
    if (static_cast<unsigned char>(bytes[pos]) < 0x80 && encoding_ != Encoding::ShiftJis) {
      utf8 += bytes[pos++];  // ASCII reads as itself (Shift_JIS's 0x5C and 0x7E do too in ICU)
      continue;
    }
    const CharCodec::Char c = codec_->CharAt(bytes, pos);
    const EncodedChar back = codec_->Encode(c.code_point);
    if (!back.held || back.size != c.length) return false;
    for (std::size_t i = 0; i < c.length; ++i)
      if (back.bytes[i] != bytes[pos + i]) return false;
    char buffer[U8_MAX_LENGTH];
    std::size_t length = 0;
    U8_APPEND_UNSAFE(buffer, length, c.code_point);
    utf8.append(buffer, length);
    pos += c.length;
  }
  return true;
}

// A line feed always cuts: no dictionary key holds one. A byte below 0x30 starts a character of
// its own in every working encoding (no trail byte, nor GB18030's digits, is one).
bool ChineseTextConversion::CutsBefore(std::string_view text, std::size_t pos, bool raw) const {
  return CharacterCuts(text, pos, raw) && (raw || !NearDescription(text, pos));
}

// A sequence holds at most 64 characters of at most six bytes as OpenCC reads them.
bool ChineseTextConversion::NearDescription(std::string_view text, std::size_t pos) const {
  if (!matcher_ || !matcher_->ReadsDescriptionSequences()) return false;
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  for (std::size_t i = pos > kDescriptionReach ? pos - kDescriptionReach : 0; i < pos; ++i)
    if (detail::StartsIdsOperator(p + i, text.size() - i)) return true;
  return false;
}

bool ChineseTextConversion::CharacterCuts(std::string_view text, std::size_t pos, bool raw) const {
  const auto* p = reinterpret_cast<const std::uint8_t*>(text.data());
  const std::uint8_t byte = p[pos];
  if (byte == '\n') return true;
  if (!matcher_) return false;
  if (byte < 0x80) return (!raw || byte < 0x30) && cuts_.Stops(byte);
  if (raw || byte < 0xC2 || byte > 0xEF) return false;  // only BMP characters of UTF-8 text
  std::size_t next = pos;
  UChar32 c = 0;
  U8_NEXT(p, next, text.size(), c);
  return c >= 0 && cuts_.Stops(static_cast<char32_t>(c));
}

std::size_t ChineseTextConversion::LastCut(std::string_view text, bool raw) const {
  for (std::size_t pos = text.size(); pos-- > 0;)
    if (CutsBefore(text, pos, raw)) return pos;
  return std::string_view::npos;
}

std::size_t ChineseTextConversion::NextCut(std::string_view text, std::size_t from,
                                           bool raw) const {
  for (std::size_t pos = from; pos < text.size(); ++pos)
    if (CutsBefore(text, pos, raw)) return pos;
  return std::string_view::npos;
}

PhraseMatcher::Segmented ChineseTextConversion::SegmentedCut(std::string_view text,
                                                             std::size_t walked, bool raw) const {
  if (!matcher_) return {std::string_view::npos, walked};
  if (!raw) return matcher_->Segment(text, walked, lacking_);
  if (encoding_ == Encoding::Utf8) return matcher_->Segment(text, walked, {});
  const RawTranscoder* transcoder = Raw();
  if (transcoder == nullptr) return {std::string_view::npos, walked};  // GB18030: no table
  // The bytes as UTF-8 from where the last walk stopped, a character's start; the places found
  // there are taken back to the bytes.
  std::string utf8;
  std::vector<std::size_t> source;
  transcoder->DecodeMapped(text, walked, utf8, source);
  const PhraseMatcher::Segmented found = matcher_->Segment(utf8, 0, {});
  return {found.phrase_end == std::string_view::npos ? found.phrase_end : source[found.phrase_end],
          source[found.resume], false};
}

// Characters the encoding lacks become "?", as they do on the way into the encoding; false at a
// byte that is not UTF-8, adding no loss.
bool ChineseTextConversion::Substitute(std::string_view utf8, std::size_t offset,
                                       std::string& buffer, LossReport& losses,
                                       std::string_view& text) const {
  std::size_t stop = held_->FirstStop(utf8);
  if (stop == std::string_view::npos) return true;
  LossReport lost;
  buffer.assign(utf8.substr(0, stop));
  while (stop != std::string_view::npos) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(utf8.data());
    std::size_t next = stop;
    UChar32 c = 0;
    U8_NEXT(data, next, utf8.size(), c);
    if (c < 0) return false;
    lost.Add(LossKind::Unmappable, offset + stop, utf8.substr(stop, next - stop));
    buffer += '?';
    stop = held_->FirstStop(utf8, next);
    buffer.append(
        utf8.substr(next, stop == std::string_view::npos ? std::string_view::npos : stop - next));
  }
  losses.Merge(lost);
  text = buffer;
  return true;
}

// Through the working encoding, as the mode itself converts.
void ChineseTextConversion::ConvertExactly(std::string_view utf8, std::string& out,
                                           FaultLog& faults) const {
  const AnsiText bytes = Utf8TextToAnsi(utf8, LineBreaks::AsIs, encoding_).text;
  out += AnsiToUtf8Text(ByMode(bytes, faults), LineBreaks::AsIs, encoding_);
}

}  // namespace tessaly
