#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "engine/chinese/user_phrases.h"
#include "engine/errors.h"

namespace tessaly {

/// Receives a mapping piece by piece, in order: how many bytes of the source the piece covers and
/// what they became, both UTF-8.
using MappedPieceSink = std::function<void(std::size_t source_bytes, std::string_view mapped)>;

/// Maps Chinese text by one simplified/traditional standard, phrase by phrase.
class ChineseMapper {
 public:
  virtual ~ChineseMapper() = default;

  /// Maps UTF-8 text; the pieces handed to `sink` cover the whole text, each one a phrase or a
  /// run of characters mapped on their own. Throws on any failure.
  virtual void Map(std::string_view utf8, const MappedPieceSink& sink) const = 0;
};

/// The process's mapper for one OpenCC configuration (`s2t.json`, `s2tw.json`, ...) on the
/// engine's own phrase matcher, with a user's phrases tried first when there are any; throws
/// ChineseMappingUnavailable when the configuration cannot be loaded.
const ChineseMapper& StandardMapper(std::string_view config,
                                    const std::shared_ptr<const UserPhrases>& user = {},
                                    const std::filesystem::path& cache = {});

}  // namespace tessaly
