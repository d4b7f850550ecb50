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
// Keyed by the matcher, which Load keeps for the whole process: the same phrases in another list
// share it, and a new list can never be taken for an old one freed at the same address.
const ChineseMapper& StandardMapper(std::string_view config,
                                    const std::shared_ptr<const UserPhrases>& user,
                                    const std::filesystem::path& cache) {
  std::shared_ptr<const PhraseMatcher> matcher = PhraseMatcher::Load(config, user, cache);
  static std::mutex mutex;
  static std::map<const PhraseMatcher*, std::unique_ptr<const PhraseMapper>> mappers;
  const std::lock_guard lock(mutex);
  auto& mapper = mappers[matcher.get()];
  if (!mapper) mapper = std::make_unique<const PhraseMapper>(std::move(matcher));
  return *mapper;
}

}  // namespace tessaly
