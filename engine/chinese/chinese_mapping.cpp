#include "engine/chinese/chinese_mapping.h"

#include <map>
#include <mutex>
#include <utility>

#include "engine/chinese/phrase_matcher.h"

namespace tessaly {
namespace {

// One configuration's matcher.
class PhraseMapper final : public ChineseMapper {
 public:
  explicit PhraseMapper(std::shared_ptr<const PhraseMatcher> matcher)
      : matcher_(std::move(matcher)) {}
  void Map(std::string_view utf8, const MappedPieceSink& sink) const override {
    matcher_->Map(utf8, sink);
  }

 private:
  std::shared_ptr<const PhraseMatcher> matcher_;
};

}  // namespace

// A mapper that cannot load is not kept, so a later call tries again.
const ChineseMapper& StandardMapper(std::string_view config,
                                    const std::shared_ptr<const UserPhrases>& user) {
  static std::mutex mutex;
  static std::map<std::pair<std::string, const UserPhrases*>, std::unique_ptr<const PhraseMapper>>
      mappers;
  const std::lock_guard lock(mutex);
  auto& mapper = mappers[{std::string(config), user.get()}];
  if (!mapper) mapper = std::make_unique<const PhraseMapper>(PhraseMatcher::Load(config, user));
  return *mapper;
}

}  // namespace tessaly
