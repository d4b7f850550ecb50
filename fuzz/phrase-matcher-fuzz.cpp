// The phrase matcher against OpenCC's converter for any configuration: the same text or both
// refuse it, and the pieces are OpenCC's segments, cut where no phrase reaches over. The first byte picks the configuration and
// whether the rest is raw bytes or a list of the configuration's own phrases. Raw bytes are first
// brought into what OpenCC reads defined: no zero byte (it stops there) and no last character
// running past the end (it reads beyond the text).
#include <unicode/utf8.h>
#include <opencc/Config.hpp>
#include <opencc/Conversion.hpp>
#include <opencc/ConversionChain.hpp>
#include <opencc/Converter.hpp>
#include <opencc/DictGroup.hpp>
#include <opencc/Exception.hpp>
#include <opencc/Lexicon.hpp>
#include <opencc/MaxMatchSegmentation.hpp>
#include <opencc/Segmentation.hpp>
#include <opencc/Segments.hpp>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/chinese/phrase_matcher.h"
#include "engine/errors.h"

namespace tessaly {
namespace {

constexpr std::array<const char*, 14> kConfigs = {
    "s2t.json",  "t2s.json",  "s2tw.json", "s2twp.json", "s2hk.json", "tw2s.json", "tw2sp.json",
    "hk2s.json", "t2tw.json", "tw2t.json", "t2hk.json",  "hk2t.json", "t2jp.json", "jp2t.json"};

void Require(bool condition) {
  if (!condition) std::abort();
}

// OpenCC's character length from the first byte; 0 where it throws.
std::size_t LeadLength(unsigned char b) {
  if (b < 0x80) return 1;
  if (b < 0xC0) return 0;
  if (b < 0xE0) return 2;
  if (b < 0xF0) return 3;
  if (b < 0xF8) return 4;
  if (b < 0xFC) return 5;
  if (b < 0xFE) return 6;
  return 0;
}

std::string Defined(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  std::replace(text.begin(), text.end(), '\0', ' ');
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t length = LeadLength(static_cast<unsigned char>(text[pos]));
    if (length == 0) break;  // OpenCC throws here, before it reaches the end
    if (pos + length > text.size()) {
      text.resize(pos);
      break;
    }
    pos += length;
  }
  return text;
}

using Pieces = std::vector<std::pair<std::size_t, std::string>>;

void CollectPhrases(const opencc::DictPtr& dict, std::vector<std::string>& phrases) {
  if (const auto group = std::dynamic_pointer_cast<opencc::DictGroup>(dict)) {
    for (const opencc::DictPtr& inner : group->GetDicts()) CollectPhrases(inner, phrases);
    return;
  }
  for (const auto& entry : *dict->GetLexicon()) {
    phrases.push_back(entry->Key());
    for (const std::string& value : entry->Values()) phrases.push_back(value);
  }
}

std::vector<std::string> Phrases(const opencc::Converter& converter) {
  std::vector<std::string> phrases;
  CollectPhrases(
      std::dynamic_pointer_cast<opencc::MaxMatchSegmentation>(converter.GetSegmentation())
          ->GetDict(),
      phrases);
  for (const auto& conversion : converter.GetConversionChain()->GetConversions())
    CollectPhrases(conversion->GetDict(), phrases);
  return phrases;
}

// Text made of the configuration's own phrases, so that the chain's rarer paths are reached: each
// pair of bytes is an ASCII character (below 0x80), or a phrase, whole or only its first character.
std::string PhraseText(const std::uint8_t* data, std::size_t size,
                       const std::vector<std::string>& phrases) {
  std::string text;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    const unsigned token = data[i] << 8 | data[i + 1];
    if (token < 0x80) {
      text += static_cast<char>(token == 0 ? ' ' : token);
      continue;
    }
    const std::string& phrase = phrases[(token >> 1) % phrases.size()];
    if (token & 1) {
      text += phrase;
    } else {
      std::size_t end = 1;
      while (end < phrase.size() && (phrase[end] & 0xC0) == 0x80) ++end;
      text += phrase.substr(0, end);
    }
  }
  return text;
}

// The fast path with stops at some characters: what it gives, with "?" at each stop, is what
// OpenCC gives for the text with "?" there, up to the first byte that is not UTF-8.
void CheckStops(const PhraseMatcher& matcher, const PhraseMatcher::Plan* plan,
                const CharacterStops& stops, const opencc::Converter& converter,
                const std::string& text) {
  if (plan == nullptr) return;
  std::string marked, converted;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::string_view rest = std::string_view(text).substr(pos);
    const std::size_t at = matcher.ConvertUntilStop(rest, converted, *plan).at;
    marked.append(rest.substr(0, at));
    pos += at;
    if (pos == text.size()) break;
    const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
    std::size_t next = pos;
    UChar32 cp = 0;
    U8_NEXT(data, next, text.size(), cp);
    if (cp < 0) break;  // not UTF-8: the text ends there
    Require(stops.Stops(static_cast<char32_t>(cp)));
    marked += '?';
    converted += '?';
    pos = next;
  }
  Require(converted == converter.Convert(marked));
}

// Whether the character at `pos`, read as OpenCC steps (its first byte's length), is one no key
// holds: a shortest-form BMP character (a surrogate too, which OpenCC reads as any other) outside
// `in_keys`.
bool FreeAt(std::string_view text, std::size_t pos, const CharacterStops& in_keys) {
  const std::size_t length = LeadLength(static_cast<unsigned char>(text[pos]));
  if (length == 0 || length > 3 || pos + length > text.size()) return false;
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[pos + i]); };
  char32_t c = length == 1 ? byte(0) : byte(0) & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return false;
    c = c << 6 | (byte(i) & 0x3F);
  }
  if ((length == 2 && c < 0x80) || (length == 3 && c < 0x800)) return false;
  return !in_keys.Stops(c);
}

// The matcher's pieces are OpenCC's segments, cut further only where a character no key holds
// meets one some key holds; each piece converts, on its own, as OpenCC converts it.
void CheckPieces(const Pieces& pieces, const Pieces& segments, std::string_view text,
                 const opencc::Converter& converter, const CharacterStops& in_keys) {
  std::vector<std::size_t> segment_ends;
  std::size_t end = 0;
  for (const auto& segment : segments) segment_ends.push_back(end += segment.first);
  std::vector<std::size_t> starts;  // of each character, as OpenCC steps
  for (std::size_t pos = 0; pos < text.size();
       pos += std::max<std::size_t>(1, LeadLength(static_cast<unsigned char>(text[pos]))))
    starts.push_back(pos);
  std::size_t start = 0;
  for (const auto& [bytes, mapped] : pieces) {
    Require(bytes != 0 && start + bytes <= text.size());
    const std::string source(text.substr(start, bytes));
    Require(converter.Convert(source) == mapped);
    start += bytes;
    if (start == text.size() ||
        std::binary_search(segment_ends.begin(), segment_ends.end(), start))
      continue;
    const auto next = std::lower_bound(starts.begin(), starts.end(), start);
    Require(next != starts.begin() && next != starts.end() && *next == start);
    Require(FreeAt(text, *(next - 1), in_keys) != FreeAt(text, start, in_keys));
  }
  Require(start == text.size());
}

}  // namespace
}  // namespace tessaly

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessaly;
  if (size < 1) return 0;
  static std::array<opencc::ConverterPtr, kConfigs.size()> converters;
  static std::array<std::vector<std::string>, kConfigs.size()> phrases;
  const std::size_t which = (data[0] & 0x7F) % kConfigs.size();
  if (!converters[which]) {
    converters[which] = opencc::Config().NewFromFile(kConfigs[which]);
    phrases[which] = Phrases(*converters[which]);
  }
  const opencc::Converter& converter = *converters[which];
  const auto matcher = PhraseMatcher::Load(kConfigs[which]);
  const std::string text =
      data[0] & 0x80 ? PhraseText(data + 1, size - 1, phrases[which]) : Defined(data + 1, size - 1);

  Pieces expected;
  try {
    const opencc::SegmentsPtr source = converter.GetSegmentation()->Segment(text);
    const opencc::SegmentsPtr mapped = converter.GetConversionChain()->Convert(source);
    for (std::size_t i = 0; i < source->Length(); ++i)
      expected.emplace_back(std::strlen(source->At(i)), mapped->At(i));
  } catch (const opencc::Exception&) {
    try {
      matcher->Convert(text);
    } catch (const MalformedText&) {
      return 0;
    }
    std::abort();  // OpenCC refused the text and the matcher did not
  }
  std::string whole;
  for (const auto& piece : expected) whole += piece.second;
  Require(matcher->Convert(text) == whole);
  Require(converter.Convert(text) == whole);
  Pieces pieces;
  matcher->Map(text, [&](std::size_t source_bytes, std::string_view mapped) {
    pieces.emplace_back(source_bytes, std::string(mapped));
  });
  CheckPieces(pieces, expected, text, converter, matcher->KeyCharacters());
  static const CharacterStops stops = [] {
    CharacterStops some;
    some.beyond_bmp = true;
    for (char32_t c = 0x4E00; c < 0xA000; c += 13) some.Add(c);
    return some;
  }();
  static std::array<std::shared_ptr<const PhraseMatcher::Plan>, kConfigs.size()> plans;
  static std::array<bool, kConfigs.size()> planned{};
  if (!planned[which]) {
    plans[which] = matcher->PlanFor(stops);
    planned[which] = true;
  }
  CheckStops(*matcher, plans[which].get(), stops, converter, text);
  return 0;
}
