#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/errors.h"

namespace tessaly {

/// Phrases a user wants converted their own way, before a standard's dictionaries.
struct UserPhrases {
  std::string path;
  std::vector<std::pair<std::string, std::vector<std::string>>> entries;  ///< source, targets
};

/// Reads OpenCC's text format from a regular file of at most 64 MiB: a source, a tab, one or more
/// space-separated targets (the first is used); lines starting with "#" and empty lines are
/// skipped, and so is a byte-order mark at the start. Throws UserPhrasesError naming the file and
/// line of the first malformed line, or the file when it cannot be read, is no regular file or is
/// too large.
std::shared_ptr<const UserPhrases> ReadUserPhrases(const std::string& path);

/// ReadUserPhrases on text already read; `path` only names it in messages. A source holds 1 to 255
/// characters and a target at most 0xFFFF bytes, as the phrase matcher takes them.
std::shared_ptr<const UserPhrases> ParseUserPhrases(std::string_view text, const std::string& path);

}  // namespace tessaly
