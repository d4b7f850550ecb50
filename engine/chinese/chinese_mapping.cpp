#include "engine/chinese/chinese_mapping.h"

#include "engine/chinese/phrase_matcher.h"

#include <opencc/Config.hpp>
#include <opencc/ConversionChain.hpp>
#include <opencc/Converter.hpp>
#include <opencc/Exception.hpp>
#include <opencc/Segmentation.hpp>
#include <opencc/Segments.hpp>

#include <algorithm>
#include <cstring>
#include <deque>
#include <exception>
#include <functional>
#include <future>
#include <map>
#include <new>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace tessaly {

struct OpenCcMapper::Loaded {
  opencc::ConverterPtr converter;
};

OpenCcMapper::OpenCcMapper(std::string simplified_to_traditional,
                           std::string traditional_to_simplified)
    : configs_{std::move(simplified_to_traditional), std::move(traditional_to_simplified)} {}

OpenCcMapper::~OpenCcMapper() = default;

// A failed load is not remembered, so a later call tries again.
std::shared_ptr<const OpenCcMapper::Loaded> OpenCcMapper::LoadedFor(
    ChineseDirection direction) const {
  const auto index = static_cast<std::size_t>(direction);
  const std::lock_guard lock(mutex_);
  if (!loaded_[index]) {
    try {
      opencc::Config config;
      loaded_[index] = std::make_shared<const Loaded>(Loaded{config.NewFromFile(configs_[index])});
    } catch (const opencc::Exception& e) {  // not a std::exception
      throw ChineseMappingUnavailable("cannot load " + configs_[index] + ": " + e.what());
    } catch (const std::bad_alloc&) {
      throw;
    } catch (const std::exception& e) {
      throw ChineseMappingUnavailable("cannot load " + configs_[index] + ": " + e.what());
    }
  }
  return loaded_[index];
}

namespace {

using MappedPieces = std::vector<std::pair<std::size_t, std::string>>;

// The segmentation and the conversion chain are run apart, rather than through one Convert call,
// because their segments say which source phrase became which mapped phrase.
MappedPieces MapBlock(const opencc::Converter& converter, std::string_view block) {
  opencc::SegmentsPtr source;
  opencc::SegmentsPtr mapped;
  try {
    source = converter.GetSegmentation()->Segment(std::string(block));
    mapped = converter.GetConversionChain()->Convert(source);
  } catch (const opencc::Exception& e) {  // not a std::exception
    throw MappingMismatch(std::string("OpenCC cannot map the text: ") + e.what());
  }
  if (mapped->Length() != source->Length())
    throw MappingMismatch("OpenCC returned a different number of segments");
  MappedPieces pieces;
  pieces.reserve(source->Length());
  for (std::size_t i = 0; i < source->Length(); ++i)
    pieces.emplace_back(std::strlen(source->At(i)), mapped->At(i));
  return pieces;
}

// The next block of whole lines: no phrase of the dictionaries holds a line break, so a cut
// after one changes nothing.
std::string_view TakeBlock(std::string_view& text) {
  constexpr std::size_t kBlock = 64 * 1024;
  const std::size_t line_end =
      text.size() <= kBlock ? std::string_view::npos : text.rfind('\n', kBlock);
  const std::size_t size = line_end == std::string_view::npos ? text.size() : line_end + 1;
  const std::string_view block = text.substr(0, size);
  text.remove_prefix(size);
  return block;
}

// Maps the block on a thread of its own, or when its turn comes if it is the only one or no
// thread can be had.
std::future<MappedPieces> StartBlock(const opencc::Converter& converter, std::string_view block,
                                     bool alone) {
  if (!alone) {
    try {
      return std::async(std::launch::async, MapBlock, std::cref(converter), block);
    } catch (const std::system_error&) {
    }
  }
  return std::async(std::launch::deferred, MapBlock, std::cref(converter), block);
}

}  // namespace

// OpenCC keeps every segment as a string of its own, so a long text goes in blocks, which keeps
// that small; its converters may be shared between threads, so the blocks are mapped on one
// thread per core and handed on in order.
void OpenCcMapper::Map(std::string_view utf8, ChineseDirection direction,
                       const MappedPieceSink& sink) const {
  const std::shared_ptr<const Loaded> loaded = LoadedFor(direction);
  const opencc::Converter& converter = *loaded->converter;
  const std::size_t workers = std::max(1u, std::thread::hardware_concurrency());
  std::deque<std::future<MappedPieces>> in_flight;
  while (!utf8.empty() || !in_flight.empty()) {
    while (!utf8.empty() && in_flight.size() < workers) {
      const std::string_view block = TakeBlock(utf8);
      in_flight.push_back(StartBlock(converter, block, in_flight.empty() && utf8.empty()));
    }
    for (const auto& [source_bytes, mapped] : in_flight.front().get()) sink(source_bytes, mapped);
    in_flight.pop_front();
  }
}

PhraseMapper::PhraseMapper(std::string simplified_to_traditional,
                           std::string traditional_to_simplified)
    : configs_{std::move(simplified_to_traditional), std::move(traditional_to_simplified)} {}

void PhraseMapper::Map(std::string_view utf8, ChineseDirection direction,
                       const MappedPieceSink& sink) const {
  PhraseMatcher::Load(configs_[static_cast<std::size_t>(direction)])->Map(utf8, sink);
}

const ChineseMapper& DefaultChineseMapper() {
  static const PhraseMapper mapper("s2t.json", "t2s.json");
  return mapper;
}

namespace {

// One configuration's matcher, whatever the direction asked.
class MatcherMapper final : public ChineseMapper {
 public:
  explicit MatcherMapper(std::shared_ptr<const PhraseMatcher> matcher)
      : matcher_(std::move(matcher)) {}
  void Map(std::string_view utf8, ChineseDirection, const MappedPieceSink& sink) const override {
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
  static std::map<std::pair<std::string, const UserPhrases*>, std::unique_ptr<const MatcherMapper>>
      mappers;
  const std::lock_guard lock(mutex);
  auto& mapper = mappers[{std::string(config), user.get()}];
  if (!mapper) mapper = std::make_unique<const MatcherMapper>(PhraseMatcher::Load(config, user));
  return *mapper;
}
}  // namespace tessaly
