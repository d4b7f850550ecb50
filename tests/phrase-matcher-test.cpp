// The phrase matcher against OpenCC's own converter, for every configuration Debian ships: on
// text made of the dictionaries' own phrases, on the translations installed on this machine, and
// on broken UTF-8.
#include "engine/chinese/phrase_matcher.h"
#include "engine/errors.h"

#include <gtest/gtest.h>
#include <unicode/utf8.h>
#include <opencc/Config.hpp>
#include <opencc/Conversion.hpp>
#include <opencc/ConversionChain.hpp>
#include <opencc/Converter.hpp>
#include <opencc/DictGroup.hpp>
#include <opencc/Exception.hpp>
#include <opencc/Lexicon.hpp>
#include <opencc/MaxMatchSegmentation.hpp>
#include <opencc/Segments.hpp>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace tessaly {
namespace {

const char* const kConfigs[] = {"s2t.json",  "t2s.json",   "s2tw.json", "s2twp.json", "s2hk.json",
                                "tw2s.json", "tw2sp.json", "hk2s.json", "t2tw.json",  "tw2t.json",
                                "t2hk.json", "hk2t.json",  "t2jp.json", "jp2t.json"};

using Pieces = std::vector<std::pair<std::size_t, std::string>>;

// OpenCC's converter for a configuration, and every key and value of its dictionaries.
struct Reference {
  opencc::ConverterPtr converter;
  std::vector<std::string> phrases;
};

void CollectPhrases(const opencc::DictPtr& dict, std::vector<std::string>& phrases) {
  if (const auto group = std::dynamic_pointer_cast<opencc::DictGroup>(dict)) {
    for (const opencc::DictPtr& inner : group->GetDicts()) CollectPhrases(inner, phrases);
    return;
  }
  for (const auto& entry : *dict->GetLexicon()) {
    phrases.push_back(entry->Key());
    for (const std::string& value : entry->Values()) phrases.push_back(value);
  }
}

const Reference& ReferenceFor(const std::string& config) {
  static std::map<std::string, Reference> loaded;
  Reference& reference = loaded[config];
  if (!reference.converter) {
    reference.converter = opencc::Config().NewFromFile(config);
    const auto segmentation = std::dynamic_pointer_cast<opencc::MaxMatchSegmentation>(
        reference.converter->GetSegmentation());
    CollectPhrases(segmentation->GetDict(), reference.phrases);
    for (const auto& conversion : reference.converter->GetConversionChain()->GetConversions())
      CollectPhrases(conversion->GetDict(), reference.phrases);
  }
  return reference;
}

// OpenCC's segments and what its chain makes of each: the pieces Map must hand out.
// OpenCC's segments, each cut where characters no key holds give way to ones some key holds or the
// other way round, each part converted by OpenCC on its own.
Pieces OpenCcPiecesCutAtFree(const opencc::Converter& converter, const std::string& text,
                             const CharacterStops& in_keys) {
  Pieces pieces;
  const opencc::SegmentsPtr source = converter.GetSegmentation()->Segment(text);
  for (std::size_t i = 0; i < source->Length(); ++i) {
    const std::string segment = source->At(i);
    const auto* p = reinterpret_cast<const std::uint8_t*>(segment.data());
    const auto length = static_cast<std::int32_t>(segment.size());
    std::int32_t start = 0;
    for (std::int32_t pos = 0, free_before = -1; pos < length;) {
      const std::int32_t at = pos;
      UChar32 c = 0;
      U8_NEXT(p, pos, length, c);
      const int free = c >= 0 && c < 0x10000 && !in_keys.Stops(static_cast<char32_t>(c));
      if (free_before >= 0 && free != free_before) {
        const std::string part = segment.substr(start, at - start);
        pieces.emplace_back(part.size(), converter.Convert(part));
        start = at;
      }
      free_before = free;
    }
    const std::string part = segment.substr(start);
    pieces.emplace_back(part.size(), converter.Convert(part));
  }
  return pieces;
}

Pieces MatcherPieces(const PhraseMatcher& matcher, const std::string& text) {
  Pieces pieces;
  matcher.Map(text, [&](std::size_t source_bytes, std::string_view mapped) {
    pieces.emplace_back(source_bytes, std::string(mapped));
  });
  return pieces;
}

std::string Utf8(char32_t cp) {
  std::string out;
  if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
  }
  out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  out += static_cast<char>(0x80 | (cp & 0x3F));
  return out;
}

// The first `chars` characters of a well-formed phrase.
std::string Head(const std::string& phrase, std::size_t chars) {
  std::size_t pos = 0;
  for (; chars > 0 && pos < phrase.size(); --chars) {
    ++pos;
    while (pos < phrase.size() && (phrase[pos] & 0xC0) == 0x80) ++pos;
  }
  return phrase.substr(0, pos);
}

// Dictionary phrases, whole, cut short, or split by a line break, among ASCII, line breaks, CJK
// characters of the BMP and beyond it, and emoji.
std::string GeneratedText(std::mt19937& random, const std::vector<std::string>& phrases,
                          std::size_t pieces) {
  static const char* const kOther[] = {"abc ", "\n", "\r\n",       "12.5%",  "，",    "。",
                                       " ",    "\t", "\U0001F600", "\u00E9", "\u3000"};
  std::string text;
  for (std::size_t i = 0; i < pieces; ++i) {
    const std::string& phrase = phrases[random() % phrases.size()];
    switch (random() % 10) {
      case 0:
      case 1:
      case 2:
      case 3:
        text += phrase;
        break;
      case 4:
        text += Head(phrase, 1 + random() % 3);
        break;
      case 5: {
        const std::string head = Head(phrase, 1);
        text += head + (random() % 2 ? "\n" : "\r\n") + phrase.substr(head.size());
        break;
      }
      case 6:
        text += kOther[random() % std::size(kOther)];
        break;
      case 7:
        text += Utf8(0x4E00 + random() % (0x9FFF - 0x4E00));
        break;
      case 8:
        text += Utf8(0x20000 + random() % 0xA6DF);
        break;
      default:
        text += phrase + phrases[random() % phrases.size()];
    }
  }
  return text;
}

// Every translation in a gettext catalogue, each followed by a line break.
std::string MoTranslations(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  const std::string mo((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  auto word = [&](std::size_t at) {
    std::uint32_t value = 0;
    if (at + 4 <= mo.size()) std::memcpy(&value, mo.data() + at, 4);
    return value;
  };
  std::string text;
  if (word(0) != 0x950412de) return text;  // only catalogues in this machine's byte order
  const std::uint32_t count = word(8);
  const std::uint32_t table = word(16);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t length = word(table + 8 * i);
    const std::uint32_t offset = word(table + 8 * i + 4);
    if (offset + std::size_t{length} > mo.size()) break;
    for (const char c : std::string_view(mo).substr(offset, length)) text += c == '\0' ? '\n' : c;
    text += '\n';
  }
  return text;
}

std::string InstalledTranslations() {
  std::string text;
  for (const char* locale : {"zh_CN", "zh_TW", "zh_HK"}) {
    const std::filesystem::path dir =
        std::filesystem::path("/usr/share/locale") / locale / "LC_MESSAGES";
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(dir, error))
      if (entry.path().extension() == ".mo") text += MoTranslations(entry.path());
  }
  return text;
}

class MatcherVsOpenCc : public ::testing::TestWithParam<const char*> {};

TEST_P(MatcherVsOpenCc, GeneratedTextConvertsAlike) {
  const Reference& reference = ReferenceFor(GetParam());
  const auto matcher = PhraseMatcher::Load(GetParam());
  std::mt19937 random(20261209);
  std::size_t compared = 0;
  for (int round = 0; round < 300; ++round) {
    const std::string text = GeneratedText(random, reference.phrases, 1 + random() % 300);
    ASSERT_EQ(matcher->Convert(text), reference.converter->Convert(text)) << text;
    compared += text.size();
  }
  std::cout << GetParam() << ": " << compared << " generated bytes alike\n";
}

// The pieces are OpenCC's segments, cut where no phrase reaches over: where characters no key
// holds meet ones some key holds, so that what a piece becomes never depends on a character
// beyond such a place.
TEST_P(MatcherVsOpenCc, PiecesAreOpenCcSegmentsCutWhereNoPhraseReaches) {
  const Reference& reference = ReferenceFor(GetParam());
  const auto matcher = PhraseMatcher::Load(GetParam());
  const CharacterStops& in_keys = matcher->KeyCharacters();
  std::mt19937 random(7);
  for (int round = 0; round < 50; ++round) {
    const std::string text = GeneratedText(random, reference.phrases, 1 + random() % 200) +
                             " 1a, " + GeneratedText(random, reference.phrases, 20);
    ASSERT_EQ(MatcherPieces(*matcher, text),
              OpenCcPiecesCutAtFree(*reference.converter, text, in_keys))
        << text;
  }
}

TEST_P(MatcherVsOpenCc, InstalledTranslationsConvertAlike) {
  const std::string text = InstalledTranslations();
  if (text.empty()) GTEST_SKIP() << "no Chinese translations installed";
  const std::string expected = ReferenceFor(GetParam()).converter->Convert(text);
  const std::string converted = PhraseMatcher::Load(GetParam())->Convert(text);
  ASSERT_EQ(converted.size(), expected.size());
  EXPECT_TRUE(converted == expected);
  std::cout << GetParam() << ": " << text.size() << " bytes of translations alike\n";
}

// Bytes OpenCC steps over as characters of the length their first byte says, well-formed or not,
// and bytes no character starts with, which make it throw.
TEST_P(MatcherVsOpenCc, BrokenUtf8AsOpenCcReadsIt) {
  const Reference& reference = ReferenceFor(GetParam());
  const auto matcher = PhraseMatcher::Load(GetParam());
  const std::string cases[] = {"\xE4\x41\x42头发",
                               "头\xE5\xA4发",
                               "\xC0\x80干燥",
                               "\xE0\x80\x80头发",
                               "\xED\xA0\x80头发",
                               "\xF4\x90\x80\x80发",
                               "\xF8\x88\x80\x80\x80发",
                               "\xFC\x84\x80\x80\x80\x80发",
                               "\x80头发",
                               "头发\xBF",
                               "头\xFE发",
                               "头\xFF",
                               "\xE4\xB8头\xE4\xB8\xAD"};
  for (const std::string& text : cases) {
    bool opencc_threw = false;
    std::string expected;
    try {
      expected = reference.converter->Convert(text);
    } catch (const opencc::Exception&) {
      opencc_threw = true;
    }
    if (opencc_threw) {
      EXPECT_THROW(matcher->Convert(text), MalformedText) << text;
    } else {
      EXPECT_EQ(matcher->Convert(text), expected) << text;
    }
  }
}

// The first character of every `every`-th phrase, so that stops fall inside phrases.
CharacterStops SomeStops(const std::vector<std::string>& phrases, std::size_t every) {
  CharacterStops stops;
  stops.beyond_bmp = true;
  for (std::size_t i = 0; i < phrases.size(); i += every) {
    const auto* p = reinterpret_cast<const unsigned char*>(phrases[i].data());
    if (phrases[i].size() >= 3 && p[0] >= 0xE0 && p[0] < 0xF0)
      stops.Add(char32_t{p[0] & 0x0Fu} << 12 | char32_t{p[1] & 0x3Fu} << 6 | (p[2] & 0x3Fu));
  }
  return stops;
}

// Where the fast path stops at a character, the text converts as OpenCC converts it with that
// character made "?"; and it tells of a watched value exactly where the general path does.
TEST_P(MatcherVsOpenCc, StopsSplitTheTextAsAQuestionMarkDoes) {
  const Reference& reference = ReferenceFor(GetParam());
  const auto matcher = PhraseMatcher::Load(GetParam());
  const CharacterStops stops = SomeStops(reference.phrases, 7);
  // Values holding a character of the CJK block's last part, as an encoding might lack them.
  const std::vector<std::uint8_t> watched =
      matcher->ValuesWith([](char32_t c) { return c >= 0x8C00 && c < 0x9FFF; });
  const auto plan = matcher->PlanFor(stops, watched);
  if (!plan) GTEST_SKIP() << "no fast path for this chain";
  std::mt19937 random(11);
  for (int round = 0; round < 200; ++round) {
    const std::string text = GeneratedText(random, reference.phrases, 1 + random() % 200);
    std::string marked, converted;
    for (std::size_t pos = 0;;) {
      const std::string_view rest = std::string_view(text).substr(pos);
      const PhraseMatcher::Stop stop = matcher->ConvertUntilStop(rest, converted, *plan);
      std::string general;
      const std::string stretch(rest.substr(0, stop.at));
      ASSERT_EQ(matcher->ConvertTo(stretch, general, &watched), stop.wrote_watched) << stretch;
      marked += stretch;
      pos += stop.at;
      if (pos == text.size()) break;
      std::size_t length = 1;
      while (pos + length < text.size() && (text[pos + length] & 0xC0) == 0x80) ++length;
      marked += '?';
      converted += '?';
      pos += length;
    }
    ASSERT_EQ(converted, reference.converter->Convert(marked)) << text;
  }
}

// In text, the first byte that is not well-formed UTF-8 stops the fast path where it stands.
TEST_P(MatcherVsOpenCc, FastPathStopsAtTheFirstByteThatIsNotUtf8) {
  const auto matcher = PhraseMatcher::Load(GetParam());
  const auto plan = matcher->PlanFor(CharacterStops{});
  if (!plan) GTEST_SKIP() << "no fast path for this chain";
  const std::pair<std::string, std::size_t> cases[] = {
      {"头发\xE4\x41", 6},   {"头\xE5\xA4发", 3},     {"\xC0\x80干燥", 0},
      {"头\xE0\x80\x80", 3}, {"头发\xED\xA0\x80", 6}, {"\xF4\x90\x80\x80发", 0},
      {"a\x80头发", 1},      {"头发\xBF", 6},         {"头发干燥\xFF", 12},
      {"\xF0\x9F\x98头", 0}, {"头发\U0001F600", 10}};
  for (const auto& [text, invalid] : cases) {
    std::string out;
    EXPECT_EQ(matcher->ConvertUntilStop(text, out, *plan).at, invalid) << text;
  }
}

INSTANTIATE_TEST_SUITE_P(Configs, MatcherVsOpenCc, ::testing::ValuesIn(kConfigs),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           std::string name = info.param;
                           return name.substr(0, name.find('.'));
                         });

struct PhraseCase {
  const char* config;
  const char* input;
  const char* expected;
};

void PrintTo(const PhraseCase& c, std::ostream* os) {
  *os << c.config << " " << c.input;
}

class PhraseTest : public ::testing::TestWithParam<PhraseCase> {};

TEST_P(PhraseTest, ConvertsAsOpenCc) {
  const PhraseCase& c = GetParam();
  EXPECT_EQ(PhraseMatcher::Load(c.config)->Convert(c.input), c.expected);
  EXPECT_EQ(ReferenceFor(c.config).converter->Convert(c.input), c.expected);
}

// A phrase cut by a line break maps as its characters alone; a phrase at the very end of the text
// still matches whole; a later step of the chain rewrites what an earlier one gave.
INSTANTIATE_TEST_SUITE_P(
    Phrases, PhraseTest,
    ::testing::Values(
        PhraseCase{"s2t.json", "头发干燥", "頭髮乾燥"}, PhraseCase{"s2t.json", "头\n发", "頭\n發"},
        PhraseCase{"s2t.json", "很干燥", "很乾燥"}, PhraseCase{"s2t.json", "一个人", "一個人"},
        PhraseCase{"t2s.json", "萬國碼\r\n", "万国码\r\n"},
        PhraseCase{"t2s.json", "乾隆皇帝", "乾隆皇帝"},
        PhraseCase{"s2twp.json", "鼠标和内存", "滑鼠和記憶體"},
        PhraseCase{"s2twp.json", "计算机软件", "計算機軟體"},
        PhraseCase{"s2twp.json", "旧字体", "舊字型"},
        PhraseCase{"s2tw.json", "鼠标和内存", "鼠標和內存"},
        PhraseCase{"tw2sp.json", "滑鼠記憶體", "鼠标内存"},
        PhraseCase{"tw2sp.json", "滑鼠\n記憶體", "鼠标\n内存"},
        PhraseCase{"t2jp.json", "舊字體", "旧字体"}, PhraseCase{"jp2t.json", "旧字体", "舊字體"},
        // Overlapping phrases: the earlier one wins, the later loses its start.
        PhraseCase{"s2t.json", "㓦划动", "㓦劃動"}, PhraseCase{"t2s.json", "萬鍾繇", "万锺繇"},
        PhraseCase{"s2hk.json", "㓦划动", "㓦劃動"}, PhraseCase{"tw2s.json", "茵藉藉", "茵借藉"},
        PhraseCase{"hk2s.json", "萬鍾繇", "万锺繇"}, PhraseCase{"tw2t.json", "口吃吃", "口吃喫"},
        PhraseCase{"hk2t.json", "免胄族", "免冑族"},
        PhraseCase{"s2hk.json", "头发\n干燥", "頭髮\n乾燥"},
        PhraseCase{"tw2s.json", "為什麼", "为什么"}, PhraseCase{"tw2t.json", "口\n吃", "口\n喫"},
        PhraseCase{"tw2t.json", "為什麼口吃", "爲什麼口吃"},
        PhraseCase{"t2tw.json", "裏面着", "裡面著"},
        PhraseCase{"t2hk.json", "僞裝衛生", "偽裝衞生"},
        PhraseCase{"hk2t.json", "為什麼", "爲什麼"},
        // Keys of a later step that hold ASCII, after the first step: whole, cut by the
        // segmentation, and ASCII before them that starts none.
        PhraseCase{"s2twp.json", "SUP U盘", "SUP 隨身碟"},
        PhraseCase{"s2twp.json", "PN结和U盘", "PN接面和隨身碟"},
        PhraseCase{"s2twp.json", "数据库SQL注入", "資料庫SQL注入"},
        PhraseCase{"s2twp.json", "U盘里的SQL注入攻击", "U盤裡的SQL注入攻擊"}),
    [](const ::testing::TestParamInfo<PhraseCase>& info) { return std::to_string(info.index); });

// ASCII is copied eight bytes at a time; a letter that starts a key of a later step (U盘, PN结,
// SQL注入) must be found at every place in such a word, after letters above and below it.
TEST(PhraseMatcher, KeysThatStartWithAsciiAreFoundAnywhereInARunOfIt) {
  for (const char* config : {"s2twp.json", "tw2sp.json"}) {
    const auto matcher = PhraseMatcher::Load(config);
    const auto& reference = *ReferenceFor(config).converter;
    for (const char* before : {"", "a", "xyz ", "ZZZZ", "0123456", "abcdefgh", "~~~~~~~~~~~~~~~"})
      for (const char* key : {"U盘", "PN结", "SQL注入", "U盤", "PN接面"})
        for (const char* after : {"", "b", "Q", "        ", "\n"}) {
          const std::string text = std::string(before) + key + after + before + key + "z";
          ASSERT_EQ(matcher->Convert(text), reference.Convert(text)) << config << " " << text;
        }
  }
}

TEST(PhraseMatcher, LoadsEachConfigurationOnce) {
  EXPECT_EQ(PhraseMatcher::Load("s2t.json"), PhraseMatcher::Load("s2t.json"));
  EXPECT_NE(PhraseMatcher::Load("s2t.json"), PhraseMatcher::Load("t2s.json"));
}

TEST(PhraseMatcher, MissingConfigurationIsUnavailable) {
  EXPECT_THROW(PhraseMatcher::Load("/nonexistent/s2t.json"), ChineseMappingUnavailable);
  EXPECT_THROW(PhraseMatcher::Load("no-such-config.json"), ChineseMappingUnavailable);
}

// A zero byte is a character like any other here; the text after it is converted too.
TEST(PhraseMatcher, ZeroByteIsAnOrdinaryCharacter) {
  const auto matcher = PhraseMatcher::Load("s2t.json");
  using namespace std::string_literals;
  EXPECT_EQ(matcher->Convert("头发\0头发"s), "頭髮\0頭髮"s);
}

}  // namespace
}  // namespace tessaly
