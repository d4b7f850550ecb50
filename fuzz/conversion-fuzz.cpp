// The whole conversion with any mode, separator style, deletion flags, working encoding and input:
// the length laws hold, the chunked path agrees, and only the modes that may fault report one.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engine/byte_modes.h"
#include "engine/chunked_conversion.h"
#include "engine/conversion.h"
#include "engine/modes.h"
#include "engine/pipeline.h"

namespace tessaly {
namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

using Mode = ConversionMode;

constexpr std::array kStyles = {SeparatorStyle::Unselected,     SeparatorStyle::SeparatorNone,
                                SeparatorStyle::SeparatorSpace, SeparatorStyle::SeparatorComma,
                                SeparatorStyle::SeparatorDot,   SeparatorStyle::SeparatorHexList};

// The simplified/traditional standards and the GBK/BIG5 recodings, whose libraries may fail.
bool IsChineseMode(ConversionMode mode) {
  const ModeInfo* info = FindMode(mode);
  return (info != nullptr && !info->opencc_config.empty()) || mode == Mode::GbkToBig5 ||
         mode == Mode::Big5ToGbk;
}

// Those, and the Unicode modes: their library may fail, and a result past the room the mode
// gives it (three bytes a byte for utf8-encode, one a digit for utf8-decode) is a failure too.
bool MayFault(ConversionMode mode) {
  return IsChineseMode(mode) || mode == Mode::Utf16Encode || mode == Mode::Utf16Decode ||
         mode == Mode::Utf8Encode || mode == Mode::Utf8Decode;
}

void CheckModeLength(ConversionMode mode, std::size_t n, const AnsiText& out) {
  switch (mode) {
    case ConversionMode::HexEncode:
      Require(out.size() == 2 * n);
      break;
    case ConversionMode::HexDecode:
      Require(out.size() == (n + 1) / 2);
      break;
    case ConversionMode::CharArray:
      Require(out.size() == 4 * n + 7);
      break;
    case ConversionMode::FormatOnly:
      Require(out.size() == n);
      break;
    case ConversionMode::RandomBytes: {
      Require(out.size() == 512);
      std::string bytes = HexDecode(out);
      std::sort(bytes.begin(), bytes.end());
      Require(std::adjacent_find(bytes.begin(), bytes.end()) == bytes.end());
      break;
    }
    case ConversionMode::Unselected:
      Require(out.empty());
      break;
    default:
      break;
  }
}

void CheckSeparatedLength(SeparatorStyle style, std::size_t m, const AnsiText& out) {
  const std::size_t pieces = (m + 1) / 2;
  switch (style) {
    case SeparatorStyle::SeparatorSpace:
    case SeparatorStyle::SeparatorComma:
    case SeparatorStyle::SeparatorDot:
      Require(out.size() == m + pieces);
      break;
    case SeparatorStyle::SeparatorHexList:
      Require(out.size() == (m == 0 ? 2 : m + 3 * pieces - 1));
      break;
    default:
      Require(out.size() == m);
  }
}

}  // namespace
}  // namespace tessaly

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessaly;
  if (size < 4) return 0;
  // No mode, or any mode of the table.
  const std::size_t pick = data[0] % (ModeTable().size() + 1);
  const ConversionMode mode = pick == ModeTable().size() ? Mode::Unselected : ModeTable()[pick].id;
  const SeparatorStyle style = kStyles[data[1] % kStyles.size()];
  const DeletionOptions deletion{bool(data[2] & 1), bool(data[2] & 2), bool(data[2] & 4),
                                 bool(data[2] & 8), bool(data[2] & 16)};
  const std::uint32_t ticks = data[3];
  const std::string_view input(reinterpret_cast<const char*>(data + 4), size - 4);

  FaultLog faults;
  ConversionContext context{faults, [ticks] { return ticks; }};
  context.encoding = EncodingTable()[data[3] % EncodingTable().size()].id;
  context.unicode_result = (data[3] & 0x80) != 0;
  const AnsiText stripped = StripSelectedChars(input, deletion, InfoOf(context.encoding).leads);
  const AnsiText mode_output = RunMode(mode, stripped, context).text;
  CheckModeLength(mode, stripped.size(), mode_output);
  const AnsiText separated = ApplySeparators(mode_output, style);
  CheckSeparatedLength(style, mode_output.size(), separated);

  const AnsiText whole = RunConversion({AnsiText(input), mode, deletion, style}, context).text;
  Require(IsChineseMode(mode) || whole == separated);
  Require(faults.All().empty() || MayFault(mode));

  if (ChunkedConversion::Supports(mode)) {
    const std::size_t cut = (data[2] >> 5) * input.size() / 7;
    ChunkedConversion chunked(mode, deletion, style, context);
    AnsiText out;
    chunked.Convert(input.substr(0, cut), out);
    chunked.Convert(input.substr(cut), out);
    chunked.Finish(out);
    Require(out == whole);
    Require(faults.All().empty() || MayFault(mode));
  }
  return 0;
}
