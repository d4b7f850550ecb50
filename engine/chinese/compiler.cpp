#include "engine/chinese/compiler.h"

#include <sys/stat.h>
#include <opencc/DartsDict.hpp>
#include <opencc/DictEntry.hpp>
#include <opencc/Exception.hpp>
#include <opencc/Lexicon.hpp>
#include <opencc/MarisaDict.hpp>
#include <opencc/TextDict.hpp>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/chinese/general_path.h"
#include "engine/chinese/opencc_config.h"
#include "engine/chinese/opencc_data.h"
#include "engine/detail/utf8.h"
#include "engine/errors.h"

// The configuration is read here (opencc_config.cpp), the dictionary files through libopencc.
// Every dictionary of the configuration goes into one trie: single BMP characters in a direct
// table, longer keys and prefixes in an open-addressing hash keyed by parent and character behind
// a bit filter of two-character prefixes, values in one pool.
namespace tessaly::detail {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void Unavailable(const std::string& config, const std::string& why) {
  throw ChineseMappingUnavailable("cannot load " + config + ": " + why);
}

}  // namespace

std::u32string DecodeDictionaryText(const std::string& config, const std::string& text) {
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

namespace {

class Compiler {
 public:
  Compiler(std::string config, PhraseTables& tables) : config_(std::move(config)), t_(tables) {
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
  /// Compiles the chains of `config`, whose dictionaries `load` gives, with `user`'s phrases
  /// first where it segments and where its chain begins.
  void Add(const OpenCcConfig& config,
           const std::function<opencc::DictPtr(const DictionaryNode&)>& load,
           const opencc::DictPtr& user, bool opencc14) {
    load_ = load;
    t_.ids_units = opencc14;
    Normalization(config.normalization);
    std::vector<Group>& steps = t_.owned.steps;
    for (const DictionaryNode& step : config.chain) Flatten(step, steps.emplace_back());
    if (config.segmentation) {
      Flatten(*config.segmentation, t_.segmentation);
    } else if (steps.size() == 1) {
      SegmentLikeOnlyStep();
    }
    if (user) {
      const auto d = Leaf(user, "user phrases");
      t_.segmentation = First(d, t_.segmentation);
      if (!steps.empty()) steps.front() = First(d, steps.front());
    }
    for (std::size_t d = 0; d < leaves_.size(); ++d) AddLexicon(*leaves_[d], d);
    Finish();
  }

 private:
  // The group with `dict` as a member of its own before the others.
  static Group First(std::uint8_t dict, const Group& group) {
    Group first;
    first.Add(dict);
    for (std::size_t m = 0; m < group.members; ++m) {
      bool joins = false;
      for (std::size_t i = 0; i < group.size; ++i) {
        if (!(group.member_masks[m] >> group.order[i] & 1)) continue;
        first.Add(group.order[i], joins);
        joins = true;
      }
    }
    return first;
  }

  // Without a segmentation OpenCC takes the whole text as one segment through the chain. With one
  // step, that is the same as segmenting by the step's first member when the others hold single
  // characters only: a key of theirs can reach over no phrase of the first. Else by the whole
  // step, whose phrases then are the segments.
  void SegmentLikeOnlyStep() {
    const Group& step = t_.owned.steps.front();
    unsigned rest = step.mask & ~unsigned{step.member_masks[0]};
    bool single = true;
    for (std::size_t d = 0; d < leaves_.size(); ++d)
      if ((rest >> d & 1) && LongestKey(*leaves_[d]->GetLexicon()) > 1) single = false;
    t_.segmentation = single ? step.Without(rest) : step;
  }

  std::size_t LongestKey(const opencc::Lexicon& lexicon) const {
    std::size_t longest = 0;
    for (const auto& entry : lexicon)
      longest = std::max(longest, DecodeDictionaryText(config_, entry->Key()).size());
    return longest;
  }

  std::uint8_t Leaf(const opencc::DictPtr& dict, const std::string& id) {
    const auto found = std::find(leaf_ids_.begin(), leaf_ids_.end(), id);
    if (found != leaf_ids_.end()) return static_cast<std::uint8_t>(found - leaf_ids_.begin());
    if (leaves_.size() == kMaxDicts) Unavailable(config_, "more than 8 dictionaries");
    leaves_.push_back(dict);
    leaf_ids_.push_back(id);
    return static_cast<std::uint8_t>(leaves_.size() - 1);
  }

  std::uint8_t Leaf(const DictionaryNode& node) {
    // A file read once however often it is named, as OpenCC shares it; inline ones each apart.
    const std::string id = node.kind == DictionaryNode::Kind::File
                               ? node.type + ':' + node.file.string()
                               : "inline " + std::to_string(++inline_count_);
    const auto found = std::find(leaf_ids_.begin(), leaf_ids_.end(), id);
    if (found != leaf_ids_.end()) return static_cast<std::uint8_t>(found - leaf_ids_.begin());
    return Leaf(load_(node), id);
  }

  // A short_circuit group's members follow one another; a union is one member.
  void Flatten(const DictionaryNode& node, Group& group) {
    if (node.kind != DictionaryNode::Kind::Group) {
      group.Add(Leaf(node));
    } else if (node.policy == MatchPolicy::ShortCircuit) {
      for (const DictionaryNode& member : node.members) Flatten(member, group);
    } else {
      std::vector<std::uint8_t> united;
      UnionLeaves(node, united);
      bool joins = false;
      for (const std::uint8_t d : united) {
        if (group.mask >> d & 1) continue;  // a repeat is never reached
        group.Add(d, joins);
        joins = true;
      }
    }
  }

  // The leaves of a union, which may hold unions and single dictionaries, as OpenCC flattens it.
  void UnionLeaves(const DictionaryNode& node, std::vector<std::uint8_t>& leaves) {
    if (node.kind != DictionaryNode::Kind::Group) {
      leaves.push_back(Leaf(node));
      return;
    }
    if (node.policy == MatchPolicy::ShortCircuit && node.members.size() > 1)
      Unavailable(config_, "a union group holds a short_circuit group of several dictionaries");
    for (const DictionaryNode& member : node.members) UnionLeaves(member, leaves);
  }

  // Normalization maps single characters to single characters, step by step; each step's
  // dictionaries are tried as a group is.
  void Normalization(const std::vector<DictionaryNode>& steps) {
    std::map<char32_t, char32_t> mapped;
    for (const DictionaryNode& step : steps) {
      std::vector<std::map<char32_t, char32_t>> members;
      NormalizationMembers(step, members);
      const auto through = [&](char32_t c) {
        for (const auto& member : members)
          if (const auto found = member.find(c); found != member.end()) return found->second;
        return c;
      };
      std::map<char32_t, char32_t> next;
      for (const auto& [from, to] : mapped) next[from] = through(to);
      for (const auto& member : members)
        for (const auto& entry : member)
          if (!mapped.contains(entry.first)) next[entry.first] = through(entry.first);
      std::erase_if(next, [](const auto& entry) { return entry.first == entry.second; });
      mapped = std::move(next);
    }
    for (const auto& [from, to] : mapped) {
      t_.owned.norm_from.push_back(from);
      t_.owned.norm_to.push_back(to);
      if (from < 0x10000) t_.owned.norm_bmp[from / 64] |= std::uint64_t{1} << (from % 64);
    }
  }

  // The dictionaries of a normalization union, which stay out of the trie.
  void NormalizationLeaves(const DictionaryNode& node, std::vector<opencc::DictPtr>& dicts) {
    if (node.kind != DictionaryNode::Kind::Group) {
      dicts.push_back(load_(node));
      return;
    }
    if (node.policy == MatchPolicy::ShortCircuit && node.members.size() > 1)
      Unavailable(config_, "a union group holds a short_circuit group of several dictionaries");
    for (const DictionaryNode& member : node.members) NormalizationLeaves(member, dicts);
  }

  // A normalization step's members in order, each a map (a union's first dictionary wins a key
  // two hold, its longest match being as long).
  void NormalizationMembers(const DictionaryNode& node,
                            std::vector<std::map<char32_t, char32_t>>& members) {
    if (node.kind == DictionaryNode::Kind::Group && node.policy == MatchPolicy::ShortCircuit) {
      for (const DictionaryNode& member : node.members) NormalizationMembers(member, members);
      return;
    }
    std::vector<opencc::DictPtr> dicts;
    NormalizationLeaves(node, dicts);
    auto& member = members.emplace_back();
    for (const opencc::DictPtr& dict : dicts) {
      for (const auto& entry : *dict->GetLexicon()) {
        const std::u32string key = DecodeDictionaryText(config_, entry->Key());
        const std::u32string value = DecodeDictionaryText(config_, entry->GetDefault());
        if (key.size() != 1 || value.size() != 1)
          Unavailable(config_, "its normalization maps other than one character to one");
        member.emplace(key[0], value[0]);
      }
    }
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
      const std::u32string key = DecodeDictionaryText(config_, entry->Key());
      if (key.empty() || key.size() > 255) Unavailable(config_, "a key of unusual length");
      if (key.size() > 1) phrases_ |= bit;
      if (t_.ids_units && std::any_of(key.begin(), key.end(), IsIdsOperator))
        Unavailable(config_, "a key holds an ideographic description character");
      if (std::any_of(key.begin(), key.end(), [](char32_t c) { return c < 0x80; }))
        t_.ascii_inert = false;
      if (key[0] < 0x10000) {
        std::uint8_t& longest = longest_[key[0]][d];
        longest = std::max(longest, static_cast<std::uint8_t>(key.size()));
      }
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
      const std::u32string cps = DecodeDictionaryText(config_, text);
      if (t_.ids_units && std::any_of(cps.begin(), cps.end(), IsIdsOperator))
        Unavailable(config_, "a value holds an ideographic description character");
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
      const FirstStep first = DeriveFirstStep(t_.segmentation, steps.front());
      t_.first_step_repeats_seg = first.repeats_segmentation;
      t_.first_step_unmatched = first.unmatched;
    }
    MarkStarts(t_.segmentation);
    MarkStarts(t_.first_step_unmatched);
    for (Group& step : steps) MarkStarts(step);
    t_.Bind();
    if (steps.size() >= 2 && !(steps.back().mask & phrases_)) Fold();
    Reach();
    t_.Bind();
    Chain();
    t_.Bind();
  }

  // Info::reach of each BMP character, from the longest keys noted as the dictionaries were read.
  void Reach() {
    unsigned middle = 0;
    for (const Group& step : t_.MiddleSteps()) middle |= step.mask;
    for (char32_t c = 0; c < 0x10000 && middle != 0; ++c)
      for (unsigned d = 0; d < kMaxDicts; ++d)
        if (middle >> d & 1) t_.owned.bmp[c].reach = std::max(t_.owned.bmp[c].reach, longest_[c][d]);
    longest_ = {};
  }

  // Value::chained for the values of the first step's dictionaries, taken through the rest of
  // the chain as ConvertSegment takes a phrase of the segmentation.
  void Chain() {
    const std::span<const Group> steps = t_.steps;
    unsigned later = 0;
    for (const Group& step : steps.subspan(steps.empty() ? 0 : 1)) later |= step.mask;
    if (steps.empty() || !t_.first_step_repeats_seg || (steps.front().mask & later)) return;
    const unsigned first = steps.front().mask;
    std::vector<bool> chain(t_.owned.values.size());
    const auto mark = [&](const Info& info) {
      for (unsigned d = 0; d < kMaxDicts; ++d)
        if (info.is_key & first & (1u << d)) chain[&t_.ValueOf(info, d) - t_.values.data()] = true;
    };
    for (const Info& info : t_.bmp) mark(info);
    for (const Slot& slot : t_.slots) mark(slot.info);
    // A chain of one step, or of one and a folded last, writes a value as it stands or folded.
    const bool one_step = steps.size() == (t_.fold_last ? 2u : 1u);
    Workspace w;
    std::string out;
    // Gathered apart and appended at the end: the steps read the pool's bytes as they go.
    std::string pool;
    const std::size_t base = t_.owned.utf8_pool.size();
    for (std::size_t v = 0; v < chain.size(); ++v) {
      if (!chain[v]) continue;
      Value& value = t_.owned.values[v];
      if (one_step) {
        value.chained = t_.fold_last ? value.folded : value.utf8;
        value.chained_length = t_.fold_last ? value.folded_length : value.utf8_length;
        continue;
      }
      out.clear();
      ConvertSegment(t_, Span{nullptr, 0}, &t_.values[v], w, out, nullptr);
      if (out.size() > 0xFFFF) Unavailable(config_, "a value of unusual length");
      value.chained = static_cast<std::uint32_t>(base + pool.size());
      value.chained_length = static_cast<std::uint16_t>(out.size());
      pool += out;
    }
    t_.owned.utf8_pool += pool;
    t_.chained = true;
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
        const std::size_t bit = PhraseTables::PairBit(nodes_[node.parent].last, node.last);
        t_.owned.pairs[bit / 64] |= std::uint64_t{1} << (bit % 64);
      }
    }
    t_.slots = slots;
    t_.DeriveFilters();  // before Fold and Chain, whose values come from walks too
  }

  void MarkStarts(Group& group) const {
    for (char32_t c = 0; c < 0x10000; ++c)
      if ((t_.owned.bmp[c].is_key | t_.owned.bmp[c].longer) & group.mask)
        group.starts[c / 64] |= std::uint64_t{1} << (c % 64);
  }

  const std::string config_;
  PhraseTables& t_;
  std::function<opencc::DictPtr(const DictionaryNode&)> load_;
  std::vector<opencc::DictPtr> leaves_;
  std::vector<std::string> leaf_ids_;
  int inline_count_ = 0;
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
  // Of each BMP character, by dictionary: the longest key that starts with it (Info::reach).
  std::vector<std::array<std::uint8_t, kMaxDicts>> longest_ =
      std::vector<std::array<std::uint8_t, kMaxDicts>>(0x10000);
  std::vector<Node> nodes_ = std::vector<Node>(1);  // node 0: the root
  std::vector<std::uint32_t> index_;                // node by Mix(parent, last)
  int index_shift_ = 64;
};

constexpr std::uintmax_t kMaxDictionaryFile = std::uintmax_t{256} << 20;

opencc::DictPtr FromLexicon(opencc::LexiconPtr lexicon) {
  lexicon->Sort();
  return std::make_shared<opencc::TextDict>(lexicon);
}

// A dictionary file, read whole by libopencc once it is known to be a regular file of a bounded
// size; what libopencc throws names the file.
opencc::DictPtr LoadFile(const DictionaryNode& node) {
  struct stat info {};
  const std::string path = node.file.string();
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
    throw ChineseMappingUnavailable("no dictionary file " + path);
  if (static_cast<std::uintmax_t>(info.st_size) > kMaxDictionaryFile)
    throw ChineseMappingUnavailable("dictionary file " + path + " is larger than 256 MiB");
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) throw ChineseMappingUnavailable("cannot open dictionary file " + path);
  try {
    if (node.type == "ocd2") return opencc::MarisaDict::NewFromFile(file.get());
    if (node.type == "ocd") return opencc::DartsDict::NewFromFile(file.get());
    return opencc::TextDict::NewFromFile(file.get());
  } catch (const opencc::Exception& e) {
    throw ChineseMappingUnavailable("dictionary file " + path + ": " + e.what());
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception& e) {
    throw ChineseMappingUnavailable("dictionary file " + path + ": " + e.what());
  }
}

opencc::DictPtr LoadDictionary(const DictionaryNode& node) {
  if (node.kind == DictionaryNode::Kind::File) return LoadFile(node);
  auto lexicon = std::make_shared<opencc::Lexicon>();
  for (const auto& [key, value] : node.entries)
    lexicon->Add(opencc::DictEntryFactory::New(key, value));
  return FromLexicon(lexicon);
}

// The user's phrases as a dictionary tried first where the configuration segments and where its
// chain begins, as a user would add them to OpenCC's configuration.
opencc::DictPtr UserDictionary(const UserPhrases& user) {
  auto lexicon = std::make_shared<opencc::Lexicon>();
  for (const auto& [source, targets] : user.entries)
    lexicon->Add(opencc::DictEntryFactory::New(source, targets));
  return FromLexicon(lexicon);
}

}  // namespace

bool IsIdsOperator(char32_t c) {
  return c >= 0x2FF0 && c <= 0x2FFF;
}

bool ReadsAsOpenCc14(const std::filesystem::path& config) {
  return config.parent_path() != OpenCcDataDirectory();
}

std::unique_ptr<const PhraseTables> Compile(const std::string& config, const UserPhrases* user) {
  const std::optional<fs::path> path = FindConfiguration(config);
  if (!path)
    Unavailable(config, "no such configuration (a name in " + OpenCcDataDirectory().string() +
                            ", or an absolute path)");
  const std::optional<std::string> json = ReadConfiguration(*path);
  if (!json) Unavailable(config, "not a readable configuration file of at most 1 MiB");
  auto tables = std::make_unique<PhraseTables>();
  try {
    const OpenCcConfig parsed =
        ParseOpenCcConfig(*json, path->parent_path(),
                          SplitTofuRisk(config).second ? TofuRisk::Include : TofuRisk::Skip);
    Compiler(config, *tables)
        .Add(parsed, LoadDictionary, user != nullptr ? UserDictionary(*user) : nullptr,
             ReadsAsOpenCc14(*path));
  } catch (const ChineseMappingUnavailable& e) {
    if (std::string_view(e.what()).starts_with("cannot load ")) throw;
    Unavailable(config, e.what());
  } catch (const opencc::Exception& e) {  // not a std::exception
    Unavailable(config, e.what());
  }
  return tables;
}

}  // namespace tessaly::detail
