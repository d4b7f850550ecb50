#pragma once

// OpenCC's own converter behind the engine's mapper interface, to check and time the phrase
// matcher against.
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "engine/chinese/chinese_mapping.h"

namespace tessaly {

/// The mapper on one OpenCC configuration, loaded on first use and then reused.
class OpenCcMapper final : public ChineseMapper {
 public:
  /// A configuration file: a bare name is looked up in OpenCC's data directory.
  explicit OpenCcMapper(std::string config);
  ~OpenCcMapper() override;

  /// Maps with OpenCC's converter; throws ChineseMappingUnavailable when it cannot load.
  void Map(std::string_view utf8, const MappedPieceSink& sink) const override;

 private:
  struct Loaded;
  std::shared_ptr<const Loaded> LoadedOnce() const;

  const std::string config_;
  mutable std::mutex mutex_;
  mutable std::shared_ptr<const Loaded> loaded_;
};

}  // namespace tessaly
