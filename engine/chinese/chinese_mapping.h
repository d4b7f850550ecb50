#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "engine/errors.h"
#include "engine/chinese/user_phrases.h"

namespace tessaly {

/// Which way a simplified/traditional mapping goes.
enum class ChineseDirection { SimplifiedToTraditional, TraditionalToSimplified };

/// Receives a mapping piece by piece, in order: how many bytes of the source the piece covers and
/// what they became, both UTF-8.
using MappedPieceSink = std::function<void(std::size_t source_bytes, std::string_view mapped)>;

/// Maps Chinese text between simplified and traditional characters, phrase by phrase.
class ChineseMapper {
 public:
  virtual ~ChineseMapper() = default;

  /// Maps UTF-8 text; the pieces handed to `sink` cover the whole text, each one a phrase or a
  /// run of characters mapped on their own. Throws on any failure.
  virtual void Map(std::string_view utf8, ChineseDirection direction,
                   const MappedPieceSink& sink) const = 0;
};

/// The mapper on OpenCC's configurations; each one is loaded on first use and then reused.
class OpenCcMapper final : public ChineseMapper {
 public:
  /// Configuration files: a bare name is looked up in OpenCC's data directory.
  OpenCcMapper(std::string simplified_to_traditional, std::string traditional_to_simplified);
  ~OpenCcMapper() override;

  /// Maps with the direction's configuration; throws ChineseMappingUnavailable when it cannot load.
  void Map(std::string_view utf8, ChineseDirection direction,
           const MappedPieceSink& sink) const override;

 private:
  struct Loaded;
  std::shared_ptr<const Loaded> LoadedFor(ChineseDirection direction) const;

  const std::array<std::string, 2> configs_;
  mutable std::mutex mutex_;
  mutable std::array<std::shared_ptr<const Loaded>, 2> loaded_;
};

/// The mapper on the engine's own phrase matcher, which reads OpenCC's configurations and
/// dictionaries but does not run OpenCC's converter; each configuration loads on first use.
class PhraseMapper final : public ChineseMapper {
 public:
  /// Configuration files: a bare name is looked up in OpenCC's data directory.
  PhraseMapper(std::string simplified_to_traditional, std::string traditional_to_simplified);

  /// Maps with the direction's configuration; throws ChineseMappingUnavailable when it cannot load.
  void Map(std::string_view utf8, ChineseDirection direction,
           const MappedPieceSink& sink) const override;

 private:
  const std::array<std::string, 2> configs_;
};

/// The process's mapper: the phrase matcher on OpenCC's s2t.json and t2s.json.
const ChineseMapper& DefaultChineseMapper();

/// The process's mapper for one OpenCC configuration (`s2tw.json`, ...), both directions alike,
/// with a user's phrases tried first when there are any.
const ChineseMapper& StandardMapper(std::string_view config,
                                    const std::shared_ptr<const UserPhrases>& user = {});

}  // namespace tessaly
