#include "engine/chinese_mapping.h"

#include <opencc/Config.hpp>
#include <opencc/ConversionChain.hpp>
#include <opencc/Converter.hpp>
#include <opencc/Exception.hpp>
#include <opencc/Segmentation.hpp>
#include <opencc/Segments.hpp>

#include <cstring>
#include <exception>

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
    } catch (const std::exception& e) {
      throw ChineseMappingUnavailable("cannot load " + configs_[index] + ": " + e.what());
    }
  }
  return loaded_[index];
}

// The segmentation and the conversion chain are run apart, rather than through one Convert call,
// because their segments say which source phrase became which mapped phrase. OpenCC keeps every
// segment as a string of its own, so the text goes in blocks of whole lines to keep that small;
// no phrase of the dictionaries holds a line break, so the cuts change nothing.
void OpenCcMapper::Map(std::string_view utf8, ChineseDirection direction,
                       const MappedPieceSink& sink) const {
  constexpr std::size_t kBlock = 64 * 1024;
  const std::shared_ptr<const Loaded> loaded = LoadedFor(direction);
  const opencc::Converter& converter = *loaded->converter;
  while (!utf8.empty()) {
    const std::size_t line_end =
        utf8.size() <= kBlock ? std::string_view::npos : utf8.rfind('\n', kBlock);
    const std::size_t block_size = line_end == std::string_view::npos ? utf8.size() : line_end + 1;
    const opencc::SegmentsPtr source =
        converter.GetSegmentation()->Segment(std::string(utf8.substr(0, block_size)));
    const opencc::SegmentsPtr mapped = converter.GetConversionChain()->Convert(source);
    if (mapped->Length() != source->Length())
      throw std::logic_error("OpenCC returned a different number of segments");
    for (std::size_t i = 0; i < source->Length(); ++i)
      sink(std::strlen(source->At(i)), mapped->At(i));
    utf8.remove_prefix(block_size);
  }
}

const ChineseMapper& DefaultChineseMapper() {
  static const OpenCcMapper mapper("s2t.json", "t2s.json");
  return mapper;
}

}  // namespace tessaly
