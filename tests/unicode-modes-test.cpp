#include "engine/unicode_modes.h"

#include <gtest/gtest.h>

#include "engine/byte_modes.h"
#include "engine/detail/unicode_conversions.h"
#include "tests/icu_reference.h"
#include "tests/test_support.h"

namespace tessaly {
namespace {

using testing::Bytes;
using testing::IcuConvert;

const std::string kNiHao = Bytes("C4E3BAC3");  // 你好 in GBK

// The modes under GBK, as the table's rows take them.
AnsiText Utf16EncodeGbk(std::string_view s) {
  return Utf16Encode(s);
}
AnsiText Utf8EncodeGbk(std::string_view s) {
  return Utf8Encode(s);
}
AnsiText Utf16DecodeGbk(std::string_view s) {
  return Utf16Decode(s).text;
}
AnsiText Utf8DecodeGbk(std::string_view s) {
  return Utf8Decode(s).text;
}

struct ModeCase {
  std::string name;
  AnsiText (*mode)(std::string_view);
  std::string input;
  std::string expected;
};

class UnicodeModeTest : public ::testing::TestWithParam<ModeCase> {};

TEST_P(UnicodeModeTest, Converts) {
  EXPECT_EQ(GetParam().mode(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnicodeModeTest,
    ::testing::Values(
        ModeCase{"Utf16EncodeDigits", Utf16EncodeGbk, "12345", "31003200330034003500"},
        ModeCase{"Utf16EncodeNiHao", Utf16EncodeGbk, kNiHao, "604F7D59"},
        ModeCase{"Utf16EncodeEmpty", Utf16EncodeGbk, "", ""},
        ModeCase{"Utf16EncodeZeroByteIsACharacter", Utf16EncodeGbk, std::string("A\0B", 3),
                 "410000004200"},
        ModeCase{"Utf16EncodeEuro", Utf16EncodeGbk, Bytes("80"), "AC20"},
        ModeCase{"Utf16DecodeNiHao", Utf16DecodeGbk, "604F7D59", kNiHao},
        ModeCase{"Utf16DecodeOddBytes", Utf16DecodeGbk, "410042", "AB"},
        ModeCase{"Utf16DecodeOneByte", Utf16DecodeGbk, "41", "A"},
        ModeCase{"Utf16DecodeStopsAtZeroUnit", Utf16DecodeGbk, "410000004200", "A"},
        ModeCase{"Utf16DecodeLeadingZeroUnit", Utf16DecodeGbk, "00004100", ""},
        ModeCase{"Utf16DecodeZeroPairAtOddOffset", Utf16DecodeGbk, "4100004E", "A" + Bytes("D2BB")},
        ModeCase{"Utf16DecodeEmpty", Utf16DecodeGbk, "", ""},
        ModeCase{"Utf16DecodeUnmappable", Utf16DecodeGbk, "010E4100", "?A"},
        ModeCase{"Utf16DecodeLoneSurrogate", Utf16DecodeGbk, "00D84100", "?A"},
        ModeCase{"Utf8EncodeMixed", Utf8EncodeGbk, "123" + kNiHao, "313233E4BDA0E5A5BD"},
        ModeCase{"Utf8EncodeEmpty", Utf8EncodeGbk, "", ""},
        ModeCase{"Utf8EncodeEuro", Utf8EncodeGbk, Bytes("80"), "E282AC"},
        ModeCase{"Utf8EncodeZeroByteIsACharacter", Utf8EncodeGbk, std::string("A\0B", 3), "410042"},
        ModeCase{"Utf8DecodeMixed", Utf8DecodeGbk, "313233E4BDA0E5A5BD", "123" + kNiHao},
        ModeCase{"Utf8DecodeStopsAtZeroByte", Utf8DecodeGbk, "E4BDA00041", Bytes("C4E3")},
        ModeCase{"Utf8DecodeEmpty", Utf8DecodeGbk, "", ""},
        ModeCase{"Utf8DecodeMalformed", Utf8DecodeGbk, "41FF42", "A?B"},
        ModeCase{"Utf8DecodeUnmappable", Utf8DecodeGbk, "E0B88141", "?A"},
        ModeCase{"Utf8DecodeSpacedIsShifted", Utf8DecodeGbk, "E4 BD A0", "?\v\r?"}),
    [](const auto& info) { return info.param.name; });

// The capacity counts a terminating zero, so a result of exactly capacity bytes does not fit.
TEST(Utf8Conversions, RefuseResultsBeyondTheCapacity) {
  EXPECT_EQ(detail::AnsiToUtf8Within(kNiHao, 6), std::nullopt);
  EXPECT_EQ(detail::AnsiToUtf8Within(kNiHao, 7), "\xE4\xBD\xA0\xE5\xA5\xBD");
  EXPECT_EQ(detail::Utf8ToAnsiWithin("\xE4\xBD\xA0\xE5\xA5\xBD", 4), std::nullopt);
  EXPECT_EQ(detail::Utf8ToAnsiWithin("\xE4\xBD\xA0\xE5\xA5\xBD", 5), kNiHao);
}

// Every GBK double-byte code, checked against ICU's own converter called directly.
TEST(UnicodeModes, AgreeWithIcuForEveryGbkCode) {
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      const std::string code{static_cast<char>(lead), static_cast<char>(trail)};
      const std::string utf16 = IcuConvert("UTF-16LE", "windows-936-2000", code);
      ASSERT_EQ(Utf16Encode(code), HexEncode(utf16)) << HexEncode(code);
      ASSERT_EQ(Utf8Encode(code), HexEncode(IcuConvert("UTF-8", "windows-936-2000", code)))
          << HexEncode(code);
      if (utf16 != "\xFD\xFF") {
        ASSERT_EQ(Utf16Decode(HexEncode(utf16)).text, code) << HexEncode(code);
        ASSERT_EQ(Utf8Decode(Utf8Encode(code)).text, code) << HexEncode(code);
      }
    }
  }
}

}  // namespace
}  // namespace tessaly
