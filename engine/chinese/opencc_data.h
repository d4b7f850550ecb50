#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

/// The folder the OpenCC configurations and dictionaries come from (Debian's libopencc-data).
const std::filesystem::path& OpenCcDataDirectory();

/// The configuration file `config` names: a bare name (`s2t` or `s2t.json`) in the data folder,
/// or an absolute path; none for a relative path with a folder in it, or where there is no
/// regular file. The working directory is never looked in.
std::optional<std::filesystem::path> FindConfiguration(std::string_view config);

/// A configuration's text, read from a regular file of at most a mebibyte; none otherwise.
std::optional<std::string> ReadConfiguration(const std::filesystem::path& path);

}  // namespace tessaly
