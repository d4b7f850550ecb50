#include "engine/byte_modes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <random>

#include "engine/detail/byte_blocks.h"
#include "tests/hex_reference.h"
#include "tests/test_support.h"

namespace tessaly {
namespace {

using detail::NextRandom;
using detail::SeedRandom;
using testing::Bytes;

struct ParseCase {
  std::string name;
  std::string text;
  std::string expected;
};

class ParseHexPairsTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseHexPairsTest, FollowsThePieceRules) {
  EXPECT_EQ(ParseHexPairs(GetParam().text), GetParam().expected);
  EXPECT_EQ(HexDecode(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Pieces, ParseHexPairsTest,
    ::testing::Values(ParseCase{"Digits", "3132333435", "12345"},
                      ParseCase{"Upper", "C4E3BAC3", Bytes("C4E3BAC3")},
                      ParseCase{"Lower", "c4e3bac3", Bytes("C4E3BAC3")},
                      ParseCase{"OddLastDigit", "313", "1" + Bytes("03")},
                      ParseCase{"DigitThenJunk", "3z", Bytes("03")},
                      ParseCase{"JunkRepeatsLastByte", "31zz32", "112"},
                      ParseCase{"PrefixYieldsNoValue", "310x32", "112"},
                      ParseCase{"UpperPrefix", "410X", "AA"},
                      ParseCase{"MinusOne", "-1", Bytes("FF")},
                      ParseCase{"MinusF", "-f", Bytes("F1")}, ParseCase{"PlusF", "+f", Bytes("0F")},
                      ParseCase{"SignedZero", "+0-0", std::string(2, '\0')},
                      ParseCase{"LoneSign", "41-", "AA"},
                      ParseCase{"Zero", "00", std::string(1, '\0')}, ParseCase{"Empty", "", ""},
                      ParseCase{"CellStartsAtZero", "zz41", std::string("\0A", 2)},
                      ParseCase{"TwoSpacesNoValue", "41  ", "AA"},
                      ParseCase{"LeadingSpaceSkipped", "41 3\t4", "A" + Bytes("0304")},
                      ParseCase{"VerticalTabAndFormFeed", "\vA\fb", Bytes("0A0B")},
                      ParseCase{"SpacedPairsShift", "60 4F 7D 59", Bytes("60040F7D0509")},
                      ParseCase{"HighBytesAreNotDigits", "41" + Bytes("C4E3"), "AA"},
                      ParseCase{"DigitThenHighByte", "4" + Bytes("C4"), Bytes("04")},
                      ParseCase{"XAloneIsNoPrefix", "x1", std::string(1, '\0')}),
    [](const auto& info) { return info.param.name; });

// The fast path for two digits and the general reader must agree with the plain reference.
TEST(ParseHexPairs, AgreesWithReferenceOnGeneratedText) {
  constexpr std::string_view kAlphabet = "0123456789abcdefABCDEFxXzZ+- \t\r\n\v\f\x80\xC4\xFF";
  std::mt19937 random(11);
  for (int round = 0; round < 20000; ++round) {
    std::string text(random() % 12, ' ');
    for (char& c : text) c = kAlphabet[random() % kAlphabet.size()];
    ASSERT_EQ(ParseHexPairs(text), testing::ReferenceParseHexPairs(text))
        << "text '" << text << "'";
  }
}

TEST(HexEncode, WritesTwoUppercaseDigitsPerByte) {
  EXPECT_EQ(HexEncode("12345"), "3132333435");
  EXPECT_EQ(HexEncode(Bytes("C4E3BAC3")), "C4E3BAC3");
  EXPECT_EQ(HexEncode(std::string("\0\xFF", 2)), "00FF");
  EXPECT_EQ(HexEncode(""), "");
}

// The vectorised and the byte-at-a-time paths against snprintf's "%02X", at every length and
// alignment around the sixteen-byte blocks.
TEST(HexEncode, MatchesPrintfAtEveryLength) {
  std::mt19937 random(5);
  std::string bytes(200, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  for (std::size_t offset = 0; offset < 3; ++offset) {
    for (std::size_t length = 0; length + offset <= bytes.size(); ++length) {
      const std::string_view input = std::string_view(bytes).substr(offset, length);
      std::string expected;
      for (const char c : input) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02X", static_cast<unsigned char>(c));
        expected += pair;
      }
      ASSERT_EQ(HexEncode(input), expected) << "offset " << offset << " length " << length;
    }
  }
}

TEST(HexEncode, RoundTripsThroughHexDecodeForEveryByteValue) {
  std::string all(256, '\0');
  for (int b = 0; b < 256; ++b) all[b] = static_cast<char>(b);
  std::mt19937 random(3);
  std::string shuffled = all + all;
  std::shuffle(shuffled.begin(), shuffled.end(), random);
  EXPECT_EQ(HexDecode(HexEncode(shuffled)), shuffled);
  EXPECT_EQ(HexEncode(all).size(), 512u);
}

TEST(NextRandom, IsTheClassicLinearCongruentialSequence) {
  SeedRandom(1);
  for (const int expected : {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358})
    EXPECT_EQ(NextRandom(), expected);
}

class RandomBytesTest : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(RandomBytesTest, IsAPermutationOfAllByteValues) {
  const std::uint32_t seed = GetParam();
  const AnsiText listing = RandomBytes("ignored input", [seed] { return seed; });
  ASSERT_EQ(listing.size(), 512u);
  EXPECT_TRUE(std::all_of(listing.begin(), listing.end(), [](char c) {
    return std::string_view("0123456789ABCDEF").find(c) != std::string_view::npos;
  }));
  std::string bytes = HexDecode(listing);
  std::sort(bytes.begin(), bytes.end(), [](char a, char b) {
    return static_cast<unsigned char>(a) < static_cast<unsigned char>(b);
  });
  for (int b = 0; b < 256; ++b) ASSERT_EQ(static_cast<unsigned char>(bytes[b]), b);
  EXPECT_EQ(RandomBytes("", [seed] { return seed; }), listing) << "same tick, same permutation";
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomBytesTest,
                         ::testing::Values(0u, 1u, 2u, 255u, 65536u, 12345678u, 0x7FFFFFFFu,
                                           0xFFFFFFFFu));

TEST(RandomBytes, DrawsInGeneratorOrder) {
  // Seed 1 draws 41, 18467, 6334: the low bytes 29, 23, BE come first.
  EXPECT_EQ(RandomBytes("", [] { return 1u; }).substr(0, 6), "2923BE");
}

struct CharArrayCase {
  std::string input;
  std::string expected;
};

class CharArrayTest : public ::testing::TestWithParam<CharArrayCase> {};

TEST_P(CharArrayTest, QuotesEveryByteUnescaped) {
  const auto& c = GetParam();
  EXPECT_EQ(CharArray(c.input), c.expected);
  EXPECT_EQ(CharArray(c.input).size(), 4 * c.input.size() + 7);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CharArrayTest,
    ::testing::Values(CharArrayCase{"ab", "{'a','b','\\0'};"}, CharArrayCase{"", "{'\\0'};"},
                      CharArrayCase{"'", "{''','\\0'};"}, CharArrayCase{"\\", "{'\\','\\0'};"},
                      CharArrayCase{Bytes("C4E3"),
                                    "{'" + Bytes("C4") + "','" + Bytes("E3") + "','\\0'};"}));

class EscapedCharArrayTest : public ::testing::TestWithParam<CharArrayCase> {};

TEST_P(EscapedCharArrayTest, WritesCharacterConstants) {
  EXPECT_EQ(EscapedCharArray(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EscapedCharArrayTest,
    ::testing::Values(CharArrayCase{"", "{'\\0'};"}, CharArrayCase{" ~", "{' ','~','\\0'};"},
                      CharArrayCase{"it's", "{'i','t','\\'','s','\\0'};"},
                      CharArrayCase{"\\", "{'\\\\','\\0'};"},
                      CharArrayCase{"\"?", "{'\"','?','\\0'};"},
                      CharArrayCase{std::string("\0\n\x1F\x7F", 4),
                                    "{'\\x00','\\x0A','\\x1F','\\x7F','\\0'};"},
                      CharArrayCase{Bytes("C4E3"), "{'\\xC4','\\xE3','\\0'};"}));

// Block by block gives the whole-text array, wherever the blocks are cut.
TEST(EscapedCharArray, StreamMatchesWholeText) {
  std::string all;
  for (int byte = 0; byte < 256; ++byte) all += static_cast<char>(byte);
  for (std::size_t cut : {0, 1, 39, 255, 256}) {
    auto stream = EscapedCharArrayStream();
    AnsiText out;
    stream->Convert(std::string_view(all).substr(0, cut), out);
    stream->Convert(std::string_view(all).substr(cut), out);
    stream->Finish(out);
    EXPECT_EQ(out, EscapedCharArray(all)) << cut;
  }
}

// A last digit alone is read as the piece rule says, and told as a loss of its own.
TEST(ParseHexPairs, ReportsALastDigitAlone) {
  struct Case {
    std::string text, expected, piece;
    std::size_t count, offset;
  };
  for (const Case& c :
       {Case{"414", "A" + Bytes("04"), "4", 1, 2}, Case{"a", Bytes("0A"), "a", 1, 0},
        Case{"41x", "AA", "", 0, 0}, Case{"4142", "AB", "", 0, 0}}) {
    LossReport losses;
    EXPECT_EQ(ParseHexPairs(c.text, &losses), c.expected) << c.text;
    const LossRecord& odd = losses[LossKind::OddDigit];
    EXPECT_EQ(odd.count, c.count) << c.text;
    if (c.count == 0) continue;
    EXPECT_EQ(odd.first_piece, c.piece);
    EXPECT_EQ(odd.first_offset, c.offset);
  }
}

TEST(FormatOnly, ReturnsInputByteForByte) {
  const std::string text = "a" + Bytes("C4E3") + std::string(1, '\0') + "z";
  EXPECT_EQ(FormatOnly(text), text);
}

}  // namespace
}  // namespace tessaly
