#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessaly {

/// The folder the OpenCC configurations and dictionaries come from (Debian's libopencc-data).
const std::filesystem::path& OpenCcDataDirectory();

/// The folder of OpenCC's current data that the build fetched and installs: `share/tessaly/opencc`
/// beside the running program's `bin` folder, else where the build tree keeps it, else under the
/// prefix it was built for; none when it is in none of them.
const std::optional<std::filesystem::path>& BundledDataDirectory();

/// The version of OpenCC the bundled data is (the pinned npm package's).
std::string_view BundledDataVersion();

/// The version of the system's OpenCC, whose data `OpenCcDataDirectory` holds.
std::string_view SystemDataVersion();

/// Said after a configuration's name, asks for the dictionaries flagged `may_output_tofu` to be
/// read into its chains too ("t2s.json#tofu-risk"): a name of its own, so that matchers and
/// cache entries of the two readings are kept apart.
inline constexpr std::string_view kWithTofuRisk = "#tofu-risk";

/// `config` without kWithTofuRisk, and whether it had it.
std::pair<std::string_view, bool> SplitTofuRisk(std::string_view config);

/// The configuration file `config` names (kWithTofuRisk set aside): a bare name (`s2t` or
/// `s2t.json`) in the data folder, or an absolute path; none for a relative path with a folder in
/// it, or where there is no regular file. The working directory is never looked in.
std::optional<std::filesystem::path> FindConfiguration(std::string_view config);

/// A configuration's text, read from a regular file of at most a mebibyte; none otherwise.
std::optional<std::string> ReadConfiguration(const std::filesystem::path& path);

}  // namespace tessaly
