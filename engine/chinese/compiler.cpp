#include "engine/chinese/compiler.h"

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

#include <algorithm>
#include <bit>
#include <filesystem>
#include <list>
#include <new>
#include <optional>
#include <stdexcept>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/chinese/opencc_data.h"
#include "engine/detail/utf8.h"
#include "engine/errors.h"

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
      const std::u32string key = DecodeDictionaryText(config_, entry->Key());
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
      const std::u32string cps = DecodeDictionaryText(config_, text);
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
        const std::size_t bit = PhraseTables::PairBit(nodes_[node.parent].last, node.last);
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
  PhraseTables& t_;
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

}  // namespace

std::unique_ptr<const PhraseTables> Compile(const std::string& config, const UserPhrases* user) {
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
  auto tables = std::make_unique<PhraseTables>();
  Compiler(config, *tables).Add(converter);
  return tables;
}

}  // namespace tessaly::detail
