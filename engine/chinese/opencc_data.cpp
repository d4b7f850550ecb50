#include "engine/chinese/opencc_data.h"

#include <sys/stat.h>

#include "engine/detail/file_reading.h"

namespace tessaly {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMaxConfiguration = std::size_t{1} << 20;

bool IsRegularFile(const fs::path& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool PlainRelative(std::string_view name) {
  if (name.empty() || name.front() == '/' || name.find('\\') != std::string_view::npos)
    return false;
  for (const fs::path& part : fs::path(name))
    if (part == "..") return false;
  return true;
}

// Calls `each(start, end)` for the bytes of every "file" string's value, read plainly; false
// when one is not a plain relative name.
template <typename Each>
bool ForEachFileName(std::string_view json, Each&& each) {
  constexpr std::string_view kKey = "\"file\"";
  constexpr std::string_view kSpace = " \t\r\n";
  for (std::size_t pos = json.find(kKey); pos != std::string_view::npos;
       pos = json.find(kKey, pos)) {
    pos = json.find_first_not_of(kSpace, pos + kKey.size());
    if (pos == std::string_view::npos || json[pos] != ':') continue;
    pos = json.find_first_not_of(kSpace, pos + 1);
    if (pos == std::string_view::npos || json[pos] != '"') continue;
    const std::size_t end = json.find('"', pos + 1);
    if (end == std::string_view::npos || !PlainRelative(json.substr(pos + 1, end - pos - 1)))
      return false;
    each(pos + 1, end);
    pos = end + 1;
  }
  return true;
}

std::string JsonEscaped(std::string_view text) {
  std::string escaped;
  for (const char c : text) {
    if (c == '"' || c == '\\') escaped += '\\';
    escaped += c;
  }
  return escaped;
}

}  // namespace

const fs::path& OpenCcDataDirectory() {
  static const fs::path directory = TESSALY_OPENCC_DATA_DIR;
  return directory;
}

std::optional<fs::path> FindConfiguration(std::string_view config) {
  const fs::path given{std::string(config)};
  std::vector<fs::path> candidates;
  if (given.is_absolute()) {
    candidates.push_back(given);
  } else if (!given.has_parent_path() && PlainRelative(config)) {
    candidates.push_back(OpenCcDataDirectory() / given);
    if (given.extension() != ".json")
      candidates.push_back(OpenCcDataDirectory() / (given.string() + ".json"));
  }
  for (const fs::path& candidate : candidates)
    if (IsRegularFile(candidate)) return candidate;
  return std::nullopt;
}

std::optional<std::string> ReadConfiguration(const fs::path& path) {
  const detail::Descriptor file = detail::OpenForReading(path.c_str());
  struct stat info {};
  if (file.fd() < 0 || ::fstat(file.fd(), &info) != 0 || !S_ISREG(info.st_mode))
    return std::nullopt;
  std::string text;
  if (detail::ReadAtMost(file.fd(), kMaxConfiguration + 1, text) != 0 ||
      text.size() > kMaxConfiguration)
    return std::nullopt;
  return text;
}

std::optional<std::vector<std::string>> DictionaryNames(std::string_view json) {
  std::vector<std::string> names;
  if (!ForEachFileName(json, [&](std::size_t start, std::size_t end) {
        names.emplace_back(json.substr(start, end - start));
      }))
    return std::nullopt;
  return names;
}

std::optional<std::string> WithDictionariesIn(std::string_view json, const fs::path& folder) {
  std::string rewritten;
  std::size_t copied = 0;
  if (!ForEachFileName(json, [&](std::size_t start, std::size_t end) {
        rewritten.append(json.substr(copied, start - copied));
        rewritten += JsonEscaped((folder / json.substr(start, end - start)).string());
        copied = end;
      }))
    return std::nullopt;
  rewritten.append(json.substr(copied));
  return rewritten;
}

}  // namespace tessaly
