#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <new>
#include <ostream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "engine/byte_modes.h"
#include "engine/chinese/chinese_mapping.h"
#include "engine/chinese_modes.h"
#include "engine/chunked_conversion.h"
#include "engine/code_page.h"
#include "engine/conversion.h"
#include "engine/detail/chinese_routines.h"
#include "tests/support/opencc_mapper.h"
#include "tests/test_support.h"

namespace tessaly {
namespace {

using testing::Bytes;

// The reference for every expectation below is the converters themselves, through the
// code-page layer (ICU for GBK and BIG5).
std::string Gbk(std::string_view utf8) {
  return GbkCodePage().FromUtf16(Utf8CodePage().ToUtf16(utf8));
}

std::string Reference(std::string_view text, const CodePage& source, const CodePage& target) {
  return target.FromUtf16(source.ToUtf16(text));
}

std::string Hex(std::string_view bytes) {
  return HexEncode(bytes);
}

// One fault of the routine, in the library's own words.
void ExpectOneFault(const FaultLog& faults, std::string_view routine) {
  ASSERT_EQ(faults.All().size(), 1u);
  EXPECT_EQ(faults.All()[0].routine, routine);
  EXPECT_FALSE(faults.All()[0].detail.empty());
}

// A small double-byte code page of its own, whose two-byte characters are not every lead byte
// with every trail byte, and one of which lies beyond the BMP: it takes the tables down the
// paths GBK and BIG5 never take.
class ToyCodePage final : public CodePage {
 public:
  std::u16string ToUtf16(std::string_view bytes) const override {
    std::u16string out;
    for (std::size_t i = 0; i < bytes.size();) {
      const auto pair = i + 1 < bytes.size() ? kPairs.find(bytes.substr(i, 2)) : kPairs.end();
      if (pair != kPairs.end()) {
        out += pair->second;
        i += 2;
      } else {
        out += static_cast<unsigned char>(bytes[i]) < 0x80 ? char16_t(bytes[i]) : u'\uFFFD';
        i += 1;
      }
    }
    return out;
  }

  std::string FromUtf16(std::u16string_view text, std::size_t* substituted) const override {
    std::string out;
    std::size_t lacking = 0;
    for (std::size_t i = 0; i < text.size();) {
      const std::size_t length =
          i + 1 < text.size() && text[i] >= 0xD800 && text[i] < 0xDC00 ? 2 : 1;
      const std::u16string_view character = text.substr(i, length);
      i += length;
      if (character.size() == 1 && character[0] < 0x80) {
        out += static_cast<char>(character[0]);
        continue;
      }
      const auto pair = std::find_if(kPairs.begin(), kPairs.end(),
                                     [&](const auto& entry) { return entry.second == character; });
      out += pair != kPairs.end() ? pair->first : "?";
      lacking += pair == kPairs.end();
    }
    if (substituted != nullptr) *substituted = lacking;
    return out;
  }

 private:
  inline static const std::map<std::string, std::u16string, std::less<>> kPairs = {
      {"\x81\x41", u"\u4E00"},
      {"\x81\x42", u"\u4E01"},
      {"\x82\x41", u"\u4E2D"},
      {"\x82\x43", u"\U00020000"}};
};

const ToyCodePage kToy;

// ---------------------------------------------------------------------------------------------
// The modes through the pipeline.

struct ModeCase {
  const char* name;
  ConversionMode mode;
  std::string input;
  std::string expected;
  SeparatorStyle style = SeparatorStyle::SeparatorNone;
};

void PrintTo(const ModeCase& c, std::ostream* os) {
  *os << c.name;
}

class ChineseModeTest : public ::testing::TestWithParam<ModeCase> {};

TEST_P(ChineseModeTest, ConvertsWithoutFault) {
  const ModeCase& c = GetParam();
  FaultLog faults;
  const ConversionRequest request{c.input, c.mode, DeletionOptions{}, c.style};
  EXPECT_EQ(Hex(RunConversion(request, ConversionContext{faults}).text), Hex(c.expected));
  EXPECT_TRUE(faults.All().empty());
}

constexpr auto kS2t = ConversionMode::SimplifiedToTraditional;
constexpr auto kT2s = ConversionMode::TraditionalToSimplified;
constexpr auto kToBig5 = ConversionMode::GbkToBig5;
constexpr auto kToGbk = ConversionMode::Big5ToGbk;
const std::string kAscii = "0123 abcXYZ !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~\t\r\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, ChineseModeTest,
    ::testing::Values(
        ModeCase{"S2tPrc", kS2t, Gbk("中华人民共和国"), Gbk("中華人民共和國")},
        ModeCase{"T2sPrc", kT2s, Gbk("中華人民共和國"), Gbk("中华人民共和国")},
        ModeCase{"ToBig5Prc", kToBig5, Bytes("D6D0C841C8CBC3F1B9B2BACD87F8"),
                 Bytes("A4A4B5D8A448A5C1A640A94DB0EA")},
        ModeCase{"ToGbkPrc", kToGbk, Bytes("A4A4B5D8A448A5C1A640A94DB0EA"),
                 Bytes("D6D0C841C8CBC3F1B9B2BACD87F8")},
        // Phrases, where a character-by-character table would pick the wrong form.
        ModeCase{"S2tHair", kS2t, Gbk("头发"), Gbk("頭髮")},
        ModeCase{"S2tCadre", kS2t, Gbk("干部"), Gbk("幹部")},
        ModeCase{"S2tDry", kS2t, Gbk("干燥"), Gbk("乾燥")},
        ModeCase{"S2tEmpress", kS2t, Gbk("皇后后面"), Gbk("皇后後面")},
        ModeCase{"T2sHair", kT2s, Gbk("頭髮"), Gbk("头发")},
        ModeCase{"T2sCadre", kT2s, Gbk("幹部"), Gbk("干部")},
        ModeCase{"T2sDry", kT2s, Gbk("乾燥"), Gbk("干燥")},
        // 儸 becomes U+3469, which GBK lacks: the character stays, its neighbours convert.
        ModeCase{"T2sKeepsWhatGbkLacks", kT2s, Gbk("儸"), Gbk("儸")},
        ModeCase{"T2sKeepsOnlyWhatGbkLacks", kT2s, Gbk("羅儸國"), Gbk("罗儸国")},
        // Characters the target set lacks become one "?" each; nothing of the input trails.
        ModeCase{"ToBig5Lacking", kToBig5, Gbk("简体abc"), "?" + Bytes("CA5E") + "abc"},
        ModeCase{"ToGbkLacking", kToGbk, Bytes("8140A4A481FE41"), "?" + Gbk("中") + "?A"},
        // The euro sign is one byte in GBK and two in BIG5: the output grows past the input.
        ModeCase{"ToBig5Grows", kToBig5, Bytes("808080"), Bytes("A3E1A3E1A3E1")},
        ModeCase{"ToGbkShrinks", kToGbk, Bytes("A3E1A3E1A3E1"), Bytes("808080")},
        // Malformed GBK is kept byte for byte by the mappings.
        ModeCase{"S2tKeepsMalformed", kS2t, Bytes("813041FF") + Gbk("发") + Bytes("81"),
                 Bytes("813041FF") + Gbk("發") + Bytes("81")},
        ModeCase{"T2sKeepsMalformed", kT2s, Bytes("FE39") + Gbk("發") + Bytes("A2A0"),
                 Bytes("FE39") + Gbk("发") + Bytes("A2A0")},
        ModeCase{"S2tAscii", kS2t, kAscii, kAscii}, ModeCase{"T2sAscii", kT2s, kAscii, kAscii},
        ModeCase{"ToBig5Ascii", kToBig5, kAscii, kAscii},
        ModeCase{"ToGbkAscii", kToGbk, kAscii, kAscii}, ModeCase{"S2tEmpty", kS2t, "", ""},
        ModeCase{"T2sEmpty", kT2s, "", ""}, ModeCase{"ToBig5Empty", kToBig5, "", ""},
        ModeCase{"ToGbkEmpty", kToGbk, "", ""},
        ModeCase{"ToBig5EmptyHexList", kToBig5, "", "0x", SeparatorStyle::SeparatorHexList},
        ModeCase{"ToBig5Spaced", kToBig5, Gbk("中華"), Bytes("A4A420B5D820"),
                 SeparatorStyle::SeparatorSpace},
        // The mode's copy ends at the first zero byte, as every routine reads its text.
        ModeCase{"ToBig5KeepsZeroByte", kToBig5, std::string("A\0B", 3), std::string("A\0B", 3)}),
    [](const ::testing::TestParamInfo<ModeCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// Re-encoding against the converters, code by code.

detail::RecodingRoutine RoutineOf(ConversionMode mode) {
  return mode == ConversionMode::GbkToBig5 ? detail::RecodingRoutine::GbkToBig5
                                           : detail::RecodingRoutine::Big5ToGbk;
}

struct RecodeCase {
  const char* name;
  ConversionMode mode;  // whose routine and fault text
  const CodePage* source;
  const CodePage* target;
  int rounds =
      3000;  // random texts; a code page other than GBK and BIG5 builds its tables per call

  AnsiText Routine(std::string_view text, FaultLog& faults) const {
    return mode == ConversionMode::GbkToBig5
               ? detail::GbkToBig5With(text, faults, *source, *target)
               : detail::Big5ToGbkWith(text, faults, *source, *target);
  }
};

void PrintTo(const RecodeCase& c, std::ostream* os) {
  *os << c.name;
}

class RecodeTest : public ::testing::TestWithParam<RecodeCase> {};
class EveryCodeTest : public RecodeTest {};

TEST_P(EveryCodeTest, EveryByteAndPairMatchesTheConverters) {
  const RecodeCase& c = GetParam();
  FaultLog faults;
  int mismatches = 0;
  for (int first = 0; first < 256; ++first) {
    for (int second = -1; second < 256; ++second) {
      std::string text(1, static_cast<char>(first));
      if (second >= 0) text.push_back(static_cast<char>(second));
      const std::string expected = Reference(text, *c.source, *c.target);
      const std::string actual = c.Routine(text, faults);
      if (actual != expected && ++mismatches <= 5)
        ADD_FAILURE() << Hex(text) << " gives " << Hex(actual) << ", expected " << Hex(expected);
    }
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_TRUE(faults.All().empty());
}

// Texts of bytes that stress the boundaries: lead bytes at the end, trail bytes alone, line
// feeds inside pairs, bytes no table assigns.
std::string RandomBytes(std::mt19937& random) {
  const std::string interesting = Bytes("0A0D203F4041427E7F808182A0A1A3E1C8FDFEFF00");
  std::string text(random() % 40 + 1, ' ');
  for (char& byte : text) {
    byte = static_cast<char>(random() % 3 == 0 ? random() % 256
                                               : interesting[random() % interesting.size()]);
  }
  return text;
}

TEST_P(RecodeTest, RandomTextsMatchTheConverters) {
  const RecodeCase& c = GetParam();
  std::mt19937 random(20240511);
  FaultLog faults;
  for (int round = 0; round < c.rounds; ++round) {
    const std::string text = RandomBytes(random);
    ASSERT_EQ(Hex(c.Routine(text, faults)), Hex(Reference(text, *c.source, *c.target)))
        << "input " << Hex(text);
  }
  EXPECT_TRUE(faults.All().empty());
}

// In chunks of any size the bytes are those of the mode on the whole text, which ends at its
// first zero byte.
TEST_P(RecodeTest, ChunksGiveTheWholeText) {
  const RecodeCase& c = GetParam();
  std::mt19937 random(7);
  FaultLog faults;
  for (int round = 0; round < c.rounds; ++round) {
    const std::string text = RandomBytes(random);
    detail::ChunkedRecoding recoding(RoutineOf(c.mode), faults, *c.source, *c.target);
    AnsiText chunked;
    for (std::size_t at = 0; at < text.size();) {
      const std::size_t size = std::min<std::size_t>(random() % 4, text.size() - at);
      recoding.Convert(std::string_view(text).substr(at, size), chunked);
      at += size;
    }
    recoding.Finish(chunked);
    ASSERT_EQ(Hex(chunked), Hex(Reference(text, *c.source, *c.target))) << "input " << Hex(text);
  }
  EXPECT_TRUE(faults.All().empty());
}

const RecodeCase kGbkToBig5{"GbkToBig5", ConversionMode::GbkToBig5, &GbkCodePage(),
                            &Big5CodePage()};
const RecodeCase kBig5ToGbk{"Big5ToGbk", ConversionMode::Big5ToGbk, &Big5CodePage(),
                            &GbkCodePage()};

std::string CaseName(const ::testing::TestParamInfo<RecodeCase>& info) {
  return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Directions, EveryCodeTest, ::testing::Values(kGbkToBig5, kBig5ToGbk),
                         CaseName);

INSTANTIATE_TEST_SUITE_P(
    Directions, RecodeTest,
    ::testing::Values(kGbkToBig5, kBig5ToGbk,
                      RecodeCase{"ToyToToy", ConversionMode::GbkToBig5, &kToy, &kToy, 20},
                      RecodeCase{"ToyToGbk", ConversionMode::Big5ToGbk, &kToy, &GbkCodePage(), 20},
                      RecodeCase{"GbkToToy", ConversionMode::GbkToBig5, &GbkCodePage(), &kToy, 10}),
    CaseName);

// The default routines are the ICU ones.
TEST(Recode, DefaultsAreGbkAndBig5) {
  FaultLog faults;
  const std::string gbk = Gbk("中華€");
  EXPECT_EQ(detail::GbkToBig5With(gbk, faults), Reference(gbk, GbkCodePage(), Big5CodePage()));
  EXPECT_EQ(detail::Big5ToGbkWith(detail::GbkToBig5With(gbk, faults), faults), gbk);
  EXPECT_TRUE(faults.All().empty());
}

// Every valid BIG5 code whose character GBK holds comes back from GBK as the code BIG5 gives
// that character: the code itself, but for the few characters BIG5 holds twice.
TEST(Big5RoundTrip, EveryCodeWithAGbkCounterpartSurvives) {
  FaultLog faults;
  int checked = 0;
  int own_code = 0;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      const std::string code = {static_cast<char>(lead), static_cast<char>(trail)};
      const std::u16string character = Big5CodePage().ToUtf16(code);
      std::size_t lacking = 0;
      if (character.size() != 1 || character[0] == u'\uFFFD') continue;
      GbkCodePage().FromUtf16(character, &lacking);
      if (lacking > 0) continue;
      const std::string back = detail::GbkToBig5With(detail::Big5ToGbkWith(code, faults), faults);
      EXPECT_EQ(Hex(back), Hex(Big5CodePage().FromUtf16(character))) << Hex(code);
      ++checked;
      own_code += back == code;
    }
  }
  EXPECT_GT(checked, 15000);
  EXPECT_GE(own_code, checked - 10);
  EXPECT_TRUE(faults.All().empty());
}

// ---------------------------------------------------------------------------------------------
// The mappings over the whole of GBK.

std::string EveryGbkCharacter() {
  std::string text;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      const std::string code = {static_cast<char>(lead), static_cast<char>(trail)};
      const std::u16string character = GbkCodePage().ToUtf16(code);
      if (character.size() == 1 && character[0] != u'\uFFFD') text += code;
    }
  }
  return text;
}

// A character GBK cannot hold in its new form keeps its old one, so the text keeps its length
// and gains no "?".
TEST(ChineseMapping, WholeGbkKeepsItsLengthBothWays) {
  const std::string every = EveryGbkCharacter();
  ASSERT_GT(every.size(), 2 * 20000u);
  FaultLog faults;
  for (const auto& [name, mapped] :
       {std::pair{"t2s", detail::TraditionalToSimplifiedWith(every, faults)},
        std::pair{"s2t", detail::SimplifiedToTraditionalWith(every, faults)}}) {
    EXPECT_EQ(mapped.size(), every.size()) << name;
    EXPECT_EQ(std::count(mapped.begin(), mapped.end(), '?'), 0) << name;
    EXPECT_NE(mapped, every) << name;
  }
  EXPECT_TRUE(faults.All().empty());
}

// A mapper that hands out fixed pieces: (source bytes in UTF-8, mapped UTF-8).
class ScriptedMapper final : public ChineseMapper {
 public:
  explicit ScriptedMapper(std::vector<std::pair<std::size_t, std::string>> pieces)
      : pieces_(std::move(pieces)) {}
  void Map(std::string_view, const MappedPieceSink& sink) const override {
    for (const auto& [source_bytes, mapped] : pieces_) sink(source_bytes, mapped);
  }

 private:
  std::vector<std::pair<std::size_t, std::string>> pieces_;
};

std::size_t Utf8Bytes(std::string_view text) {
  return text.size();
}

struct PieceCase {
  const char* name;
  std::string input;  // UTF-8
  std::vector<std::pair<std::size_t, std::string>> pieces;
  std::string expected;  // UTF-8
};

void PrintTo(const PieceCase& c, std::ostream* os) {
  *os << c.name;
}

class PieceTest : public ::testing::TestWithParam<PieceCase> {};

TEST_P(PieceTest, JoinsPiecesBackIntoGbk) {
  const PieceCase& c = GetParam();
  FaultLog faults;
  const ScriptedMapper mapper(c.pieces);
  EXPECT_EQ(Hex(detail::SimplifiedToTraditionalWith(Gbk(c.input), faults, mapper)),
            Hex(Gbk(c.expected)));
  EXPECT_TRUE(faults.All().empty());
}

// A phrase that changes its character count goes in whole when GBK holds all of it, and stays as
// it was otherwise; pieces of the same count go character by character.
INSTANTIATE_TEST_SUITE_P(
    Pieces, PieceTest,
    ::testing::Values(
        PieceCase{
            "LongerPhraseGoesIn", "中国人", {{Utf8Bytes("中国"), "中华国"}, {3, "人"}}, "中华国人"},
        PieceCase{"ShorterPhraseGoesIn", "中华人民", {{Utf8Bytes("中华人民"), "中国"}}, "中国"},
        PieceCase{"LongerPhraseGbkLacksStays",
                  "中国人",
                  {{Utf8Bytes("中国"), "中\u3469国"}, {3, "仁"}},
                  "中国仁"},
        PieceCase{"ShorterPhraseGbkLacksStays",
                  "中华人民",
                  {{Utf8Bytes("中华人民"), "中\u3469"}},
                  "中华人民"},
        PieceCase{
            "SameCountPerCharacter", "中国人", {{Utf8Bytes("中国人"), "申\u3469大"}}, "申国大"},
        // A byte that is not UTF-8 stands for U+FFFD, which GBK lacks: its character stays.
        PieceCase{"MalformedMappedByteKeepsItsSource", "中国", {{6, "\xFF华"}}, "中华"}),
    [](const ::testing::TestParamInfo<PieceCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// Faults: reported once with the routine's text, and the text comes back as given.

template <typename Exception>
class ThrowingCodePage final : public CodePage {
 public:
  std::u16string ToUtf16(std::string_view) const override { throw Exception(); }
  std::string FromUtf16(std::u16string_view, std::size_t*) const override { throw Exception(); }
};

struct InjectedError {};

class ThrowingMapper final : public ChineseMapper {
 public:
  explicit ThrowingMapper(std::function<void()> fail) : fail_(std::move(fail)) {}
  void Map(std::string_view, const MappedPieceSink&) const override { fail_(); }

 private:
  std::function<void()> fail_;
};

const ThrowingCodePage<std::bad_alloc> kOutOfMemory;
const ThrowingCodePage<InjectedError> kOddThrow;
struct FailingIcu : CodePageError {
  FailingIcu() : CodePageError("U_MEMORY_ALLOCATION_ERROR") {}
};
const ThrowingCodePage<FailingIcu> kIcuFailure;
const ThrowingMapper kMapperOutOfMemory([] { throw std::bad_alloc(); });
const ThrowingMapper kMapperOddThrow([] { throw InjectedError(); });
const OpenCcMapper kNoDictionaries("/nonexistent/s2t.json");
const ScriptedMapper kShortPieces({{3, "中"}});
const ScriptedMapper kPieceInsideCharacter({{2, "中"}, {4, "国"}});
const ScriptedMapper kPieceBeyondText({{9, "中国人"}});

struct FaultCase {
  const char* name;
  std::function<AnsiText(std::string_view, FaultLog&)> routine;
  std::string message;
};

void PrintTo(const FaultCase& c, std::ostream* os) {
  *os << c.name;
}

class FaultTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultTest, ReportsOnceAndKeepsTheText) {
  const FaultCase& c = GetParam();
  const std::string input = Gbk("中国");
  FaultLog faults;
  EXPECT_EQ(c.routine(input, faults), input);
  ExpectOneFault(faults, c.message);
}

TEST_P(FaultTest, EmptyTextConvertsNothing) {
  FaultLog faults;
  EXPECT_EQ(GetParam().routine("", faults), "");
  EXPECT_TRUE(faults.All().empty());
}

using Routine = std::function<AnsiText(std::string_view, FaultLog&)>;

Routine WithGbk(AnsiText (*routine)(std::string_view, FaultLog&, const ChineseMapper&,
                                    const CodePage&, Encoding),
                const ChineseMapper& mapper, const CodePage& gbk = GbkCodePage()) {
  return [=, &mapper, &gbk](std::string_view text, FaultLog& r) {
    return routine(text, r, mapper, gbk, Encoding::Gbk);
  };
}

Routine WithPages(AnsiText (*routine)(std::string_view, FaultLog&, const CodePage&, const CodePage&,
                                      LossReport*),
                  const CodePage& source, const CodePage& target) {
  return [=, &source, &target](std::string_view text, FaultLog& r) {
    return routine(text, r, source, target, nullptr);
  };
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultTest,
    ::testing::Values(
        FaultCase{"GbkToBig5SourceFails",
                  WithPages(detail::GbkToBig5With, kIcuFailure, Big5CodePage()), "GBK2BIG5"},
        FaultCase{"Big5ToGbkTargetFails",
                  WithPages(detail::Big5ToGbkWith, Big5CodePage(), kIcuFailure), "BIG52GBK"},
        FaultCase{
            "S2tCodePageFails",
            WithGbk(detail::SimplifiedToTraditionalWith, StandardMapper("s2t.json"), kIcuFailure),
            "GB2GBK"},
        FaultCase{"S2tNoDictionaries",
                  WithGbk(detail::SimplifiedToTraditionalWith, kNoDictionaries), "GB2GBK"},
        FaultCase{"T2sNoDictionaries",
                  WithGbk(detail::TraditionalToSimplifiedWith, kNoDictionaries), "GBK2GB"},
        FaultCase{"S2tPiecesStopShort", WithGbk(detail::SimplifiedToTraditionalWith, kShortPieces),
                  "GB2GBK"},
        FaultCase{"S2tPieceInsideCharacter",
                  WithGbk(detail::SimplifiedToTraditionalWith, kPieceInsideCharacter), "GB2GBK"},
        FaultCase{"T2sPieceBeyondText",
                  WithGbk(detail::TraditionalToSimplifiedWith, kPieceBeyondText), "GBK2GB"}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

// Running out of memory is no fault of the routine, and neither is an exception from outside the
// engine: it reaches the caller, with nothing reported, rather than the text coming back as if
// converted.
struct ForeignCase {
  const char* name;
  Routine routine;
  bool out_of_memory;  // else InjectedError
};

void PrintTo(const ForeignCase& c, std::ostream* os) {
  *os << c.name;
}

class ForeignExceptionTest : public ::testing::TestWithParam<ForeignCase> {};

TEST_P(ForeignExceptionTest, ReachesTheCallerUnreported) {
  const ForeignCase& c = GetParam();
  FaultLog faults;
  if (c.out_of_memory) {
    EXPECT_THROW(c.routine(Gbk("中国"), faults), std::bad_alloc);
  } else {
    EXPECT_THROW(c.routine(Gbk("中国"), faults), InjectedError);
  }
  EXPECT_TRUE(faults.All().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Foreign, ForeignExceptionTest,
    ::testing::Values(
        ForeignCase{"GbkToBig5TargetOutOfMemory",
                    WithPages(detail::GbkToBig5With, GbkCodePage(), kOutOfMemory), true},
        ForeignCase{"Big5ToGbkSourceOddThrow",
                    WithPages(detail::Big5ToGbkWith, kOddThrow, GbkCodePage()), false},
        ForeignCase{
            "T2sCodePageOutOfMemory",
            WithGbk(detail::TraditionalToSimplifiedWith, StandardMapper("t2s.json"), kOutOfMemory),
            true},
        ForeignCase{"S2tMapperOutOfMemory",
                    WithGbk(detail::SimplifiedToTraditionalWith, kMapperOutOfMemory), true},
        ForeignCase{"T2sMapperOddThrow",
                    WithGbk(detail::TraditionalToSimplifiedWith, kMapperOddThrow), false},
        ForeignCase{"StandardMapperOutOfMemory",
                    [](std::string_view text, FaultLog& r) {
                      return detail::ConvertChineseWith(text, r, "S2TW", kMapperOutOfMemory,
                                                        Encoding::Gbk);
                    },
                    true}),
    [](const ::testing::TestParamInfo<ForeignCase>& info) { return std::string(info.param.name); });

// The chunked modes read their tables first: running out of memory there is no fault either, and
// no chunk passes through unconverted.
TEST(ChunkedRecoding, OutOfMemoryReachesTheCaller) {
  FaultLog faults;
  AnsiText out;
  EXPECT_THROW(
      {
        detail::ChunkedRecoding recoding(detail::RecodingRoutine::GbkToBig5, faults, GbkCodePage(),
                                         kOutOfMemory);
        recoding.Convert(Bytes("D6D0"), out);
        recoding.Finish(out);
      },
      std::bad_alloc);
  EXPECT_TRUE(faults.All().empty());
  EXPECT_EQ(out, "");
}

// The chunked modes build their tables before the first chunk: a fault there is reported once and
// the text passes as it was given, as the whole-text mode gives it.
TEST(ChunkedRecoding, FaultBeforeTheFirstChunkPassesTheTextUnchanged) {
  FaultLog faults;
  detail::ChunkedRecoding recoding(detail::RecodingRoutine::Big5ToGbk, faults, kIcuFailure,
                                   GbkCodePage());
  const std::string text = Bytes("A4A4B5") + Bytes("D841") + std::string("\0tail", 5);
  AnsiText out;
  recoding.Convert(std::string_view(text).substr(0, 3), out);
  recoding.Convert(std::string_view(text).substr(3), out);
  recoding.Finish(out);
  EXPECT_EQ(Hex(out), "A4A4B5D841007461696C");
  ExpectOneFault(faults, "BIG52GBK");
}

// The command line's path: deletion, the mode in chunks, separators, against the whole run.
TEST(ChunkedRecoding, ChunkedConversionMatchesTheWholeRun) {
  const std::string inputs[] = {
      std::string("A\0B", 3), Bytes("81") + std::string(1, '\0'),
      Bytes("A4A4") + " " + Bytes("80") + "," + Bytes("B5D8") + "." + Bytes("A4"),
      Bytes("D6D0C841") + " \r\n" + Bytes("FE")};
  for (const ConversionMode mode : {ConversionMode::GbkToBig5, ConversionMode::Big5ToGbk}) {
    for (const std::string& input : inputs) {
      for (std::size_t cut = 0; cut <= input.size(); ++cut) {
        FaultLog faults;
        ChunkedConversion chunked(mode, DeletionOptions::All(), SeparatorStyle::SeparatorComma,
                                  ConversionContext{faults});
        AnsiText out;
        chunked.Convert(std::string_view(input).substr(0, cut), out);
        chunked.Convert(std::string_view(input).substr(cut), out);
        chunked.Finish(out);
        EXPECT_EQ(out, testing::RunRequest(input, mode, SeparatorStyle::SeparatorComma))
            << Hex(input) << " cut at " << cut;
        EXPECT_TRUE(faults.All().empty());
      }
    }
  }
}

TEST(OpenCcMapper, MissingDictionariesAreReportedAsUnavailable) {
  EXPECT_THROW(kNoDictionaries.Map("头发", [](std::size_t, std::string_view) {}),
               ChineseMappingUnavailable);
}

// The engine's mapper and OpenCC's, which the tests and benchmarks hold it against.
std::vector<std::pair<const char*, const ChineseMapper*>> S2tMappers() {
  static const OpenCcMapper opencc("s2t.json");
  return {{"StandardMapper", &StandardMapper("s2t.json")}, {"OpenCcMapper", &opencc}};
}

TEST(ChineseMapper, PiecesCoverTheText) {
  const std::string text = "我的头发很干燥, abc";
  for (const auto& [name, mapper] : S2tMappers()) {
    std::size_t covered = 0;
    std::string mapped;
    mapper->Map(text, [&](std::size_t source_bytes, std::string_view piece) {
      covered += source_bytes;
      mapped += piece;
    });
    EXPECT_EQ(covered, text.size()) << name;
    EXPECT_EQ(mapped, "我的頭髮很乾燥, abc") << name;
  }
}

// A long text goes to OpenCC in blocks of whole lines; the result is that of each line alone,
// also for a phrase right at a cut and for one line longer than a block.
TEST(ChineseMapper, LongTextsMapAsTheirLines) {
  std::vector<std::string> lines;
  for (int i = 0; i < 9000; ++i) lines.push_back(std::string(i % 7, 'x') + "头发干燥,干部\r\n");
  lines.push_back("");
  for (int i = 0; i < 20000; ++i) lines.back() += "干部头发";
  for (const auto& [name, mapper] : S2tMappers()) {
    std::string text;
    std::string expected;
    FaultLog faults;
    for (const std::string& line : lines) {
      text += Gbk(line);
      expected += detail::SimplifiedToTraditionalWith(Gbk(line), faults, *mapper);
    }
    ASSERT_GT(text.size(), 4 * 64 * 1024u);
    EXPECT_EQ(detail::SimplifiedToTraditionalWith(text, faults, *mapper), expected) << name;
    EXPECT_NE(expected, text) << name;
    EXPECT_TRUE(faults.All().empty()) << name;
  }
}

}  // namespace
}  // namespace tessaly
