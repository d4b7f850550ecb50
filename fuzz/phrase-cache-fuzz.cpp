// Cache entries damaged in ways the checksum cannot catch: the input is a list of changes to a
// real entry's tables, after which the checksum is made to match again. The matcher read from
// such an entry is either refused or converts without reading outside its tables, whatever it
// converts; nothing may crash. The first byte picks the configuration.
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/chinese/phrase_cache.h"
#include "engine/chinese/phrase_matcher.h"

namespace tessaly {
namespace {

namespace fs = std::filesystem;

// One folded chain, one of a single step, one whose later step holds phrases, one small.
constexpr std::array<const char*, 4> kConfigs = {"t2s.json", "jp2t.json", "tw2sp.json",
                                                 "hk2s.json"};

constexpr std::string_view kText =
    "头发干燥，软件里面的鼠标。為什麼網路藝術？中華人民共和國 😀 𠮷 text?\n着了 乾燥 裏面 SQL注入";

struct Entry {
  fs::path cache;
  fs::path file;
  std::string good;
};

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Each configuration's entry, compiled once into a folder of this process's own.
const Entry& EntryFor(std::size_t config) {
  static std::array<Entry, kConfigs.size()> entries;
  Entry& entry = entries[config];
  if (entry.good.empty()) {
    const fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    entry.cache = base / ("tessaly-cache-fuzz-" + std::to_string(getpid()) + "-" +
                          std::to_string(config));
    fs::create_directories(entry.cache);
    PhraseMatcher::Build(kConfigs[config], entry.cache);
    entry.file = fs::directory_iterator(entry.cache)->path();
    entry.good = ReadBytes(entry.file);
  }
  return entry;
}

void Exercise(const PhraseMatcher& matcher) {
  std::string out = matcher.Convert(kText);
  const std::vector<std::uint8_t> watched = matcher.ValuesWith([](char32_t c) { return c > 0x7000; });
  matcher.ConvertTo(kText, out, &watched);
  matcher.Map(kText, [&](std::size_t, std::string_view piece) { out.append(piece); });
  CharacterStops stops;
  stops.Add(U'发');
  stops.beyond_bmp = true;
  if (const auto plan = matcher.PlanFor(stops, watched)) {
    for (std::string_view rest = kText; !rest.empty();) {
      const PhraseMatcher::Stop stop = matcher.ConvertUntilStop(rest, out, *plan);
      rest.remove_prefix(std::min(rest.size(), stop.at + 1));
    }
  }
  matcher.Segment(kText, 0, stops);
  matcher.KeyCharacters();
}

}  // namespace
}  // namespace tessaly

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessaly;
  if (size < 1) return 0;
  const std::size_t config = data[0] % kConfigs.size();
  const Entry& entry = EntryFor(config);
  std::string forged = entry.good;
  const std::optional<std::size_t> start = detail::ResealEntry(forged);
  if (!start) std::abort();
  const std::size_t tables = forged.size() - *start;
  // Changes of five bytes: where (from the start of the tables, or from their end, where the
  // groups and flags lie, by the top bit) and what to xor there.
  for (std::size_t i = 1; i + 5 <= size; i += 5) {
    std::uint32_t where = 0;
    std::memcpy(&where, data + i, 4);
    const std::size_t offset = (where & 0x7FFFFFFF) % tables;
    const std::size_t at = (where >> 31) != 0 ? forged.size() - 1 - offset : *start + offset;
    forged[at] = static_cast<char>(forged[at] ^ data[i + 4]);
  }
  detail::ResealEntry(forged);
  std::ofstream(entry.file, std::ios::binary | std::ios::trunc) << forged;
  if (const auto matcher = PhraseMatcher::FromCache(kConfigs[config], entry.cache))
    Exercise(*matcher);
  return 0;
}
