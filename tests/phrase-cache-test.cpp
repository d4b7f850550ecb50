#include "engine/chinese/phrase_cache.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <random>
#include <tuple>

#include "engine/chinese/phrase_matcher.h"
#include "engine/errors.h"

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
  fs::path scratch_path() const { return scratch_.path(); }
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

// Where the fields of s2t's compiled tables lie in its cache entry, read the way the tables are
// written: each array's length, then the array 8-byte aligned; plain fields as they are.
struct EntryLayout {
  // mask, size, members, order, member masks, first, tied, unused, starts
  static constexpr std::size_t kGroup = 8728;
  // The five flags, then normalization: its characters and their forms (empty: a length each,
  // the first padded) and its 8 KiB of BMP bits.
  static constexpr std::size_t kTail = 5 + 11 + 8 + 8 + 8192;
  std::size_t bmp = 0, slots = 0, slot_count = 0, values = 0, cp_pool = 0;
  std::size_t end = 0;
  std::size_t flags = 0;  // five flags; before them, the first step's unmatched group

  static std::uint64_t Number(const std::string& entry, std::size_t at) {
    std::uint64_t value = 0;
    std::memcpy(&value, entry.data() + at, sizeof value);
    return value;
  }

  EntryLayout(const std::string& entry, std::size_t start) : end(entry.size()) {
    const auto align = [](std::size_t at) { return (at + 7) / 8 * 8; };
    std::size_t at = start;
    const auto array = [&](std::size_t item) {
      const std::size_t count = Number(entry, at);
      const std::size_t data = align(at + 8);
      at = align(data + count * item);
      return std::pair{data, count};
    };
    bmp = array(8).first;
    array(8);  // the pair filter
    std::tie(slots, slot_count) = array(16);
    at += 4;  // shift
    values = array(24).first;
    cp_pool = array(4).first;
    flags = end - kTail;
  }

  std::size_t unmatched_group() const { return flags - kGroup; }
  std::size_t norm_bmp() const { return end - 8192; }
};

// An entry whose checksum is right but whose tables say what the compiler never would: each
// is refused, the tables are compiled again and the entry replaced, so the next run is sound.
struct Forgery {
  const char* what;
  std::size_t (*where)(const EntryLayout&, const std::string&);
  int change;  // added to the byte there
};

std::size_t FirstSlotOfLength(const EntryLayout& at, const std::string& entry, int length) {
  for (std::size_t i = 0; i < at.slot_count; ++i)
    if (entry[at.slots + 16 * i + 14] == length) return at.slots + 16 * i + 14;
  return at.slots + 14;
}

const Forgery kForgeries[] = {
    {"a folded last step in a chain of one step",
     [](const EntryLayout& at, const std::string&) { return at.flags + 2; }, 1},
    {"the first step's first dictionary said not to be the segmentation's, which it is",
     [](const EntryLayout& at, const std::string&) { return at.flags + 1; }, -1},
    {"a flag that is neither true nor false",
     [](const EntryLayout& at, const std::string&) { return at.flags; }, 2},
    {"a group of more dictionaries than there are",
     [](const EntryLayout& at, const std::string&) { return at.unmatched_group() + 1; }, 9},
    {"a group naming a dictionary past the last",
     [](const EntryLayout& at, const std::string&) { return at.unmatched_group() + 3; }, 9},
    {"a group's mask unlike its dictionaries",
     [](const EntryLayout& at, const std::string&) { return at.unmatched_group(); }, 4},
    {"a group of more members than dictionaries",
     [](const EntryLayout& at, const std::string&) { return at.unmatched_group() + 2; }, 3},
    {"a group's first match naming a dictionary that did not match",
     [](const EntryLayout& at, const std::string&) { return at.unmatched_group() + 19 + 2; }, -1},
    {"a tie with a dictionary that did not match",
     [](const EntryLayout& at, const std::string&) { return at.unmatched_group() + 275 + 2; }, 1},
    {"normalization bits without their characters",
     [](const EntryLayout& at, const std::string&) { return at.norm_bmp() + 100; }, 1},
    {"a phrase longer than its depth in the trie",
     [](const EntryLayout& at, const std::string& entry) {
       return FirstSlotOfLength(at, entry, 2);
     },
     1},
    {"a single character two long",
     [](const EntryLayout& at, const std::string&) { return at.bmp + 8 * 0x5934 + 6; }, 1},
    {"a character's values past the last",
     [](const EntryLayout& at, const std::string&) { return at.bmp + 8 * 0x5934 + 3; }, 0x40},
    {"a value one character longer than its text",
     [](const EntryLayout& at, const std::string&) { return at.values + 12; }, 1},
    {"what the chain makes of a value past the last text",
     [](const EntryLayout& at, const std::string&) { return at.values + 23; }, 0x40},
    {"a value's character beyond Unicode",
     [](const EntryLayout& at, const std::string&) { return at.cp_pool + 3; }, 0x7F},
};

class ForgedEntryTest : public ::testing::TestWithParam<Forgery> {};

TEST_P(ForgedEntryTest, IsCompiledAgainAndReplaced) {
  const ScratchDirectory scratch("forged-entry");
  const std::string text = "头发干燥，软件里面的鼠标。中华人民共和国 text\n着了";
  const std::string expected = PhraseMatcher::Build("s2t.json", {})->Convert(text);
  PhraseMatcher::Build("s2t.json", scratch.path());
  const fs::path file = Entries(scratch.path()).at(0);
  const std::string good = ReadBytes(file);
  std::string forged = good;
  const std::optional<std::size_t> start = detail::ResealEntry(forged);
  ASSERT_TRUE(start);
  const EntryLayout layout(forged, *start);
  const std::size_t at = GetParam().where(layout, forged);
  forged[at] = static_cast<char>(forged[at] + GetParam().change);
  ASSERT_TRUE(detail::ResealEntry(forged));
  WriteFile(file, forged);
  EXPECT_EQ(PhraseMatcher::Build("s2t.json", scratch.path())->Convert(text), expected);
  EXPECT_TRUE(ReadBytes(file) == good);  // not EXPECT_EQ: megabytes of tables to print
}

INSTANTIATE_TEST_SUITE_P(Forgeries, ForgedEntryTest, ::testing::ValuesIn(kForgeries));

TEST(PhraseCacheFiles, EntriesAreTheSameBytesEachTimeTheyAreCompiled) {
  const ScratchDirectory first("reproducible-1"), second("reproducible-2");
  PhraseMatcher::Build("s2twp.json", first.path());
  PhraseMatcher::Build("s2twp.json", second.path());
  EXPECT_TRUE(ReadBytes(Entries(first.path()).at(0)) == ReadBytes(Entries(second.path()).at(0)));
}

TEST(PhraseCacheFiles, AnEntryCutShortAfterReadingChangesNothing) {
  const ScratchDirectory scratch("cut-short");
  const std::string text = "头发干燥，软件里面的鼠标";
  PhraseMatcher::Build("s2t.json", scratch.path());
  const auto matcher = PhraseMatcher::Build("s2t.json", scratch.path());
  fs::resize_file(Entries(scratch.path()).at(0), 0);
  EXPECT_EQ(matcher->Convert(text), PhraseMatcher::Build("s2t.json", {})->Convert(text));
}

TEST(PhraseCacheFiles, AFifoInPlaceOfTheEntryIsPassedOver) {
  const ScratchDirectory scratch("fifo");
  PhraseMatcher::Build("t2s.json", scratch.path());
  const fs::path file = Entries(scratch.path()).at(0);
  fs::remove(file);
  ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);
  EXPECT_EQ(PhraseMatcher::Build("t2s.json", scratch.path())->Convert("頭髮"), "头发");
  EXPECT_TRUE(fs::is_regular_file(file));  // compiled and written in its place
}

TEST(PhraseCacheFiles, TemporaryFilesOfDeadRunsAreRemoved) {
  const ScratchDirectory scratch("temporaries");
  const fs::path dead = scratch.path() / "s2t-0123456789abcdef.tables.tmp-999999999-1234";
  const fs::path old = scratch.path() / "t2s-0123456789abcdef.tables.tmp-1-5678";
  const fs::path live =
      scratch.path() / ("s2t-0123456789abcdef.tables.tmp-" + std::to_string(getpid()) + "-9");
  for (const fs::path& path : {dead, old, live}) WriteFile(path, "half an entry");
  fs::last_write_time(old, fs::file_time_type::clock::now() - std::chrono::hours(2));
  PhraseMatcher::Build("s2t.json", scratch.path());
  EXPECT_FALSE(fs::exists(dead));
  EXPECT_FALSE(fs::exists(old));
  EXPECT_TRUE(fs::exists(live));
}

TEST(PhraseCacheFiles, ConfigurationsComeFromTheDataFolderOnly) {
  const ScratchDirectory scratch("working-directory");
  WriteFile(scratch.path() / "s2t.json", R"({"segmentation": {"type": "mmseg",
      "dict": {"type": "text", "file": "x.txt"}},
    "conversion_chain": [{"dict": {"type": "text", "file": "x.txt"}}]})");
  WriteFile(scratch.path() / "x.txt", "头发\t假的\n");
  WriteFile(scratch.path() / "STCharacters.ocd2", "not a dictionary");
  const fs::path saved = fs::current_path();
  fs::current_path(scratch.path());
  const std::string converted = PhraseMatcher::Build("s2t.json", {})->Convert("头发");
  EXPECT_THROW(PhraseMatcher::Build("./s2t.json", {}), ChineseMappingUnavailable);
  fs::current_path(saved);
  EXPECT_EQ(converted, "頭髮");
}

// The engine writes no cache file unless the caller names a directory for it.
TEST_F(PhraseCacheTest, LoadWritesNothingUnlessTheCallerNamesADirectory) {
  const ScratchDirectory home("no-surprise-writes");
  const char* xdg = std::getenv("XDG_CACHE_HOME");
  const std::string saved = xdg != nullptr ? xdg : "";
  setenv("XDG_CACHE_HOME", home.path().c_str(), 1);
  EXPECT_EQ(PhraseMatcher::Load(config().string())->Convert("甲"), "乙");
  EXPECT_TRUE(fs::is_empty(home.path()));
  WriteFile(scratch_path() / "other.json", ReadBytes(config()));
  EXPECT_EQ(PhraseMatcher::Load((scratch_path() / "other.json").string(), cache())->Convert("甲"),
            "乙");
  EXPECT_EQ(Entries(cache()).size(), 1u);
  EXPECT_TRUE(fs::is_empty(home.path()));
  if (xdg != nullptr)
    setenv("XDG_CACHE_HOME", saved.c_str(), 1);
  else
    unsetenv("XDG_CACHE_HOME");
}

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
