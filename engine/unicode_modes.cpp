#include "engine/unicode_modes.h"

#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <array>
#include <cstring>
#include <vector>

#include "engine/byte_modes.h"
#include "engine/code_page_table.h"

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
                    &kHexPairs[2 * static_cast<unsigned char>(bytes[i])], 2);
      table[code_point].size = static_cast<std::uint8_t>(2 * length);
    }
    return table;
  }();
  return listings;
}

}  // namespace

ChunkedUnicodeEncoding::ChunkedUnicodeEncoding(ConversionMode mode)
    : utf8_(mode == ConversionMode::Utf8Encode), decoder_(CodePageDecoder::For(GbkCodePage())) {}

ChunkedUnicodeEncoding::~ChunkedUnicodeEncoding() = default;

void ChunkedUnicodeEncoding::Encode(std::string_view chunk, AnsiText& out) {
  if (stopped_) return;
  if (const std::size_t zero = chunk.find('\0'); zero != std::string_view::npos) {
    chunk = chunk.substr(0, zero);
    stopped_ = true;
  }
  if (chunk.empty()) return;
  const std::size_t start = out.size();
  out.resize(start + kMaxListingPerByte * (chunk.size() + 1));
  char* target = out.data() + start;
  std::size_t pos = 0;
  if (pending_) {
    const char lead_and_next[] = {pending_byte_, chunk.front()};
    const auto c = decoder_->CharAt(std::string_view(lead_and_next, 2), 0);
    target = WriteListing(c.code_point, target);
    pos = c.length - 1;
  }
  // A last byte that may start a two-byte character waits, unless the text ends here.
  const bool more = !stopped_;
  const std::size_t end = more && IsAnsiLeadByte(static_cast<unsigned char>(chunk.back()))
                              ? chunk.size() - 1
                              : chunk.size();
  while (pos < end) {
    const auto c = decoder_->CharAt(chunk, pos);
    target = WriteListing(c.code_point, target);
    pos += c.length;
  }
  pending_ = pos < chunk.size();
  if (pending_) pending_byte_ = chunk[pos];
  out.resize(static_cast<std::size_t>(target - out.data()));
}

void ChunkedUnicodeEncoding::Finish(AnsiText& out) {
  if (!pending_) return;
  pending_ = false;
  char listing[8];
  const char* end =
      WriteListing(decoder_->CharAt(std::string_view(&pending_byte_, 1), 0).code_point, listing);
  out.append(listing, static_cast<std::size_t>(end - listing));
}

char* ChunkedUnicodeEncoding::WriteListing(char32_t code_point, char* target) const {
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
    std::memcpy(target, &kHexPairs[2 * static_cast<unsigned char>(bytes[i])], 2);
  return target;
}

std::u16string AnsiToWide(std::string_view source, const CodePage& code_page) {
  return code_page.ToUtf16(UpToFirstZero(source));
}

AnsiText WideToAnsi(std::u16string_view source, const CodePage& code_page) {
  return code_page.FromUtf16(UpToFirstZero(source));
}

std::optional<std::string> AnsiToUtf8(std::string_view source, std::size_t capacity) {
  try {
    return WithinCapacity(Utf8CodePage().FromUtf16(AnsiToWide(source, AnsiCodePage())), capacity);
  } catch (const CodePageError&) {
    return std::nullopt;
  }
}

std::optional<AnsiText> Utf8ToAnsi(std::string_view source, std::size_t capacity) {
  try {
    return WithinCapacity(AnsiCodePage().FromUtf16(AnsiToWide(source, Utf8CodePage())), capacity);
  } catch (const CodePageError&) {
    return std::nullopt;
  }
}

AnsiText Utf16Encode(std::string_view input) {
  std::u16string units;
  try {
    units = AnsiToWide(input, GbkCodePage());
  } catch (const CodePageError&) {
    return {};  // this mode reports nothing; a failed conversion leaves the output empty
  }
  const std::u16string_view text = UpToFirstZero(std::u16string_view(units));
  std::string bytes(2 * text.size(), '\0');
  for (std::size_t j = 0; j < text.size(); ++j) {
    bytes[2 * j] = static_cast<char>(text[j] & 0xFF);
    bytes[2 * j + 1] = static_cast<char>(text[j] >> 8);
  }
  return HexEncode(bytes);
}

AnsiText Utf16Decode(std::string_view input) {
  try {
    return WideToAnsi(BytesAsUtf16Le(ParseHexPairs(input)), GbkCodePage());
  } catch (const CodePageError&) {
    return {};
  }
}

AnsiText Utf8Encode(std::string_view input) {
  const auto utf8 = AnsiToUtf8(input, 3 * input.size() + 3);
  return utf8 ? HexEncode(*utf8) : AnsiText(kConversionFailedText);
}

AnsiText Utf8Decode(std::string_view input) {
  const auto ansi = Utf8ToAnsi(ParseHexPairs(input), input.size() + 2);
  return ansi ? AnsiText(UpToFirstZero(std::string_view(*ansi))) : AnsiText(kConversionFailedText);
}

}  // namespace tessaly
