#include "engine/unicode_modes.h"

#include "engine/byte_modes.h"

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

}  // namespace

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
