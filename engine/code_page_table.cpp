#include "engine/code_page_table.h"

#include <unicode/utf16.h>

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

CodePageEncoder::Encoded MakeEncoded(std::string_view bytes, bool held) {
  CodePageEncoder::Encoded entry;
  if (bytes.size() > entry.bytes.size()) ThrowMisfit("a character takes more than two bytes");
  bytes.copy(entry.bytes.data(), bytes.size());
  entry.size = static_cast<std::uint8_t>(bytes.size());
  entry.held = held;
  return entry;
}

template <typename Table>
std::shared_ptr<const Table> TableFor(const CodePage& code_page) {
  if (&code_page == &GbkCodePage()) {
    static const auto gbk = std::make_shared<const Table>(GbkCodePage());
    return gbk;
  }
  if (&code_page == &Big5CodePage()) {
    static const auto big5 = std::make_shared<const Table>(Big5CodePage());
    return big5;
  }
  return std::make_shared<const Table>(code_page);
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

// Every BMP character in one call, each followed by a line feed. A character the code page lacks
// comes out as "?", or as nothing when the converter skips it (default-ignorable ones such as
// U+200B); `substituted` counts both.
CodePageEncoder::CodePageEncoder(const CodePage& code_page)
    : code_page_(code_page), bmp_(kBmpSize) {
  std::u16string batch;
  batch.reserve(2 * kBmpSize);
  for (char32_t code_point = 0; code_point < kBmpSize; ++code_point) {
    if (U16_IS_SURROGATE(code_point) || code_point == U'\n') continue;
    batch += {static_cast<char16_t>(code_point), u'\n'};
  }
  std::size_t substituted = 0;
  const std::string encoded = code_page.FromUtf16(batch, &substituted);
  const std::string_view rest(encoded);
  std::size_t start = 0;
  std::size_t lacking = 0;
  for (std::size_t i = 0; i < batch.size(); i += 2) {
    const std::size_t end = rest.find(kLineFeed, start);
    if (end == std::string_view::npos) ThrowMisfit("fewer characters out than in");
    const char16_t unit = batch[i];
    const std::string_view bytes = rest.substr(start, end - start);
    const bool held = !bytes.empty() && (bytes != "?" || unit == u'?');
    bmp_[unit] = MakeEncoded(bytes, held);
    lacking += held ? 0 : 1;
    start = end + 1;
  }
  if (start != encoded.size() || lacking != substituted)
    ThrowMisfit("characters in and out do not line up");
  bmp_[U'\n'] = MakeEncoded(code_page.FromUtf16(u"\n"), true);
}

std::shared_ptr<const CodePageEncoder> CodePageEncoder::For(const CodePage& code_page) {
  return TableFor<CodePageEncoder>(code_page);
}

// Neither GBK nor BIG5 holds a character beyond the BMP, so this path is rare: ask the converter.
CodePageEncoder::Encoded CodePageEncoder::EncodeSupplementary(char32_t code_point) const {
  if (code_point > 0x10FFFF) return MakeEncoded("?", false);
  const char16_t units[] = {U16_LEAD(code_point), U16_TRAIL(code_point)};
  std::size_t substituted = 0;
  const std::string bytes = code_page_.FromUtf16({units, 2}, &substituted);
  return MakeEncoded(bytes, substituted == 0);
}

}  // namespace tessaly
