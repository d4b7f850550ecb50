#include "engine/chinese/phrase_matcher.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <utility>

#include "engine/chinese/compiler.h"
#include "engine/chinese/fast_path.h"
#include "engine/chinese/general_path.h"
#include "engine/chinese/ids.h"
#include "engine/chinese/phrase_cache.h"
#include "engine/chinese/table_format.h"
#include "engine/chinese/tables.h"
#include "engine/detail/utf8.h"

// Hand-written because OpenCC's converter, the only packaged implementation of these rules, builds
// a string for every segment and looks every position up in a general-purpose byte trie. The
// parts: tables.h (the lookup tables), compiler.cpp (dictionaries into tables), table_format.cpp
// (tables to and from the cache), general_path.cpp and fast_path.cpp (converting); here, the
// matcher itself and the matchers each process keeps.
namespace tessaly {

using detail::FastPlan;
using detail::Match;
using detail::Slot;
using detail::Value;

PhraseMatcher::PhraseMatcher(std::unique_ptr<const Tables> tables) : tables_(std::move(tables)) {}

// Built at the first Convert: a caller that only ever converts through a plan of its own never
// pays for this one.
const PhraseMatcher::Plan* PhraseMatcher::DefaultPlan() const {
  std::call_once(plan_built_, [this] {
    const detail::Survey survey = detail::SurveyOf(*tables_);
    if (survey.fast)
      plan_ = std::make_unique<const FastPlan>(*tables_, survey, CharacterStops{},
                                               std::vector<std::uint8_t>{}, false);
  });
  return plan_.get();
}

PhraseMatcher::~PhraseMatcher() = default;

bool PhraseMatcher::ReadsDescriptionSequences() const {
  return tables_->ids_units;
}

namespace {

// What makes a list of user phrases the tables it gives: the phrases and their conversions.
std::string ContentKey(const UserPhrases& user) {
  std::string key;
  for (const auto& [source, targets] : user.entries) {
    key += source;
    for (const std::string& target : targets) key += '\t' + target;
    key += '\n';  // no phrase nor conversion holds a line break
  }
  return key;
}

}  // namespace

// A failed load is not remembered, so a later call tries again.
std::shared_ptr<const PhraseMatcher> PhraseMatcher::Load(std::string_view config,
                                                         const std::filesystem::path& cache) {
  static std::mutex mutex;
  static std::map<std::string, std::shared_ptr<const PhraseMatcher>, std::less<>> loaded;
  const std::lock_guard lock(mutex);
  if (const auto found = loaded.find(config); found != loaded.end()) return found->second;
  auto matcher = Build(config, cache);
  loaded.emplace(std::string(config), matcher);
  return matcher;
}

namespace {

// The matcher of the entry's tables, when they are there and pass every check.
std::shared_ptr<const PhraseMatcher> ReadEntry(const PhraseCache& entry) {
  if (std::shared_ptr<const CachedTables> bytes = entry.Read()) {
    if (auto tables = detail::ReadTables(std::move(bytes)))
      return std::make_shared<const PhraseMatcher>(std::move(tables));
  }
  return nullptr;
}

}  // namespace

std::shared_ptr<const PhraseMatcher> PhraseMatcher::FromCache(std::string_view config,
                                                              const std::filesystem::path& cache) {
  return ReadEntry(PhraseCache(cache, config, detail::Layout()));
}

// One entry for reading and writing: its key reads the configuration and looks at every
// dictionary file.
std::shared_ptr<const PhraseMatcher> PhraseMatcher::Build(std::string_view config,
                                                          const std::filesystem::path& cache) {
  const std::string name(config);
  const PhraseCache entry(cache, name, detail::Layout());
  if (auto cached = ReadEntry(entry)) return cached;
  auto tables = detail::Compile(name);
  entry.Write(detail::WriteTables(*tables));
  return std::make_shared<const PhraseMatcher>(std::move(tables));
}

std::shared_ptr<const PhraseMatcher> PhraseMatcher::Load(
    std::string_view config, const std::shared_ptr<const UserPhrases>& user,
    const std::filesystem::path& cache) {
  if (!user) return Load(config, cache);
  static std::mutex mutex;
  static std::map<std::pair<std::string, std::string>, std::shared_ptr<const PhraseMatcher>> loaded;
  const std::lock_guard lock(mutex);
  auto& matcher = loaded[{std::string(config), ContentKey(*user)}];
  if (!matcher)
    matcher =
        std::make_shared<const PhraseMatcher>(detail::Compile(std::string(config), user.get()));
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
  const detail::Survey survey = detail::SurveyOf(*tables_);
  if (!survey.fast || survey.question_mark) return nullptr;
  return std::make_shared<const FastPlan>(*tables_, survey, stops, std::move(watched), true);
}

PhraseMatcher::Stop PhraseMatcher::ConvertUntilStop(std::string_view utf8, std::string& out,
                                                    const Plan& plan) const {
  return detail::RunFast(*tables_, plan, utf8, out);
}

bool PhraseMatcher::ConvertTo(std::string_view utf8, std::string& out,
                              const std::vector<std::uint8_t>* watched) const {
  if (watched == nullptr) {
    if (const Plan* plan = DefaultPlan()) {
      detail::RunFast(*tables_, *plan, utf8, out);
      return false;
    }
  }
  out.reserve(out.size() + utf8.size() + utf8.size() / 8);
  return detail::ConvertText(*tables_, utf8, out, watched);
}

namespace {

// The values of `t` that hold a character for which `flag` holds; a template, as it asks about
// every character of every value.
template <typename Flag>
std::vector<std::uint8_t> FlagValues(const detail::PhraseTables& t, const Flag& flag) {
  const auto any_in = [&](std::uint32_t at, std::uint16_t length) {
    const std::string_view utf8 = t.utf8_pool.substr(at, length);
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    for (std::size_t pos = 0; pos < utf8.size();) {
      char32_t cp = 0;
      const std::size_t step = detail::OpenCcCharAt(p, pos, utf8.size(), cp);
      if (step == 0) return true;  // never so in tables that were read, but then look closer
      if (flag(cp)) return true;
      pos += step;
    }
    return false;
  };
  std::vector<std::uint8_t> flagged(t.values.size());
  for (std::size_t v = 0; v < t.values.size(); ++v) {
    const detail::Value& value = t.values[v];
    const auto* cps = t.cp_pool.data() + value.cps;
    // A folded value is written in place of the value itself, and what the whole chain makes of
    // a phrase in place of all the values the later steps would write.
    flagged[v] = std::any_of(cps, cps + value.cp_length, flag) ||
                 (t.fold_last && any_in(value.folded, value.folded_length)) ||
                 (t.chained && any_in(value.chained, value.chained_length));
  }
  return flagged;
}

}  // namespace

std::vector<std::uint8_t> PhraseMatcher::ValuesWith(
    const std::function<bool(char32_t)>& flag) const {
  return FlagValues(*tables_, flag);
}

std::vector<std::uint8_t> PhraseMatcher::ValuesWith(const CharacterStops& flag) const {
  return FlagValues(*tables_, [&flag](char32_t c) { return flag.Stops(c); });
}

PhraseMatcher::Segmented PhraseMatcher::Segment(std::string_view utf8, std::size_t from,
                                                const CharacterStops& as_question_mark) const {
  const Tables& t = *tables_;
  std::u32string chars;
  std::vector<std::size_t> starts;  // of each character in `utf8`
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  std::size_t pos = from;
  for (char32_t cp = 0; pos < utf8.size(); pos += detail::kOpenCcLeadLength[p[pos]]) {
    if (detail::OpenCcCharAt(p, pos, utf8.size(), cp) == 0) break;
    chars.push_back(as_question_mark.Stops(cp) ? U'?' : t.Normalized(cp));
    starts.push_back(pos);
  }
  starts.push_back(pos);
  // A character cut off by the end of the text may still be completed by what comes.
  const std::size_t lead_length = pos < utf8.size() ? detail::kOpenCcLeadLength[p[pos]] : 0;
  const bool invalid = pos < utf8.size() &&
                       (lead_length == 0 || lead_length > 4 || pos + lead_length <= utf8.size());
  Segmented walked{std::string_view::npos, from, invalid};
  for (std::size_t i = 0; i < chars.size();) {
    if (t.ids_units && detail::IdsArity(chars[i]) != 0) {
      // A sequence passes as one unit once it is complete; one cut off by the end of the text
      // may still be completed by what comes.
      const detail::IdsScan ids = detail::ScanIds(p + starts[i], utf8.size() - starts[i]);
      if (ids.status == detail::IdsStatus::Incomplete) break;
      if (ids.status == detail::IdsStatus::Complete) {
        const std::size_t end = starts[i] + ids.length;
        while (starts[i] < end) ++i;
        walked.resume = starts[i];
        continue;
      }
    }
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

const CharacterStops& PhraseMatcher::KeyCharacters() const {
  std::call_once(key_characters_built_, [this] {
    const Tables& t = *tables_;
    key_characters_.beyond_bmp = true;
    for (char32_t c = 0; c < 0x10000; ++c)
      if (t.bmp[c].length != 0) key_characters_.Add(c);
    for (const Slot& slot : t.slots)
      if (slot.info.length != 0 && slot.last < 0x10000) key_characters_.Add(slot.last);
    // A character normalization changes may become one a key holds; an operator joins the
    // characters of its sequence.
    for (const char32_t c : t.norm_from)
      if (c < 0x10000) key_characters_.Add(c);
    if (t.ids_units)
      for (char32_t c = 0x2FF0; c <= 0x2FFF; ++c) key_characters_.Add(c);
  });
  return key_characters_;
}

void PhraseMatcher::Map(std::string_view utf8, const MappedPieceSink& sink) const {
  detail::ConvertPieces(*tables_, utf8, sink, KeyCharacters());
}

}  // namespace tessaly
