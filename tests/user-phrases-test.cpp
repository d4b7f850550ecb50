#include "engine/chinese/user_phrases.h"

#include <gtest/gtest.h>
#include <opencc/Config.hpp>
#include <opencc/Converter.hpp>

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

#include "engine/chinese/phrase_matcher.h"

namespace tessaly {
namespace {

using namespace std::string_literals;

std::string Repeat(std::string_view piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

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
    ::testing::Values(
        ParseCase{"Plain", "软件\t軟體\n头发\t頭髮 头发\n", ""},
        ParseCase{"CommentsBlanksAndCrLf", "# mine\n\n软件\t軟體\r\n", ""},
        ParseCase{"NoTab", "软件\t軟體\n软件 軟體\n",
                  "mine.txt:2: no tab between the phrase and its conversion"},
        ParseCase{"EmptyTarget", "软件\t\n", "mine.txt:1: no conversion after the tab"},
        ParseCase{"EmptySource", "\t軟體\n",
                  "mine.txt:1: the phrase before the tab is empty or holds a space"},
        ParseCase{"TwoTabs", "软件\t軟體\t体\n", "mine.txt:1: more than one tab"},
        ParseCase{"NotUtf8", "#\n\xFF\t1\n", "mine.txt:2: not valid UTF-8"},
        ParseCase{"ZeroByte", "软件\t軟體\n头\0\t頭\n"s, "mine.txt:2: holds a zero byte"},
        ParseCase{"LongestPhrase", Repeat("软", 255) + "\tx\n", ""},
        ParseCase{"PhraseTooLong", "a\tb\n" + Repeat("软", 256) + "\tx\n",
                  "mine.txt:2: the phrase is longer than 255 characters"},
        ParseCase{"LongestConversion", "a\t" + std::string(0xFFFF, 'b'), ""},
        ParseCase{"ConversionTooLong", "a\tb " + std::string(0x10000, 'b'),
                  "mine.txt:1: a conversion is longer than 65535 bytes"},
        // A byte-order mark is no part of the first phrase, nor a malformed line.
        ParseCase{"ByteOrderMark", "\xEF\xBB\xBF软件\t軟體\n", ""},
        ParseCase{"ByteOrderMarkThenBadLine", "\xEF\xBB\xBF软件\n",
                  "mine.txt:1: no tab between the phrase and its conversion"}),
    [](const auto& info) { return info.param.name; });

TEST(ParseUserPhrases, ByteOrderMarkLeavesTheFirstPhraseWhole) {
  const auto phrases = ParseUserPhrases("\xEF\xBB\xBF软件\t軟體\n", "mine.txt");
  ASSERT_EQ(phrases->entries.size(), 1u);
  EXPECT_EQ(phrases->entries[0].first, "软件");
}

// Names that are no phrase file are refused, with the name, before anything is read from them.
struct FileCase {
  std::string name;
  std::function<std::string(const std::filesystem::path& dir)> make;  // the path to read
  std::string error;  // what the message holds after the path; empty: reads one phrase
};

class ReadUserPhrasesTest : public ::testing::TestWithParam<FileCase> {};

TEST_P(ReadUserPhrasesTest, RefusesWhatIsNoPhraseFile) {
  const FileCase& c = GetParam();
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("tessaly-read-test-" + c.name);
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::string path = c.make(dir);
  try {
    const auto phrases = ReadUserPhrases(path);
    EXPECT_EQ(c.error, "") << "no error";
    EXPECT_EQ(phrases->entries.size(), 1u);
  } catch (const UserPhrasesError& e) {
    EXPECT_NE(c.error, "") << e.what();
    EXPECT_EQ(std::string(e.what()), path + c.error);
  }
  std::filesystem::remove_all(dir);
}

std::string Written(const std::filesystem::path& path, std::string_view text) {
  std::ofstream(path, std::ios::binary) << text;
  return path.string();
}

INSTANTIATE_TEST_SUITE_P(
    Files, ReadUserPhrasesTest,
    ::testing::Values(
        FileCase{"Plain", [](const auto& dir) { return Written(dir / "p.txt", "软件\t軟體\n"); },
                 ""},
        FileCase{"ByteOrderMark",
                 [](const auto& dir) { return Written(dir / "p.txt", "\xEF\xBB\xBF软件\t軟體\n"); },
                 ""},
        FileCase{"Missing", [](const auto& dir) { return (dir / "none.txt").string(); },
                 ": cannot be read: No such file or directory"},
        FileCase{"Directory", [](const auto& dir) { return dir.string(); },
                 ": a directory, not a phrase file"},
        FileCase{"Fifo",
                 [](const auto& dir) {
                   const std::string path = (dir / "fifo").string();
                   EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
                   return path;
                 },
                 ": not a regular file"},
        FileCase{"EndlessDevice", [](const auto&) { return std::string("/dev/zero"); },
                 ": not a regular file"},
        FileCase{"TooLarge",
                 [](const auto& dir) {
                   const std::string path = Written(dir / "big.txt", "软件\t軟體\n");
                   std::filesystem::resize_file(path, (std::uintmax_t{64} << 20) + 1);
                   return path;
                 },
                 ": larger than 64 MiB, the most a phrase file may hold"},
        FileCase{"LongPhraseNamesItsLine",
                 [](const auto& dir) {
                   return Written(dir / "p.txt",
                                  "# mine\n软件\t軟體\n" + Repeat("软", 300) + "\tx\n");
                 },
                 ":3: the phrase is longer than 255 characters"}),
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

// A list of phrases is known by its content: a new list, wherever it lies in memory, gets the
// tables of its own phrases, and an equal one the same tables.
TEST(UserPhrases, ListsAreKnownByTheirContent) {
  for (const char* conversion : {"软体", "软件软件", "x"}) {
    auto phrases = ParseUserPhrases(std::string("软件\t") + conversion + "\n", "user.txt");
    EXPECT_EQ(PhraseMatcher::Load("s2t.json", phrases)->Convert("软件"), conversion);
    phrases.reset();  // its memory may hold the next list
  }
  const auto first = PhraseMatcher::Load("s2t.json", ParseUserPhrases("头\t头头\n", "a.txt"));
  EXPECT_EQ(PhraseMatcher::Load("s2t.json", ParseUserPhrases("头\t头头\n", "b.txt")), first);
  EXPECT_NE(PhraseMatcher::Load("t2s.json", ParseUserPhrases("头\t头头\n", "a.txt")), first);
}

}  // namespace
}  // namespace tessaly
