#pragma once

// The phrase matcher's compiled tables: every dictionary of a configuration in one trie, and the
// dictionary groups that its segmentation and each step of its conversion chain try.
#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly::detail {

inline constexpr std::size_t kMaxDicts = 8;
// Characters OpenCC steps over that are not well-formed UTF-8 carry an index to their bytes
// from here on; no key holds one.
inline constexpr char32_t kRawBase = 0x80000000;
inline constexpr int kPairBits = 20;

// What a key, or a proper prefix of one, says; kept inline in the tables that are probed.
struct Info {
  std::uint32_t values = 0;  // first of popcount(is_key) values, in dictionary order
  std::uint8_t is_key = 0;   // bit d: dictionary d has this key
  std::uint8_t longer = 0;   // bit d: dictionary d has a longer key starting with this one
  std::uint8_t length = 0;   // in characters; 0 for an empty slot
  // Of a BMP character: the longest key that starts with it among the dictionaries of the steps
  // between the first and a folded last one, in characters; 0 elsewhere.
  std::uint8_t reach = 0;
};

// A key or prefix of two or more characters, or of one beyond the BMP, in an open-addressing
// hash: its parent's id and its last character identify it, so a probe is one load and no string
// compare. A BMP character's id is the character; a slot's is 0x10000 plus its position.
struct Slot {
  std::uint32_t parent = 0;
  char32_t last = 0;
  Info info;
};

inline constexpr std::uint32_t kRoot = 0xFFFFFFFF;  // the parent of single characters
inline constexpr std::size_t kNoSlot = ~std::size_t{0};

struct Value {
  std::uint32_t cps = 0;
  std::uint32_t utf8 = 0;
  std::uint32_t folded = 0;  // UTF-8 after a last step of single characters, when it is folded in
  std::uint16_t cp_length = 0;
  std::uint16_t utf8_length = 0;
  std::uint16_t folded_length = 0;
  // What the whole chain makes of a phrase of the segmentation whose value this is (UTF-8, in
  // `utf8_pool`), when PhraseTables::chained; a caller that watches values for characters
  // (PhraseMatcher::ValuesWith) watches the value for these too.
  std::uint16_t chained_length = 0;
  std::uint32_t chained = 0;
};

// Dictionaries tried in order, as OpenCC's DictGroup tries them: the first member with any match
// gives its longest one. A member is one dictionary, or several joined as a union (OpenCC 1.4's
// match_policy "union"), whose longest match wins and, of two as long, the earlier one's.
// `first[found]` is the first dictionary of the first member among those in `found`; `tied[found]`
// the others of that member in `found`, whose matches' lengths decide.
struct Group {
  std::uint8_t mask = 0;
  std::uint8_t size = 0;
  std::uint8_t members = 0;
  std::array<std::uint8_t, kMaxDicts> order{};
  std::array<std::uint8_t, kMaxDicts> member_masks{};  // the dictionaries of each member
  std::array<std::uint8_t, 256> first{};
  std::array<std::uint8_t, 256> tied{};
  std::array<std::uint8_t, 5> unused{};  // written as zero, so that an entry's bytes are defined
  // Bit c: BMP character c starts a key of the group; 8 KiB, so a step whose dictionaries are
  // small passes over most characters without touching a larger table.
  std::array<std::uint64_t, 0x10000 / 64> starts{};

  /// Whether `c` may start a key of the group (every character beyond the BMP may).
  bool MayStart(char32_t c) const { return c >= 0x10000 || (starts[c / 64] >> (c % 64) & 1); }

  /// Adds dictionary `dict` after those already in the group: as a member of its own, or to the
  /// last member's union when `joins_last`.
  void Add(std::uint8_t dict, bool joins_last = false) {
    if (mask & (1u << dict)) return;  // a repeat is never reached
    if (!joins_last || members == 0) ++members;
    mask |= 1u << dict;
    order[size++] = dict;
    member_masks[members - 1] |= 1u << dict;
    Derive();
  }

  /// The dictionaries of the members before the one `dict` belongs to.
  unsigned Before(std::uint8_t dict) const {
    unsigned before = 0;
    for (std::size_t m = 0; m < members && !(member_masks[m] >> dict & 1); ++m)
      before |= member_masks[m];
    return before;
  }

  /// The same group without the dictionaries of `removed`.
  Group Without(unsigned removed) const {
    Group group;
    for (std::size_t m = 0; m < members; ++m) {
      bool joins = false;
      for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t dict = order[i];
        if (!(member_masks[m] >> dict & 1) || (removed >> dict & 1)) continue;
        group.Add(dict, joins);
        joins = true;
      }
    }
    return group;
  }

 private:
  void Derive() {
    for (unsigned found = 1; found < 256; ++found) {
      std::size_t m = 0;
      while (m < members && !(member_masks[m] & found)) ++m;
      if (m == members) continue;
      const unsigned in_member = member_masks[m] & found;
      for (std::size_t i = 0; i < size; ++i) {
        if (in_member >> order[i] & 1) {
          first[found] = order[i];
          break;
        }
      }
      tied[found] = static_cast<std::uint8_t>(in_member & ~(1u << first[found]));
    }
  }
};

/// What the first step of the chain is at a phrase of the segmentation, and in a run of characters
/// that start none.
struct FirstStep {
  // The segmentation's members are the first step's first ones, so that its match at a phrase is
  // the first step's there.
  bool repeats_segmentation = false;
  // The first step without the segmentation's dictionaries, none of which matches in such a run
  // (the segmentation tried each of its characters).
  Group unmatched;
};

/// The first step `first` as the segmentation `seg` leaves it.
inline FirstStep DeriveFirstStep(const Group& seg, const Group& first) {
  FirstStep derived;
  derived.repeats_segmentation =
      seg.members > 0 && seg.members <= first.members && seg.size <= first.size &&
      std::equal(seg.member_masks.begin(), seg.member_masks.begin() + seg.members,
                 first.member_masks.begin()) &&
      std::equal(seg.order.begin(), seg.order.begin() + seg.size, first.order.begin());
  derived.unmatched = first.Without(seg.mask);
  return derived;
}

inline constexpr std::array<std::uint8_t, 256> kBitCount = [] {
  std::array<std::uint8_t, 256> table{};
  for (unsigned i = 1; i < 256; ++i) table[i] = static_cast<std::uint8_t>(table[i / 2] + (i & 1));
  return table;
}();

struct Match {
  std::uint32_t length = 0;
  const Value* value = nullptr;
};

/// The hash of a trie node: its parent's id and its last character.
inline std::uint64_t Mix(std::uint64_t a, std::uint64_t b) {
  return ((a << 21) ^ b) * 0x9E3779B97F4A7C15u;
}

/// A set of 64-bit hashes as a bitmap of about eight bits for each: whether one may be in it. Until
/// it is reset, anything may be.
struct BitFilter {
  std::vector<std::uint64_t> words = std::vector<std::uint64_t>(1, ~std::uint64_t{0});
  int shift = 58;

  /// Empties it for `count` hashes.
  void Reset(std::size_t count) {
    const std::size_t bits = std::bit_ceil(std::max<std::size_t>(64, count * 8));
    words.assign(bits / 64, 0);
    shift = 64 - std::countr_zero(bits);
  }
  void Add(std::uint64_t hash) {
    const auto bit = static_cast<std::size_t>(hash >> shift);
    words[bit / 64] |= std::uint64_t{1} << (bit % 64);
  }
  bool MayHave(std::uint64_t hash) const {
    const auto bit = static_cast<std::size_t>(hash >> shift);
    return (words[bit / 64] >> (bit % 64)) & 1;
  }
};

/// One configuration's compiled tables, as the compiler builds them or as a cache file holds them.
struct PhraseTables {
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
  bool first_step_repeats_seg = false;  // the first step's first members are the segmentation's
  // The last step maps single characters only, so the step before it applies it as it writes:
  // to its values ahead of time (Value::folded), and to the characters it leaves alone.
  bool fold_last = false;
  // OpenCC 1.4's reading: a complete ideographic description sequence where nothing matches
  // passes unchanged as one unit (no key or value holds an operator, the compiler makes sure).
  bool ids_units = false;
  // Value::chained is set for every value of the first step's dictionaries, which no later step
  // holds: a phrase of the segmentation is a segment of its own, so what the chain makes of it
  // depends on its value only.
  bool chained = false;
  // What each character becomes before the segmentation (OpenCC 1.4's normalization): `norm_to[i]`
  // for `norm_from[i]`, ascending; `norm_bmp` has a bit for each BMP character of `norm_from`.
  std::span<const char32_t> norm_from;
  std::span<const char32_t> norm_to;
  std::span<const std::uint64_t> norm_bmp;

  // The arrays themselves while they are compiled; empty when the views are of a mapped file.
  struct Arrays {
    std::vector<Info> bmp = std::vector<Info>(0x10000);
    std::vector<std::uint64_t> pairs = std::vector<std::uint64_t>((1u << kPairBits) / 64);
    std::vector<Slot> slots;
    std::vector<Value> values;
    std::u32string cp_pool;
    std::string utf8_pool;
    std::vector<Group> steps;
    std::u32string norm_from;
    std::u32string norm_to;
    std::vector<std::uint64_t> norm_bmp = std::vector<std::uint64_t>(0x10000 / 64);
  } owned;
  std::shared_ptr<const void> mapping;  // keeps the mapped file, if any, for the views
  // Filters derived from `slots` once they are placed (DeriveFilters), each a fraction of the
  // slots' size: a walk of Longest mostly ends at a node that is not there, which they tell
  // without the slots' cache miss.
  BitFilter nodes;      // every hashed node, by its parent and last character
  BitFilter pair_keys;  // the characters of every key of two characters
  BitFilter triples;    // the first three characters of every key of three or more

  /// Points the views at `owned`.
  void Bind() {
    bmp = owned.bmp;
    pairs = owned.pairs;
    slots = owned.slots;
    values = owned.values;
    cp_pool = owned.cp_pool;
    utf8_pool = owned.utf8_pool;
    steps = owned.steps;
    norm_from = owned.norm_from;
    norm_to = owned.norm_to;
    norm_bmp = owned.norm_bmp;
  }

  /// The steps between the first and a folded last one, if any: a character that starts none of
  /// their keys passes them unchanged.
  std::span<const Group> MiddleSteps() const {
    const std::size_t end = steps.size() - (fold_last ? 1 : 0);
    return end > 1 ? steps.subspan(1, end - 1) : std::span<const Group>();
  }

  /// Whether normalization changes `c`.
  bool Normalizes(char32_t c) const {
    if (c < 0x10000) return (norm_bmp[c / 64] >> (c % 64)) & 1;
    return !norm_from.empty() && c >= norm_from.front() && c <= norm_from.back() &&
           std::binary_search(norm_from.begin(), norm_from.end(), c);
  }

  /// What normalization makes of `c`.
  char32_t Normalized(char32_t c) const { return Normalizes(c) ? NormalForm(c) : c; }

  /// What normalization makes of `c`, which it changes.
  char32_t NormalForm(char32_t c) const {
    const auto found = std::lower_bound(norm_from.begin(), norm_from.end(), c);
    return norm_to[static_cast<std::size_t>(found - norm_from.begin())];
  }

  /// The bit of the two-character prefix filter that stands for `a` followed by `b`.
  static std::size_t PairBit(char32_t a, char32_t b) {
    return static_cast<std::size_t>(Mix(a + 0x9E37u, b) >> (64 - kPairBits));
  }

  /// Whether some key may start with `a` followed by `b`.
  bool PairMayStart(char32_t a, char32_t b) const {
    const std::size_t bit = PairBit(a, b);
    return (pairs[bit / 64] >> (bit % 64)) & 1;
  }

  static std::uint64_t NodeHash(std::uint32_t parent, char32_t c) {
    return ((std::uint64_t{parent} << 21) ^ c) * 0xD6E8FEB86659FD93u;
  }
  static std::uint64_t PairKeyHash(char32_t a, char32_t b) {
    return ((std::uint64_t{a} << 21) ^ b) * 0xA0761D6478BD642Fu;
  }
  static std::uint64_t TripleHash(char32_t a, char32_t b, char32_t c) {
    return (((std::uint64_t{a} << 21) ^ b) * 0xE7037ED1A0B428DBu ^ c) * 0x8EBC6AF09C88C6E3u;
  }

  /// Builds the filters from the slots.
  void DeriveFilters() {
    std::size_t count = 0;
    std::size_t pair_keys_count = 0;
    std::size_t triples_count = 0;
    for (const Slot& slot : slots) {
      count += slot.info.length != 0;
      pair_keys_count += slot.info.length == 2 && slot.info.is_key != 0;
      triples_count += slot.info.length == 3;
    }
    nodes.Reset(count);
    pair_keys.Reset(pair_keys_count);
    triples.Reset(triples_count);
    // The first character of a node of two characters is its parent, or that slot's character.
    const auto first = [this](std::uint32_t parent) {
      return parent < 0x10000 ? char32_t{parent} : slots[parent - 0x10000].last;
    };
    for (const Slot& slot : slots) {
      if (slot.info.length == 0) continue;
      nodes.Add(NodeHash(slot.parent, slot.last));
      if (slot.info.length == 2 && slot.info.is_key != 0)
        pair_keys.Add(PairKeyHash(first(slot.parent), slot.last));
      if (slot.info.length == 3) {
        const Slot& pair = slots[slot.parent - 0x10000];
        triples.Add(TripleHash(first(pair.parent), pair.last, slot.last));
      }
    }
  }

  /// The slot of the node with parent `parent` and last character `c`; kNoSlot when none.
  std::size_t Find(std::uint32_t parent, char32_t c) const {
    const std::size_t mask = slots.size() - 1;
    for (std::size_t i = Mix(parent, c) >> shift;; i = (i + 1) & mask) {
      const Slot& slot = slots[i];
      if (slot.info.length == 0) return kNoSlot;
      if (slot.parent == parent && slot.last == c) return i;
    }
  }

  /// Dictionary `dict`'s value of the key `info` stands for.
  const Value& ValueOf(const Info& info, unsigned dict) const {
    return values[info.values + kBitCount[info.is_key & ((1u << dict) - 1)]];
  }

  /// The group's match at the start of `s`, OpenCC's DictGroup::MatchPrefix. `cut`, when given,
  /// learns whether a longer key might have matched had `s` gone on.
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
    // No key of two characters or more: where none may start with the first two, or, of three
    // characters or more, none is the first two and none starts with the first three.
    if (!(info->longer & group.mask) || n == 1 || !PairMayStart(s[0], s[1]) ||
        (n >= 3 && !triples.MayHave(TripleHash(s[0], s[1], s[2])) &&
         !pair_keys.MayHave(PairKeyHash(s[0], s[1])))) {
      if (cut != nullptr) *cut = n == 1 && (info->longer & group.mask);
      if (found == 0) return {};
      return {1, &ValueOf(*info, group.first[found])};
    }
    std::array<const Info*, kMaxDicts> best{};
    for (unsigned m = found; m != 0; m &= m - 1) best[std::countr_zero(m)] = info;
    std::size_t k = 1;
    for (; k < n; ++k) {
      if (k >= 2 && !nodes.MayHave(NodeHash(id, s[k]))) break;
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
    unsigned dict = group.first[found];
    if (group.tied[found] != 0) {
      for (std::size_t i = 0; i < group.size; ++i) {
        const unsigned other = group.order[i];
        if ((group.tied[found] >> other & 1) && best[other]->length > best[dict]->length)
          dict = other;
      }
    }
    return {best[dict]->length, &ValueOf(*best[dict], dict)};
  }
};

}  // namespace tessaly::detail
