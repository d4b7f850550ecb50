// Simplified/traditional --raw as the command line runs it, block by block at the places the
// conversion says a text may be cut (before a character no phrase holds, or where the
// segmentation puts a phrase), against the mode on the whole input, under every working
// encoding: the same bytes. The first bytes pick the encoding, the configuration and the cuts.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "engine/chinese/chinese_mapping.h"
#include "engine/chinese/chinese_text.h"
#include "engine/detail/chinese_routines.h"
#include "engine/encodings.h"

namespace tessaly {
namespace {

constexpr std::array<const char*, 6> kConfigs = {"s2t.json",   "t2s.json",  "s2twp.json",
                                                 "tw2sp.json", "s2hk.json", "jp2t.json"};

// No fault is expected: the data is installed, and the mode keeps what it cannot read.
void RequireNoFault(const FaultLog& faults) {
  if (faults.First()) std::abort();
}

const ChineseTextConversion& ConversionFor(std::size_t encoding, std::size_t config) {
  static std::array<std::array<std::unique_ptr<ChineseTextConversion>, kConfigs.size()>, 8> made;
  auto& conversion = made.at(encoding)[config];
  if (!conversion)
    conversion = std::make_unique<ChineseTextConversion>(kConfigs[config], "TEST",
                                                         EncodingTable()[encoding].id);
  if (conversion->load_fault()) std::abort();
  return *conversion;
}

// Cuts where the conversion allows, near the places `seed` picks, as the batches and pieces do.
std::string Streamed(const ChineseTextConversion& conversion, std::string_view bytes,
                     std::uint32_t seed) {
  std::string out;
  FaultLog faults;
  std::size_t start = 0;
  while (start < bytes.size()) {
    seed = seed * 1103515245u + 12345u;
    const std::size_t target = start + 1 + (seed >> 16) % 64;
    const std::string_view ahead = bytes.substr(0, std::min(target, bytes.size()));
    std::size_t cut = std::string_view::npos;
    switch (seed % 3) {
      case 0:
        cut = conversion.NextCut(bytes, ahead.size(), true);
        break;
      case 1:
        cut = conversion.LastCut(ahead, true);
        break;
      default:  // where the segmentation of what has been read puts a phrase
        cut = conversion.SegmentedCut(ahead, start, true).phrase_end;
        break;
    }
    if (cut == std::string_view::npos || cut <= start) cut = bytes.size();
    conversion.ConvertBytes(bytes.substr(start, cut - start), out, faults);
    start = cut;
  }
  RequireNoFault(faults);
  return out;
}

}  // namespace
}  // namespace tessaly

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessaly;
  if (size < 3) return 0;
  const std::size_t encoding = data[0] % EncodingTable().size();
  const std::size_t config = data[1] % kConfigs.size();
  const std::string_view bytes(reinterpret_cast<const char*>(data + 3), size - 3);
  const ChineseTextConversion& conversion = ConversionFor(encoding, config);
  FaultLog faults;
  const AnsiText whole = detail::ConvertChineseWith(
      bytes, faults, "TEST", StandardMapper(kConfigs[config]), EncodingTable()[encoding].id);
  RequireNoFault(faults);
  if (Streamed(conversion, bytes, data[2]) != whole) std::abort();
  return 0;
}
