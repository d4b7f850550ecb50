#include "engine/text_boundary.h"

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace tessaly {
namespace {

using testing::Bytes;

struct ToAnsiCase {
  std::string name;
  std::u16string text;
  std::string expected;
  std::size_t substituted;
};

class TextToAnsiTest : public ::testing::TestWithParam<ToAnsiCase> {};

TEST_P(TextToAnsiTest, EncodesWithCrLfAndQuestionMarks) {
  const AnsiInput input = TextToAnsi(GetParam().text);
  EXPECT_EQ(input.text, GetParam().expected);
  EXPECT_EQ(input.substituted, GetParam().substituted);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TextToAnsiTest,
    ::testing::Values(ToAnsiCase{"Ascii", u"abc", "abc", 0},
                      ToAnsiCase{"LineFeeds", u"a\nb\r\nc\n", "a\r\nb\r\nc\r\n", 0},
                      ToAnsiCase{"LoneCrIsALineBreak", u"a\rb\r\r\n", "a\r\nb\r\n\r\n", 0},
                      ToAnsiCase{"Chinese", u"你好", Bytes("C4E3BAC3"), 0},
                      ToAnsiCase{"Euro", u"€", Bytes("80"), 0},
                      ToAnsiCase{"Thai", u"aกb", "a?b", 1}, ToAnsiCase{"Emoji", u"😀😀", "??", 2},
                      ToAnsiCase{"LoneSurrogate", std::u16string(1, u'\xD800'), "?", 1}),
    [](const auto& info) { return info.param.name; });

TEST(AnsiToText, ShowsCrLfAsLineBreaksAndKeepsZeroBytes) {
  EXPECT_EQ(AnsiToText("a\r\nb\rc"), u"a\nb\rc");
  EXPECT_EQ(AnsiToText(Bytes("C4E3") + std::string(1, '\0') + "x"), std::u16string(u"你\0x", 3));
  EXPECT_EQ(AnsiToUtf8Text("a\r\n" + Bytes("C4E3")), "a\n你");
}

// BIG5 output shown in a box and typed back must give the same bytes: every GBK double-byte code
// that the table maps, user-defined ones included, survives the trip through display text.
TEST(AnsiToText, EveryMappedDoubleByteCodeRoundTrips) {
  int mapped = 0;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      const std::string code{static_cast<char>(lead), static_cast<char>(trail)};
      const std::u16string shown = AnsiToText(code);
      if (shown == u"\uFFFD") continue;
      ++mapped;
      ASSERT_EQ(TextToAnsi(shown).text, code) << std::hex << lead << trail;
    }
  }
  EXPECT_GT(mapped, 23000);
}

struct Utf8Case {
  std::string bytes;
  std::optional<std::size_t> invalid_at;
};

class FindInvalidUtf8Test : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(FindInvalidUtf8Test, FindsFirstBadByte) {
  EXPECT_EQ(FindInvalidUtf8(GetParam().bytes), GetParam().invalid_at);
}

INSTANTIATE_TEST_SUITE_P(Cases, FindInvalidUtf8Test,
                         ::testing::Values(Utf8Case{"", std::nullopt},
                                           Utf8Case{"abc", std::nullopt},
                                           Utf8Case{"你好😀", std::nullopt}, Utf8Case{"ab\xFF", 2},
                                           Utf8Case{"\xE4\xBD", 0}, Utf8Case{"你\xC0\x80", 3},
                                           Utf8Case{"\xED\xA0\x80", 0},
                                           Utf8Case{std::string("a\0b", 3), std::nullopt},
                                           // Past the eight-byte and three-byte fast paths.
                                           Utf8Case{"abcdefgh\xFF", 8},
                                           Utf8Case{"abcdefg你\x80", 10},
                                           Utf8Case{"\xE0\x80\x80", 0},
                                           Utf8Case{"\xE0\xA0\x80\xEF\xBF\xBF", std::nullopt},
                                           Utf8Case{"\xEE\x80", 0},
                                           Utf8Case{"\xE1\x80\xC0", 0}));

TEST(Utf8TextToAnsi, ConvertsTerminalText) {
  const AnsiInput input = Utf8TextToAnsi("你\nก");
  EXPECT_EQ(input.text, Bytes("C4E3") + "\r\n?");
  EXPECT_EQ(input.substituted, 1u);
}

}  // namespace
}  // namespace tessaly

namespace tessaly {
namespace {

class RoundTripTest : public ::testing::TestWithParam<std::string> {};

// Text shown once and read back is a fixed point: a second round changes nothing.
TEST_P(RoundTripTest, SecondRoundChangesNothing) {
  const std::string once = AnsiToUtf8Text(Utf8TextToAnsi(GetParam()).text);
  EXPECT_EQ(AnsiToUtf8Text(Utf8TextToAnsi(once).text), once);
}

INSTANTIATE_TEST_SUITE_P(Cases, RoundTripTest,
                         ::testing::Values("\r\r\n", "a\r", "\n\r\n\r", "กข\r\n", "€\n", "x\r\rz",
                                           std::string("a\0\r\n", 4)));

}  // namespace
}  // namespace tessaly
