#include "engine/text_boundary.h"

#include <cstring>

#include <unicode/utf8.h>

#include "engine/char_codec.h"
#include "engine/code_page.h"
#include "engine/detail/utf8.h"

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

// One character of UTF-8 text at `pos`: its length there and its code point (-1 when malformed).
std::pair<std::size_t, UChar32> Utf8CharAt(std::string_view utf8, std::size_t pos) {
  const auto* data = reinterpret_cast<const std::uint8_t*>(utf8.data());
  auto next = static_cast<std::int64_t>(pos);
  UChar32 code_point = 0;
  U8_NEXT(data, next, static_cast<std::int64_t>(utf8.size()), code_point);
  return {static_cast<std::size_t>(next) - pos, code_point};
}

// How many bytes of the encoding the character at `pos` of `utf8` becomes, and whether the
// encoding lacks it.
std::pair<std::size_t, bool> AnsiLengthAt(std::string_view utf8, std::size_t pos, LineBreaks breaks,
                                          const CharCodec& codec) {
  const auto [length, code_point] = Utf8CharAt(utf8, pos);
  if (breaks == LineBreaks::CrLf && (code_point == '\r' || code_point == '\n')) return {2, false};
  if (code_point < 0) return {1, true};
  const EncodedChar encoded = codec.Encode(static_cast<char32_t>(code_point));
  return {encoded.size, !encoded.held};
}

// Where Utf8TextToAnsi substituted first, found by walking the text when there was any.
void FindFirstSubstituted(std::string_view utf8, LineBreaks breaks, Encoding encoding,
                          AnsiInput& input) {
  const auto codec = CharCodec::For(encoding);
  for (std::size_t pos = 0; pos < utf8.size();) {
    const std::size_t length = Utf8CharAt(utf8, pos).first;
    if (AnsiLengthAt(utf8, pos, breaks, *codec).second) {
      input.first_substituted = pos;
      input.first_substituted_char = utf8.substr(pos, length);
      return;
    }
    pos += length;
  }
}

}  // namespace

AnsiInput TextToAnsi(std::u16string_view text, Encoding encoding) {
  AnsiInput input;
  input.text = CodePageOf(encoding).FromUtf16(LineBreaksToCrLf(text), &input.substituted);
  return input;
}

std::u16string AnsiToText(std::string_view ansi, Encoding encoding) {
  const std::u16string text = CodePageOf(encoding).ToUtf16(ansi);
  return CrLfToLineBreaks(std::u16string_view(text));
}

AnsiInput Utf8TextToAnsi(std::string_view utf8, LineBreaks breaks, Encoding encoding) {
  AnsiInput input;
  if (breaks == LineBreaks::CrLf) {
    input = TextToAnsi(Utf8CodePage().ToUtf16(utf8), encoding);
  } else {
    input.text = CodePageOf(encoding).FromUtf16(Utf8CodePage().ToUtf16(utf8), &input.substituted);
  }
  if (input.substituted != 0) FindFirstSubstituted(utf8, breaks, encoding, input);
  return input;
}

std::string AnsiToUtf8Text(std::string_view ansi, LineBreaks breaks, Encoding encoding) {
  if (breaks == LineBreaks::CrLf) return Utf8CodePage().FromUtf16(AnsiToText(ansi, encoding));
  return Utf8CodePage().FromUtf16(CodePageOf(encoding).ToUtf16(ansi));
}

// Every U+FFFD in the text stands for bytes the encoding cannot read, unless the encoding spells
// U+FFFD itself with those bytes (UTF-8, GB18030).
Utf8Output AnsiToUtf8Output(std::string_view ansi, LineBreaks breaks, Encoding encoding) {
  Utf8Output output;
  output.text = AnsiToUtf8Text(ansi, breaks, encoding);
  if (output.text.find("\xEF\xBF\xBD") == std::string::npos) return output;
  const auto codec = CharCodec::For(encoding);
  const EncodedChar replacement = codec->Encode(U'\uFFFD');
  for (std::size_t pos = 0; pos < ansi.size();) {
    const CharCodec::Char c = codec->CharAt(ansi, pos);
    if (c.code_point == U'\uFFFD' &&
        !(replacement.held && ansi.substr(pos, c.length) == replacement.view())) {
      if (output.invalid++ == 0) {
        output.first_invalid = pos;
        output.first_invalid_bytes = ansi.substr(pos, c.length);
      }
    }
    pos += c.length;
  }
  return output;
}

std::size_t Utf8OffsetOf(std::string_view utf8, std::size_t ansi_offset, LineBreaks breaks,
                         Encoding encoding) {
  const auto codec = CharCodec::For(encoding);
  std::size_t ansi = 0;
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    const std::size_t length = Utf8CharAt(utf8, pos).first;
    // A CR LF pair is one line break: two bytes either way.
    const bool pair = breaks == LineBreaks::CrLf && utf8[pos] == '\r' && pos + 1 < utf8.size() &&
                      utf8[pos + 1] == '\n';
    const std::size_t next = ansi + AnsiLengthAt(utf8, pos, breaks, *codec).first;
    if (next > ansi_offset) break;
    ansi = next;
    pos += pair ? 2 : length;
  }
  return pos;
}

// Whole texts pass through here before anything else.
std::optional<std::size_t> FindInvalidUtf8(std::string_view bytes) {
  const std::size_t at = detail::FindUtf8Stop(bytes, 0, [](char32_t) { return true; });
  if (at == std::string_view::npos) return std::nullopt;
  return at;
}

}  // namespace tessaly
