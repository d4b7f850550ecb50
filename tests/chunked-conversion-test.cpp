#include "engine/chunked_conversion.h"

#include <gtest/gtest.h>

#include <random>

#include "engine/byte_modes.h"
#include "tests/test_support.h"

namespace tessaly {
namespace {

using Mode = ConversionMode;
using Style = SeparatorStyle;

class ChunkedConversionTest : public ::testing::TestWithParam<std::tuple<Mode, Style>> {};

std::string RandomText(std::mt19937& random) {
  // Hex digits, deletable bytes, lead bytes and junk, so chunk edges fall everywhere that matters.
  // A zero byte too: the Unicode and code-page modes end their text there.
  static constexpr char kBytes[] = "0123456789abcDEFx- ,.\t\r\n\x81\xC4\xE3\xFE\xFF\x80\x7F\x40z";
  constexpr std::string_view kAlphabet(kBytes, sizeof kBytes);
  std::string text(random() % 40, ' ');
  for (char& c : text) c = kAlphabet[random() % kAlphabet.size()];
  return text;
}

// Whatever the cut of the input into chunks, the bytes equal those of one whole conversion.
TEST_P(ChunkedConversionTest, MatchesWholeConversionForAnyChunking) {
  const auto [mode, style] = GetParam();
  ASSERT_TRUE(ChunkedConversion::Supports(mode));
  std::mt19937 random(static_cast<unsigned>(mode) * 31 + static_cast<unsigned>(style));
  for (int round = 0; round < 3000; ++round) {
    const std::string text = RandomText(random);
    const auto bits = random();
    const DeletionOptions deletion{bool(bits & 1), bool(bits & 2), bool(bits & 4), bool(bits & 8),
                                   bool(bits & 16)};
    FaultLog faults;
    ChunkedConversion conversion(mode, deletion, style, ConversionContext{faults});
    AnsiText chunked;
    for (std::size_t at = 0; at < text.size();) {
      const std::size_t size = std::min<std::size_t>(random() % 4, text.size() - at);
      conversion.Convert(std::string_view(text).substr(at, size), chunked);
      at += size;
    }
    conversion.Finish(chunked);
    const ConversionResult whole =
        RunConversion({text, mode, deletion, style}, ConversionContext{faults});
    ASSERT_EQ(chunked, whole.text) << "round " << round << " text " << HexEncode(text);
    const LossReport losses = conversion.losses();
    for (const auto kind : {LossKind::Unmappable, LossKind::EmptyHexPiece}) {
      ASSERT_EQ(losses[kind].count, whole.losses[kind].count) << "round " << round;
      if (losses[kind].count != 0) {
        ASSERT_EQ(losses[kind].first_offset, whole.losses[kind].first_offset)
            << "round " << round << " text " << HexEncode(text);
      }
    }
    ASSERT_TRUE(faults.All().empty()) << "round " << round;
  }
}

INSTANTIATE_TEST_SUITE_P(
    ModesAndStyles, ChunkedConversionTest,
    ::testing::Combine(::testing::Values(Mode::HexEncode, Mode::HexDecode, Mode::CharArray,
                                         Mode::FormatOnly, Mode::GbkToBig5, Mode::Big5ToGbk,
                                         Mode::Utf16Encode, Mode::Utf8Encode,
                                         Mode::SimplifiedToTraditional, Mode::S2twp),
                       ::testing::Values(Style::SeparatorNone, Style::SeparatorSpace,
                                         Style::SeparatorComma, Style::SeparatorDot,
                                         Style::SeparatorHexList, Style::Unselected)));

// Under every working encoding, the block-by-block walk of characters (up to four bytes) and of
// deletions agrees with the whole-text conversion.
class ChunkedEncodingTest : public ::testing::TestWithParam<Encoding> {};

TEST_P(ChunkedEncodingTest, MatchesWholeConversionForAnyChunking) {
  static constexpr char kBytes[] =
      "09AZ ,.\r\n\x81\x30\x84\x31\xA4\xE4\xBD\xA0\xF0\x9F\x98\xE0\xFC";
  constexpr std::string_view kAlphabet(kBytes, sizeof kBytes - 1);
  std::mt19937 random(static_cast<unsigned>(GetParam()) + 3);
  FaultLog faults;
  ConversionContext context{faults};
  context.encoding = GetParam();
  for (int round = 0; round < 2000; ++round) {
    std::string text(random() % 30, ' ');
    for (char& c : text) c = kAlphabet[random() % kAlphabet.size()];
    for (const Mode mode : {Mode::Utf16Encode, Mode::Utf8Encode, Mode::FormatOnly}) {
      const DeletionOptions deletion{.DeleteSpaces = true, .DeleteLineBreaks = true};
      ChunkedConversion conversion(mode, deletion, Style::SeparatorNone, context);
      AnsiText chunked;
      for (std::size_t at = 0; at < text.size();) {
        const std::size_t size = std::min<std::size_t>(random() % 5, text.size() - at);
        conversion.Convert(std::string_view(text).substr(at, size), chunked);
        at += size;
      }
      conversion.Finish(chunked);
      const AnsiText whole =
          RunConversion({text, mode, deletion, Style::SeparatorNone}, context).text;
      ASSERT_EQ(chunked, whole) << "round " << round << " mode " << static_cast<int>(mode)
                                << " text " << HexEncode(text);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Encodings, ChunkedEncodingTest,
                         ::testing::Values(Encoding::Gbk, Encoding::Gb18030, Encoding::Big5,
                                           Encoding::Utf8, Encoding::ShiftJis, Encoding::EucKr));

TEST(ChunkedConversion, LeavesWholeTextModesToRunConversion) {
  for (const Mode mode : {Mode::Utf16Decode, Mode::Utf8Decode, Mode::RandomBytes, Mode::Unselected})
    EXPECT_FALSE(ChunkedConversion::Supports(mode)) << static_cast<int>(mode);
}

}  // namespace
}  // namespace tessaly
