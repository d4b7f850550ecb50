// OpenCC's own test cases (a JSON file of inputs and each standard's expected output, kept outside
// the repository; its path is TESSALY_OPENCC_CASES) through the public API with the bundled data:
// every pair that OpenCC 1.4.2 passes by default passes here, and with the tofu-risk dictionaries
// every pair.
#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <tessaly/converter.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace tessaly {
namespace {

struct Pair {
  std::string id, input, expected;
};

// Standard → its pairs; empty when the file is not there.
std::map<std::string, std::vector<Pair>> ReadCases() {
  std::ifstream file(TESSALY_OPENCC_CASES);
  if (!file) return {};
  std::stringstream text;
  text << file.rdbuf();
  rapidjson::Document doc;
  doc.Parse<rapidjson::kParseCommentsFlag | rapidjson::kParseTrailingCommasFlag>(
      text.str().c_str());
  EXPECT_FALSE(doc.HasParseError());
  std::map<std::string, std::vector<Pair>> cases;
  if (doc.HasParseError() || !doc.IsObject() || !doc.HasMember("cases")) return cases;
  for (const auto& item : doc["cases"].GetArray())
    for (const auto& expected : item["expected"].GetObject())
      cases[expected.name.GetString()].push_back(
          {item["id"].GetString(), item["input"].GetString(), expected.value.GetString()});
  return cases;
}

struct Score {
  int passed = 0, total = 0;
  std::vector<std::string> failed;  // ids
};

Score ScoreOf(const std::string& standard, const std::vector<Pair>& pairs, bool tofu_risk) {
  Options options;
  options.mode = standard;
  options.encoding = "utf-8";  // every character, as OpenCC reads them
  options.tofu_risk = tofu_risk;
  const Converter converter(options);
  Score score;
  for (const Pair& pair : pairs) {
    ++score.total;
    const Result result = converter.ConvertText(pair.input);
    if (!result.fault && result.bytes == pair.expected) {
      ++score.passed;
    } else {
      score.failed.push_back(pair.id);
    }
  }
  return score;
}

TEST(OpenCcCases, PassAsOpenCc142DoesAndAllWithTheTofuRiskDictionaries) {
  const auto cases = ReadCases();
  if (cases.empty()) GTEST_SKIP() << "no OpenCC test cases at " << TESSALY_OPENCC_CASES;
  int passed = 0, passed_with_tofu = 0, total = 0;
  for (const auto& [standard, pairs] : cases) {
    const Score plain = ScoreOf(standard, pairs, false);
    const Score tofu = ScoreOf(standard, pairs, true);
    std::printf("%-6s %3d/%-3d by default, %3d/%-3d with the tofu-risk dictionaries\n",
                standard.c_str(), plain.passed, plain.total, tofu.passed, tofu.total);
    for (const std::string& id : tofu.failed) ADD_FAILURE() << standard << " " << id;
    passed += plain.passed;
    passed_with_tofu += tofu.passed;
    total += plain.total;
  }
  std::printf("all    %3d/%-3d by default, %3d/%-3d with the tofu-risk dictionaries\n", passed,
              total, passed_with_tofu, total);
  EXPECT_EQ(cases.size(), 16u);
  // OpenCC 1.4.2 itself passes 540 of the 543 by default: the three others need t2s's
  // tofu-risk dictionary.
  EXPECT_GE(passed, total - 3);
}

}  // namespace
}  // namespace tessaly
