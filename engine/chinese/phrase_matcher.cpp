#include "engine/chinese/phrase_matcher.h"

#include <opencc/Config.hpp>
#include <opencc/Conversion.hpp>
#include <opencc/ConversionChain.hpp>
#include <opencc/Converter.hpp>
#include <opencc/DictEntry.hpp>
#include <opencc/DictGroup.hpp>
#include <opencc/Exception.hpp>
#include <opencc/Lexicon.hpp>
#include <opencc/MaxMatchSegmentation.hpp>
#include <opencc/TextDict.hpp>

#include "engine/chinese/opencc_data.h"
#include "engine/chinese/phrase_cache.h"
#include "engine/detail/utf8.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <list>
#include <map>
#include <mutex>
#include <new>
#include <span>
#include <stdexcept>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

// Hand-written because OpenCC's converter, the only packaged implementation of these rules, builds
// a string for every segment and looks every position up in a general-purpose byte trie.
// Here the text is decoded once into code points and every dictionary of the configuration lives
// in one trie: single BMP characters in a direct table, longer keys and prefixes in an
// open-addressing hash keyed by parent and character behind a bit filter of two-character
// prefixes, values in one pool; runs of ASCII, when no key holds any, are copied as they are.
namespace tessaly {
namespace {

namespace fs = std::filesystem;

using detail::AppendUtf8;
using detail::AsciiEnd;
using detail::IsContinuation;
using detail::kOpenCcLeadLength;
using detail::OpenCcCharAt;
using detail::Utf8Length;

constexpr std::size_t kMaxDicts = 8;
// Characters OpenCC steps over that are not well-formed UTF-8 carry an index to their bytes
// from here on; no key holds one.
constexpr char32_t kRawBase = 0x80000000;
constexpr int kPairBits = 20;

// What a key, or a proper prefix of one, says; kept inline in the tables that are probed.
struct Info {
  std::uint32_t values = 0;  // first of popcount(is_key) values, in dictionary order
  std::uint8_t is_key = 0;   // bit d: dictionary d has this key
  std::uint8_t longer = 0;   // bit d: dictionary d has a longer key starting with this one
  std::uint8_t length = 0;   // in characters; 0 for an empty slot
  std::uint8_t unused = 0;   // written as zero, so that a cache entry's bytes are all defined
};

// A key or prefix of two or more characters, or of one beyond the BMP, in an open-addressing
// hash: its parent's id and its last character identify it, so a probe is one load and no string
// compare. A BMP character's id is the character; a slot's is 0x10000 plus its position.
struct Slot {
  std::uint32_t parent = 0;
  char32_t last = 0;
  Info info;
};

constexpr std::uint32_t kRoot = 0xFFFFFFFF;  // the parent of single characters
constexpr std::size_t kNoSlot = ~std::size_t{0};

struct Value {
  std::uint32_t cps = 0;
  std::uint32_t utf8 = 0;
  std::uint32_t folded = 0;  // UTF-8 after a last step of single characters, when it is folded in
  std::uint16_t cp_length = 0;
  std::uint16_t utf8_length = 0;
  std::uint16_t folded_length = 0;
  std::uint16_t unused = 0;  // written as zero, so that a cache entry's bytes are all defined
};

// Dictionaries tried in order; the first with any match gives its longest one, as OpenCC's
// DictGroup does. `first[found]` is that first dictionary among those in `found`.
struct Group {
  std::uint8_t mask = 0;
  std::uint8_t size = 0;
  std::array<std::uint8_t, kMaxDicts> order{};
  std::array<std::uint8_t, 256> first{};
  std::array<std::uint8_t, 6> unused{};  // written as zero, so that an entry's bytes are defined
  // Bit c: BMP character c starts a key of the group; 8 KiB, so a step whose dictionaries are
  // small passes over most characters without touching a larger table.
  std::array<std::uint64_t, 0x10000 / 64> starts{};

  bool MayStart(char32_t c) const { return c >= 0x10000 || (starts[c / 64] >> (c % 64) & 1); }

  void Add(std::uint8_t dict) {
    if (mask & (1u << dict)) return;  // a repeat is never reached
    mask |= 1u << dict;
    order[size++] = dict;
    for (unsigned found = 1; found < 256; ++found)
      if ((found >> dict & 1) && !(found & Before(dict))) first[found] = dict;
  }

  // The dictionaries tried before `dict`.
  unsigned Before(std::uint8_t dict) const {
    unsigned before = 0;
    for (std::size_t i = 0; i < size && order[i] != dict; ++i) before |= 1u << order[i];
    return before;
  }

  Group Without(std::uint8_t dict) const {
    Group group;
    for (std::size_t i = 0; i < size; ++i)
      if (order[i] != dict) group.Add(order[i]);
    return group;
  }
};

constexpr std::array<std::uint8_t, 256> kBitCount = [] {
  std::array<std::uint8_t, 256> table{};
  for (unsigned i = 1; i < 256; ++i) table[i] = static_cast<std::uint8_t>(table[i / 2] + (i & 1));
  return table;
}();

struct Match {
  std::uint32_t length = 0;
  const Value* value = nullptr;
};

std::uint64_t Mix(std::uint64_t a, std::uint64_t b) {
  return ((a << 21) ^ b) * 0x9E3779B97F4A7C15u;
}

}  // namespace

struct PhraseMatcher::Tables {
  // What lookups read: views of `owned` once compiled, or of a cache file mapped as it is, which
  // then needs no copying and no fresh memory.
  std::span<const Info> bmp;  // single BMP characters, 512 KiB
  std::span<const std::uint64_t> pairs;
  std::span<const Slot> slots;  // at most two thirds full
  int shift = 64;
  std::span<const Value> values;
  std::span<const char32_t> cp_pool;
  std::string_view utf8_pool;
  Group segmentation;
  std::span<const Group> steps;
  // The first step for a run of characters that start no phrase of the segmentation's single
  // dictionary, which then cannot match there either.
  Group first_step_unmatched;
  bool ascii_inert = true;              // no key holds an ASCII character
  bool first_step_repeats_seg = false;  // the first step's first dictionary is the segmentation's
  // The last step maps single characters only, so the step before it applies it as it writes:
  // to its values ahead of time (Value::folded), and to the characters it leaves alone.
  bool fold_last = false;

  // The arrays themselves while they are compiled; empty when the views are of a mapped file.
  struct Arrays {
    std::vector<Info> bmp = std::vector<Info>(0x10000);
    std::vector<std::uint64_t> pairs = std::vector<std::uint64_t>((1u << kPairBits) / 64);
    std::vector<Slot> slots;
    std::vector<Value> values;
    std::u32string cp_pool;
    std::string utf8_pool;
    std::vector<Group> steps;
  } owned;
  std::shared_ptr<const void> mapping;  // keeps the mapped file, if any, for the views

  // Points the views at `owned`.
  void Bind() {
    bmp = owned.bmp;
    pairs = owned.pairs;
    slots = owned.slots;
    values = owned.values;
    cp_pool = owned.cp_pool;
    utf8_pool = owned.utf8_pool;
    steps = owned.steps;
  }

  static std::size_t PairBit(char32_t a, char32_t b) {
    return static_cast<std::size_t>(Mix(a + 0x9E37u, b) >> (64 - kPairBits));
  }

  bool PairMayStart(char32_t a, char32_t b) const {
    const std::size_t bit = PairBit(a, b);
    return (pairs[bit / 64] >> (bit % 64)) & 1;
  }

  std::size_t Find(std::uint32_t parent, char32_t c) const {
    const std::size_t mask = slots.size() - 1;
    for (std::size_t i = Mix(parent, c) >> shift;; i = (i + 1) & mask) {
      const Slot& slot = slots[i];
      if (slot.info.length == 0) return kNoSlot;
      if (slot.parent == parent && slot.last == c) return i;
    }
  }

  const Value& ValueOf(const Info& info, unsigned dict) const {
    return values[info.values + kBitCount[info.is_key & ((1u << dict) - 1)]];
  }

  // The group's match at the start of `s`, OpenCC's DictGroup::MatchPrefix. `cut`, when given,
  // learns whether a longer key might have matched had `s` gone on.
  Match Longest(const char32_t* s, std::size_t n, const Group& group, bool* cut = nullptr) const {
    if (!group.MayStart(s[0])) return {};
    const Info* info = nullptr;
    std::uint32_t id = s[0];
    if (s[0] < 0x10000) {
      info = &bmp[s[0]];
    } else {
      const std::size_t slot = s[0] < 0x110000 ? Find(kRoot, s[0]) : kNoSlot;
      if (slot == kNoSlot) return {};
      info = &slots[slot].info;
      id = static_cast<std::uint32_t>(0x10000 + slot);
    }
    unsigned found = info->is_key & group.mask;
    if (!(info->longer & group.mask) || n == 1 || !PairMayStart(s[0], s[1])) {
      if (cut != nullptr) *cut = n == 1 && (info->longer & group.mask);
      if (found == 0) return {};
      return {1, &ValueOf(*info, group.first[found])};
    }
    std::array<const Info*, kMaxDicts> best{};
    for (unsigned m = found; m != 0; m &= m - 1) best[std::countr_zero(m)] = info;
    std::size_t k = 1;
    for (; k < n; ++k) {
      const std::size_t slot = Find(id, s[k]);
      if (slot == kNoSlot) break;
      info = &slots[slot].info;
      id = static_cast<std::uint32_t>(0x10000 + slot);
      const unsigned here = info->is_key & group.mask;
      for (unsigned m = here; m != 0; m &= m - 1) best[std::countr_zero(m)] = info;
      found |= here;
      if (!(info->longer & group.mask)) break;
    }
    if (cut != nullptr) *cut = k == n && (info->longer & group.mask);
    if (found == 0) return {};
    const unsigned dict = group.first[found];
    return {best[dict]->length, &ValueOf(*best[dict], dict)};
  }
};

namespace {

using Tables = PhraseMatcher::Tables;

// ---------------------------------------------------------------------------------------------
// Compiling a configuration's dictionaries.

[[noreturn]] void Unavailable(const std::string& config, const std::string& why) {
  throw ChineseMappingUnavailable("cannot load " + config + ": " + why);
}

std::u32string StrictDecode(const std::string& config, const std::string& text) {
  std::u32string cps;
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  for (std::size_t pos = 0; pos < text.size();) {
    char32_t cp = 0;
    const std::size_t length = OpenCcCharAt(p, pos, text.size(), cp);
    if (length == 0 || cp == 0)
      Unavailable(config, "a dictionary holds text that is not UTF-8: " + text);
    cps.push_back(cp);
    pos += length;
  }
  return cps;
}

class Compiler {
 public:
  Compiler(std::string config, Tables& tables) : config_(std::move(config)), t_(tables) {
    Rehash(1024);
  }

 private:
  // The trie while it is built: nodes by index, found by parent index and last character.
  struct Node {
    std::uint32_t parent = 0;
    char32_t last = 0;
    Info info;
  };

 public:
  void Add(const opencc::ConverterPtr& converter) {
    const auto segmentation =
        std::dynamic_pointer_cast<opencc::MaxMatchSegmentation>(converter->GetSegmentation());
    if (!segmentation) Unavailable(config_, "its segmentation is not maximum match");
    Flatten(segmentation->GetDict(), t_.segmentation);
    for (const opencc::ConversionPtr& conversion :
         converter->GetConversionChain()->GetConversions())
      Flatten(conversion->GetDict(), t_.owned.steps.emplace_back());
    for (std::size_t d = 0; d < leaves_.size(); ++d) AddLexicon(*leaves_[d], d);
    Finish();
  }

 private:
  void Flatten(const opencc::DictPtr& dict, Group& group) {
    if (const auto nested = std::dynamic_pointer_cast<opencc::DictGroup>(dict)) {
      for (const opencc::DictPtr& inner : nested->GetDicts()) Flatten(inner, group);
      return;
    }
    auto found = std::find(leaves_.begin(), leaves_.end(), dict.get());
    if (found == leaves_.end()) {
      if (leaves_.size() == kMaxDicts) Unavailable(config_, "too many dictionaries");
      found = leaves_.insert(leaves_.end(), dict.get());
    }
    group.Add(static_cast<std::uint8_t>(found - leaves_.begin()));
  }

  // The node of the key's first `length` characters, added with its prefixes as needed.
  std::uint32_t NodeFor(const std::u32string& key, std::size_t length) {
    std::uint32_t parent = 0;
    for (std::size_t k = 1; k <= length; ++k) {
      const char32_t c = key[k - 1];
      std::size_t slot = Probe(parent, c);
      if (index_[slot] == 0) {
        Node added;
        added.parent = parent;
        added.last = c;
        added.info.length = static_cast<std::uint8_t>(k);
        index_[slot] = static_cast<std::uint32_t>(nodes_.size());
        nodes_.push_back(added);
        if (2 * nodes_.size() > index_.size()) Rehash(2 * index_.size());
        slot = Probe(parent, c);
      }
      parent = index_[slot];
    }
    return parent;
  }

  // The slot of (parent, c) in the build index, or the empty one where it would go.
  std::size_t Probe(std::uint32_t parent, char32_t c) const {
    const std::size_t mask = index_.size() - 1;
    std::size_t slot = Mix(parent, c) >> index_shift_;
    while (index_[slot] != 0 &&
           (nodes_[index_[slot]].parent != parent || nodes_[index_[slot]].last != c))
      slot = (slot + 1) & mask;
    return slot;
  }

  void Rehash(std::size_t size) {
    index_.assign(size, 0);
    index_shift_ = 64 - std::countr_zero(size);
    for (std::uint32_t i = 1; i < nodes_.size(); ++i)
      index_[Probe(nodes_[i].parent, nodes_[i].last)] = i;
  }

  void AddLexicon(const opencc::Dict& dict, std::size_t d) {
    const auto bit = static_cast<std::uint8_t>(1u << d);
    for (const auto& entry : *dict.GetLexicon()) {
      const std::u32string key = StrictDecode(config_, entry->Key());
      if (key.empty() || key.size() > 255) Unavailable(config_, "a key of unusual length");
      if (key.size() > 1) phrases_ |= bit;
      if (std::any_of(key.begin(), key.end(), [](char32_t c) { return c < 0x80; }))
        t_.ascii_inert = false;
      for (std::size_t k = 1; k < key.size(); ++k) nodes_[NodeFor(key, k)].info.longer |= bit;
      const std::uint32_t node = NodeFor(key, key.size());
      if (nodes_[node].info.is_key & bit) continue;
      nodes_[node].info.is_key |= bit;
      entries_.push_back(
          {node, static_cast<std::uint8_t>(d), static_cast<std::uint32_t>(texts_.size())});
      texts_.push_back(entry->GetDefault());
    }
  }

  void Finish() {
    std::sort(entries_.begin(), entries_.end());
    std::uint32_t last_node = 0;
    for (const auto& [node, d, index] : entries_) {
      const std::string& text = texts_[index];
      if (text.size() > 0xFFFF) Unavailable(config_, "a value of unusual length");
      if (node != last_node)
        nodes_[node].info.values = static_cast<std::uint32_t>(t_.owned.values.size());
      last_node = node;
      const std::u32string cps = StrictDecode(config_, text);
      Value value;
      value.cps = static_cast<std::uint32_t>(t_.owned.cp_pool.size());
      value.cp_length = static_cast<std::uint16_t>(cps.size());
      value.utf8 = static_cast<std::uint32_t>(t_.owned.utf8_pool.size());
      value.utf8_length = static_cast<std::uint16_t>(text.size());
      t_.owned.cp_pool += cps;
      t_.owned.utf8_pool += text;
      t_.owned.values.push_back(value);
    }
    Place();
    std::vector<Group>& steps = t_.owned.steps;
    if (!steps.empty()) {
      t_.first_step_repeats_seg =
          t_.segmentation.size == 1 && steps.front().order[0] == t_.segmentation.order[0];
      t_.first_step_unmatched = t_.segmentation.size == 1
                                    ? steps.front().Without(t_.segmentation.order[0])
                                    : steps.front();
    }
    MarkStarts(t_.segmentation);
    MarkStarts(t_.first_step_unmatched);
    for (Group& step : steps) MarkStarts(step);
    t_.Bind();
    if (steps.size() >= 2 && !(steps.back().mask & phrases_)) Fold();
    t_.Bind();
  }

  void Fold() {
    t_.fold_last = true;
    std::string folded;
    for (Value& value : t_.owned.values) {
      folded.clear();
      for (std::size_t i = 0; i < value.cp_length; ++i) {
        const char32_t cp = t_.owned.cp_pool[value.cps + i];
        const Match match = t_.Longest(&cp, 1, t_.steps.back());
        if (match.length == 0) {
          AppendUtf8(folded, cp);
        } else {
          folded.append(t_.owned.utf8_pool, match.value->utf8, match.value->utf8_length);
        }
      }
      if (folded.size() > 0xFFFF) Unavailable(config_, "a value of unusual length");
      value.folded = static_cast<std::uint32_t>(t_.owned.utf8_pool.size());
      value.folded_length = static_cast<std::uint16_t>(folded.size());
      t_.owned.utf8_pool += folded;
    }
  }

  // Moves the trie into the final tables, parents before children.
  void Place() {
    const auto hashed = static_cast<std::size_t>(std::count_if(
        nodes_.begin() + 1, nodes_.end(),
        [](const Node& node) { return node.info.length > 1 || node.last >= 0x10000; }));
    const std::size_t size = std::max<std::size_t>(1024, std::bit_ceil(hashed + hashed / 2 + 1));
    std::vector<Slot>& slots = t_.owned.slots;
    slots.assign(size, {});
    t_.shift = 64 - std::countr_zero(size);
    std::vector<std::uint32_t> id(nodes_.size(), kRoot);
    for (std::uint32_t i = 1; i < nodes_.size(); ++i) {
      const Node& node = nodes_[i];
      if (node.info.length == 1 && node.last < 0x10000) {
        t_.owned.bmp[node.last] = node.info;
        id[i] = node.last;
        continue;
      }
      const std::uint32_t parent = id[node.parent];
      std::size_t slot = Mix(parent, node.last) >> t_.shift;
      while (slots[slot].info.length != 0) slot = (slot + 1) & (size - 1);
      slots[slot] = {parent, node.last, node.info};
      id[i] = static_cast<std::uint32_t>(0x10000 + slot);
      if (node.info.length == 2) {
        const std::size_t bit = Tables::PairBit(nodes_[node.parent].last, node.last);
        t_.owned.pairs[bit / 64] |= std::uint64_t{1} << (bit % 64);
      }
    }
  }

  void MarkStarts(Group& group) const {
    for (char32_t c = 0; c < 0x10000; ++c)
      if ((t_.owned.bmp[c].is_key | t_.owned.bmp[c].longer) & group.mask)
        group.starts[c / 64] |= std::uint64_t{1} << (c % 64);
  }

  const std::string config_;
  Tables& t_;
  std::vector<const opencc::Dict*> leaves_;
  struct Entry {
    std::uint32_t node;
    std::uint8_t dict;
    std::uint32_t text;
    bool operator<(const Entry& other) const {
      return std::tie(node, dict) < std::tie(other.node, other.dict);
    }
  };
  std::vector<Entry> entries_;
  std::vector<std::string> texts_;
  std::uint8_t phrases_ = 0;  // bit d: dictionary d has a key of two or more characters
  std::vector<Node> nodes_ = std::vector<Node>(1);  // node 0: the root
  std::vector<std::uint32_t> index_;                // node by Mix(parent, last)
  int index_shift_ = 64;
};

// The user's phrases as a dictionary tried first where the configuration segments and where its
// chain begins, as a user would add them to OpenCC's configuration.
opencc::ConverterPtr WithUserPhrases(const opencc::ConverterPtr& converter,
                                     const UserPhrases& user) {
  auto lexicon = std::make_shared<opencc::Lexicon>();
  for (const auto& [source, targets] : user.entries)
    lexicon->Add(opencc::DictEntryFactory::New(source, targets));
  lexicon->Sort();
  const opencc::DictPtr phrases = std::make_shared<opencc::TextDict>(lexicon);
  const auto segmentation =
      std::dynamic_pointer_cast<opencc::MaxMatchSegmentation>(converter->GetSegmentation());
  if (!segmentation) return converter;
  const auto first = [&](const opencc::DictPtr& dict) {
    return std::make_shared<opencc::DictGroup>(std::list<opencc::DictPtr>{phrases, dict});
  };
  std::list<opencc::ConversionPtr> conversions = converter->GetConversionChain()->GetConversions();
  if (!conversions.empty())
    conversions.front() =
        std::make_shared<opencc::Conversion>(first(conversions.front()->GetDict()));
  return std::make_shared<opencc::Converter>(
      user.path, std::make_shared<opencc::MaxMatchSegmentation>(first(segmentation->GetDict())),
      std::make_shared<opencc::ConversionChain>(conversions));
}

// OpenCC's library reads the configuration from the text given here, with every dictionary named
// by its path in the configuration's folder: left to itself it would look in the working
// directory first.
opencc::ConverterPtr ReadConverter(const std::string& config) {
  const std::optional<fs::path> path = FindConfiguration(config);
  if (!path)
    Unavailable(config, "no such configuration (a name in " + OpenCcDataDirectory().string() +
                            ", or an absolute path)");
  const std::optional<std::string> json = ReadConfiguration(*path);
  if (!json) Unavailable(config, "not a readable configuration file of at most 1 MiB");
  const std::optional<std::string> located = WithDictionariesIn(*json, path->parent_path());
  if (!located) Unavailable(config, "a dictionary file is not named inside its folder");
  return opencc::Config().NewFromString(*located, path->parent_path().string() + "/");
}

std::unique_ptr<const Tables> Compile(const std::string& config,
                                      const UserPhrases* user = nullptr) {
  opencc::ConverterPtr converter;
  try {
    converter = ReadConverter(config);
    if (user != nullptr) converter = WithUserPhrases(converter, *user);
  } catch (const opencc::Exception& e) {  // not a std::exception
    Unavailable(config, e.what());
  } catch (const ChineseMappingUnavailable&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception& e) {
    Unavailable(config, e.what());
  }
  auto tables = std::make_unique<Tables>();
  Compiler(config, *tables).Add(converter);
  return tables;
}

// ---------------------------------------------------------------------------------------------
// Compiled tables as bytes, for the cache: every field is plain data, listed once for both ways.

// Changes whenever the compiled tables would: their layout or what the compiler puts in them.
std::string Layout() {
  return "tables 2, info " + std::to_string(sizeof(Info)) + ", slot " +
         std::to_string(sizeof(Slot)) + ", value " + std::to_string(sizeof(Value)) + ", group " +
         std::to_string(sizeof(Group)) + ", dictionaries " + std::to_string(kMaxDicts) +
         ", pair bits " + std::to_string(kPairBits) + ", opencc " TESSALY_OPENCC_VERSION;
}

template <typename Io, typename T>
void Fields(Io& io, T& t) {
  io.Vector(t.bmp);
  io.Vector(t.pairs);
  io.Vector(t.slots);
  io.Plain(t.shift);
  io.Vector(t.values);
  io.Vector(t.cp_pool);
  io.Vector(t.utf8_pool);
  io.Plain(t.segmentation);
  io.Vector(t.steps);
  io.Plain(t.first_step_unmatched);
  io.Plain(t.ascii_inert);
  io.Plain(t.first_step_repeats_seg);
  io.Plain(t.fold_last);
}

// Arrays are laid out 8-byte aligned, as the cache file's tables start, so that the reader can
// view them where they lie.
constexpr std::size_t kAlign = 8;

class TablesWriter {
 public:
  template <typename T>
  void Plain(const T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    bytes_.append(reinterpret_cast<const char*>(&value), sizeof value);
  }
  template <typename C>
  void Vector(const C& items) {
    Plain(static_cast<std::uint64_t>(items.size()));
    static_assert(std::is_trivially_copyable_v<typename C::value_type>);
    Pad();
    bytes_.append(reinterpret_cast<const char*>(items.data()),
                  items.size() * sizeof(typename C::value_type));
    Pad();
  }
  std::string Take() && { return std::move(bytes_); }

 private:
  void Pad() { bytes_.resize((bytes_.size() + kAlign - 1) / kAlign * kAlign, '\0'); }
  std::string bytes_;
};

// Views the arrays in bytes that start 8-byte aligned; copies the plain fields.
class TablesReader {
 public:
  explicit TablesReader(std::string_view bytes) : bytes_(bytes) {}
  template <typename T>
  void Plain(T& value) {
    if (!ok_ || bytes_.size() - pos_ < sizeof value) return Fail();
    if constexpr (std::is_same_v<T, bool>) {
      const auto byte = static_cast<unsigned char>(bytes_[pos_]);
      if (byte > 1) return Fail();  // any other byte is no bool
      value = byte == 1;
    } else {
      std::memcpy(&value, bytes_.data() + pos_, sizeof value);
    }
    pos_ += sizeof value;
  }
  template <typename View>
  void Vector(View& items) {
    std::uint64_t size = 0;
    Plain(size);
    Skip();
    using Item = std::remove_cv_t<typename View::value_type>;
    const auto* start = bytes_.data() + pos_;
    if (!ok_ || size > (bytes_.size() - pos_) / sizeof(Item) ||
        reinterpret_cast<std::uintptr_t>(start) % alignof(Item) != 0)
      return Fail();
    items = View(reinterpret_cast<const Item*>(start), size);
    pos_ += size * sizeof(Item);
    Skip();
  }
  bool Finished() const { return ok_ && pos_ == bytes_.size(); }

 private:
  void Skip() {
    const std::size_t next = (pos_ + kAlign - 1) / kAlign * kAlign;
    if (next > bytes_.size()) return Fail();
    pos_ = next;
  }
  void Fail() {
    ok_ = false;
    pos_ = bytes_.size();
  }
  std::string_view bytes_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

static_assert(std::has_unique_object_representations_v<Info> &&
                  std::has_unique_object_representations_v<Slot> &&
                  std::has_unique_object_representations_v<Value> &&
                  std::has_unique_object_representations_v<Group>,
              "no padding: every byte the cache writes is a field's");

// A group names dictionaries that exist, once each, and `first` gives for every set of them
// found one of that set, which the lookup then reads.
bool GroupFits(const Group& group) {
  if (group.size > kMaxDicts) return false;
  unsigned mask = 0;
  for (std::size_t i = 0; i < group.size; ++i) {
    if (group.order[i] >= kMaxDicts || (mask >> group.order[i] & 1)) return false;
    mask |= 1u << group.order[i];
  }
  if (mask != group.mask) return false;
  for (unsigned found = 1; found < 256; ++found)
    if ((found & mask) == found && !(found >> group.first[found] & 1)) return false;
  return true;
}

bool SameDictionaries(const Group& a, const Group& b) {
  return a.mask == b.mask && a.size == b.size && a.order == b.order;
}

bool DerivedGroupsFit(const Tables& t) {
  const Group& seg = t.segmentation;
  const Group& first = t.steps.front();
  const bool repeats = seg.size == 1 && first.order[0] == seg.order[0];
  const Group unmatched = seg.size == 1 ? first.Without(seg.order[0]) : first;
  return t.first_step_repeats_seg == repeats &&
         SameDictionaries(t.first_step_unmatched, unmatched);
}

// A slot's length is its depth in the trie: one more than its parent's. A match's length is
// read from there, and the text is stepped by it.
bool SlotFits(const Tables& t, const Slot& slot) {
  if (slot.info.length == 0) return true;
  if ((slot.info.is_key | slot.info.longer) == 0) return false;
  if (slot.parent == kRoot) return slot.info.length == 1 && slot.last >= 0x10000;
  if (slot.parent < 0x10000) return slot.info.length == 2 && t.bmp[slot.parent].length == 1;
  const std::size_t parent = slot.parent - 0x10000;
  return parent < t.slots.size() && t.slots[parent].info.length + 1 == slot.info.length;
}

// UTF-8 as the compiler writes it; surrogates pass, as they do in a dictionary.
bool WellFormedUtf8(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  for (std::size_t pos = 0; pos < text.size();) {
    char32_t cp = 0;
    const std::size_t length = OpenCcCharAt(p, pos, text.size(), cp);
    if (length == 0) return false;
    pos += length;
  }
  return true;
}

// A value's characters are Unicode scalar values, as decoding its UTF-8 gives them, so that no
// later step reads one as an index, and what it writes is well-formed.
bool ValueFits(const Tables& t, const Value& v) {
  if (v.cps + std::size_t{v.cp_length} > t.cp_pool.size() ||
      v.utf8 + std::size_t{v.utf8_length} > t.utf8_pool.size() ||
      v.folded + std::size_t{v.folded_length} > t.utf8_pool.size())
    return false;
  const std::string_view utf8 = t.utf8_pool.substr(v.utf8, v.utf8_length);
  if (!WellFormedUtf8(utf8) || !WellFormedUtf8(t.utf8_pool.substr(v.folded, v.folded_length)))
    return false;
  std::string encoded;
  for (std::size_t i = 0; i < v.cp_length; ++i) {
    const char32_t cp = t.cp_pool[v.cps + i];
    if (cp == 0 || cp > 0x10FFFF) return false;
    AppendUtf8(encoded, cp);
  }
  return encoded == utf8;
}

// Whether every index and length a lookup reads stays inside the tables and means what the
// compiler meant by it, so that no lookup can leave them, whatever the bytes were.
bool Consistent(const Tables& t) {
  const std::size_t slots = t.slots.size();
  if (t.bmp.size() != 0x10000 || t.pairs.size() != (1u << kPairBits) / 64 || slots < 2 ||
      !std::has_single_bit(slots) || t.shift != 64 - std::countr_zero(slots))
    return false;
  const auto values_fit = [&](const Info& info) {
    return info.values + std::size_t{kBitCount[info.is_key]} <= t.values.size();
  };
  const auto bmp_fits = [&](const Info& info) {
    return info.length == ((info.is_key | info.longer) != 0 ? 1 : 0) && values_fit(info);
  };
  // The chain has a step to fold when it folds one; what the compiler derived from the groups is
  // what they give.
  if (t.fold_last && t.steps.size() < 2) return false;
  if (!t.steps.empty() && !DerivedGroupsFit(t)) return false;
  return std::all_of(t.bmp.begin(), t.bmp.end(), bmp_fits) &&
         std::all_of(t.slots.begin(), t.slots.end(),
                     [&](const Slot& slot) { return values_fit(slot.info) && SlotFits(t, slot); }) &&
         std::all_of(t.values.begin(), t.values.end(),
                     [&](const Value& v) { return ValueFits(t, v); }) &&
         // An empty slot ends every probe, so a full table would never end one.
         std::any_of(t.slots.begin(), t.slots.end(),
                     [](const Slot& slot) { return slot.info.length == 0; }) &&
         GroupFits(t.segmentation) && GroupFits(t.first_step_unmatched) &&
         std::all_of(t.steps.begin(), t.steps.end(), GroupFits);
}

std::string WriteTables(const Tables& t) {
  TablesWriter writer;
  Fields(writer, t);
  return std::move(writer).Take();
}

// Tables viewed in place in `entry`'s bytes, which they keep.
std::unique_ptr<const Tables> ReadTables(std::shared_ptr<const CachedTables> entry) {
  auto tables = std::make_unique<Tables>();
  TablesReader reader(entry->bytes());
  Fields(reader, *tables);
  if (!reader.Finished() || !Consistent(*tables)) return nullptr;
  tables->mapping = std::move(entry);
  return tables;
}

// ---------------------------------------------------------------------------------------------
// Converting.

// A call's own buffers, so one matcher serves any number of threads.
struct Workspace {
  std::vector<char32_t> text;
  std::vector<std::string_view> raw;
  std::array<std::vector<char32_t>, 2> steps;
  const std::vector<std::uint8_t>* watched = nullptr;  // values to tell of, by index
  bool wrote_watched = false;

  // Notes a value about to be written at some step.
  void Use(const Tables& t, const Value& value) {
    if (watched != nullptr && (*watched)[static_cast<std::size_t>(&value - t.values.data())])
      wrote_watched = true;
  }
};

struct Span {
  const char32_t* data;
  std::size_t size;
};

void AppendChar(std::string& out, char32_t cp, const Workspace& w) {
  if (cp >= kRawBase) {
    out.append(w.raw[cp - kRawBase]);
  } else {
    AppendUtf8(out, cp);
  }
}

// How many bytes of the text a decoded character was read from.
std::size_t SourceLength(char32_t cp, const Workspace& w) {
  return cp >= kRawBase ? w.raw[cp - kRawBase].size() : Utf8Length(cp);
}

std::size_t SourceLength(const char32_t* chars, std::size_t n, const Workspace& w) {
  std::size_t bytes = 0;
  for (std::size_t i = 0; i < n; ++i) bytes += SourceLength(chars[i], w);
  return bytes;
}

// One step of the chain; the input itself when nothing in it matches, which is the common case
// for the small dictionaries late in a chain.
Span StepToChars(const Tables& t, Span in, const Group& group, std::vector<char32_t>& out,
                 Workspace& w) {
  std::size_t i = 0;
  Match match;
  while (i < in.size && (match = t.Longest(in.data + i, in.size - i, group)).length == 0) ++i;
  if (i == in.size) return in;
  out.assign(in.data, in.data + i);
  while (true) {
    w.Use(t, *match.value);
    const char32_t* value = t.cp_pool.data() + match.value->cps;
    out.insert(out.end(), value, value + match.value->cp_length);
    i += match.length;
    for (; i < in.size; ++i) {
      match = t.Longest(in.data + i, in.size - i, group);
      if (match.length != 0) break;
      out.push_back(in.data[i]);
    }
    if (i == in.size) return {out.data(), out.size()};
  }
}

// The step that writes UTF-8, with the folded last step when there is one. When `in` is the
// text as read, `source` is where its bytes start, and characters that pass unchanged are
// copied from there a run at a time rather than written again one by one.
void StepToUtf8(const Tables& t, Span in, const Group& group, bool fold, Workspace& w,
                std::string& out, const char* source) {
  const char* unchanged = nullptr;  // the start of a run of such characters
  const auto flush = [&] {
    if (unchanged == nullptr) return;
    out.append(unchanged, static_cast<std::size_t>(source - unchanged));
    unchanged = nullptr;
  };
  for (std::size_t i = 0; i < in.size;) {
    const Match match = t.Longest(in.data + i, in.size - i, group);
    if (match.length != 0) {
      flush();
      w.Use(t, *match.value);
      if (fold) {
        out.append(t.utf8_pool, match.value->folded, match.value->folded_length);
      } else {
        out.append(t.utf8_pool, match.value->utf8, match.value->utf8_length);
      }
      if (source != nullptr) source += SourceLength(in.data + i, match.length, w);
      i += match.length;
      continue;
    }
    const Match single = fold ? t.Longest(in.data + i, 1, t.steps.back()) : Match{};
    if (single.length != 0) {
      flush();
      w.Use(t, *single.value);
      out.append(t.utf8_pool, single.value->utf8, single.value->utf8_length);
    } else if (source != nullptr) {
      if (unchanged == nullptr) unchanged = source;
    } else {
      AppendChar(out, in.data[i], w);
    }
    if (source != nullptr) source += SourceLength(in.data[i], w);
    ++i;
  }
  flush();
}

// One segment through the conversion chain, each step's output the next one's input; `source`
// is where the segment's bytes start in the text.
void ConvertSegment(const Tables& t, Span segment, const Value* key_value, Workspace& w,
                    std::string& out, const char* source) {
  // The step that writes UTF-8.
  const std::size_t last = t.steps.size() - (t.fold_last ? 2 : 1);
  std::size_t first = 0;
  if (key_value != nullptr && t.first_step_repeats_seg) {
    w.Use(t, *key_value);
    if (last == 0) {
      if (t.fold_last) {
        out.append(t.utf8_pool, key_value->folded, key_value->folded_length);
      } else {
        out.append(t.utf8_pool, key_value->utf8, key_value->utf8_length);
      }
      return;
    }
    segment = {t.cp_pool.data() + key_value->cps, key_value->cp_length};
    source = nullptr;
    first = 1;
  }
  if (t.steps.empty()) {
    for (std::size_t i = 0; i < segment.size; ++i) AppendChar(out, segment.data[i], w);
    return;
  }
  auto group = [&](std::size_t k) -> const Group& {
    return k == 0 && key_value == nullptr ? t.first_step_unmatched : t.steps[k];
  };
  std::size_t free = 0;  // the buffer that does not hold `segment`
  for (std::size_t k = first; k < last; ++k) {
    const Span next = StepToChars(t, segment, group(k), w.steps[free], w);
    if (next.data != segment.data) {
      segment = next;
      source = nullptr;
      free ^= 1;
    }
  }
  StepToUtf8(t, segment, group(last), t.fold_last, w, out, source);
}

// Decodes from `pos` up to the next ASCII character when ASCII is inert, or to the end; returns
// where it stopped.
std::size_t Decode(const Tables& t, std::string_view text, std::size_t pos, Workspace& w) {
  w.text.clear();
  w.raw.clear();
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  while (pos < text.size()) {
    const unsigned char lead = p[pos];
    if (lead < 0x80) {
      if (t.ascii_inert) break;
      w.text.push_back(lead);
      ++pos;
      continue;
    }
    const std::size_t length = kOpenCcLeadLength[lead];
    if (length == 0)
      throw std::invalid_argument("invalid UTF-8: no character starts with this byte");
    char32_t cp = 0;
    if (pos + length <= text.size() && detail::DecodeOpenCcChar(p + pos, length, cp)) {
      pos += length;
    } else {
      const std::size_t taken = std::min(length, text.size() - pos);
      cp = kRawBase + static_cast<char32_t>(w.raw.size());
      w.raw.push_back(text.substr(pos, taken));
      pos += taken;
    }
    w.text.push_back(cp);
  }
  return pos;
}

// Where a run of unmatched characters from `from` may end for `out`: at `end`, or, for an `out`
// that wants runs apart (PieceOut), before the first character after it that no key holds and
// that follows one some key holds. No phrase reaches over such a character, so the run converts
// the same either way.
template <typename Out>
std::size_t UnmatchedEnd(const Out& out, const char32_t* s, std::size_t from, std::size_t end) {
  if constexpr (Out::kSplitsRuns) {
    std::size_t i = from;
    while (i < end && out.Free(s[i])) ++i;
    while (i < end && !out.Free(s[i])) ++i;
    return i;
  } else {
    return end;
  }
}

// Segments a decoded run as OpenCC's MaxMatchSegmentation does: a dictionary phrase is a
// segment, and a run of characters that start none is one. `source` is where the run's bytes
// start in the text.
template <typename Out>
void ConvertRun(const Tables& t, Workspace& w, const char* source, Out& out) {
  const char32_t* s = w.text.data();
  const std::size_t n = w.text.size();
  std::size_t unmatched = 0;
  const char* unmatched_source = source;
  auto flush_unmatched = [&](std::size_t end) {
    for (std::size_t from = unmatched; from < end;) {
      const std::size_t to = UnmatchedEnd(out, s, from, end);
      const Span span{s + from, to - from};
      const char* const start = unmatched_source;
      unmatched_source += SourceLength(span.data, span.size, w);
      out.Unmatched(static_cast<std::size_t>(unmatched_source - start), span,
                    [&](std::string& into) { ConvertSegment(t, span, nullptr, w, into, start); });
      from = to;
    }
  };
  for (std::size_t i = 0; i < n;) {
    const Match match = t.Longest(s + i, n - i, t.segmentation);
    if (match.length == 0) {
      source += SourceLength(s[i], w);
      ++i;
      continue;
    }
    flush_unmatched(i);
    const Span span{s + i, match.length};
    const char* const start = source;
    source += SourceLength(span.data, span.size, w);
    out.Matched(static_cast<std::size_t>(source - start), [&](std::string& into) {
      ConvertSegment(t, span, match.value, w, into, start);
    });
    i += match.length;
    unmatched = i;
    unmatched_source = source;
  }
  flush_unmatched(n);
}

// Returns whether a watched value was written at some step.
template <typename Out>
bool Run(const Tables& t, std::string_view text, Out& out,
         const std::vector<std::uint8_t>* watched = nullptr) {
  Workspace w;
  w.watched = watched;
  for (std::size_t pos = 0; pos < text.size();) {
    if (t.ascii_inert && static_cast<unsigned char>(text[pos]) < 0x80) {
      const std::size_t end = AsciiEnd(text, pos);
      out.Inert(text.substr(pos, end - pos));
      pos = end;
      continue;
    }
    const char* const source = text.data() + pos;
    pos = Decode(t, text, pos, w);
    ConvertRun(t, w, source, out);
  }
  return w.wrote_watched;
}

class TextOut {
 public:
  static constexpr bool kSplitsRuns = false;
  explicit TextOut(std::string& out) : out_(out) {}
  void Inert(std::string_view bytes) { out_.append(bytes); }
  template <typename Fill>
  void Unmatched(std::size_t, Span, Fill&& fill) {
    fill(out_);
  }
  template <typename Fill>
  void Matched(std::size_t, Fill&& fill) {
    fill(out_);
  }
  bool Free(char32_t) const { return false; }

 private:
  std::string& out_;
};

// Unmatched characters, inert ones included, gather into one piece until a phrase comes, as they
// gather into one segment in OpenCC; except that a character no key holds, after one some key
// holds, starts a piece of its own. The caller puts each piece back into its encoding whole
// where its characters' count changed: a piece that reached over such a character would make
// the result of the characters before it depend on those after it, and a text cut there convert
// otherwise than the whole.
class PieceOut {
 public:
  static constexpr bool kSplitsRuns = true;
  PieceOut(const MappedPieceSink& sink, const CharacterStops& in_keys)
      : sink_(sink), in_keys_(in_keys) {}
  void Inert(std::string_view bytes) {
    if (after_held_) Flush();
    pending_bytes_ += bytes.size();
    pending_.append(bytes);
  }
  template <typename Fill>
  void Unmatched(std::size_t source_bytes, Span span, Fill&& fill) {
    if (after_held_ && Free(span.data[0])) Flush();
    pending_bytes_ += source_bytes;
    fill(pending_);
    after_held_ = !Free(span.data[span.size - 1]);
  }
  template <typename Fill>
  void Matched(std::size_t source_bytes, Fill&& fill) {
    Flush();
    phrase_.clear();
    fill(phrase_);
    sink_(source_bytes, phrase_);
  }
  void Flush() {
    after_held_ = false;
    if (pending_bytes_ == 0) return;
    sink_(pending_bytes_, pending_);
    pending_bytes_ = 0;
    pending_.clear();
  }
  // Characters read from bytes that are not UTF-8 (kRawBase on) count as held.
  bool Free(char32_t c) const { return c < 0x10000 && !in_keys_.Stops(c); }

 private:
  const MappedPieceSink& sink_;
  const CharacterStops& in_keys_;
  std::size_t pending_bytes_ = 0;
  std::string pending_;
  std::string phrase_;
  bool after_held_ = false;  // the pending piece ends with a character some key holds
};

// ---------------------------------------------------------------------------------------------
// The fast path: where the first step converts a character that starts no phrase of the
// segmentation on its own, what such a character becomes through the whole chain is looked up in
// one table; only the positions where a phrase may start, of the segmentation or of a later
// step, take the trie.

// What a BMP character becomes when it starts no phrase: up to three bytes of UTF-8.
struct FastChar {
  std::array<char, 3> bytes{};
  std::uint8_t tag = 0;  // bits 0-1: how many bytes (0: take the trie); bit 2: check the pair

  static constexpr std::uint8_t kCheckPair = 4;
};
static_assert(sizeof(FastChar) == 4);

constexpr char32_t kNoChar = 0xFFFFFFFF;

// The character at `i`, or kNoChar where none that a key holds can be: at the end, at ASCII when
// no key holds any, and at bytes that are not plain UTF-8.
char32_t PeekChar(const unsigned char* p, std::size_t i, std::size_t n, bool ascii_inert) {
  if (i >= n || (p[i] < 0x80 && ascii_inert)) return kNoChar;
  char32_t cp = 0;
  return OpenCcCharAt(p, i, n, cp) == 0 ? kNoChar : cp;
}

// Output written through a pointer into a string grown ahead, since a call per character to
// std::string's append costs more than the lookup.
class Sink {
 public:
  Sink(std::string& out, std::size_t expected) : out_(out), used_(out.size()) {
    out_.reserve(used_ + expected + kSlack);
  }
  ~Sink() { out_.resize(used_); }
  Sink(const Sink&) = delete;
  Sink& operator=(const Sink&) = delete;

  void Append(const char* bytes, std::size_t n) {
    Need(n);
    std::memcpy(out_.data() + used_, bytes, n);
    used_ += n;
  }
  void Put(FastChar c) {
    Need(sizeof c);
    std::memcpy(out_.data() + used_, &c, sizeof c);
    used_ += c.tag & 3;
  }

 private:
  static constexpr std::size_t kSlack = 64;
  static constexpr std::size_t kStep = 64 * 1024;  // what a resize writes zeros over, at most
  void Need(std::size_t n) {
    if (out_.size() - used_ >= n) return;
    // Within what was reserved a step at a time, so that a short call fills little; beyond it
    // the string grows as it would by appending.
    out_.resize(std::max(used_ + n + kSlack, std::min(out_.capacity(), used_ + kStep)));
  }
  std::string& out_;
  std::size_t used_;
};

// The steps between the first and the folded last one, if any: a character that starts none of
// their keys passes them unchanged.
std::span<const Group> MiddleSteps(const Tables& t) {
  const std::size_t end = t.steps.size() - (t.fold_last ? 1 : 0);
  return end > 1 ? t.steps.subspan(1, end - 1) : std::span<const Group>();
}

// What a plan needs to know of the tables, read in one pass over them.
struct Survey {
  // The first step converts every character that starts no phrase of the segmentation on its
  // own; the later steps are looked at character by character (Plan).
  bool fast = false;
  bool question_mark = false;  // some key holds "?"
  std::size_t reach = 0;       // the longest key of a middle step, in characters; 0: none
};

Survey SurveyOf(const Tables& t) {
  Survey survey;
  if (t.steps.empty()) return survey;
  const unsigned unmatched = t.first_step_unmatched.mask;
  unsigned middle = 0;
  for (const Group& step : MiddleSteps(t)) middle |= step.mask;
  survey.fast = std::none_of(t.bmp.begin(), t.bmp.end(),
                             [&](const Info& info) { return info.longer & unmatched; });
  survey.question_mark = (t.bmp[U'?'].is_key | t.bmp[U'?'].longer) != 0;
  if (middle != 0) survey.reach = 1;
  for (const Slot& slot : t.slots) {
    if (slot.info.length == 0) continue;
    if (slot.parent == kRoot && slot.info.length == 1 && (slot.info.longer & unmatched))
      survey.fast = false;
    if (slot.last == U'?') survey.question_mark = true;
    if (slot.info.is_key & middle)
      survey.reach = std::max<std::size_t>(survey.reach, slot.info.length);
  }
  return survey;
}

}  // namespace

class PhraseMatcher::Plan {
 public:
  Plan(const Tables& t, const Survey& survey, const CharacterStops& stops,
       std::vector<std::uint8_t> watched, bool strict)
      : stops_(stops),
        watched_(std::move(watched)),
        strict_(strict),
        ascii_inert_(t.ascii_inert),
        reach_(survey.reach) {
    if (strict_)
      for (char32_t c = 0xD800; c < 0xE000; ++c) stops_.Add(c);
    for (char32_t c = t.ascii_inert ? 0x80 : 0; c < 0x10000; ++c) chars_[c] = Entry(t, c);
  }

  const FastChar& operator[](char32_t c) const { return chars_[c]; }
  bool Stops(char32_t c) const { return stops_.Stops(c); }
  bool strict() const { return strict_; }
  bool ascii_inert() const { return ascii_inert_; }
  // Whether a character that starts no phrase of the segmentation is converted with the ones
  // after it, up to the next phrase, as a middle step may join them.
  bool runs() const { return reach_ != 0; }
  // The longest key of a middle step, in characters.
  std::size_t reach() const { return reach_; }
  const std::vector<std::uint8_t>* watched() const {
    return watched_.empty() ? nullptr : &watched_;
  }

 private:
  FastChar Entry(const Tables& t, char32_t c) const {
    const Info& info = t.bmp[c];
    if (stops_.Stops(c) || (info.is_key & t.segmentation.mask)) return {};
    std::string bytes;
    const Match match = t.Longest(&c, 1, t.first_step_unmatched);
    // What the first step makes of it must start no key of a middle step, or a phrase there may
    // begin with it and reach into the characters after it.
    const std::u32string_view first =
        match.length != 0
            ? std::u32string_view(t.cp_pool.data() + match.value->cps, match.value->cp_length)
            : std::u32string_view(&c, 1);
    for (const Group& step : MiddleSteps(t))
      if (std::any_of(first.begin(), first.end(), [&](char32_t cp) { return step.MayStart(cp); }))
        return {};
    const Match single =
        t.fold_last && match.length == 0 ? t.Longest(&c, 1, t.steps.back()) : Match{};
    if (match.length != 0) {
      if (Watched(t, *match.value)) return {};
      if (t.fold_last) {
        bytes.assign(t.utf8_pool, match.value->folded, match.value->folded_length);
      } else {
        bytes.assign(t.utf8_pool, match.value->utf8, match.value->utf8_length);
      }
    } else if (single.length != 0) {
      if (Watched(t, *single.value)) return {};
      bytes.assign(t.utf8_pool, single.value->utf8, single.value->utf8_length);
    } else {
      AppendUtf8(bytes, c);
    }
    if (bytes.empty() || bytes.size() > 3) return {};
    FastChar entry;
    std::memcpy(entry.bytes.data(), bytes.data(), bytes.size());
    entry.tag = static_cast<std::uint8_t>(bytes.size());
    if (info.longer & t.segmentation.mask) entry.tag |= FastChar::kCheckPair;
    return entry;
  }

  bool Watched(const Tables& t, const Value& value) const {
    return !watched_.empty() && watched_[static_cast<std::size_t>(&value - t.values.data())];
  }

  std::vector<FastChar> chars_ = std::vector<FastChar>(0x10000);
  CharacterStops stops_;
  std::vector<std::uint8_t> watched_;
  bool strict_;
  bool ascii_inert_;
  std::size_t reach_;
};

namespace {

using Plan = PhraseMatcher::Plan;

// Decodes into `w.text` from `*pos`, up to `limit` characters, stopping before ASCII, a stop or
// bytes that are not plain UTF-8; returns whether it stopped at such bytes.
bool DecodeWindow(const Plan& plan, std::string_view text, std::size_t* pos, std::size_t limit,
                  Workspace& w) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  while (w.text.size() < limit && *pos < text.size() && (p[*pos] >= 0x80 || !plan.ascii_inert())) {
    char32_t cp = 0;
    const std::size_t length = OpenCcCharAt(p, *pos, text.size(), cp);
    if (length == 0) return true;
    if (plan.Stops(cp)) return false;
    w.text.push_back(cp);
    *pos += length;
  }
  return false;
}

// The segmentation's match at character `k` of `w.text`, decoding more of the text, from `end`,
// while a longer key might match beyond the `window` characters decoded so far.
Match LongestInWindow(const Tables& t, const Plan& plan, std::string_view text, std::size_t k,
                      std::size_t& end, std::size_t& window, Workspace& w) {
  bool cut = false;
  Match match = t.Longest(w.text.data() + k, w.text.size() - k, t.segmentation, &cut);
  while (cut && w.text.size() == window) {
    window *= 2;
    DecodeWindow(plan, text, &end, window, w);
    match = t.Longest(w.text.data() + k, w.text.size() - k, t.segmentation, &cut);
  }
  return match;
}

// How many characters of `w.text`, from its first, which starts no phrase of the segmentation,
// go on to the next that does or to where the decoding stops: OpenCC's segment of characters
// that start none. `end` is where the decoded bytes end, `window` how many were asked for.
std::size_t UnmatchedRun(const Tables& t, const Plan& plan, std::string_view text, std::size_t end,
                         std::size_t window, Workspace& w) {
  std::size_t k = 1;
  // Characters in a row, just before k, of which a middle step's key starts none: once they are
  // as many as its longest key, no key reaches from before them to k, and the run may end there.
  std::size_t quiet = 0;
  for (;; ++k) {
    if (k + 4 > w.text.size() && w.text.size() == window) {
      window = std::max(2 * window, k + 4);
      DecodeWindow(plan, text, &end, window, w);
    }
    if (k >= w.text.size()) return k;
    const Match match = LongestInWindow(t, plan, text, k, end, window, w);
    if (match.length != 0 || quiet >= plan.reach()) return k;
    const char32_t c = w.text[k];
    quiet = c < 0x10000 && (plan[c].tag & 3) != 0 ? quiet + 1 : 0;
  }
}

// One segment at `pos`, where the fast table could not say: a phrase of the segmentation, or a
// single character that starts none. Returns where it ends; `pos` itself at a stop.
std::size_t SlowSegment(const Tables& t, const Plan& plan, std::string_view text, std::size_t pos,
                        Workspace& w, std::string& scratch) {
  std::size_t window = 4;  // longer phrases are rare: decode more only for them
  w.text.clear();
  std::size_t end = pos;
  const bool odd = DecodeWindow(plan, text, &end, window, w);
  scratch.clear();
  if (w.text.empty()) {
    if (!odd || plan.strict()) return pos;
    // Bytes OpenCC reads its own way: the general path, up to the next ASCII character.
    TextOut general(scratch);
    const char* const source = text.data() + pos;
    end = Decode(t, text, pos, w);
    ConvertRun(t, w, source, general);
    return end;
  }
  const Match match = LongestInWindow(t, plan, text, 0, end, window, w);
  std::size_t length = match.length;
  if (length == 0) length = plan.runs() ? UnmatchedRun(t, plan, text, end, window, w) : 1;
  const Span segment{w.text.data(), length};
  ConvertSegment(t, segment, match.value, w, scratch, text.data() + pos);
  return pos + SourceLength(segment.data, segment.size, w);
}

// Characters of two and three bytes, nearly all of a Chinese text, are decoded inline: a call
// per character costs more than the table lookup.
PhraseMatcher::Stop RunFast(const Tables& t, const Plan& plan, std::string_view text,
                            std::string& out) {
  Workspace w;
  w.watched = plan.watched();
  std::string scratch;
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  Sink sink(out, n + n / 8);
  std::size_t i = 0;
  while (i < n) {
    const unsigned char lead = p[i];
    if (lead < 0x80 && t.ascii_inert) {
      const std::size_t end = AsciiEnd(text, i);
      sink.Append(text.data() + i, end - i);
      i = end;
      continue;
    }
    char32_t cp = 0;
    std::size_t length = 0;
    if (lead < 0x80) {
      cp = lead;
      length = 1;
    } else if (lead >= 0xE0 && lead < 0xF0) {
      if (i + 2 < n && IsContinuation(p[i + 1]) && IsContinuation(p[i + 2])) {
        cp = char32_t{lead & 0x0Fu} << 12 | char32_t{p[i + 1] & 0x3Fu} << 6 | (p[i + 2] & 0x3Fu);
        length = cp >= 0x800 ? 3 : 0;
      }
    } else if (lead >= 0xC2 && lead < 0xE0 && i + 1 < n && IsContinuation(p[i + 1])) {
      cp = char32_t{lead & 0x1Fu} << 6 | (p[i + 1] & 0x3Fu);
      length = 2;
    }
    if (length != 0) {
      const FastChar c = plan[cp];
      const auto phrase_may_start = [&] {
        const char32_t next = PeekChar(p, i + length, n, t.ascii_inert);
        return next != kNoChar && t.PairMayStart(cp, next);
      };
      if ((c.tag & 3) != 0 && (!(c.tag & FastChar::kCheckPair) || !phrase_may_start())) {
        sink.Put(c);
        i += length;
        continue;
      }
    }
    const std::size_t end = SlowSegment(t, plan, text, i, w, scratch);
    if (end == i) return {i, w.wrote_watched};
    sink.Append(scratch.data(), scratch.size());
    i = end;
  }
  return {n, w.wrote_watched};
}

}  // namespace

PhraseMatcher::PhraseMatcher(std::unique_ptr<const Tables> tables) : tables_(std::move(tables)) {}

// Built at the first Convert: a caller that only ever converts through a plan of its own never
// pays for this one.
const PhraseMatcher::Plan* PhraseMatcher::DefaultPlan() const {
  std::call_once(plan_built_, [this] {
    const Survey survey = SurveyOf(*tables_);
    if (survey.fast)
      plan_ = std::make_unique<const Plan>(*tables_, survey, CharacterStops{},
                                           std::vector<std::uint8_t>{}, false);
  });
  return plan_.get();
}

PhraseMatcher::~PhraseMatcher() = default;

// A failed load is not remembered, so a later call tries again.
std::shared_ptr<const PhraseMatcher> PhraseMatcher::Load(std::string_view config) {
  static std::mutex mutex;
  static std::map<std::string, std::shared_ptr<const PhraseMatcher>, std::less<>> loaded;
  const std::lock_guard lock(mutex);
  if (const auto found = loaded.find(config); found != loaded.end()) return found->second;
  auto matcher = Build(config, PhraseCacheDirectory());
  loaded.emplace(std::string(config), matcher);
  return matcher;
}

std::shared_ptr<const PhraseMatcher> PhraseMatcher::FromCache(std::string_view config,
                                                              const std::filesystem::path& cache) {
  const PhraseCache entry(cache, config, Layout());
  if (std::shared_ptr<const CachedTables> bytes = entry.Read()) {
    if (auto tables = ReadTables(std::move(bytes)))
      return std::make_shared<const PhraseMatcher>(std::move(tables));
  }
  return nullptr;
}

std::shared_ptr<const PhraseMatcher> PhraseMatcher::Build(std::string_view config,
                                                          const std::filesystem::path& cache) {
  if (auto cached = FromCache(config, cache)) return cached;
  const std::string name(config);
  const PhraseCache entry(cache, name, Layout());
  auto tables = Compile(name);
  entry.Write(WriteTables(*tables));
  return std::make_shared<const PhraseMatcher>(std::move(tables));
}

std::shared_ptr<const PhraseMatcher> PhraseMatcher::Load(
    std::string_view config, const std::shared_ptr<const UserPhrases>& user) {
  if (!user) return Load(config);
  static std::mutex mutex;
  static std::map<std::pair<std::string, const UserPhrases*>, std::shared_ptr<const PhraseMatcher>>
      loaded;
  const std::lock_guard lock(mutex);
  auto& matcher = loaded[{std::string(config), user.get()}];
  if (!matcher)
    matcher = std::make_shared<const PhraseMatcher>(Compile(std::string(config), user.get()));
  return matcher;
}

std::string PhraseMatcher::Convert(std::string_view utf8) const {
  std::string converted;
  ConvertTo(utf8, converted);
  return converted;
}

// A stop stands for "?", so no key may hold one.
std::shared_ptr<const PhraseMatcher::Plan> PhraseMatcher::PlanFor(
    const CharacterStops& stops, std::vector<std::uint8_t> watched) const {
  const Survey survey = SurveyOf(*tables_);
  if (!survey.fast || survey.question_mark) return nullptr;
  return std::make_shared<const Plan>(*tables_, survey, stops, std::move(watched), true);
}

PhraseMatcher::Stop PhraseMatcher::ConvertUntilStop(std::string_view utf8, std::string& out,
                                                    const Plan& plan) const {
  return RunFast(*tables_, plan, utf8, out);
}

bool PhraseMatcher::ConvertTo(std::string_view utf8, std::string& out,
                              const std::vector<std::uint8_t>* watched) const {
  if (watched == nullptr) {
    if (const Plan* plan = DefaultPlan()) {
      RunFast(*tables_, *plan, utf8, out);
      return false;
    }
  }
  out.reserve(out.size() + utf8.size() + utf8.size() / 8);
  TextOut text_out(out);
  return Run(*tables_, utf8, text_out, watched);
}

std::vector<std::uint8_t> PhraseMatcher::ValuesWith(
    const std::function<bool(char32_t)>& flag) const {
  const Tables& t = *tables_;
  std::vector<std::uint8_t> flagged(t.values.size());
  for (std::size_t v = 0; v < t.values.size(); ++v) {
    const Value& value = t.values[v];
    const auto* cps = t.cp_pool.data() + value.cps;
    // A folded value is written in place of the value itself.
    const std::u32string folded =
        t.fold_last
            ? StrictDecode({}, std::string(t.utf8_pool.substr(value.folded, value.folded_length)))
            : std::u32string();
    flagged[v] = std::any_of(cps, cps + value.cp_length, flag) ||
                 std::any_of(folded.begin(), folded.end(), flag);
  }
  return flagged;
}

PhraseMatcher::Segmented PhraseMatcher::Segment(std::string_view utf8, std::size_t from,
                                                const CharacterStops& as_question_mark) const {
  const Tables& t = *tables_;
  std::u32string chars;
  std::vector<std::size_t> starts;  // of each character in `utf8`
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  std::size_t pos = from;
  for (char32_t cp = 0; pos < utf8.size(); pos += kOpenCcLeadLength[p[pos]]) {
    if (OpenCcCharAt(p, pos, utf8.size(), cp) == 0) break;
    chars.push_back(as_question_mark.Stops(cp) ? U'?' : cp);
    starts.push_back(pos);
  }
  starts.push_back(pos);
  // A character cut off by the end of the text may still be completed by what comes.
  const std::size_t lead_length = pos < utf8.size() ? kOpenCcLeadLength[p[pos]] : 0;
  const bool invalid = pos < utf8.size() &&
                       (lead_length == 0 || lead_length > 4 || pos + lead_length <= utf8.size());
  Segmented walked{std::string_view::npos, from, invalid};
  for (std::size_t i = 0; i < chars.size();) {
    bool cut = false;  // a longer key might match once more text comes
    const Match match = t.Longest(chars.data() + i, chars.size() - i, t.segmentation, &cut);
    if (cut) break;
    if (match.length != 0) {
      if (starts[i] != 0) walked.phrase_end = starts[i];
      i += match.length;
      walked.phrase_end = starts[i];
    } else {
      ++i;
    }
    walked.resume = starts[i];
  }
  return walked;
}

CharacterStops PhraseMatcher::KeyCharacters() const {
  const Tables& t = *tables_;
  CharacterStops held;
  held.beyond_bmp = true;
  for (char32_t c = 0; c < 0x10000; ++c)
    if (t.bmp[c].length != 0) held.Add(c);
  for (const Slot& slot : t.slots)
    if (slot.info.length != 0 && slot.last < 0x10000) held.Add(slot.last);
  return held;
}

void PhraseMatcher::Map(std::string_view utf8, const MappedPieceSink& sink) const {
  std::call_once(key_characters_built_, [this] { key_characters_ = KeyCharacters(); });
  PieceOut out(sink, key_characters_);
  Run(*tables_, utf8, out);
  out.Flush();
}

}  // namespace tessaly
