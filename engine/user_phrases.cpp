#include "engine/user_phrases.h"

#include <unicode/utf8.h>

#include <fstream>
#include <sstream>

namespace tessaly {
namespace {

bool WellFormedUtf8(std::string_view text) {
  const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
  const auto length = static_cast<std::int64_t>(text.size());
  for (std::int64_t i = 0; i < length;) {
    UChar32 c = 0;
    U8_NEXT(data, i, length, c);
    if (c <= 0) return false;  // malformed, or a zero byte
  }
  return true;
}

std::vector<std::string> Targets(std::string_view list) {
  std::vector<std::string> targets;
  std::size_t start = 0;
  while (start <= list.size()) {
    const std::size_t space = std::min(list.find(' ', start), list.size());
    if (space > start) targets.emplace_back(list.substr(start, space - start));
    start = space + 1;
  }
  return targets;
}

}  // namespace

std::shared_ptr<const UserPhrases> ParseUserPhrases(std::string_view text,
                                                    const std::string& path) {
  auto phrases = std::make_shared<UserPhrases>();
  phrases->path = path;
  std::size_t number = 0;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;
    const auto fail = [&](const std::string& what) {
      throw UserPhrasesError(path + ":" + std::to_string(number) + ": " + what);
    };
    if (!WellFormedUtf8(line)) fail("not valid UTF-8");
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) fail("no tab between the phrase and its conversion");
    const std::string_view source = line.substr(0, tab);
    if (source.empty() || source.find(' ') != std::string_view::npos)
      fail("the phrase before the tab is empty or holds a space");
    std::vector<std::string> targets = Targets(line.substr(tab + 1));
    if (targets.empty()) fail("no conversion after the tab");
    if (line.find('\t', tab + 1) != std::string_view::npos) fail("more than one tab");
    phrases->entries.emplace_back(std::string(source), std::move(targets));
  }
  return phrases;
}

std::shared_ptr<const UserPhrases> ReadUserPhrases(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw UserPhrasesError(path + ": cannot be read");
  std::ostringstream text;
  text << file.rdbuf();
  if (file.bad()) throw UserPhrasesError(path + ": cannot be read");
  return ParseUserPhrases(text.str(), path);
}

}  // namespace tessaly
