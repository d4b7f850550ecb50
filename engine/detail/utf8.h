#pragma once

// UTF-8 decoding for the whole engine: ICU's U8_NEXT wherever a text is checked or read as
// Unicode, and one hand-written variant for the phrase matcher, which must read text as OpenCC
// does.
#include <unicode/utf8.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace tessaly::detail {

/// Whether `byte` continues a character rather than starting one.
constexpr bool IsContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

/// OpenCC's length of a character from its first byte (up to six, as old UTF-8 allowed); 0 for a
/// byte OpenCC throws at. OpenCC steps over a malformed character by this length.
inline constexpr std::array<std::uint8_t, 256> kOpenCcLeadLength = [] {
  std::array<std::uint8_t, 256> table{};
  for (int b = 0; b < 256; ++b) {
    table[b] = b < 0x80   ? 1
               : b < 0xC0 ? 0
               : b < 0xE0 ? 2
               : b < 0xF0 ? 3
               : b < 0xF8 ? 4
               : b < 0xFC ? 5
               : b < 0xFE ? 6
                          : 0;
  }
  return table;
}();

/// Decodes the shortest-form character of `length` bytes at `p`, surrogates included; false for
/// anything else. Not U8_NEXT: a surrogate must read as the code point its bytes spell, so that it
/// is written back as those bytes.
inline bool DecodeOpenCcChar(const unsigned char* p, std::size_t length, char32_t& cp) {
  switch (length) {
    case 1:
      cp = p[0];
      return true;
    case 2:
      if (!IsContinuation(p[1])) return false;
      cp = (char32_t{p[0] & 0x1Fu} << 6) | (p[1] & 0x3Fu);
      return cp >= 0x80;
    case 3:
      if (!IsContinuation(p[1]) || !IsContinuation(p[2])) return false;
      cp = (char32_t{p[0] & 0x0Fu} << 12) | (char32_t{p[1] & 0x3Fu} << 6) | (p[2] & 0x3Fu);
      return cp >= 0x800;
    case 4:
      if (!IsContinuation(p[1]) || !IsContinuation(p[2]) || !IsContinuation(p[3])) return false;
      cp = (char32_t{p[0] & 0x07u} << 18) | (char32_t{p[1] & 0x3Fu} << 12) |
           (char32_t{p[2] & 0x3Fu} << 6) | (p[3] & 0x3Fu);
      return cp >= 0x10000 && cp <= 0x10FFFF;
    default:
      return false;
  }
}

/// The character at `pos` of the `n` bytes at `p`, as DecodeOpenCcChar reads it: its length, or
/// 0 where it is malformed or cut off by the end.
inline std::size_t OpenCcCharAt(const unsigned char* p, std::size_t pos, std::size_t n,
                                char32_t& cp) {
  const std::size_t length = kOpenCcLeadLength[p[pos]];
  if (length == 0 || length > n - pos || !DecodeOpenCcChar(p + pos, length, cp)) return 0;
  return length;
}

/// Writes `cp` as UTF-8 to `out`, which has room for four bytes; returns how many it wrote. A
/// surrogate is written as the three bytes it was read from.
inline std::size_t EncodeUtf8(char32_t cp, char* out) {
  if (cp < 0x80) {
    out[0] = static_cast<char>(cp);
    return 1;
  }
  if (cp < 0x800) {
    out[0] = static_cast<char>(0xC0 | (cp >> 6));
    out[1] = static_cast<char>(0x80 | (cp & 0x3F));
    return 2;
  }
  if (cp < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (cp >> 12));
    out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (cp & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (cp >> 18));
  out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (cp & 0x3F));
  return 4;
}

/// Appends `cp` as UTF-8; a surrogate is written as the three bytes it was read from.
inline void AppendUtf8(std::string& out, char32_t cp) {
  char bytes[4];
  out.append(bytes, EncodeUtf8(cp, bytes));
}

/// How many bytes AppendUtf8 writes for `cp`.
constexpr std::size_t Utf8Length(char32_t cp) {
  return cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
}

/// Where the run of ASCII bytes from `pos` ends, eight bytes at a time.
inline std::size_t AsciiEnd(std::string_view text, std::size_t pos) {
  constexpr std::uint64_t kHighBits = 0x8080808080808080u;
  while (pos + 8 <= text.size()) {
    std::uint64_t word = 0;
    std::memcpy(&word, text.data() + pos, 8);
    if (word & kHighBits) break;
    pos += 8;
  }
  while (pos < text.size() && static_cast<unsigned char>(text[pos]) < 0x80) ++pos;
  return pos;
}

/// The offset, from `pos`, of the first character that is not well-formed UTF-8 (U8_NEXT's
/// reading) or for which `keep(c)` is false; npos when there is none. ASCII always passes.
/// Whole texts pass through here: ASCII goes eight bytes at a time, the three-byte characters of
/// CJK are decoded inline, and U8_NEXT reads the rest.
template <typename Keep>
std::size_t FindUtf8Stop(std::string_view utf8, std::size_t pos, Keep&& keep) {
  const auto* data = reinterpret_cast<const std::uint8_t*>(utf8.data());
  const std::size_t length = utf8.size();
  for (std::size_t i = pos; i < length;) {
    if (i + 8 <= length) {
      std::uint64_t word = 0;
      std::memcpy(&word, data + i, 8);
      if ((word & 0x8080808080808080u) == 0) {
        i += 8;
        continue;
      }
    }
    const std::uint8_t lead = data[i];
    if (lead < 0x80) {
      ++i;
      continue;
    }
    // E1 to EC and EE to EF take any continuation bytes; E0 and ED have narrower second bytes.
    if (lead >= 0xE1 && lead <= 0xEF && lead != 0xED && i + 2 < length &&
        IsContinuation(data[i + 1]) && IsContinuation(data[i + 2])) {
      const char32_t c = (lead & 0x0Fu) << 12 | (data[i + 1] & 0x3Fu) << 6 | (data[i + 2] & 0x3Fu);
      if (!keep(c)) return i;
      i += 3;
      continue;
    }
    const std::size_t start = i;
    UChar32 c = 0;
    U8_NEXT(data, i, length, c);
    if (c < 0 || !keep(static_cast<char32_t>(c))) return start;
  }
  return std::string_view::npos;
}

}  // namespace tessaly::detail
