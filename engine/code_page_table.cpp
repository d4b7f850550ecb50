#include "engine/code_page_table.h"

#include <unicode/utf16.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace tessaly {
namespace {

// Separates the codes of a batch: a line feed is a character of its own in these code pages and
// no two-byte character holds its byte, so a malformed code cannot reach into the next one.
constexpr char kLineFeed = '\n';

// The one code point a piece of UTF-16 holds, or nullopt when it holds none or several.
std::optional<char32_t> SoleCodePoint(std::u16string_view units) {
  if (units.size() == 1 && !U16_IS_SURROGATE(units[0])) return units[0];
  if (units.size() == 2 && U16_IS_LEAD(units[0]) && U16_IS_TRAIL(units[1]))
    return static_cast<char32_t>(U16_GET_SUPPLEMENTARY(units[0], units[1]));
  return std::nullopt;
}

[[noreturn]] void ThrowMisfit(const char* what) {
  throw CodePageError(std::string("the converter does not fit a double-byte table: ") + what);
}

EncodedChar MakeEncoded(std::string_view bytes, bool held) {
  EncodedChar entry;
  if (bytes.size() > entry.bytes.size()) ThrowMisfit("a character takes more than four bytes");
  bytes.copy(entry.bytes.data(), bytes.size());
  entry.size = static_cast<std::uint8_t>(bytes.size());
  entry.held = held;
  return entry;
}

// What `code_page` writes for each code point, from one call in which every character has a line
// feed behind it. A character the code page lacks comes out as "?" (or as nothing, should a code
// page skip it); `substituted` counts them.
std::vector<EncodedChar> EncodeEach(const CodePage& code_page,
                                    const std::vector<char32_t>& code_points) {
  std::u16string batch;
  batch.reserve(2 * code_points.size());
  for (const char32_t code_point : code_points) {
    if (code_point == U'\n') continue;
    if (code_point <= 0xFFFF) {
      batch.push_back(static_cast<char16_t>(code_point));
    } else {
      batch += {U16_LEAD(code_point), U16_TRAIL(code_point)};
    }
    batch.push_back(u'\n');
  }
  std::size_t substituted = 0;
  const std::string encoded = code_page.FromUtf16(batch, &substituted);
  // One pass over the output, as it is read at every start for each of the BMP's characters.
  std::vector<EncodedChar> entries(code_points.size());
  const char* next = encoded.data();
  const char* const end = next + encoded.size();
  std::size_t lacking = 0;
  for (std::size_t k = 0; k < code_points.size(); ++k) {
    if (code_points[k] == U'\n') {
      entries[k] = MakeEncoded(code_page.FromUtf16(u"\n"), true);
      continue;
    }
    const auto* stop = static_cast<const char*>(
        std::memchr(next, kLineFeed, static_cast<std::size_t>(end - next)));
    if (stop == nullptr) ThrowMisfit("fewer characters out than in");
    const auto size = static_cast<std::size_t>(stop - next);
    EncodedChar& entry = entries[k];
    if (size > entry.bytes.size()) ThrowMisfit("a character takes more than four bytes");
    std::memcpy(entry.bytes.data(), next, size);
    entry.size = static_cast<std::uint8_t>(size);
    entry.held = size != 0 && (size != 1 || *next != '?' || code_points[k] == U'?');
    lacking += entry.held ? 0 : 1;
    next = stop + 1;
  }
  if (next != end || lacking != substituted) ThrowMisfit("characters in and out do not line up");
  return entries;
}

// Building a table asks the converter about every code, so each is built once per process.
template <typename Table>
std::shared_ptr<const Table> TableFor(const CodePage& code_page) {
  if (!code_page.LivesForever()) return std::make_shared<const Table>(code_page);
  static std::mutex mutex;
  static std::map<const CodePage*, std::shared_ptr<const Table>> tables;
  const std::lock_guard lock(mutex);
  auto& table = tables[&code_page];
  if (!table) table = std::make_shared<const Table>(code_page);
  return table;
}

}  // namespace

// A pair is one character when the converter reads it as one code point. A lone byte is read as
// the converter reads it at the end of a text, which is also how it reads a byte that does not
// start a pair.
CodePageDecoder::CodePageDecoder(const CodePage& code_page) : pairs_(256 * 256, kNoChar) {
  for (int lead = 0; lead < 256; ++lead) {
    if (lead == kLineFeed) {
      for (int trail = 0; trail < 256; ++trail) ReadPair(code_page, lead, trail);
    } else {
      ReadPairBatch(code_page, lead);
      ReadPair(code_page, lead, kLineFeed);
    }
    const auto single = SoleCodePoint(code_page.ToUtf16(std::string(1, static_cast<char>(lead))));
    if (!single) ThrowMisfit("a single byte is not one code point");
    singles_[lead] = *single;
  }
}

std::shared_ptr<const CodePageDecoder> CodePageDecoder::For(const CodePage& code_page) {
  return TableFor<CodePageDecoder>(code_page);
}

void CodePageDecoder::ReadPair(const CodePage& code_page, int lead, int trail) {
  const char pair[] = {static_cast<char>(lead), static_cast<char>(trail)};
  if (const auto code_point = SoleCodePoint(code_page.ToUtf16({pair, 2})))
    pairs_[lead << 8 | trail] = *code_point;
}

// Every pair with this lead byte in one call, each followed by a line feed.
void CodePageDecoder::ReadPairBatch(const CodePage& code_page, int lead) {
  std::string batch;
  for (int trail = 0; trail < 256; ++trail) {
    if (trail != kLineFeed) batch += {static_cast<char>(lead), static_cast<char>(trail), kLineFeed};
  }
  const std::u16string decoded = code_page.ToUtf16(batch);
  const std::u16string_view rest(decoded);
  std::size_t start = 0;
  for (int trail = 0; trail < 256; ++trail) {
    if (trail == kLineFeed) continue;
    const std::size_t end = rest.find(u'\n', start);
    if (end == std::u16string_view::npos) ThrowMisfit("a pair swallowed its line feed");
    if (const auto code_point = SoleCodePoint(rest.substr(start, end - start)))
      pairs_[lead << 8 | trail] = *code_point;
    start = end + 1;
  }
  if (start != decoded.size()) ThrowMisfit("a pair decoded to a line feed");
}

CodePageEncoder::CodePageEncoder(const CodePage& code_page) : code_page_(code_page) {
  std::vector<char32_t> bmp(0x10000);
  for (std::size_t i = 0; i < bmp.size(); ++i) bmp[i] = static_cast<char32_t>(i);
  bmp_ = EncodeEach(code_page, bmp);
}

std::shared_ptr<const CodePageEncoder> CodePageEncoder::For(const CodePage& code_page) {
  return TableFor<CodePageEncoder>(code_page);
}

// Neither GBK nor BIG5 decodes to a character beyond the BMP, so this path is rare.
EncodedChar CodePageEncoder::EncodeSupplementary(char32_t code_point) const {
  if (code_point > 0x10FFFF) return MakeEncoded("?", false);
  return EncodeEach(code_page_, {code_point}).front();
}

CodePageRecoder::CodePageRecoder(const CodePage& source, const CodePage& target)
    : codes_(kSingles + 256) {
  const auto decoder = CodePageDecoder::For(source);
  std::vector<char32_t> code_points;  // every pair that is one character, then every single byte
  code_points.reserve(codes_.size());
  for (std::size_t pair = 0; pair < kSingles; ++pair) {
    const char bytes[] = {static_cast<char>(pair >> 8), static_cast<char>(pair & 0xFF)};
    const CodePageDecoder::Char decoded = decoder->CharAt({bytes, 2}, 0);
    if (decoded.length != 2) continue;
    code_points.push_back(decoded.code_point);
    codes_[pair].is_pair = true;
    is_lead_[pair >> 8] = is_trail_[pair & 0xFF] = true;
  }
  for (int lead = 0; lead < 256; ++lead) {
    const char single = static_cast<char>(lead);
    code_points.push_back(decoder->CharAt({&single, 1}, 0).code_point);
  }
  const std::vector<EncodedChar> encoded = EncodeEach(target, code_points);
  auto next = encoded.begin();
  pairs_are_product_ = true;
  for (std::size_t index = 0; index < codes_.size(); ++index) {
    Code& code = codes_[index];
    if (index < kSingles) {
      pairs_are_product_ &= code.is_pair == (is_lead_[index >> 8] && is_trail_[index & 0xFF]);
      if (!code.is_pair) continue;
    }
    if (next->size > code.bytes.size()) ThrowMisfit("a character takes more than two bytes");
    std::copy_n(next->bytes.begin(), code.bytes.size(), code.bytes.begin());
    code.size = next->size;
    code.lost = !next->held;
    ++next;
  }
}

CodePageRecoder::Progress CodePageRecoder::RecodeAllButLast(std::string_view text,
                                                            char* dest) const {
  if (pairs_are_product_) return RecodeLeadTrailPairs(text, dest);
  Progress progress{0, 0};
  while (progress.used + 1 < text.size()) {
    const Code& code = At(text, progress.used);
    code.view().copy(dest + progress.written, code.size);
    progress.written += code.size;
    progress.used += code.length();
    progress.lost += code.lost;
  }
  return progress;
}

// The pairs are every lead byte with every trail byte, as in GBK and BIG5, so two small tables
// give each character's length before its code's look-up finishes. The length is a branch, not
// arithmetic: predicted, it lets the walk run ahead of the loads, where a computed step would
// wait for them at every character (2.5 times slower on Chinese text).
CodePageRecoder::Progress CodePageRecoder::RecodeLeadTrailPairs(std::string_view text,
                                                                char* dest) const {
  // Locals, so that the writes through `out` cannot make the compiler reload them.
  const auto* source = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t end = text.empty() ? 0 : text.size() - 1;
  const Code* const codes = codes_.data();
  const bool* const is_lead = is_lead_.data();
  const bool* const is_trail = is_trail_.data();
  std::size_t pos = 0;
  std::size_t lost = 0;
  char* out = dest;
  while (pos < end) {
    const Code* code = nullptr;
    if (is_lead[source[pos]] && is_trail[source[pos + 1]]) [[likely]] {
      code = &codes[std::size_t{source[pos]} << 8 | source[pos + 1]];
      pos += 2;
    } else {
      code = &codes[kSingles + source[pos]];
      pos += 1;
    }
    out[0] = code->bytes[0];  // two bytes always, of which `size` count: no branch, no call
    out[1] = code->bytes[1];
    out += code->size;
    lost += code->lost;
  }
  return {pos, static_cast<std::size_t>(out - dest), lost};
}

std::shared_ptr<const CodePageRecoder> CodePageRecoder::For(const CodePage& source,
                                                            const CodePage& target) {
  const CodePage& gbk = GbkCodePage();
  const CodePage& big5 = Big5CodePage();
  if (&source == &gbk && &target == &big5) {
    static const auto gbk_to_big5 = std::make_shared<const CodePageRecoder>(gbk, big5);
    return gbk_to_big5;
  }
  if (&source == &big5 && &target == &gbk) {
    static const auto big5_to_gbk = std::make_shared<const CodePageRecoder>(big5, gbk);
    return big5_to_gbk;
  }
  return std::make_shared<const CodePageRecoder>(source, target);
}

}  // namespace tessaly
