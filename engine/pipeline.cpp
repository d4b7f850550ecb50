#include "engine/pipeline.h"

#include <array>
#include <chrono>

#include "engine/byte_modes.h"
#include "engine/chinese_modes.h"
#include "engine/unicode_modes.h"

namespace tessaly {
namespace {

constexpr bool IsLeadByte(unsigned char byte) {
  return byte >= 0x81 && byte <= 0xFE;
}

using DeletionTable = std::array<bool, 256>;

DeletionTable MakeDeletionTable(const DeletionOptions& options) {
  DeletionTable table{};
  table[' '] = options.DeleteSpaces;
  table['.'] = options.DeleteDots;
  table[','] = options.DeleteCommas;
  table['\t'] = options.DeleteTabs;
  table['\r'] = table['\n'] = options.DeleteLineBreaks;
  return table;
}

// Every target is a single-byte character, so deleting one never moves the character boundaries
// after it: one pass with a table gives what successive passes per target would.
AnsiText RemoveMarked(std::string_view text, const DeletionTable& marked) {
  AnsiText out;
  out.reserve(text.size());
  const std::size_t size = text.size();
  for (std::size_t i = 0; i < size;) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (IsLeadByte(byte) && i + 1 < size) {
      out.append(text.data() + i, 2);
      i += 2;
    } else {
      if (!marked[byte]) out.push_back(text[i]);
      ++i;
    }
  }
  return out;
}

}  // namespace

std::uint32_t MonotonicTickCount() {
  const auto since_start = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(since_start).count());
}

AnsiText RemoveChar(std::string_view text, char target) {
  DeletionTable marked{};
  marked[static_cast<unsigned char>(target)] = true;
  return RemoveMarked(text, marked);
}

AnsiText StripSelectedChars(std::string_view text, const DeletionOptions& options) {
  return RemoveMarked(text, MakeDeletionTable(options));
}

AnsiText ApplySeparators(std::string_view text, SeparatorStyle style) {
  char separator = 0;
  switch (style) {
    case SeparatorStyle::SeparatorSpace:
      separator = ' ';
      break;
    case SeparatorStyle::SeparatorComma:
      separator = ',';
      break;
    case SeparatorStyle::SeparatorDot:
      separator = '.';
      break;
    case SeparatorStyle::SeparatorHexList:
      break;
    default:
      return AnsiText(text);
  }
  const std::size_t pieces = (text.size() + 1) / 2;
  AnsiText out;
  if (style == SeparatorStyle::SeparatorHexList) {
    // "0x" before every piece, "," between them: 2 + 3 bytes per piece after the first.
    out.reserve(text.size() + 3 * pieces + 2);
    out += "0x";
    for (std::size_t k = 0; k < pieces; ++k) {
      if (k > 0) out += ",0x";
      out.append(text.substr(2 * k, 2));
    }
    return out;
  }
  out.reserve(text.size() + pieces);
  for (std::size_t k = 0; k < pieces; ++k) {
    out.append(text.substr(2 * k, 2));
    out.push_back(separator);
  }
  return out;
}

bool IsModeAvailable(ConversionMode mode) {
  switch (mode) {
    case ConversionMode::SimplifiedToTraditional:
    case ConversionMode::TraditionalToSimplified:
    case ConversionMode::GbkToBig5:
    case ConversionMode::Big5ToGbk:
      return ChineseModesAvailable();
    default:
      return true;
  }
}

AnsiText RunMode(ConversionMode mode, std::string_view input, const ConversionContext& context) {
  switch (mode) {
    case ConversionMode::HexEncode:
      return HexEncode(input);
    case ConversionMode::HexDecode:
      return HexDecode(input);
    case ConversionMode::Utf16Encode:
      return Utf16Encode(input);
    case ConversionMode::Utf16Decode:
      return Utf16Decode(input);
    case ConversionMode::RandomBytes:
      return RandomBytes(input, context.ticks);
    case ConversionMode::SimplifiedToTraditional:
      return SimplifiedToTraditional(input, context.reporter);
    case ConversionMode::TraditionalToSimplified:
      return TraditionalToSimplified(input, context.reporter);
    case ConversionMode::GbkToBig5:
      return GbkToBig5(input, context.reporter);
    case ConversionMode::Big5ToGbk:
      return Big5ToGbk(input, context.reporter);
    case ConversionMode::CharArray:
      return CharArray(input);
    case ConversionMode::Utf8Encode:
      return Utf8Encode(input);
    case ConversionMode::Utf8Decode:
      return Utf8Decode(input);
    case ConversionMode::FormatOnly:
      return FormatOnly(input);
    default:
      return {};  // 0 and the reserved ids 1012 to 1018
  }
}

AnsiText RunConversion(const ConversionRequest& request, const ConversionContext& context) {
  const AnsiText stripped = StripSelectedChars(request.input, request.deletion);
  const AnsiText mode_output = RunMode(request.mode, stripped, context);
  return ApplySeparators(mode_output, request.style);
}

}  // namespace tessaly
