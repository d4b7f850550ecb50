#include "engine/options.h"

#include "engine/encodings.h"
#include "engine/errors.h"
#include "engine/modes.h"

#include <utility>

namespace tessaly {
namespace {

constexpr std::pair<std::string_view, SeparatorStyle> kSeparators[] = {
    {"none", SeparatorStyle::SeparatorNone},   {"space", SeparatorStyle::SeparatorSpace},
    {"comma", SeparatorStyle::SeparatorComma}, {"dot", SeparatorStyle::SeparatorDot},
    {"0x", SeparatorStyle::SeparatorHexList},
};

constexpr std::pair<std::string_view, LineBreaks> kNewlines[] = {
    {"as-is", LineBreaks::AsIs},
    {"crlf", LineBreaks::CrLf},
};

constexpr std::pair<std::string_view, bool DeletionOptions::*> kDeletionClasses[] = {
    {"spaces", &DeletionOptions::DeleteSpaces},       {"dots", &DeletionOptions::DeleteDots},
    {"commas", &DeletionOptions::DeleteCommas},       {"tabs", &DeletionOptions::DeleteTabs},
    {"newlines", &DeletionOptions::DeleteLineBreaks},
};

template <typename Table>
std::string ValidNames(const Table& table) {
  std::string names;
  for (const auto& [name, value] : table) names += (names.empty() ? "" : ", ") + std::string(name);
  return names;
}

template <typename Table>
std::vector<std::string_view> Names(const Table& table) {
  std::vector<std::string_view> names;
  for (const auto& [name, value] : table) names.push_back(name);
  return names;
}

template <typename Table>
auto Lookup(const Table& table, std::string_view word, std::string_view what) {
  for (const auto& [name, value] : table)
    if (name == word) return value;
  throw InvalidOption("unknown " + std::string(what) + " '" + std::string(word) +
                      "'; valid: " + ValidNames(table));
}

}  // namespace

ConversionMode ParseMode(std::string_view word) {
  if (const ModeInfo* mode = FindMode(word)) return mode->id;
  std::string names;
  for (const ModeInfo& mode : ModeTable())
    names += (names.empty() ? "" : ", ") + std::string(mode.cli_name);
  throw InvalidOption("unknown mode '" + std::string(word) + "'; valid: " + names);
}

SeparatorStyle ParseSeparator(std::string_view word) {
  return Lookup(kSeparators, word, "separator");
}

DeletionOptions ParseDeletion(std::string_view list) {
  if (list == "all") return DeletionOptions::All();
  DeletionOptions options;
  if (list == "none") return options;
  while (true) {
    const std::size_t comma = list.find(',');
    const std::string_view word = list.substr(0, comma);
    if (word == "all" || word == "none")
      throw InvalidOption("'" + std::string(word) +
                          "' cannot be combined with other deletion classes");
    options.*Lookup(kDeletionClasses, word, "deletion class") = true;
    if (comma == std::string_view::npos) return options;
    list.remove_prefix(comma + 1);
  }
}

LineBreaks ParseNewlines(std::string_view word) {
  return Lookup(kNewlines, word, "line-break treatment");
}

Encoding ParseEncoding(std::string_view word) {
  if (const auto encoding = FindEncoding(word)) return *encoding;
  std::string names;
  for (const EncodingInfo& info : EncodingTable())
    names += (names.empty() ? "" : ", ") + std::string(info.name);
  throw InvalidOption("unknown encoding '" + std::string(word) + "'; valid: " + names);
}

std::vector<std::string_view> SeparatorWords() {
  return Names(kSeparators);
}

std::vector<std::string_view> DeletionWords() {
  std::vector<std::string_view> words = {"all", "none"};
  for (const std::string_view name : Names(kDeletionClasses)) words.push_back(name);
  return words;
}

std::vector<std::string_view> NewlinesWords() {
  return Names(kNewlines);
}

std::string_view SeparatorWord(SeparatorStyle style) {
  for (const auto& [name, value] : kSeparators)
    if (value == style) return name;
  return "none";
}

std::string DeletionList(const DeletionOptions& deletion) {
  std::string list;
  for (const auto& [name, flag] : kDeletionClasses)
    if (deletion.*flag) list += (list.empty() ? "" : ",") + std::string(name);
  return list.empty() ? "none" : list;
}

// Deleting is for reshaping listings: a text loses nothing unless asked.
DeletionOptions DefaultDeletion(const ModeInfo& mode) {
  return mode.reads == ModeReads::Listing ? DeletionOptions::All() : DeletionOptions{};
}

}  // namespace tessaly
