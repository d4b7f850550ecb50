#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/errors.h"

namespace tessaly {

/// A user phrase file that is not in OpenCC's text format; the message names the file and line.
class UserPhrasesError : public Error {
 public:
  using Error::Error;
};

/// Phrases a user wants converted their own way, before a standard's dictionaries.
struct UserPhrases {
  std::string path;
  std::vector<std::pair<std::string, std::vector<std::string>>> entries;  ///< source, targets
};

/// Reads OpenCC's text format: a source, a tab, one or more space-separated targets (the first
/// is used); lines starting with "#" and empty lines are skipped. Throws UserPhrasesError naming
/// the file and line of the first malformed line, or when the file cannot be read.
std::shared_ptr<const UserPhrases> ReadUserPhrases(const std::string& path);

/// ReadUserPhrases on text already read; `path` only names it in messages.
std::shared_ptr<const UserPhrases> ParseUserPhrases(std::string_view text, const std::string& path);

}  // namespace tessaly
