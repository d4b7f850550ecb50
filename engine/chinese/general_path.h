#pragma once

// The general path of the phrase matcher: a text decoded into code points, segmented as OpenCC's
// MaxMatchSegmentation does, each segment taken through the conversion chain step by step.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/chinese/chinese_mapping.h"
#include "engine/chinese/phrase_matcher.h"
#include "engine/chinese/tables.h"
#include "engine/detail/utf8.h"

namespace tessaly::detail {

/// A call's own buffers, so one matcher serves any number of threads.
struct Workspace {
  std::vector<char32_t> text;
  std::vector<std::string_view> raw;
  // How many bytes each character of `text` was read from, kept only once normalization has
  // changed one (`normalized`); until then a character's own length says.
  std::vector<std::uint8_t> lengths;
  bool normalized = false;
  std::array<std::vector<char32_t>, 2> steps;
  const std::vector<std::uint8_t>* watched = nullptr;  // values to tell of, by index
  bool wrote_watched = false;

  /// Notes a value about to be written at some step.
  void Use(const PhraseTables& t, const Value& value) {
    if (watched != nullptr && (*watched)[static_cast<std::size_t>(&value - t.values.data())])
      wrote_watched = true;
  }
};

/// Decoded characters.
struct Span {
  const char32_t* data;
  std::size_t size;
};

/// Appends a decoded character read from `length` bytes, normalized as the tables say.
inline void PushChar(const PhraseTables& t, char32_t cp, std::size_t length, Workspace& w) {
  const char32_t normal = cp < kRawBase ? t.Normalized(cp) : cp;
  if (normal != cp && !w.normalized) {
    w.normalized = true;
    w.lengths.clear();
    for (const char32_t c : w.text)
      w.lengths.push_back(
          static_cast<std::uint8_t>(c >= kRawBase ? w.raw[c - kRawBase].size() : Utf8Length(c)));
  }
  w.text.push_back(normal);
  if (w.normalized) w.lengths.push_back(static_cast<std::uint8_t>(length));
}

/// Empties the decoded text.
inline void ClearText(Workspace& w) {
  w.text.clear();
  w.raw.clear();
  w.lengths.clear();
  w.normalized = false;
}

/// How many bytes of the text `n` decoded characters, from `chars` in `w.text`, were read from.
inline std::size_t SourceLength(const char32_t* chars, std::size_t n, const Workspace& w) {
  std::size_t bytes = 0;
  if (w.normalized) {
    const auto first = static_cast<std::size_t>(chars - w.text.data());
    for (std::size_t i = 0; i < n; ++i) bytes += w.lengths[first + i];
    return bytes;
  }
  for (std::size_t i = 0; i < n; ++i)
    bytes += chars[i] >= kRawBase ? w.raw[chars[i] - kRawBase].size() : Utf8Length(chars[i]);
  return bytes;
}

/// One segment through the conversion chain, appended to `out`: `key_value` is the
/// segmentation's value when the segment is one of its phrases, `source` where the segment's
/// bytes start in the text.
void ConvertSegment(const PhraseTables& t, Span segment, const Value* key_value, Workspace& w,
                    std::string& out, const char* source);

/// Decodes the text from `pos` up to the next ASCII character when ASCII is inert, or to its end,
/// and converts that run onto `out`; returns where it stopped. Throws MalformedText
/// where OpenCC throws on bad UTF-8.
std::size_t ConvertRunAt(const PhraseTables& t, std::string_view text, std::size_t pos,
                         Workspace& w, std::string& out);

/// Converts the whole text onto `out`; returns whether a value `watched` flags was written at
/// some step.
bool ConvertText(const PhraseTables& t, std::string_view text, std::string& out,
                 const std::vector<std::uint8_t>* watched);

/// Converts the whole text piece by piece (PhraseMatcher::Map); `in_keys` holds the characters
/// some key holds.
void ConvertPieces(const PhraseTables& t, std::string_view text, const MappedPieceSink& sink,
                   const CharacterStops& in_keys);

}  // namespace tessaly::detail
