#include "engine/chinese/user_phrases.h"

#include <sys/stat.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "engine/detail/file_reading.h"

namespace tessaly {
namespace {

// What the phrase matcher's compiler takes: a key of 1 to 255 characters, a value of at most
// 0xFFFF bytes. A longer one would fail the whole load with no line to point at.
constexpr std::size_t kMaxKeyChars = 255;
constexpr std::size_t kMaxValueBytes = 0xFFFF;

// An empty message when the line is well-formed UTF-8 without a zero byte.
std::string Utf8Problem(std::string_view text) {
  const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
  const auto length = static_cast<std::int64_t>(text.size());
  for (std::int64_t i = 0; i < length;) {
    UChar32 c = 0;
    U8_NEXT(data, i, length, c);
    if (c == 0) return "holds a zero byte";
    if (c < 0) return "not valid UTF-8";
  }
  return {};
}

std::size_t CharCount(std::string_view utf8) {
  return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

// A phrase list far beyond any real one; the bound keeps a wrong name from filling the memory.
constexpr std::size_t kMaxFileBytes = std::size_t{64} << 20;

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
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);  // a byte-order mark
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
    if (const std::string problem = Utf8Problem(line); !problem.empty()) fail(problem);
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) fail("no tab between the phrase and its conversion");
    const std::string_view source = line.substr(0, tab);
    if (source.empty() || source.find(' ') != std::string_view::npos)
      fail("the phrase before the tab is empty or holds a space");
    if (CharCount(source) > kMaxKeyChars)
      fail("the phrase is longer than " + std::to_string(kMaxKeyChars) + " characters");
    std::vector<std::string> targets = Targets(line.substr(tab + 1));
    if (targets.empty()) fail("no conversion after the tab");
    if (line.find('\t', tab + 1) != std::string_view::npos) fail("more than one tab");
    for (const std::string& target : targets)
      if (target.size() > kMaxValueBytes)
        fail("a conversion is longer than " + std::to_string(kMaxValueBytes) + " bytes");
    phrases->entries.emplace_back(std::string(source), std::move(targets));
  }
  return phrases;
}

// A name that is no regular file (a directory, a FIFO, /dev/zero) or a file beyond any phrase
// list is refused before it is read; the read stops one byte past the bound in case it grew.
std::shared_ptr<const UserPhrases> ReadUserPhrases(const std::string& path) {
  const auto fail = [&path](const std::string& why) { throw UserPhrasesError(path + ": " + why); };
  const auto unreadable = [](int error) {
    return "cannot be read: " + std::string(std::strerror(error));
  };
  const std::string too_large = "larger than " + std::to_string(kMaxFileBytes >> 20) +
                                " MiB, the most a phrase file may hold";
  // Non-blocking, so that a FIFO is refused at once instead of waiting for a writer.
  const detail::Descriptor file = detail::OpenForReading(path.c_str());
  struct stat info {};
  if (file.fd() < 0 || ::fstat(file.fd(), &info) != 0) fail(unreadable(errno));
  if (S_ISDIR(info.st_mode)) fail("a directory, not a phrase file");
  if (!S_ISREG(info.st_mode)) fail("not a regular file");
  if (info.st_size > static_cast<off_t>(kMaxFileBytes)) fail(too_large);
  std::string text;
  if (const int error = detail::ReadAtMost(file.fd(), kMaxFileBytes + 1, text))
    fail(unreadable(error));
  if (text.size() > kMaxFileBytes) fail(too_large);
  return ParseUserPhrases(text, path);
}

}  // namespace tessaly
