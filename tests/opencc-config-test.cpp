#include "engine/chinese/opencc_config.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "engine/chinese/phrase_matcher.h"
#include "engine/errors.h"

namespace tessaly {
namespace {

namespace fs = std::filesystem;
using detail::DictionaryNode;
using detail::MatchPolicy;
using detail::OpenCcConfig;

const fs::path kFolder = "/data";

// Every feature OpenCC 1.4's configurations use, and what a reader must refuse. The inline
// dictionaries keep the cases free of dictionary files.
struct ReadCase {
  const char* name;
  std::string json;
  std::string error;  // the message's end; empty: read
  // What the configuration read says, as "normalization steps/segmentation/chain steps" with
  // each dictionary as its type, a group as policy[members].
  std::string shape;
};

void PrintTo(const ReadCase& c, std::ostream* os) {
  *os << c.name;
}

std::string Shape(const DictionaryNode& node) {
  if (node.kind != DictionaryNode::Kind::Group)
    return node.kind == DictionaryNode::Kind::File ? node.file.filename().string() : "inline";
  std::string shape = node.policy == MatchPolicy::Union ? "union[" : "first[";
  for (std::size_t i = 0; i < node.members.size(); ++i)
    shape += (i > 0 ? "," : "") + Shape(node.members[i]);
  return shape + "]";
}

std::string Shape(const OpenCcConfig& config) {
  std::string shape;
  for (const DictionaryNode& step : config.normalization) shape += Shape(step) + ";";
  shape += "/" + (config.segmentation ? Shape(*config.segmentation) : "none") + "/";
  for (const DictionaryNode& step : config.chain) shape += Shape(step) + ";";
  return shape;
}

class ReadConfigTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadConfigTest, ReadsWhatOpenCc14ReadsAndNamesWhatIsWrong) {
  const ReadCase& c = GetParam();
  if (!c.error.empty()) {
    try {
      detail::ParseOpenCcConfig(c.json, kFolder);
      FAIL() << "read without complaint";
    } catch (const ChineseMappingUnavailable& e) {
      EXPECT_TRUE(std::string(e.what()).ends_with(c.error)) << e.what();
    }
    return;
  }
  EXPECT_EQ(Shape(detail::ParseOpenCcConfig(c.json, kFolder)), c.shape);
}

const std::string kChain = R"("conversion_chain": [{"dict": {"type": "ocd2", "file": "B.ocd2"}}])";

INSTANTIATE_TEST_SUITE_P(
    Features, ReadConfigTest,
    ::testing::Values(
        ReadCase{"UnionInShortCircuit", R"({"conversion_chain": [{"dict": {"type": "group",
             "match_policy": "short_circuit", "dicts": [{"type": "group", "match_policy": "union",
             "dicts": [{"type": "ocd2", "file": "P.ocd2"}, {"type": "ocd2", "file": "Q.ocd2"}]},
             {"type": "ocd2", "file": "C.ocd2"}]}}]})",
                 "", "/none/first[union[P.ocd2,Q.ocd2],C.ocd2];"},
        ReadCase{"GroupWithoutPolicyShortCircuits",
                 R"({"segmentation": {"type": "mmseg", "dict": {"type": "group", "dicts": [
             {"type": "text", "file": "A.txt"}]}}, )" +
                     kChain + "}",
                 "", "/first[A.txt]/B.ocd2;"},
        ReadCase{"Normalization",
                 R"({"normalization": [{"dict": {"type": "ocd2",
             "file": "N.ocd2"}}], )" +
                     kChain + "}",
                 "", "N.ocd2;/none/B.ocd2;"},
        ReadCase{"InlineDictionary", R"({"conversion_chain": [{"dict": {"type": "inline",
             "entries": {"发": "發", "复盘": "復盤"}}}]})",
                 "", "/none/inline;"},
        ReadCase{"CommentsAndTrailingCommas", "{\n// a comment\n/* another */ " + kChain + ",\n}",
                 "", "/none/B.ocd2;"},
        ReadCase{"TofuRiskLeftOut", R"({"conversion_chain": [{"dict": {"type": "group",
             "dicts": [{"type": "ocd2", "file": "T.ocd2", "may_output_tofu": true},
             {"type": "ocd2", "file": "C.ocd2"}]}}, {"dict": {"type": "ocd2", "file": "X.ocd2",
             "may_output_tofu": true}}]})",
                 "", "/none/first[C.ocd2];"},
        ReadCase{"NotJson", R"({"conversion_chain": [})", "not JSON at byte 22: Invalid value.",
                 ""},
        ReadCase{"NoChain", R"({"name": "x"})", "\"conversion_chain\" is missing", ""},
        ReadCase{"UnknownPolicy", R"({"conversion_chain": [{"dict": {"type": "group",
             "match_policy": "longest", "dicts": []}}]})",
                 "unknown match_policy \"longest\"", ""},
        ReadCase{"UnknownType", R"({"conversion_chain": [{"dict": {"type": "marisa",
             "file": "x"}}]})",
                 "unknown dictionary type \"marisa\"", ""},
        ReadCase{"FileOutsideTheFolder", R"({"conversion_chain": [{"dict": {"type": "ocd2",
             "file": "../etc/passwd"}}]})",
                 "dictionary file \"../etc/passwd\" is not a name in the configuration's folder",
                 ""},
        ReadCase{"DuplicateInlineKey", R"({"conversion_chain": [{"dict": {"type": "inline",
             "entries": {"发": "發", "发": "髮"}}}]})",
                 "inline key \"发\" is given twice", ""},
        ReadCase{"EmptyInlineValue", R"({"conversion_chain": [{"dict": {"type": "inline",
             "entries": {"发": ""}}}]})",
                 "inline key \"发\" has no text as its value", ""},
        ReadCase{"InlineWithTofuFlag", R"({"conversion_chain": [{"dict": {"type": "inline",
             "may_output_tofu": false, "entries": {"发": "發"}}}]})",
                 "an inline dictionary takes no may_output_tofu", ""},
        ReadCase{"PluginSegmentation", R"({"segmentation": {"type": "jieba"}, )" + kChain + "}",
                 "segmentation \"jieba\" is not maximum match (mmseg)", ""},
        ReadCase{"NestedTooDeep",
                 R"({"conversion_chain": [{"dict": )" + std::string(10, ' ') +
                     [] {
                       std::string nested = R"({"type": "ocd2", "file": "A.ocd2"})";
                       for (int i = 0; i < 10; ++i)
                         nested = R"({"type": "group", "dicts": [)" + nested + "]}";
                       return nested;
                     }() +
                     "}]}",
                 "dictionary groups nest too deep", ""}),
    [](const ::testing::TestParamInfo<ReadCase>& info) { return info.param.name; });

TEST(ReadConfig, TofuRiskDictionariesAreReadWhenAskedForAndAlwaysInTheSegmentation) {
  const std::string json = R"({"segmentation": {"type": "mmseg", "dict": {"type": "ocd2",
      "file": "T.ocd2", "may_output_tofu": true}}, "conversion_chain": [{"dict": {"type": "ocd2",
      "file": "T.ocd2", "may_output_tofu": true}}]})";
  EXPECT_EQ(Shape(detail::ParseOpenCcConfig(json, kFolder)), "/T.ocd2/");
  EXPECT_EQ(Shape(detail::ParseOpenCcConfig(json, kFolder, detail::TofuRisk::Include)),
            "/T.ocd2/T.ocd2;");
}

// Configurations of inline dictionaries in a folder of their own, converted through the phrase
// matcher, which must do what OpenCC 1.4 does with each feature.
class Folder {
 public:
  Folder() : path_(fs::temp_directory_path() / ("opencc-config-test-" + std::to_string(getpid()))) {
    fs::create_directories(path_);
  }
  ~Folder() { fs::remove_all(path_); }
  std::string Write(const std::string& name, const std::string& json) const {
    std::ofstream(path_ / name) << json;
    return (path_ / name).string();
  }

 private:
  fs::path path_;
};

struct ConvertCase {
  const char* name;
  std::string json;
  std::string input;
  std::string output;
};

void PrintTo(const ConvertCase& c, std::ostream* os) {
  *os << c.name;
}

class ConvertConfigTest : public ::testing::TestWithParam<ConvertCase> {};

TEST_P(ConvertConfigTest, MatchesAsOpenCc14) {
  const Folder folder;
  const std::string config = folder.Write(std::string(GetParam().name) + ".json", GetParam().json);
  const auto matcher = PhraseMatcher::Build(config, {});
  EXPECT_EQ(matcher->Convert(GetParam().input), GetParam().output);
  std::string mapped;
  matcher->Map(GetParam().input, [&](std::size_t, std::string_view piece) { mapped += piece; });
  EXPECT_EQ(mapped, GetParam().output);
}

// Short circuit: 发 alone in the first member wins over 发育 in the second. Union: the longest of
// both. An empty segmentation-less chain of one step segments by its own phrases.
const std::string kPolicies = R"({"conversion_chain": [{"dict": {"type": "group",
    "match_policy": "%", "dicts": [{"type": "inline", "entries": {"发": "A"}},
    {"type": "inline", "entries": {"发育": "BC", "育": "D"}}]}}]})";

std::string WithPolicy(const char* policy) {
  std::string json = kPolicies;
  json.replace(json.find('%'), 1, policy);
  return json;
}

INSTANTIATE_TEST_SUITE_P(
    Features, ConvertConfigTest,
    ::testing::Values(
        ConvertCase{"ShortCircuit", WithPolicy("short_circuit"), "发育x发", "ADxA"},
        ConvertCase{"Union", WithPolicy("union"), "发育x发", "BCxA"},
        // U+F900 is normalized to U+8C48 before anything matches it.
        ConvertCase{"Normalization", R"({"normalization": [{"dict": {"type": "inline",
            "entries": {"\uF900": "\u8C48"}}}], "conversion_chain": [{"dict": {"type": "inline",
            "entries": {"\u8C48": "\u5C82", "\u8C48\u8C48": "x"}}}]})",
                    "\uF900\uF900\uF900 \uF900", "x\u5C82 \u5C82"},
        // A complete description sequence passes unchanged, normalization included; one cut off
        // by the end converts character by character.
        ConvertCase{"DescriptionSequence", R"({"normalization": [{"dict": {"type": "inline",
            "entries": {"\uF900": "\u8C48"}}}], "conversion_chain": [{"dict": {"type": "inline",
            "entries": {"发": "發", "发育": "發育"}}}]})",
                    "⿰发育发⿱\uF900发 ⿰发", "⿰发育發⿱\uF900发 ⿰發"},
        // Comments and trailing commas, and a later step that sees the first one's output.
        ConvertCase{"TwoStepsWithoutSegmentation", R"({
            // no segmentation: the whole text is one segment
            "conversion_chain": [
              {"dict": {"type": "inline", "entries": {"a": "b",},},},
              {"dict": {"type": "inline", "entries": {"bb": "c",},},},
            ],
          })",
                    "abab", "cc"},
        // A phrase of the segmentation is a segment of its own through both steps (甲乙 becomes
        // 子丑, then 午); in a run of characters that start none the second step's keys span
        // characters (辰卯辰卯) but not into the next phrase (卯 before 甲乙), nor across ASCII.
        ConvertCase{"PhrasesThroughTwoSteps", R"({"segmentation": {"type": "mmseg",
            "dict": {"type": "inline", "entries": {"甲乙": "子丑"}}}, "conversion_chain": [
            {"dict": {"type": "group", "dicts": [{"type": "inline", "entries": {"甲乙": "子丑"}},
              {"type": "inline", "entries": {"甲": "寅", "乙": "卯", "丙": "辰"}}]}},
            {"dict": {"type": "inline", "entries": {"子丑": "午", "辰辰": "未", "丑辰": "申",
              "卯辰": "酉", "辰卯辰卯": "戌"}}}]})",
                    "甲乙丙丙甲乙丙乙丙 丙乙丙乙丙乙甲乙丙\n乙丙x丙丙甲乙",
                    "午未午辰酉 戌辰卯午辰\n酉x未午"}),
    [](const ::testing::TestParamInfo<ConvertCase>& info) { return info.param.name; });

// Characters of one and two bytes that each become three, many times more of them than the fast
// path writes at a time, with ASCII it copies and a phrase between them: every byte arrives.
TEST(ConvertConfig, ThreeBytesForOneArriveWhole) {
  const Folder folder;
  folder.Write("phrases.txt", "甲乙\t子丑\n");
  folder.Write("chars.txt", "a\t阿\né\t阿\n");
  const std::string config = folder.Write("grow.json", R"({"segmentation": {"type": "mmseg",
      "dict": {"type": "text", "file": "phrases.txt"}}, "conversion_chain": [{"dict": {
      "type": "group", "dicts": [{"type": "text", "file": "phrases.txt"},
      {"type": "text", "file": "chars.txt"}]}}]})");
  const auto matcher = PhraseMatcher::Build(config, {});
  std::string text;
  std::string expected;
  for (int i = 0; i < 3000; ++i) {
    text += "aaaaéé xyz aaaaaaaaaaaaaaa甲乙";
    expected += "阿阿阿阿阿阿 xyz 阿阿阿阿阿阿阿阿阿阿阿阿阿阿阿子丑";
  }
  EXPECT_EQ(matcher->Convert(text), expected);
}

}  // namespace
}  // namespace tessaly
