#include "engine/phrase_cache.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <random>

#include "engine/phrase_matcher.h"

namespace tessaly {
namespace {

namespace fs = std::filesystem;

// A directory of its own for each test, gone afterwards.
class ScratchDirectory {
 public:
  explicit ScratchDirectory(std::string_view name)
      : path_(fs::temp_directory_path() /
              ("tessaly-" + std::string(name) + "-" + std::to_string(getpid()))) {
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~ScratchDirectory() {
    std::error_code error;
    fs::remove_all(path_, error);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

void WriteFile(const fs::path& path, std::string_view text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<fs::path> Entries(const fs::path& cache) {
  std::vector<fs::path> entries;
  if (!fs::exists(cache)) return entries;
  for (const auto& entry : fs::directory_iterator(cache)) entries.push_back(entry.path());
  return entries;
}

// A configuration of one text dictionary beside it, which the tests edit.
class PhraseCacheTest : public ::testing::Test {
 protected:
  PhraseCacheTest() : scratch_("phrase-cache") {
    WriteDictionary("甲\t乙\n甲乙\t丁戊\n");
    WriteFile(config(), R"({"segmentation": {"type": "mmseg",
        "dict": {"type": "text", "file": "mine.txt"}},
      "conversion_chain": [{"dict": {"type": "text", "file": "mine.txt"}}]})");
  }

  fs::path config() const { return scratch_.path() / "mine.json"; }
  fs::path dictionary() const { return scratch_.path() / "mine.txt"; }
  fs::path cache() const { return scratch_.path() / "cache"; }
  void WriteDictionary(std::string_view text) const { WriteFile(dictionary(), text); }

  std::string Convert(std::string_view text) const {
    return PhraseMatcher::Build(config().string(), cache())->Convert(text);
  }

 private:
  ScratchDirectory scratch_;
};

TEST_F(PhraseCacheTest, SecondBuildReadsTheTablesTheFirstWrote) {
  EXPECT_EQ(Convert("甲甲乙"), "乙丁戊");
  ASSERT_EQ(Entries(cache()).size(), 1u);
  // The same size and time, as if nothing changed: the cached tables answer, not the file.
  const fs::file_time_type time = fs::last_write_time(dictionary());
  WriteDictionary("甲\t丙\n甲乙\t丁戊\n");
  fs::last_write_time(dictionary(), time);
  EXPECT_EQ(Convert("甲甲乙"), "乙丁戊");
}

TEST_F(PhraseCacheTest, AnEditedDictionaryMakesTheEntryStale) {
  EXPECT_EQ(Convert("甲"), "乙");
  const std::vector<fs::path> before = Entries(cache());
  WriteDictionary("甲\t丙丙\n");
  EXPECT_EQ(Convert("甲"), "丙丙");
  const std::vector<fs::path> after = Entries(cache());
  ASSERT_EQ(after.size(), 1u);  // the stale entry is gone
  EXPECT_NE(after, before);
}

TEST_F(PhraseCacheTest, ADamagedEntryIsCompiledAndWrittenAgain) {
  const std::string expected = Convert("甲乙甲");
  const fs::path entry = Entries(cache()).at(0);
  const std::string good = ReadBytes(entry);
  std::mt19937 random(7);
  for (int round = 0; round < 20; ++round) {
    std::string damaged = good;
    if (round % 2 == 0) {
      damaged.resize(random() % good.size());
    } else {
      damaged[random() % good.size()] ^= static_cast<char>(1 + random() % 255);
    }
    WriteFile(entry, damaged);
    ASSERT_EQ(Convert("甲乙甲"), expected) << "round " << round;
    ASSERT_EQ(ReadBytes(entry).size(), good.size()) << "round " << round;
  }
  // The entry written last is whole: it answers for an unchanged-looking dictionary.
  const fs::file_time_type time = fs::last_write_time(dictionary());
  WriteDictionary("甲\t丙\n甲乙\t丁戊\n");
  fs::last_write_time(dictionary(), time);
  EXPECT_EQ(Convert("甲乙甲"), expected);
}

TEST_F(PhraseCacheTest, NoDirectoryMeansNoEntry) {
  EXPECT_EQ(PhraseMatcher::Build(config().string(), {})->Convert("甲"), "乙");
  EXPECT_TRUE(PhraseCache({}, config().string(), "layout").file().empty());
  EXPECT_TRUE(PhraseCache(cache(), "/nonexistent/mine.json", "layout").file().empty());
  EXPECT_TRUE(Entries(cache()).empty());
}

TEST_F(PhraseCacheTest, TheKeyHoldsTheLayout) {
  const PhraseCache first(cache(), config().string(), "layout 1");
  first.Write("tables");
  ASSERT_NE(first.Read(), nullptr);
  EXPECT_EQ(first.Read()->bytes(), "tables");
  EXPECT_EQ(PhraseCache(cache(), config().string(), "layout 2").Read(), nullptr);
}

// Tables read back from the cache convert as the ones compiled, for configurations of every
// shape: one step, a folded last step, several steps.
class CachedConfigTest : public ::testing::TestWithParam<const char*> {};

TEST_P(CachedConfigTest, ConvertsAsCompiled) {
  const ScratchDirectory scratch("cached-config");
  const auto compiled = PhraseMatcher::Build(GetParam(), {});
  PhraseMatcher::Build(GetParam(), scratch.path());  // writes the entry
  ASSERT_EQ(Entries(scratch.path()).size(), 1u);
  const auto cached = PhraseMatcher::Build(GetParam(), scratch.path());
  const std::string text =
      "头发干燥，软件里面的鼠标。為什麼網路藝術？中华人民共和国 😀 𠮷 text\n着了 乾燥 裏面";
  std::string long_text;
  for (int i = 0; i < 200; ++i) long_text += text;
  EXPECT_EQ(cached->Convert(long_text), compiled->Convert(long_text));
}

INSTANTIATE_TEST_SUITE_P(Configurations, CachedConfigTest,
                         ::testing::Values("s2t.json", "t2s.json", "s2twp.json", "tw2sp.json",
                                           "s2hk.json", "jp2t.json"));

TEST(PhraseCacheDirectory, FollowsXdgThenHome) {
  const char* xdg = std::getenv("XDG_CACHE_HOME");
  const char* home = std::getenv("HOME");
  const std::string saved_xdg = xdg != nullptr ? xdg : "";
  const std::string saved_home = home != nullptr ? home : "";
  setenv("XDG_CACHE_HOME", "/x/cache", 1);
  setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(PhraseCacheDirectory(), fs::path("/x/cache/tessaly"));
  setenv("XDG_CACHE_HOME", "relative", 1);  // not absolute: ignored, as XDG's rules say
  EXPECT_EQ(PhraseCacheDirectory(), fs::path("/home/someone/.cache/tessaly"));
  unsetenv("XDG_CACHE_HOME");
  unsetenv("HOME");
  EXPECT_EQ(PhraseCacheDirectory(), fs::path());
  if (xdg != nullptr) setenv("XDG_CACHE_HOME", saved_xdg.c_str(), 1);
  if (home != nullptr) setenv("HOME", saved_home.c_str(), 1);
}

}  // namespace
}  // namespace tessaly
