#include "engine/hex_prefixes.h"

#include <gtest/gtest.h>

namespace tessaly {
namespace {

struct BlankCase {
  std::string name;
  std::string text;
  std::string expected;
};

class HexPrefixesTest : public ::testing::TestWithParam<BlankCase> {};

// Whole, and cut into two chunks at every place: a prefix may end up split between them.
TEST_P(HexPrefixesTest, BlanksPrefixesOnly) {
  const BlankCase& c = GetParam();
  EXPECT_EQ(BlankHexPrefixes(c.text, ' '), c.expected);
  for (std::size_t cut = 0; cut <= c.text.size(); ++cut) {
    HexPrefixBlanker blanker(' ');
    std::string out;
    blanker.Blank(std::string_view(c.text).substr(0, cut), out);
    blanker.Blank(std::string_view(c.text).substr(cut), out);
    blanker.Finish(out);
    EXPECT_EQ(out, c.expected) << cut;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, HexPrefixesTest,
                         ::testing::Values(BlankCase{"SeparatorStyle", "0xC4,0xE3", "  C4,  E3"},
                                           BlankCase{"UpperX", "0XaB", "  aB"},
                                           BlankCase{"AfterADigitIsAPiece", "410x42", "410x42"},
                                           BlankCase{"NoDigitAfter", "0x,0xg", "0x,0xg"},
                                           BlankCase{"AtTheEnd", "41 0x", "41 0x"},
                                           BlankCase{"ZerosStay", "000x41", "000x41"},
                                           BlankCase{"ZeroValue", "0x00 0x0A", "  00   0A"},
                                           BlankCase{"AfterAHexLetter", "a0x41", "a0x41"},
                                           BlankCase{"AfterALetter", "g0x41", "g  41"},
                                           BlankCase{"AfterNonAscii",
                                                     "\xE4\xBD\xA0"
                                                     "0x41",
                                                     "\xE4\xBD\xA0  41"},
                                           BlankCase{"Empty", "", ""}),
                         [](const auto& info) { return info.param.name; });

TEST(PrefixBlank, OnlyDecodersUnderADeletion) {
  const DeletionOptions tabs_only{false, false, false, true, false};
  EXPECT_EQ(PrefixBlank(*FindMode(ConversionMode::HexDecode), DeletionOptions::All()), ' ');
  EXPECT_EQ(PrefixBlank(*FindMode(ConversionMode::Utf16Decode), tabs_only), '\t');
  EXPECT_EQ(PrefixBlank(*FindMode(ConversionMode::Utf8Decode), DeletionOptions{}), std::nullopt);
  EXPECT_EQ(PrefixBlank(*FindMode(ConversionMode::FormatOnly), DeletionOptions::All()),
            std::nullopt);
  EXPECT_EQ(PrefixBlank(*FindMode(ConversionMode::HexEncode), DeletionOptions::All()),
            std::nullopt);
}

}  // namespace
}  // namespace tessaly
