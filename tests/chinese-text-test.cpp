#include "engine/chinese/chinese_text.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <random>

#include "engine/chinese/opencc_data.h"
#include "engine/chinese/user_phrases.h"
#include "engine/detail/chinese_routines.h"
#include "engine/modes.h"
#include "engine/pipeline.h"
#include "engine/text_boundary.h"
#include "tests/test_support.h"

namespace tessaly {
namespace {

// Pieces that make phrases of the dictionaries meet line breaks, zero bytes, characters GBK and
// BIG5 lack and characters beyond the BMP.
constexpr const char* kPieces[] = {
    "头发", "干燥", "软件", "鼠标", "里面", "為什麼", "網路", "藝術", "中华人民共和国", "发", "干",
    "\n", "\r\n", " ", "a", "\0", "😀", "한", "ก", "𠮷", "简体", "繁體", "着", "C:\\~", "カタカナ",
    "?",
    // Held in GBK, with a converted form GBK lacks: 䰾, 䴉, 𠇹, 𫫇.
    "鲃", "朱鹮", "俓", "二噁英",
    // Phrases whose later steps (s2twp) write what Shift_JIS (麵) or EUC-KR (眾, 為) lacks, in
    // the bundled data and the system's.
    "一碗面", "凉面", "万众", "为良医", "爲了"};

std::string RandomText(std::mt19937& random) {
  std::string text;
  for (int i = random() % 30; i > 0; --i) {
    const std::string_view piece = kPieces[random() % std::size(kPieces)];
    text += piece.empty() ? std::string(1, '\0') : std::string(piece);
  }
  return text;
}

struct Case {
  ConversionMode mode;
  Encoding encoding;
  bool bundled = false;  // the bundled OpenCC data rather than the system's
};

// The case's mode, reading its configuration from the data the case names.
ModeInfo ModeOf(const Case& c) {
  ModeInfo mode = *FindMode(c.mode);
  if (c.bundled) {
    static std::deque<std::string> paths;  // the views in ModeInfo outlive the test
    const auto& folder = BundledDataDirectory();
    if (!folder) return mode;
    mode.opencc_config = paths.emplace_back((*folder / mode.opencc_config).string());
  }
  return mode;
}

class ChineseTextTest : public ::testing::TestWithParam<Case> {};

// The reference: the mode's bytes through the general path of the matcher, piece by piece, as
// the engine converted them before it had a faster way.
AnsiText GeneralPath(const ModeInfo& mode, std::string_view bytes, Encoding encoding,
                     const std::shared_ptr<const UserPhrases>& user = {}) {
  FaultLog faults;
  AnsiText out = detail::ConvertChineseWith(bytes, faults, mode.routine,
                                            StandardMapper(mode.opencc_config, user), encoding);
  EXPECT_TRUE(faults.All().empty());
  return out;
}

// The matcher on the UTF-8 itself gives what the mode gives through the working encoding, losses
// included, whatever the cut into blocks at line breaks.
void ExpectTheModesResult(const ModeInfo& mode, Encoding encoding,
                          const std::shared_ptr<const UserPhrases>& user, unsigned seed) {
  FaultLog faults;
  const ChineseTextConversion conversion(mode.opencc_config, mode.routine, encoding, user);
  std::mt19937 random(seed);
  for (int round = 0; round < 400; ++round) {
    const std::string text = RandomText(random);
    const AnsiInput input = Utf8TextToAnsi(text, LineBreaks::AsIs, encoding);
    const std::string expected =
        AnsiToUtf8Text(GeneralPath(mode, input.text, encoding, user), LineBreaks::AsIs, encoding);

    std::string out;
    LossReport losses;
    const std::size_t cut = text.find('\n', random() % (text.size() + 1));
    const std::size_t first = cut == std::string::npos ? text.size() : cut + 1;
    ASSERT_EQ(conversion.Convert(std::string_view(text).substr(0, first), 0, out, losses, faults),
              std::nullopt);
    ASSERT_EQ(conversion.Convert(std::string_view(text).substr(first), first, out, losses, faults),
              std::nullopt);
    ASSERT_EQ(out, expected) << "round " << round;
    ASSERT_EQ(losses[LossKind::Unmappable].count, input.substituted) << "round " << round;
    if (input.substituted != 0) {
      ASSERT_EQ(losses[LossKind::Unmappable].first_offset, input.first_substituted);
    }
  }
  EXPECT_TRUE(faults.All().empty());
}

TEST_P(ChineseTextTest, MatchesTheModeThroughTheEncoding) {
  const Encoding encoding = GetParam().encoding;
  ExpectTheModesResult(
      ModeOf(GetParam()), encoding, nullptr,
      static_cast<unsigned>(GetParam().mode) * 7 + static_cast<unsigned>(encoding));
}

// User phrases with ASCII and "?" in their keys: a character the encoding lacks becomes a "?"
// that such a phrase may take in, so it cannot simply split the text there.
TEST_P(ChineseTextTest, UserPhrasesHoldingQuestionMarksMatchTheMode) {
  const auto user = ParseUserPhrases("a?\t甲\n?头发\t乙\n鼠标a\t丙\n", "mine.txt");
  const Encoding encoding = GetParam().encoding;
  ExpectTheModesResult(
      ModeOf(GetParam()), encoding, user,
      static_cast<unsigned>(GetParam().mode) * 5 + static_cast<unsigned>(encoding));
}

// A configuration with a key that holds "?": a character the encoding lacks becomes a "?" that
// the key takes in, as it does through the mode, rather than a stop that splits the text there.
TEST(ChineseTextConversion, AKeyHoldingAQuestionMarkTakesInALackingCharacter) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("tessaly-question-" + std::to_string(getpid()));
  fs::create_directories(dir);
  std::ofstream(dir / "mine.txt") << "甲\t乙\n甲?\t丙\n";
  std::ofstream(dir / "mine.json") << R"({"segmentation": {"type": "mmseg",
      "dict": {"type": "text", "file": "mine.txt"}},
    "conversion_chain": [{"dict": {"type": "text", "file": "mine.txt"}}]})";
  FaultLog faults;
  const ChineseTextConversion conversion((dir / "mine.json").string(), "MINE", Encoding::Gbk);
  std::string out;
  LossReport losses;
  EXPECT_EQ(conversion.Convert("甲ก甲", 0, out, losses, faults), std::nullopt);
  EXPECT_EQ(out, "丙乙");
  EXPECT_EQ(losses[LossKind::Unmappable].count, 1u);
  EXPECT_TRUE(faults.All().empty());
  fs::remove_all(dir);
}

// A byte that is not UTF-8 stops the block where the reference check stops, whether or not the
// encoding lacks a character before it, and nothing of the block is written.
TEST_P(ChineseTextTest, MalformedUtf8IsFoundWhereTheCheckFindsIt) {
  const ModeInfo mode = ModeOf(GetParam());
  const Encoding encoding = GetParam().encoding;
  FaultLog faults;
  const ChineseTextConversion conversion(mode.opencc_config, mode.routine, encoding);
  std::mt19937 random(static_cast<unsigned>(mode.id) * 13 + static_cast<unsigned>(encoding));
  constexpr std::string_view kMalformed[] = {"\xFF",     "\xC0\x80",         "\xED\xA0\x80",
                                             "\xE4\xB8", "\xF4\x90\x80\x80", "\x80"};
  for (int round = 0; round < 200; ++round) {
    std::string text = RandomText(random) + std::string(kMalformed[round % std::size(kMalformed)]);
    text += RandomText(random);
    std::string out = "kept";
    LossReport losses;
    ASSERT_EQ(conversion.Convert(text, 0, out, losses, faults), FindInvalidUtf8(text))
        << "round " << round;
    ASSERT_EQ(out, "kept");
  }
}

// Bytes of the working encoding (--raw), broken ones too, give what the mode gives for them.
TEST_P(ChineseTextTest, BytesMatchTheMode) {
  const ModeInfo mode = ModeOf(GetParam());
  const Encoding encoding = GetParam().encoding;
  FaultLog faults;
  const ChineseTextConversion conversion(mode.opencc_config, mode.routine, encoding);
  std::mt19937 random(static_cast<unsigned>(mode.id) + 11 * static_cast<unsigned>(encoding));
  for (int round = 0; round < 400; ++round) {
    std::string bytes = Utf8TextToAnsi(RandomText(random), LineBreaks::AsIs, encoding).text;
    if (round % 3 == 0 && !bytes.empty())  // a broken byte somewhere
      bytes[random() % bytes.size()] = static_cast<char>(0x80 | random());
    std::string out;
    conversion.ConvertBytes(bytes, out, faults);
    ASSERT_EQ(out, GeneralPath(mode, bytes, encoding)) << "round " << round;
  }
  EXPECT_TRUE(faults.All().empty());
}

INSTANTIATE_TEST_SUITE_P(
    ModesAndEncodings, ChineseTextTest,
    ::testing::Values(Case{ConversionMode::SimplifiedToTraditional, Encoding::Gbk},
                      Case{ConversionMode::TraditionalToSimplified, Encoding::Gbk},
                      Case{ConversionMode::S2twp, Encoding::Gbk},
                      Case{ConversionMode::S2twp, Encoding::ShiftJis, true},
                      Case{ConversionMode::S2twp, Encoding::EucKr, true},
                      Case{ConversionMode::SimplifiedToTraditional, Encoding::Gbk, true},
                      Case{ConversionMode::TraditionalToSimplified, Encoding::Big5, true},
                      Case{ConversionMode::S2hk, Encoding::Big5},
                      Case{ConversionMode::TraditionalToSimplified, Encoding::Big5},
                      Case{ConversionMode::T2jp, Encoding::ShiftJis},
                      Case{ConversionMode::Jp2t, Encoding::ShiftJis},
                      Case{ConversionMode::SimplifiedToTraditional, Encoding::EucKr},
                      Case{ConversionMode::SimplifiedToTraditional, Encoding::Utf8},
                      Case{ConversionMode::Tw2sp, Encoding::Gb18030}));

}  // namespace
}  // namespace tessaly
