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

}  // namespace

const fs::path& OpenCcDataDirectory() {
  static const fs::path directory = TESSALY_OPENCC_DATA_DIR;
  return directory;
}

const std::optional<fs::path>& BundledDataDirectory() {
  static const std::optional<fs::path> directory = []() -> std::optional<fs::path> {
    std::vector<fs::path> candidates;
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    if (!error) candidates.push_back(program.parent_path().parent_path() / "share/tessaly/opencc");
    candidates.emplace_back(TESSALY_BUNDLED_DATA_BUILD_DIR);
    candidates.emplace_back(TESSALY_BUNDLED_DATA_INSTALL_DIR);
    for (const fs::path& candidate : candidates)
      if (IsRegularFile(candidate / "s2t.json")) return candidate;
    return std::nullopt;
  }();
  return directory;
}

std::string_view BundledDataVersion() {
  return TESSALY_BUNDLED_DATA_VERSION;
}

std::string_view SystemDataVersion() {
  return TESSALY_OPENCC_VERSION;
}

std::pair<std::string_view, bool> SplitTofuRisk(std::string_view config) {
  if (!config.ends_with(kWithTofuRisk)) return {config, false};
  return {config.substr(0, config.size() - kWithTofuRisk.size()), true};
}

std::optional<fs::path> FindConfiguration(std::string_view config) {
  config = SplitTofuRisk(config).first;
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

}  // namespace tessaly
