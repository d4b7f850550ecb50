// The phrase matcher against OpenCC's converter on any bytes, for any configuration: the same text
// or both refuse it, and the pieces are OpenCC's segments. Inputs are first brought into what
// OpenCC reads defined: no zero byte (it stops there) and no last character running past the end
// (it reads beyond the text).
#include <opencc/Config.hpp>
#include <opencc/ConversionChain.hpp>
#include <opencc/Converter.hpp>
#include <opencc/Exception.hpp>
#include <opencc/Segmentation.hpp>
#include <opencc/Segments.hpp>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "engine/phrase_matcher.h"

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

}  // namespace
}  // namespace tessaly

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessaly;
  if (size < 1) return 0;
  static std::array<opencc::ConverterPtr, kConfigs.size()> converters;
  const std::size_t which = data[0] % kConfigs.size();
  if (!converters[which]) converters[which] = opencc::Config().NewFromFile(kConfigs[which]);
  const opencc::Converter& converter = *converters[which];
  const auto matcher = PhraseMatcher::Load(kConfigs[which]);
  const std::string text = Defined(data + 1, size - 1);

  Pieces expected;
  try {
    const opencc::SegmentsPtr source = converter.GetSegmentation()->Segment(text);
    const opencc::SegmentsPtr mapped = converter.GetConversionChain()->Convert(source);
    for (std::size_t i = 0; i < source->Length(); ++i)
      expected.emplace_back(std::strlen(source->At(i)), mapped->At(i));
  } catch (const opencc::Exception&) {
    try {
      matcher->Convert(text);
    } catch (const std::invalid_argument&) {
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
  Require(pieces == expected);
  return 0;
}
