#include "engine/unicode_modes.h"

#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <array>
#include <cstring>
#include <vector>

#include "engine/byte_modes.h"
#include "engine/char_codec.h"
#include "engine/code_page_table.h"
#include "engine/detail/byte_blocks.h"
#include "engine/detail/unicode_conversions.h"

namespace tessaly {
namespace {

template <typename Char>
std::basic_string_view<Char> UpToFirstZero(std::basic_string_view<Char> text) {
  return text.substr(0, text.find(Char{0}));
}

// The stored bytes read as UTF-16LE units; an odd last byte is the low byte of a final unit.
std::u16string BytesAsUtf16Le(std::string_view bytes) {
  std::u16string units((bytes.size() + 1) / 2, u'\0');
  for (std::size_t j = 0; j < units.size(); ++j) {
    const auto low = static_cast<unsigned char>(bytes[2 * j]);
    const auto high = 2 * j + 1 < bytes.size() ? static_cast<unsigned char>(bytes[2 * j + 1]) : 0;
    units[j] = static_cast<char16_t>(low | high << 8);
  }
  return units;
}

// Where the first character the encoder lacks starts, in UTF-16 units, with that character as
// UTF-8; an unpaired surrogate is lacked like any character.
std::optional<std::pair<std::size_t, std::string>> FirstUnmappable(std::u16string_view units,
                                                                   const CharCodec& codec) {
  for (std::size_t i = 0; i < units.size();) {
    const std::size_t start = i;
    UChar32 code_point = 0;
    U16_NEXT(units.data(), i, units.size(), code_point);
    if (U_IS_SURROGATE(code_point) || !codec.Encode(static_cast<char32_t>(code_point)).held) {
      std::string utf8;
      if (!U_IS_SURROGATE(code_point)) {
        char bytes[U8_MAX_LENGTH];
        std::size_t length = 0;
        U8_APPEND_UNSAFE(bytes, length, code_point);
        utf8.assign(bytes, length);
      }
      return std::pair{start, utf8};
    }
  }
  return std::nullopt;
}

// Fits the result of a conversion to the caller's capacity, which counts a terminating zero.
template <typename Text>
std::optional<Text> WithinCapacity(Text text, std::size_t capacity) {
  if (text.size() + 1 > capacity) return std::nullopt;
  return text;
}

// The UTF-8 listing of every BMP code point, so the common case is one copy per character.
struct Utf8Listing {
  std::array<char, 6> hex{};
  std::uint8_t size = 0;
};

const std::vector<Utf8Listing>& Utf8Listings() {
  static const std::vector<Utf8Listing> listings = [] {
    std::vector<Utf8Listing> table(0x10000);
    for (char32_t code_point = 0; code_point < table.size(); ++code_point) {
      char bytes[3];
      std::size_t length = 0;
      U8_APPEND_UNSAFE(bytes, length, code_point);
      for (std::size_t i = 0; i < length; ++i)
        std::memcpy(&table[code_point].hex[2 * i],
                    &detail::kHexPairs[2 * static_cast<unsigned char>(bytes[i])], 2);
      table[code_point].size = static_cast<std::uint8_t>(2 * length);
    }
    return table;
  }();
  return listings;
}

// Utf16Encode or Utf8Encode block by block, a character at a time through the encoding's codec
// instead of a converter call per text.
class UnicodeEncodingStream final : public ModeStream {
 public:
  /// Throws CodePageError when the encoding's tables cannot be read.
  UnicodeEncodingStream(bool utf8, Encoding encoding)
      : utf8_(utf8), codec_(CharCodec::For(encoding)) {}

  void Convert(std::string_view chunk, AnsiText& out) override;
  void Finish(AnsiText& out) override;

 private:
  // The longest character of any working encoding: GB18030's and UTF-8's four bytes.
  static constexpr std::size_t kLongestChar = 4;
  // The most a listing takes per byte: three UTF-8 bytes for a one-byte character.
  static constexpr std::size_t kMaxListingPerByte = 6;

  /// Lists the characters of `text` up to `end`, where the last one may reach past it.
  std::size_t Encode(std::string_view text, std::size_t end, AnsiText& out) const;
  char* WriteListing(char32_t code_point, char* target) const;

  bool utf8_;
  std::shared_ptr<const CharCodec> codec_;
  std::string pending_;  // the last bytes of the text so far, which may begin a character
};

}  // namespace

// A character is listed only once every byte it may take has arrived: the last bytes of a chunk
// wait for the next one.
void UnicodeEncodingStream::Convert(std::string_view chunk, AnsiText& out) {
  if (chunk.empty()) return;
  std::string joined;
  if (!pending_.empty()) {
    joined = pending_ + std::string(chunk);
    chunk = joined;
  }
  const std::size_t end = chunk.size() >= kLongestChar ? chunk.size() - (kLongestChar - 1) : 0;
  pending_ = chunk.substr(Encode(chunk, end, out));
}

void UnicodeEncodingStream::Finish(AnsiText& out) {
  Encode(pending_, pending_.size(), out);
  pending_.clear();
}

std::size_t UnicodeEncodingStream::Encode(std::string_view text, std::size_t end,
                                          AnsiText& out) const {
  const std::size_t start = out.size();
  out.resize(start + kMaxListingPerByte * (end + kLongestChar));
  char* target = out.data() + start;
  std::size_t pos = 0;
  while (pos < end) {
    const CharCodec::Char c = codec_->CharAt(text, pos);
    target = WriteListing(c.code_point, target);
    pos += c.length;
  }
  out.resize(static_cast<std::size_t>(target - out.data()));
  return pos;
}

char* UnicodeEncodingStream::WriteListing(char32_t code_point, char* target) const {
  if (utf8_ && code_point < 0x10000) {
    const Utf8Listing& listing = Utf8Listings()[code_point];
    std::memcpy(target, listing.hex.data(), listing.hex.size());
    return target + listing.size;
  }
  char bytes[4];
  std::size_t length = 0;
  if (utf8_) {
    U8_APPEND_UNSAFE(bytes, length, code_point);
  } else {
    char16_t units[2];
    std::size_t count = 0;
    U16_APPEND_UNSAFE(units, count, code_point);
    for (std::size_t i = 0; i < count; ++i) {
      bytes[length++] = static_cast<char>(units[i] & 0xFF);
      bytes[length++] = static_cast<char>(units[i] >> 8);
    }
  }
  for (std::size_t i = 0; i < length; ++i, target += 2)
    std::memcpy(target, &detail::kHexPairs[2 * static_cast<unsigned char>(bytes[i])], 2);
  return target;
}

namespace detail {

std::u16string AnsiToWide(std::string_view source, const CodePage& code_page) {
  return code_page.ToUtf16(source);
}

AnsiText WideToAnsi(std::u16string_view source, const CodePage& code_page,
                    std::size_t* substituted) {
  return code_page.FromUtf16(UpToFirstZero(source), substituted);
}

std::optional<std::string> AnsiToUtf8Within(std::string_view source, std::size_t capacity,
                                            const CodePage& code_page) {
  try {
    return WithinCapacity(Utf8CodePage().FromUtf16(AnsiToWide(source, code_page)), capacity);
  } catch (const CodePageError&) {
    return std::nullopt;
  }
}

std::optional<AnsiText> Utf8ToAnsiWithin(std::string_view source, std::size_t capacity,
                                         const CodePage& code_page, std::size_t* substituted) {
  try {
    return WithinCapacity(
        code_page.FromUtf16(AnsiToWide(UpToFirstZero(source), Utf8CodePage()), substituted),
        capacity);
  } catch (const CodePageError&) {
    return std::nullopt;
  }
}

}  // namespace detail

namespace {

// The cut at the first zero of the decoded data, and the characters GBK lacks before it, told in
// offsets of the listing: `listing_per_unit` hex characters per unit.
void NoteDecodingLosses(std::u16string_view units, std::size_t listing_per_unit,
                        std::size_t substituted, const CharCodec& codec, LossReport& losses) {
  if (const std::size_t zero = units.find(u'\0'); zero != std::u16string_view::npos) {
    losses.Add(LossKind::CutAtZero, listing_per_unit * zero, std::string(listing_per_unit, '0'));
    units = units.substr(0, zero);
  }
  if (substituted == 0) return;
  if (const auto first = FirstUnmappable(units, codec))
    losses.Add(LossKind::Unmappable, listing_per_unit * first->first, first->second, substituted);
}

// The same for decoded UTF-8, two hex characters per byte; a malformed sequence is lost like a
// character GBK lacks, since it too became "?".
void NoteUtf8DecodingLosses(std::string_view bytes, std::size_t substituted, const CharCodec& codec,
                            LossReport& losses) {
  if (const std::size_t zero = bytes.find('\0'); zero != std::string_view::npos) {
    losses.Add(LossKind::CutAtZero, 2 * zero, "00");
    bytes = bytes.substr(0, zero);
  }
  if (substituted == 0) return;
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
  const auto length = static_cast<std::int64_t>(bytes.size());
  for (std::int64_t i = 0; i < length;) {
    const std::int64_t start = i;
    UChar32 code_point = 0;
    U8_NEXT(data, i, length, code_point);
    if (code_point < 0 || !codec.Encode(static_cast<char32_t>(code_point)).held) {
      losses.Add(LossKind::Unmappable, 2 * static_cast<std::size_t>(start),
                 bytes.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(i - start)),
                 substituted);
      return;
    }
  }
}

// The bytes up to their first zero with each malformed sequence as "?", counted.
std::string WellFormedUtf8(std::string_view bytes, std::size_t& malformed) {
  std::string out;
  out.reserve(bytes.size());
  malformed = 0;
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
  const auto length = static_cast<std::int64_t>(bytes.size());
  for (std::int64_t i = 0; i < length;) {
    const std::int64_t start = i;
    UChar32 code_point = 0;
    U8_NEXT(data, i, length, code_point);
    if (code_point < 0) {
      out += '?';
      ++malformed;
    } else {
      out.append(
          bytes.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(i - start)));
    }
  }
  return out;
}

}  // namespace

AnsiText Utf16Encode(std::string_view input, Encoding encoding) {
  const std::u16string units = detail::AnsiToWide(input, CodePageOf(encoding));
  const std::u16string_view text(units);
  std::string bytes(2 * text.size(), '\0');
  for (std::size_t j = 0; j < text.size(); ++j) {
    bytes[2 * j] = static_cast<char>(text[j] & 0xFF);
    bytes[2 * j + 1] = static_cast<char>(text[j] >> 8);
  }
  return HexEncode(bytes);
}

// A decoded character the encoding lacks stays itself when the caller can show UTF-8: the whole
// result is then UTF-8, and only unpaired surrogates become "?".
ConversionResult Utf16Decode(std::string_view input, Encoding encoding, bool unicode_result) {
  ConversionResult result;
  const std::u16string units = BytesAsUtf16Le(ParseHexPairs(input, &result.losses));
  std::size_t substituted = 0;
  result.text = detail::WideToAnsi(units, CodePageOf(encoding), &substituted);
  if (substituted != 0 && unicode_result && encoding != Encoding::Utf8) {
    encoding = Encoding::Utf8;
    result.encoding = encoding;
    result.text = detail::WideToAnsi(units, Utf8CodePage(), &substituted);
  }
  NoteDecodingLosses(units, 4, substituted, *CharCodec::For(encoding), result.losses);
  return result;
}

AnsiText Utf8Encode(std::string_view input, Encoding encoding) {
  const auto utf8 = detail::AnsiToUtf8Within(input, 3 * input.size() + 3, CodePageOf(encoding));
  if (!utf8) throw CodePageError("the text's UTF-8 could not be made");
  return HexEncode(*utf8);
}

ConversionResult Utf8Decode(std::string_view input, Encoding encoding, bool unicode_result) {
  ConversionResult result;
  const AnsiText bytes = ParseHexPairs(input, &result.losses);
  std::size_t substituted = 0;
  auto text = detail::Utf8ToAnsiWithin(bytes, input.size() + 2, CodePageOf(encoding), &substituted);
  if (!text) throw CodePageError("the UTF-8 could not be decoded");
  if (substituted != 0 && unicode_result && encoding != Encoding::Utf8) {
    encoding = Encoding::Utf8;
    result.encoding = encoding;
    text = WellFormedUtf8(UpToFirstZero(std::string_view(bytes)), substituted);
  }
  result.text = std::move(*text);
  NoteUtf8DecodingLosses(bytes, substituted, *CharCodec::For(encoding), result.losses);
  return result;
}

std::unique_ptr<ModeStream> Utf16EncodeStream(Encoding encoding) {
  return std::make_unique<UnicodeEncodingStream>(false, encoding);
}

std::unique_ptr<ModeStream> Utf8EncodeStream(Encoding encoding) {
  return std::make_unique<UnicodeEncodingStream>(true, encoding);
}

}  // namespace tessaly
