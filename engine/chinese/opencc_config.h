#pragma once

// An OpenCC configuration read as OpenCC 1.4 reads it (JSON with comments and trailing commas):
// the normalization chain, the segmentation, the conversion chain and their dictionary groups.
// Older configurations read the same way.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessaly::detail {

/// How a group of dictionaries picks its match: the first member with any match gives its
/// longest (OpenCC's `short_circuit`, the default), or the longest of all members (`union`).
enum class MatchPolicy { ShortCircuit, Union };

/// A dictionary of a configuration: a file, entries given inline, or a group of dictionaries.
struct DictionaryNode {
  enum class Kind { File, Inline, Group };
  Kind kind = Kind::File;
  std::string type;                                          // "ocd2", "ocd" or "text"
  std::filesystem::path file;                                // absolute, in the config's folder
  std::vector<std::pair<std::string, std::string>> entries;  // inline: key, value
  MatchPolicy policy = MatchPolicy::ShortCircuit;            // group
  std::vector<DictionaryNode> members;                       // group
};

/// A configuration: each step of a chain is one dictionary (or group) applied over its text.
struct OpenCcConfig {
  std::string name;
  std::vector<DictionaryNode> normalization;   // applied to the whole text first
  std::optional<DictionaryNode> segmentation;  // none: the whole text is one segment
  std::vector<DictionaryNode> chain;
};

/// Whether dictionaries flagged `may_output_tofu` are read into the chains (the segmentation
/// always reads them, as OpenCC does).
enum class TofuRisk { Skip, Include };

/// The configuration in `json`, whose dictionary files lie in `folder`; throws
/// ChineseMappingUnavailable saying what is wrong.
OpenCcConfig ParseOpenCcConfig(std::string_view json, const std::filesystem::path& folder,
                               TofuRisk tofu = TofuRisk::Skip);

/// Every dictionary file `config` names, once each, in the order they first appear.
std::vector<std::filesystem::path> DictionaryFiles(const OpenCcConfig& config);

}  // namespace tessaly::detail
