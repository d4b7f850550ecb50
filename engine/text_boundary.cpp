#include "engine/text_boundary.h"

#include <unicode/utf8.h>

#include "engine/code_page.h"

namespace tessaly {
namespace {

// A lone CR (the old Mac line end) is a line break too: kept as it is, it would stand before a
// following line break that reads back as CR LF, and a second round trip would change the text.
template <typename Char>
std::basic_string<Char> LineBreaksToCrLf(std::basic_string_view<Char> text) {
  std::basic_string<Char> out;
  out.reserve(text.size() + text.size() / 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == Char('\r')) {
      if (i + 1 < text.size() && text[i + 1] == Char('\n')) ++i;
      out.append({Char('\r'), Char('\n')});
    } else if (text[i] == Char('\n')) {
      out.append({Char('\r'), Char('\n')});
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

template <typename Char>
std::basic_string<Char> CrLfToLineBreaks(std::basic_string_view<Char> text) {
  std::basic_string<Char> out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == Char('\r') && i + 1 < text.size() && text[i + 1] == Char('\n')) continue;
    out.push_back(text[i]);
  }
  return out;
}

}  // namespace

AnsiInput TextToAnsi(std::u16string_view text) {
  AnsiInput input;
  input.text = AnsiCodePage().FromUtf16(LineBreaksToCrLf(text), &input.substituted);
  return input;
}

std::u16string AnsiToText(std::string_view ansi) {
  const std::u16string text = AnsiCodePage().ToUtf16(ansi);
  return CrLfToLineBreaks(std::u16string_view(text));
}

AnsiInput Utf8TextToAnsi(std::string_view utf8) {
  return TextToAnsi(Utf8CodePage().ToUtf16(utf8));
}

std::string AnsiToUtf8Text(std::string_view ansi) {
  return Utf8CodePage().FromUtf16(AnsiToText(ansi));
}

std::optional<std::size_t> FindInvalidUtf8(std::string_view bytes) {
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
  const auto length = static_cast<int64_t>(bytes.size());
  for (int64_t offset = 0; offset < length;) {
    const int64_t start = offset;
    UChar32 code_point = 0;
    U8_NEXT(data, offset, length, code_point);
    if (code_point < 0) return static_cast<std::size_t>(start);
  }
  return std::nullopt;
}

}  // namespace tessaly
