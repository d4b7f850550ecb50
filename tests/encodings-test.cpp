#include "engine/encodings.h"

#include <gtest/gtest.h>

#include "engine/char_codec.h"
#include "engine/code_page.h"
#include "tests/test_support.h"

namespace tessaly {
namespace {

using testing::Bytes;

// Characters each table is known for, with the bytes Microsoft's tables (and Python's codecs
// built from them) give.
struct KnownChar {
  Encoding encoding;
  char32_t code_point;
  std::string hex;
  std::string also_from = {};  // other bytes that decode to the character, one way only
};

class KnownCharTest : public ::testing::TestWithParam<KnownChar> {};

TEST_P(KnownCharTest, EncodesAndDecodesLikeTheMicrosoftTable) {
  const KnownChar& c = GetParam();
  const auto codec = CharCodec::For(c.encoding);
  const EncodedChar encoded = codec->Encode(c.code_point);
  EXPECT_TRUE(encoded.held);
  EXPECT_EQ(std::string(encoded.view()), Bytes(c.hex));
  const std::string bytes = Bytes(c.hex);
  const CharCodec::Char decoded = codec->CharAt(bytes, 0);
  EXPECT_EQ(decoded.length, bytes.size());
  EXPECT_EQ(static_cast<std::uint32_t>(decoded.code_point), c.code_point);
  if (!c.also_from.empty()) {
    EXPECT_EQ(static_cast<std::uint32_t>(codec->CharAt(Bytes(c.also_from), 0).code_point),
              c.code_point);
  }
  // The converter over a whole text agrees with the codec.
  EXPECT_EQ(CodePageOf(c.encoding)
                .FromUtf16(std::u16string(
                    c.code_point < 0x10000
                        ? std::u16string(1, static_cast<char16_t>(c.code_point))
                        : std::u16string{static_cast<char16_t>(0xD7C0 + (c.code_point >> 10)),
                                         static_cast<char16_t>(0xDC00 | (c.code_point & 0x3FF))})),
            bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, KnownCharTest,
    ::testing::Values(
        KnownChar{Encoding::Gbk, U'€', "80"}, KnownChar{Encoding::Gbk, U'你', "C4E3"},
        KnownChar{Encoding::Gb18030, U'€', "A2E3"}, KnownChar{Encoding::Gb18030, U'😀', "9439FC36"},
        KnownChar{Encoding::Gb18030, U'\u00DE', "81308937"},
        KnownChar{Encoding::Gb18030, U'你', "C4E3"}, KnownChar{Encoding::Big5, U'台', "A578"},
        KnownChar{Encoding::Big5, U'灣', "C657"}, KnownChar{Encoding::Big5, U'€', "A3E1"},
        KnownChar{Encoding::Big5, U'╔', "F9DD"},  // ETEN additions
        KnownChar{Encoding::Big5, U'碁', "F9D6"}, KnownChar{Encoding::Big5, U'ㄅ', "A374"},
        KnownChar{Encoding::ShiftJis, U'テ', "8365"},
        KnownChar{Encoding::ShiftJis, U'ｱ', "B1"},    // half-width katakana, one byte
        KnownChar{Encoding::ShiftJis, U'①', "8740"},  // NEC special characters
        // IBM extensions are written, and NEC's selection of them read as the same characters.
        KnownChar{Encoding::ShiftJis, U'纊', "FA5C", "ED40"},
        KnownChar{Encoding::ShiftJis, U'\uFF5E', "8160"},  // Microsoft's wave dash
        KnownChar{Encoding::EucKr, U'한', "C7D1"},
        KnownChar{Encoding::EucKr, U'갂', "8141"},  // UHC's extension beyond EUC-KR
        KnownChar{Encoding::Utf8, U'한', "ED959C"}, KnownChar{Encoding::Utf8, U'😀', "F09F9880"}));

// Texts of megabytes go through the converters a stretch at a time: the whole must equal its
// lines converted one by one, a character beyond the BMP and a lacking one across every border.
class LargeTextTest : public ::testing::TestWithParam<Encoding> {};

TEST_P(LargeTextTest, WholeTextEqualsItsLinesConvertedApart) {
  const CodePage& code_page = CodePageOf(GetParam());
  // U+0E01 (Thai) is lacking in every CJK table here; U+1F600 needs a surrogate pair.
  const std::u16string line = u"中文 text 한국 テスト \U0001F600 \u0E01 €\n";
  std::u16string text;
  std::string expected;
  std::size_t expected_substituted = 0;
  for (std::size_t i = 0; text.size() < (std::size_t{3} << 20); ++i) {
    const std::u16string piece = line.substr(i % 7);  // shifts the borders through the line
    std::size_t substituted = 0;
    expected += code_page.FromUtf16(piece, &substituted);
    expected_substituted += substituted;
    text += piece;
  }
  std::size_t substituted = 0;
  const std::string bytes = code_page.FromUtf16(text, &substituted);
  EXPECT_EQ(bytes, expected);
  EXPECT_EQ(substituted, expected_substituted);
  if (expected_substituted == 0) {
    EXPECT_EQ(code_page.ToUtf16(bytes), text);
  }
}

INSTANTIATE_TEST_SUITE_P(EveryEncoding, LargeTextTest,
                         ::testing::Values(Encoding::Gbk, Encoding::Gb18030, Encoding::Big5,
                                           Encoding::Utf8, Encoding::ShiftJis, Encoding::EucKr));

TEST(FindEncoding, AcceptsNamesAndAliasesInAnyCase) {
  EXPECT_EQ(FindEncoding("GBK"), Encoding::Gbk);
  EXPECT_EQ(FindEncoding("cp936"), Encoding::Gbk);
  EXPECT_EQ(FindEncoding("936"), Encoding::Gbk);
  EXPECT_EQ(FindEncoding("UTF8"), Encoding::Utf8);
  EXPECT_EQ(FindEncoding("sjis"), Encoding::ShiftJis);
  EXPECT_EQ(FindEncoding("CP932"), Encoding::ShiftJis);
  EXPECT_EQ(FindEncoding("cp949"), Encoding::EucKr);
  EXPECT_EQ(FindEncoding("Big5"), Encoding::Big5);
  EXPECT_EQ(FindEncoding("54936"), Encoding::Gb18030);
  EXPECT_EQ(FindEncoding("latin1"), std::nullopt);
}

}  // namespace
}  // namespace tessaly
