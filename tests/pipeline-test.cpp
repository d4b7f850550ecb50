#include "engine/pipeline.h"
#include "engine/errors.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/test_support.h"

namespace tessaly {
namespace {

using testing::Bytes;
using testing::RunRequest;
using Mode = ConversionMode;
using Style = SeparatorStyle;

struct SeparatorCase {
  std::string text;
  Style style;
  std::string expected;
};

class ApplySeparatorsTest : public ::testing::TestWithParam<SeparatorCase> {};

TEST_P(ApplySeparatorsTest, CutsIntoTwoBytePiecesAndJoins) {
  EXPECT_EQ(ApplySeparators(GetParam().text, GetParam().style), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Styles, ApplySeparatorsTest,
    ::testing::Values(SeparatorCase{"313233", Style::SeparatorNone, "313233"},
                      SeparatorCase{"313233", Style::Unselected, "313233"},
                      SeparatorCase{"313233", Style::SeparatorSpace, "31 32 33 "},
                      SeparatorCase{"313233", Style::SeparatorComma, "31,32,33,"},
                      SeparatorCase{"313233", Style::SeparatorDot, "31.32.33."},
                      SeparatorCase{"313233", Style::SeparatorHexList, "0x31,0x32,0x33"},
                      // An odd length ends in a one-byte piece.
                      SeparatorCase{"31323", Style::SeparatorSpace, "31 32 3 "},
                      SeparatorCase{"31323", Style::SeparatorComma, "31,32,3,"},
                      SeparatorCase{"31323", Style::SeparatorDot, "31.32.3."},
                      SeparatorCase{"31323", Style::SeparatorHexList, "0x31,0x32,0x3"},
                      SeparatorCase{"", Style::SeparatorSpace, ""},
                      SeparatorCase{"", Style::SeparatorHexList, "0x"},
                      // Zero bytes are cut like any other byte; two-byte characters are split.
                      SeparatorCase{std::string("A\0B", 3), Style::SeparatorSpace,
                                    std::string("A\0 B ", 5)},
                      SeparatorCase{Bytes("D7AABBBBCAA7B0DC"), Style::SeparatorSpace,
                                    Bytes("D7AA20BBBB20CAA720B0DC20")},
                      SeparatorCase{"a" + Bytes("C4E3"), Style::SeparatorDot,
                                    "a" + Bytes("C4") + "." + Bytes("E3") + "."}));

struct StripCase {
  std::string name;
  std::string text;
  DeletionOptions options;
  std::string expected;
};

class StripSelectedCharsTest : public ::testing::TestWithParam<StripCase> {};

TEST_P(StripSelectedCharsTest, DeletesWholeSingleByteCharacters) {
  EXPECT_EQ(StripSelectedChars(GetParam().text, GetParam().options), GetParam().expected);
}

constexpr DeletionOptions kSpaces{.DeleteSpaces = true};
constexpr DeletionOptions kLineBreaks{.DeleteLineBreaks = true};

INSTANTIATE_TEST_SUITE_P(
    Cases, StripSelectedCharsTest,
    ::testing::Values(StripCase{"AllFlags", "11,22.33 44\r\n55,66.77\t88", DeletionOptions::All(),
                                "1122334455667788"},
                      StripCase{"OnlyDeletableBytes", " \t\r\n  ,.", DeletionOptions::All(), ""},
                      StripCase{"NoFlags", " a,b ", DeletionOptions{}, " a,b "},
                      StripCase{"LeadByteSwallowsSpace", "A" + Bytes("81") + " B", kSpaces,
                                "A" + Bytes("81") + " B"},
                      StripCase{"SpaceBetweenTwoByteChars", Bytes("C4E3") + " " + Bytes("BAC3"),
                                kSpaces, Bytes("C4E3BAC3")},
                      StripCase{"DoubleLeadThenSpace", Bytes("8181") + " ", kSpaces, Bytes("8181")},
                      StripCase{"LeadByteLastIsOneByte", "A " + Bytes("81"), kSpaces,
                                "A" + Bytes("81")},
                      StripCase{"AdjacentSpaces", "a  b", kSpaces, "ab"},
                      StripCase{"LoneCrAndLf", "a\rb\nc\r\nd", kLineBreaks, "abcd"},
                      StripCase{"TrailByteEqualToTarget", Bytes("812E") + Bytes("812C"),
                                DeletionOptions::All(), Bytes("812E812C")},
                      StripCase{"HighBytesThatAreNotLeads", Bytes("80") + " " + Bytes("FF") + " ",
                                kSpaces, Bytes("80FF")}),
    [](const auto& info) { return info.param.name; });

// The deletion pass as a plain walk over characters: a byte from 0x81 to 0xFE with a byte after
// it starts a two-byte character, which is kept whole; a one-byte character equal to the target
// is dropped.
std::string ReferenceRemoveChar(std::string_view text, char target) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const std::size_t width = byte >= 0x81 && byte <= 0xFE && i + 1 < text.size() ? 2 : 1;
    if (text[i] != target) out.append(text.substr(i, width));
    i += width;
  }
  return out;
}

// The one-pass table walk must equal the plain walk, once per target in the fixed order.
TEST(StripSelectedChars, EqualsSuccessivePlainPasses) {
  constexpr std::string_view kTargets = " .,\t\r\n";
  constexpr std::string_view kOthers = "A\x81\xC4\xFE\xFF\x80\x40";
  std::mt19937 random(7);
  for (int round = 0; round < 4000; ++round) {
    // Long enough for whole sixteen-byte blocks, with and without a target byte in them.
    std::string text(random() % 100, ' ');
    const unsigned target_share = 1 + random() % 8;
    for (char& c : text) {
      c = random() % 16 < target_share ? kTargets[random() % kTargets.size()]
                                       : kOthers[random() % kOthers.size()];
    }
    const auto bits = random();
    const DeletionOptions options{bool(bits & 1), bool(bits & 2), bool(bits & 4), bool(bits & 8),
                                  bool(bits & 16)};
    std::string expected = text;
    if (options.DeleteSpaces) expected = ReferenceRemoveChar(expected, ' ');
    if (options.DeleteDots) expected = ReferenceRemoveChar(expected, '.');
    if (options.DeleteCommas) expected = ReferenceRemoveChar(expected, ',');
    if (options.DeleteTabs) expected = ReferenceRemoveChar(expected, '\t');
    if (options.DeleteLineBreaks)
      expected = ReferenceRemoveChar(ReferenceRemoveChar(expected, '\r'), '\n');
    ASSERT_EQ(StripSelectedChars(text, options), expected) << "round " << round;
    ASSERT_EQ(RemoveChar(text, ','), ReferenceRemoveChar(text, ',')) << "round " << round;
  }
}

struct RunCase {
  std::string name;
  std::string input;
  Mode mode;
  Style style;
  std::string expected;
};

class RunConversionTest : public ::testing::TestWithParam<RunCase> {};

TEST_P(RunConversionTest, StripsConvertsAndSeparates) {
  const auto& c = GetParam();
  EXPECT_EQ(RunRequest(c.input, c.mode, c.style), c.expected);
}

const std::string kListing = "11,22.33 44\r\n55,66.77 88";

INSTANTIATE_TEST_SUITE_P(
    Cases, RunConversionTest,
    ::testing::Values(
        RunCase{"EmptyNone", "", Mode::FormatOnly, Style::SeparatorNone, ""},
        RunCase{"EmptySpace", "", Mode::FormatOnly, Style::SeparatorSpace, ""},
        RunCase{"EmptyComma", "", Mode::FormatOnly, Style::SeparatorComma, ""},
        RunCase{"EmptyDot", "", Mode::FormatOnly, Style::SeparatorDot, ""},
        RunCase{"EmptyHexList", "", Mode::FormatOnly, Style::SeparatorHexList, "0x"},
        RunCase{"OnlyWhiteSpace", " \t\r\n ", Mode::FormatOnly, Style::SeparatorHexList, "0x"},
        RunCase{"Listing", kListing, Mode::FormatOnly, Style::SeparatorNone, "1122334455667788"},
        RunCase{"ListingHexList", kListing, Mode::FormatOnly, Style::SeparatorHexList,
                "0x11,0x22,0x33,0x44,0x55,0x66,0x77,0x88"},
        RunCase{"NoMode", "abc", Mode::Unselected, Style::SeparatorNone, ""},
        RunCase{"NoModeHexList", "abc", Mode::Unselected, Style::SeparatorHexList, "0x"},
        RunCase{"ZeroByteKept", "41004243", Mode::HexDecode, Style::SeparatorSpace,
                std::string("A\0 BC ", 6)},
        RunCase{"SpacesGoneBeforeEncoding", "1 2", Mode::HexEncode, Style::SeparatorNone, "3132"},
        RunCase{"Utf16Spaced", "12345", Mode::Utf16Encode, Style::SeparatorSpace,
                "31 00 32 00 33 00 34 00 35 00 "},
        RunCase{"EmptyUtf8DecodeIsNoFailure", "", Mode::Utf8Decode, Style::SeparatorSpace, ""}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace tessaly

namespace tessaly {
namespace {

// A lead byte as target would have to take its trail byte along; the function serves ASCII only.
TEST(RemoveChar, RefusesTargetsThatStartTwoByteCharacters) {
  EXPECT_THROW(RemoveChar(testing::Bytes("C4E341"), '\xC4'), InvalidArgument);
  EXPECT_EQ(RemoveChar("a b", ' '), "ab");
}

struct LossCase {
  std::string name;
  std::string input;
  ConversionMode mode;
  DeletionOptions deletion;
  LossKind kind;
  std::size_t count;
  std::size_t first_offset;  // in the input before deletions
  std::string first_piece;
};

class LossReportTest : public ::testing::TestWithParam<LossCase> {};

TEST_P(LossReportTest, CountsAndPlacesTheFirstLossInTheGivenInput) {
  const LossCase& c = GetParam();
  FaultLog faults;
  const ConversionResult result =
      RunConversion({c.input, c.mode, c.deletion, SeparatorStyle::SeparatorNone}, {faults});
  const LossRecord& record = result.losses[c.kind];
  EXPECT_EQ(record.count, c.count);
  EXPECT_EQ(record.first_offset, c.first_offset);
  EXPECT_EQ(record.first_piece, c.first_piece);
}

constexpr DeletionOptions kAll = DeletionOptions::All();

INSTANTIATE_TEST_SUITE_P(
    Kinds, LossReportTest,
    ::testing::Values(LossCase{"EmptyPiece",
                               "ZZ41",
                               ConversionMode::HexDecode,
                               {},
                               LossKind::EmptyHexPiece,
                               1,
                               0,
                               "ZZ"},
                      LossCase{"EmptyPiecesAfterDeletions", "41 , ZZx", ConversionMode::HexDecode,
                               kAll, LossKind::EmptyHexPiece, 2, 5, "ZZ"},
                      LossCase{"OddLastPiece", "41 4", ConversionMode::HexDecode, kAll,
                               LossKind::EmptyHexPiece, 0, 0, ""},
                      LossCase{"Utf16Unmappable", "4100010E", ConversionMode::Utf16Decode, kAll,
                               LossKind::Unmappable, 1, 4, "\u0E01"},
                      LossCase{"Utf16CutAtZero", "41 00 00 00 42 00", ConversionMode::Utf16Decode,
                               kAll, LossKind::CutAtZero, 1, 6, "0000"},
                      LossCase{"Utf8CutAtZero", "E4BDA00041", ConversionMode::Utf8Decode, kAll,
                               LossKind::CutAtZero, 1, 6, "00"},
                      LossCase{"Utf8Malformed", "41E4BD42", ConversionMode::Utf8Decode, kAll,
                               LossKind::Unmappable, 1, 2, testing::Bytes("E4BD")},
                      LossCase{"Big5Lacks",
                               "a" + testing::Bytes("BCF2") + "b" + testing::Bytes("BCF2"),
                               ConversionMode::GbkToBig5,
                               {},
                               LossKind::Unmappable,
                               2,
                               1,
                               testing::Bytes("BCF2")},
                      LossCase{"S2tFallbackIsNoLoss",
                               testing::Bytes("CDB7B7A2"),
                               ConversionMode::SimplifiedToTraditional,
                               {},
                               LossKind::Unmappable,
                               0,
                               0,
                               ""}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace tessaly

namespace tessaly {
namespace {

// The deletion walk follows the working encoding's lead bytes: A4 starts a character in GBK,
// GB18030, BIG5 and UHC, and so swallows the space after it; it is a one-byte character in
// Shift_JIS (half-width katakana) and no character start at all in UTF-8.
struct WalkCase {
  Encoding encoding;
  std::string text;
  std::string expected;
};

class DeletionWalkTest : public ::testing::TestWithParam<WalkCase> {};

TEST_P(DeletionWalkTest, FollowsTheEncodingsLeadBytes) {
  const WalkCase& c = GetParam();
  const DeletionOptions spaces{.DeleteSpaces = true};
  EXPECT_EQ(StripSelectedChars(c.text, spaces, InfoOf(c.encoding).leads), c.expected);
  // Long enough for the sixteen-byte blocks: the same walk, block after block.
  std::string long_text, long_expected;
  for (int i = 0; i < 9; ++i) long_text += c.text, long_expected += c.expected;
  EXPECT_EQ(StripSelectedChars(long_text, spaces, InfoOf(c.encoding).leads), long_expected);
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, DeletionWalkTest,
    ::testing::Values(
        WalkCase{Encoding::Gbk, testing::Bytes("A4204120"), testing::Bytes("A42041")},
        WalkCase{Encoding::Big5, testing::Bytes("A4204120"), testing::Bytes("A42041")},
        WalkCase{Encoding::EucKr, testing::Bytes("A4204120"), testing::Bytes("A42041")},
        WalkCase{Encoding::Gb18030, testing::Bytes("8130893720A420"),
                 testing::Bytes("81308937A420")},
        WalkCase{Encoding::ShiftJis, testing::Bytes("A4204120"), testing::Bytes("A441")},
        WalkCase{Encoding::ShiftJis, testing::Bytes("8320E020A020"), testing::Bytes("8320E020A0")},
        WalkCase{Encoding::Utf8, testing::Bytes("A4204120"), testing::Bytes("A441")},
        WalkCase{Encoding::Utf8, testing::Bytes("E4BDA020"), testing::Bytes("E4BDA0")}));

}  // namespace
}  // namespace tessaly
