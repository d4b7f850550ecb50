#include "engine/chinese/table_format.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

#include "engine/detail/utf8.h"

// Compiled tables as bytes, for the cache: every field is plain data, listed once for both ways.
namespace tessaly::detail {
namespace {

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
  io.Plain(t.ids_units);
  io.Plain(t.chained);
  io.Vector(t.norm_from);
  io.Vector(t.norm_to);
  io.Vector(t.norm_bmp);
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

// A group names dictionaries that exist, once each, in members that share none and cover them
// all; `first` gives for every set of them found one of its first member in the set, and `tied`
// the rest of that member in the set, which the lookup then reads.
bool GroupFits(const Group& group) {
  if (group.size > kMaxDicts || group.members > group.size) return false;
  if ((group.members == 0) != (group.size == 0)) return false;
  unsigned mask = 0;
  for (std::size_t i = 0; i < group.size; ++i) {
    if (group.order[i] >= kMaxDicts || (mask >> group.order[i] & 1)) return false;
    mask |= 1u << group.order[i];
  }
  if (mask != group.mask) return false;
  unsigned covered = 0;
  for (std::size_t m = 0; m < kMaxDicts; ++m) {
    const unsigned member = group.member_masks[m];
    if ((m < group.members) != (member != 0) || (member & covered) != 0) return false;
    covered |= member;
  }
  if (covered != mask) return false;
  for (unsigned found = 1; found < 256; ++found) {
    if ((found & mask) != found) continue;
    if (!(found >> group.first[found] & 1) || (group.tied[found] & ~found) != 0 ||
        (group.tied[found] >> group.first[found] & 1))
      return false;
  }
  return true;
}

bool SameDictionaries(const Group& a, const Group& b) {
  return a.mask == b.mask && a.size == b.size && a.order == b.order && a.members == b.members &&
         a.member_masks == b.member_masks;
}

bool DerivedGroupsFit(const PhraseTables& t) {
  const FirstStep derived = DeriveFirstStep(t.segmentation, t.steps.front());
  return t.first_step_repeats_seg == derived.repeats_segmentation &&
         SameDictionaries(t.first_step_unmatched, derived.unmatched);
}

// Normalization maps scalar values, ascending, each to another; the BMP bits are those of its
// BMP characters.
bool NormalizationFits(const PhraseTables& t) {
  if (t.norm_from.size() != t.norm_to.size() || t.norm_bmp.size() != 0x10000 / 64) return false;
  const auto scalar = [](char32_t c) { return c < 0x110000 && (c < 0xD800 || c > 0xDFFF); };
  std::vector<std::uint64_t> bits(0x10000 / 64);
  for (std::size_t i = 0; i < t.norm_from.size(); ++i) {
    const char32_t from = t.norm_from[i];
    if (!scalar(from) || !scalar(t.norm_to[i]) || t.norm_to[i] == 0 || from == t.norm_to[i] ||
        (i > 0 && t.norm_from[i - 1] >= from))
      return false;
    if (from < 0x10000) bits[from / 64] |= std::uint64_t{1} << (from % 64);
  }
  return std::equal(bits.begin(), bits.end(), t.norm_bmp.begin());
}

// A slot's length is its depth in the trie: one more than its parent's. A match's length is
// read from there, and the text is stepped by it.
bool SlotFits(const PhraseTables& t, const Slot& slot) {
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
bool ValueFits(const PhraseTables& t, const Value& v) {
  if (v.cps + std::size_t{v.cp_length} > t.cp_pool.size() ||
      v.utf8 + std::size_t{v.utf8_length} > t.utf8_pool.size() ||
      v.folded + std::size_t{v.folded_length} > t.utf8_pool.size() ||
      v.chained + std::size_t{v.chained_length} > t.utf8_pool.size())
    return false;
  if (!WellFormedUtf8(t.utf8_pool.substr(v.folded, v.folded_length)) ||
      !WellFormedUtf8(t.utf8_pool.substr(v.chained, v.chained_length)))
    return false;
  // Read without a copy: this runs for every value each time an entry is read.
  const std::string_view utf8 = t.utf8_pool.substr(v.utf8, v.utf8_length);
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  std::size_t i = 0;
  for (std::size_t pos = 0; pos < utf8.size(); ++i) {
    char32_t cp = 0;
    const std::size_t length = OpenCcCharAt(p, pos, utf8.size(), cp);
    if (length == 0 || cp == 0 || i == v.cp_length || t.cp_pool[v.cps + i] != cp) return false;
    pos += length;
  }
  return i == v.cp_length;
}

// Whether every index and length a lookup reads stays inside the tables and means what the
// compiler meant by it, so that no lookup can leave them, whatever the bytes were.
bool Consistent(const PhraseTables& t) {
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
  if (t.chained && !t.first_step_repeats_seg) return false;
  if (!t.steps.empty() && !DerivedGroupsFit(t)) return false;
  if (!NormalizationFits(t)) return false;
  return std::all_of(t.bmp.begin(), t.bmp.end(), bmp_fits) &&
         std::all_of(
             t.slots.begin(), t.slots.end(),
             [&](const Slot& slot) { return values_fit(slot.info) && SlotFits(t, slot); }) &&
         std::all_of(t.values.begin(), t.values.end(),
                     [&](const Value& v) { return ValueFits(t, v); }) &&
         // An empty slot ends every probe, so a full table would never end one.
         std::any_of(t.slots.begin(), t.slots.end(),
                     [](const Slot& slot) { return slot.info.length == 0; }) &&
         GroupFits(t.segmentation) && GroupFits(t.first_step_unmatched) &&
         std::all_of(t.steps.begin(), t.steps.end(), GroupFits);
}

}  // namespace

std::string Layout() {
  return "tables 4, info " + std::to_string(sizeof(Info)) + ", slot " +
         std::to_string(sizeof(Slot)) + ", value " + std::to_string(sizeof(Value)) + ", group " +
         std::to_string(sizeof(Group)) + ", dictionaries " + std::to_string(kMaxDicts) +
         ", pair bits " + std::to_string(kPairBits) + ", opencc " TESSALY_OPENCC_VERSION;
}

std::string WriteTables(const PhraseTables& t) {
  TablesWriter writer;
  Fields(writer, t);
  return std::move(writer).Take();
}

std::unique_ptr<const PhraseTables> ReadTables(std::shared_ptr<const CachedTables> entry) {
  auto tables = std::make_unique<PhraseTables>();
  TablesReader reader(entry->bytes());
  Fields(reader, *tables);
  if (!reader.Finished() || !Consistent(*tables)) return nullptr;
  tables->DeriveFilters();
  tables->mapping = std::move(entry);
  return tables;
}

}  // namespace tessaly::detail
