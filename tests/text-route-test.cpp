#include "engine/text_route.h"

#include <gtest/gtest.h>

#include <tessaly/converter.h>

#include <optional>
#include <random>

#include "engine/char_codec.h"
#include "engine/code_page_table.h"
#include "tests/test_support.h"

namespace tessaly {
namespace {

// A whole text through the library's text route: the mode with its default deletions and no
// separator; what it lost is added to `losses`.
std::string ConvertText(std::string_view utf8, ConversionMode mode, Encoding working,
                        LossReport& losses) {
  Options options;
  options.mode = FindMode(mode)->cli_name;
  options.encoding = InfoOf(working).name;
  Result result = Converter(options).ConvertText(utf8);
  EXPECT_FALSE(result.fault.has_value()) << Describe(*result.fault);
  losses.Merge(result.losses);
  losses.Merge(result.input_losses);
  return std::move(result.bytes);
}

std::string Utf8Of(char32_t c) {
  std::string out;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += {static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};
  } else if (c < 0x10000) {
    out += {static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
            static_cast<char>(0x80 | (c & 0x3F))};
  } else {
    out += {static_cast<char>(0xF0 | c >> 18), static_cast<char>(0x80 | ((c >> 12) & 0x3F)),
            static_cast<char>(0x80 | ((c >> 6) & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
  }
  return out;
}

// Generated UTF-8 texts of characters an encoding holds and gives back (ASCII, its multi-byte
// characters, every kind of line break), so that encode | decode must return them byte for byte.
// Without an encoding: characters from every plane.
class TextGenerator {
 public:
  explicit TextGenerator(unsigned seed, std::optional<Encoding> encoding = Encoding::Gbk)
      : random_(seed) {
    const auto codec = encoding ? CharCodec::For(*encoding) : nullptr;
    for (char32_t c = 0x80; c <= 0x10FFFF && chars_.size() < 40000; c += 1 + random_() % 29) {
      if (c >= 0xD800 && c <= 0xDFFF) continue;
      if (codec) {
        const EncodedChar encoded = codec->Encode(c);
        if (!encoded.held) continue;
        const std::string bytes(encoded.view());
        const CharCodec::Char back = codec->CharAt(bytes, 0);
        if (back.code_point != c || back.length != bytes.size()) continue;
      }
      chars_.push_back(Utf8Of(c));
    }
  }

  std::string Next() {
    std::string text;
    const std::size_t length = random_() % 24;
    for (std::size_t i = 0; i < length; ++i) {
      switch (random_() % 4) {
        case 0:
          text += chars_[random_() % chars_.size()];
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
  static constexpr const char* kBreaks[] = {"\n", "\r\n", "\r", "\t"};
  std::mt19937 random_;
  std::vector<std::string> chars_;
};

struct RoundTrip {
  ConversionMode encode;
  ConversionMode decode;
  Encoding encoding = Encoding::Gbk;
  bool any_plane = false;  // characters from every plane, the encoding's or not
  int rounds = 10000;
};

class RoundTripTest : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(RoundTripTest, EncodeThenDecodeGivesEveryTextBack) {
  const RoundTrip& pair = GetParam();
  TextGenerator texts(static_cast<unsigned>(pair.encode) + static_cast<unsigned>(pair.encoding),
                      pair.any_plane ? std::nullopt : std::optional(pair.encoding));
  for (int round = 0; round < pair.rounds; ++round) {
    const std::string text = texts.Next();
    LossReport losses;
    const std::string listing = ConvertText(text, pair.encode, pair.encoding, losses);
    const std::string back = ConvertText(listing, pair.decode, pair.encoding, losses);
    ASSERT_EQ(back, text) << "round " << round << ", listing " << listing;
    ASSERT_TRUE(losses.empty()) << "round " << round;
  }
}

constexpr auto kHex = ConversionMode::HexEncode;
constexpr auto kUnhex = ConversionMode::HexDecode;
constexpr auto kUtf16 = ConversionMode::Utf16Encode;
constexpr auto kUnutf16 = ConversionMode::Utf16Decode;
constexpr auto kUtf8 = ConversionMode::Utf8Encode;
constexpr auto kUnutf8 = ConversionMode::Utf8Decode;

INSTANTIATE_TEST_SUITE_P(
    Pairs, RoundTripTest,
    ::testing::Values(RoundTrip{kHex, kUnhex}, RoundTrip{kUtf16, kUnutf16},
                      RoundTrip{kUtf8, kUnutf8},
                      // Every working encoding gives its own text back through its hex listing.
                      RoundTrip{kHex, kUnhex, Encoding::Gb18030, false, 3000},
                      RoundTrip{kHex, kUnhex, Encoding::Big5, false, 3000},
                      RoundTrip{kHex, kUnhex, Encoding::Utf8, false, 3000},
                      RoundTrip{kHex, kUnhex, Encoding::ShiftJis, false, 3000},
                      RoundTrip{kHex, kUnhex, Encoding::EucKr, false, 3000},
                      // The Unicode modes lose nothing, whatever the encoding lacks.
                      RoundTrip{kUtf16, kUnutf16, Encoding::Gbk, true, 3000},
                      RoundTrip{kUtf8, kUnutf8, Encoding::Gbk, true, 3000},
                      RoundTrip{kUtf8, kUnutf8, Encoding::ShiftJis, true, 3000},
                      RoundTrip{kUtf16, kUnutf16, Encoding::Big5, true, 3000}));

// An unpaired surrogate is no character: decoded, it becomes "?" and is reported, never kept.
TEST(UnicodeTextMode, UnpairedSurrogateBecomesAQuestionMark) {
  LossReport losses;
  EXPECT_EQ(ConvertText("00D84100", ConversionMode::Utf16Decode, Encoding::Gbk, losses), "?A");
  EXPECT_EQ(losses[LossKind::Unmappable].count, 1u);
  EXPECT_EQ(losses[LossKind::Unmappable].first_offset, 0u);
}

// Raw bytes, zero bytes included, with no deletions: hex-encode then hex-decode is the identity.
TEST(RawRoundTrip, HexEncodeThenDecodeGivesAnyBytesBack) {
  std::mt19937 random(5);
  FaultLog faults;
  for (int round = 0; round < 10000; ++round) {
    std::string bytes(random() % 40, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random());
    const ConversionContext context{faults};
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
  TextGenerator texts(11);
  for (int round = 0; round < 300; ++round) {
    const std::string text = texts.Next();
    for (const auto mode :
         {ConversionMode::SimplifiedToTraditional, ConversionMode::TraditionalToSimplified}) {
      LossReport losses;
      const std::string out = ConvertText(text, mode, Encoding::Gbk, losses);
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
}  // namespace tessaly
