#include "engine/user_phrases.h"

#include <gtest/gtest.h>
#include <opencc/Config.hpp>
#include <opencc/Converter.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "engine/phrase_matcher.h"

namespace tessaly {
namespace {

struct ParseCase {
  std::string name;
  std::string text;
  std::string error;  // empty: parses
};

class ParseUserPhrasesTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseUserPhrasesTest, AcceptsOpenCcTextFormatAndNamesTheBadLine) {
  const ParseCase& c = GetParam();
  if (c.error.empty()) {
    EXPECT_NO_THROW(ParseUserPhrases(c.text, "mine.txt"));
    return;
  }
  try {
    ParseUserPhrases(c.text, "mine.txt");
    FAIL() << "no error";
  } catch (const UserPhrasesError& e) {
    EXPECT_EQ(std::string(e.what()), c.error);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ParseUserPhrasesTest,
    ::testing::Values(ParseCase{"Plain", "软件\t軟體\n头发\t頭髮 头发\n", ""},
                      ParseCase{"CommentsBlanksAndCrLf", "# mine\n\n软件\t軟體\r\n", ""},
                      ParseCase{"NoTab", "软件\t軟體\n软件 軟體\n",
                                "mine.txt:2: no tab between the phrase and its conversion"},
                      ParseCase{"EmptyTarget", "软件\t\n",
                                "mine.txt:1: no conversion after the tab"},
                      ParseCase{"EmptySource", "\t軟體\n",
                                "mine.txt:1: the phrase before the tab is empty or holds a space"},
                      ParseCase{"TwoTabs", "软件\t軟體\t体\n", "mine.txt:1: more than one tab"},
                      ParseCase{"NotUtf8", "#\n\xFF\t1\n", "mine.txt:2: not valid UTF-8"}),
    [](const auto& info) { return info.param.name; });

// The matcher with a user's phrases gives what OpenCC's own converter gives for a configuration
// that tries the same phrases first, as a user would write it.
TEST(UserPhrases, MatchOpenCcWithTheSamePhrasesFirst) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "tessaly-user-test";
  std::filesystem::create_directories(dir);
  const std::string phrases_text = "软件\t软体 软件\n头\t头头\n发长\tFA\n鼠标垫\t滑鼠墊\n";
  std::ofstream(dir / "user.txt") << phrases_text;
  std::ofstream(dir / "s2t-user.json") << R"({"segmentation": {"type": "mmseg", "dict": {
      "type": "group", "dicts": [{"type": "text", "file": ")"
                                       << (dir / "user.txt").string() << R"("},
      {"type": "ocd2", "file": "STPhrases.ocd2"}]}},
    "conversion_chain": [{"dict": {"type": "group", "dicts": [
      {"type": "text", "file": ")" << (dir / "user.txt").string()
                                       << R"("},
      {"type": "ocd2", "file": "STPhrases.ocd2"}, {"type": "ocd2", "file": "STCharacters.ocd2"}]}}]})";
  const opencc::ConverterPtr reference =
      opencc::Config().NewFromFile((dir / "s2t-user.json").string());
  const auto matcher = PhraseMatcher::Load("s2t.json", ParseUserPhrases(phrases_text, "user.txt"));

  const char* pieces[] = {"软件",   "头发", "头发长", "发长", "鼠标",
                          "鼠标垫", "头",   "里面",   "\n",   "a"};
  std::mt19937 random(3);
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    for (int i = random() % 12; i > 0; --i) text += pieces[random() % std::size(pieces)];
    ASSERT_EQ(matcher->Convert(text), reference->Convert(text)) << text;
  }
  EXPECT_EQ(matcher->Convert("软件"), "软体");  // the user's phrase over the dictionary's 軟件
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tessaly
