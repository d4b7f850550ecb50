#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
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

/// The configuration file `config` names: a bare name (`s2t` or `s2t.json`) in the data folder,
/// or an absolute path; none for a relative path with a folder in it, or where there is no
/// regular file. The working directory is never looked in.
std::optional<std::filesystem::path> FindConfiguration(std::string_view config);

/// A configuration's text, read from a regular file of at most a mebibyte; none otherwise.
std::optional<std::string> ReadConfiguration(const std::filesystem::path& path);

}  // namespace tessaly
