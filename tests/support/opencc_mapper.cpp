#include "tests/support/opencc_mapper.h"

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
#include <new>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "engine/errors.h"

namespace tessaly {

struct OpenCcMapper::Loaded {
  opencc::ConverterPtr converter;
};

OpenCcMapper::OpenCcMapper(std::string config) : config_(std::move(config)) {}

OpenCcMapper::~OpenCcMapper() = default;

// A failed load is not remembered, so a later call tries again.
std::shared_ptr<const OpenCcMapper::Loaded> OpenCcMapper::LoadedOnce() const {
  const std::lock_guard lock(mutex_);
  if (!loaded_) {
    try {
      opencc::Config config;
      loaded_ = std::make_shared<const Loaded>(Loaded{config.NewFromFile(config_)});
    } catch (const opencc::Exception& e) {  // not a std::exception
      throw ChineseMappingUnavailable("cannot load " + config_ + ": " + e.what());
    } catch (const std::bad_alloc&) {
      throw;
    } catch (const std::exception& e) {
      throw ChineseMappingUnavailable("cannot load " + config_ + ": " + e.what());
    }
  }
  return loaded_;
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
void OpenCcMapper::Map(std::string_view utf8, const MappedPieceSink& sink) const {
  const std::shared_ptr<const Loaded> loaded = LoadedOnce();
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

}  // namespace tessaly
