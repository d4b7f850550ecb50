#include "cli/text_mode.h"

#include <gtest/gtest.h>

#include <random>

#include "engine/code_page_table.h"
#include "tests/test_support.h"

namespace tessaly::cli {
namespace {

// Generated UTF-8 texts of characters GBK holds: ASCII, GBK's own double-byte characters, and
// every kind of line break, so that encode | decode must give them back byte for byte.
class TextGenerator {
 public:
  explicit TextGenerator(unsigned seed) : random_(seed) {
    const auto gbk = CodePageDecoder::For(GbkCodePage());
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
      for (int trail = 0x40; trail <= 0xFE; ++trail) {
        const char pair[] = {static_cast<char>(lead), static_cast<char>(trail)};
        const auto c = gbk->CharAt({pair, 2}, 0);
        if (c.length == 2 && c.code_point != U'\uFFFD') gbk_chars_.push_back(AsUtf8(c.code_point));
      }
    }
  }

  std::string Next() {
    std::string text;
    const std::size_t length = random_() % 24;
    for (std::size_t i = 0; i < length; ++i) {
      switch (random_() % 4) {
        case 0:
          text += gbk_chars_[random_() % gbk_chars_.size()];
          break;
        case 1:
          text += kBreaks[random_() % std::size(kBreaks)];
          break;
        default:
          text += static_cast<char>(0x20 + random_() % 0x5F);  // printable ASCII
      }
    }
    return text;
  }

 private:
  static std::string AsUtf8(char32_t c) {
    std::string out;
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += {static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};
    } else {
      out += {static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
              static_cast<char>(0x80 | (c & 0x3F))};
    }
    return out;
  }

  static constexpr const char* kBreaks[] = {"\n", "\r\n", "\r", "\t"};
  std::mt19937 random_;
  std::vector<std::string> gbk_chars_;
};

struct RoundTrip {
  ConversionMode encode;
  ConversionMode decode;
};

class RoundTripTest : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(RoundTripTest, EncodeThenDecodeGivesEveryTextBack) {
  testing::RecordingReporter reporter;
  const ConversionContext context{reporter};
  TextGenerator texts(static_cast<unsigned>(GetParam().encode));
  for (int round = 0; round < 10000; ++round) {
    const std::string text = texts.Next();
    LossReport losses;
    const std::string listing =
        ConvertText(text, GetParam().encode, LineBreaks::AsIs, context, losses);
    const std::string back =
        ConvertText(listing, GetParam().decode, LineBreaks::AsIs, context, losses);
    ASSERT_EQ(back, text) << "round " << round << ", listing " << listing;
    ASSERT_TRUE(losses.empty()) << "round " << round;
  }
  EXPECT_TRUE(reporter.faults.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, RoundTripTest,
    ::testing::Values(RoundTrip{ConversionMode::HexEncode, ConversionMode::HexDecode},
                      RoundTrip{ConversionMode::Utf16Encode, ConversionMode::Utf16Decode},
                      RoundTrip{ConversionMode::Utf8Encode, ConversionMode::Utf8Decode}));

// Raw bytes, zero bytes included, with no deletions: hex-encode then hex-decode is the identity.
TEST(RawRoundTrip, HexEncodeThenDecodeGivesAnyBytesBack) {
  std::mt19937 random(5);
  testing::RecordingReporter reporter;
  for (int round = 0; round < 10000; ++round) {
    std::string bytes(random() % 40, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random());
    const ConversionContext context{reporter};
    const AnsiText listing =
        RunConversion({bytes, ConversionMode::HexEncode, {}, {}}, context).text;
    const ConversionResult back =
        RunConversion({listing, ConversionMode::HexDecode, DeletionOptions::All(), {}}, context);
    ASSERT_EQ(back.text, bytes) << "round " << round;
    ASSERT_TRUE(back.losses.empty());
  }
}

// The simplified/traditional modes keep every line break and ASCII byte of their input.
TEST(ChineseTextMode, KeepsLineBreaksAndAscii) {
  testing::RecordingReporter reporter;
  TextGenerator texts(11);
  for (int round = 0; round < 300; ++round) {
    const std::string text = texts.Next();
    for (const auto mode :
         {ConversionMode::SimplifiedToTraditional, ConversionMode::TraditionalToSimplified}) {
      LossReport losses;
      const std::string out = ConvertText(text, mode, LineBreaks::AsIs, {reporter}, losses);
      std::string ascii_in, ascii_out;
      for (const char c : text)
        if (static_cast<unsigned char>(c) < 0x80) ascii_in += c;
      for (const char c : out)
        if (static_cast<unsigned char>(c) < 0x80) ascii_out += c;
      ASSERT_EQ(ascii_out, ascii_in) << "round " << round;
    }
  }
}

}  // namespace
}  // namespace tessaly::cli
