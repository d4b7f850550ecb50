// Throughput of every mode and of the pipeline's own steps, in bytes of input per second, at
// 1 MiB and 64 MiB.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <opencc/Config.hpp>
#include <opencc/Converter.hpp>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

#include "engine/byte_modes.h"
#include "engine/chinese/chinese_mapping.h"
#include "engine/chinese/phrase_cache.h"
#include "engine/chinese/phrase_matcher.h"
#include "engine/chinese_modes.h"
#include "engine/conversion.h"
#include "engine/detail/chinese_routines.h"
#include "engine/pipeline.h"
#include "engine/unicode_modes.h"
#include "tests/support/opencc_mapper.h"

namespace tessaly {
namespace {

constexpr std::size_t kLargest = std::size_t{64} << 20;

std::string RandomBinary(std::size_t size) {
  std::mt19937_64 random(42);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

// GBK text: characters of the first level (B0A1 to D7F9) with a line break every 40.
std::string ChineseText(std::size_t size) {
  std::mt19937 random(7);
  std::string text;
  text.reserve(size + 2);
  for (std::size_t n = 1; text.size() < size; ++n) {
    text += static_cast<char>(0xB0 + random() % 40);
    text += static_cast<char>(0xA1 + random() % 94);
    if (n % 40 == 0) text += "\r\n";
  }
  text.resize(size);
  return text;
}

// The input each mode expects, cut to `size` bytes from one shared block.
std::string_view Input(ConversionMode mode, std::size_t size) {
  static const std::string binary = RandomBinary(kLargest);
  static const std::string chinese = ChineseText(kLargest);
  static const std::string hex = HexEncode(std::string_view(binary).substr(0, kLargest / 2));
  static const std::string utf16_hex =
      Utf16Encode(std::string_view(chinese).substr(0, kLargest / 4));
  static const std::string utf8_hex = Utf8Encode(std::string_view(chinese).substr(0, kLargest / 6));
  static std::string big5;
  switch (mode) {
    case ConversionMode::HexDecode:
      return std::string_view(hex).substr(0, size);
    case ConversionMode::Utf16Decode:
      return std::string_view(utf16_hex).substr(0, size);
    case ConversionMode::Utf8Decode:
      return std::string_view(utf8_hex).substr(0, size);
    case ConversionMode::Utf16Encode:
    case ConversionMode::Utf8Encode:
    case ConversionMode::SimplifiedToTraditional:
    case ConversionMode::TraditionalToSimplified:
    case ConversionMode::GbkToBig5:
      return std::string_view(chinese).substr(0, size);
    case ConversionMode::Big5ToGbk:
      if (big5.empty()) {
        FaultLog faults;
        big5 = RunMode(ConversionMode::GbkToBig5, chinese, ConversionContext{faults}).text;
      }
      return std::string_view(big5).substr(0, size);
    default:
      return std::string_view(binary).substr(0, size);
  }
}

template <typename Step>
void Measure(benchmark::State& state, std::string_view input, Step step) {
  for (auto _ : state) benchmark::DoNotOptimize(step(input));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}

void BM_Mode(benchmark::State& state, ConversionMode mode) {
  FaultLog faults;
  ConversionContext context{faults, [] { return 1u; }};
  context.cache_directory = PhraseCacheDirectory();  // as the programs do
  Measure(state, Input(mode, state.range(0)),
          [&](std::string_view input) { return RunMode(mode, input, context).text; });
}

void BM_StripSelectedChars(benchmark::State& state) {
  Measure(state, Input(ConversionMode::FormatOnly, state.range(0)),
          [](std::string_view text) { return StripSelectedChars(text, DeletionOptions::All()); });
}

void BM_ApplySeparatorsSpace(benchmark::State& state) {
  Measure(state, Input(ConversionMode::FormatOnly, state.range(0)), [](std::string_view text) {
    return ApplySeparators(text, SeparatorStyle::SeparatorSpace);
  });
}

// Real Chinese text from the file TESSALY_PHRASE_CORPUS names (bench/phrase-corpus writes one).
const std::string& PhraseCorpus() {
  static const std::string text = [] {
    const char* path = std::getenv("TESSALY_PHRASE_CORPUS");
    if (path == nullptr) return std::string();
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }();
  return text;
}

// The phrase matcher and OpenCC's own converter, in-process, on the same corpus.
void BM_PhraseMatcher(benchmark::State& state, const char* config) {
  if (PhraseCorpus().empty()) return state.SkipWithError("TESSALY_PHRASE_CORPUS names no text");
  const auto matcher = PhraseMatcher::Load(config);
  Measure(state, PhraseCorpus(), [&](std::string_view text) { return matcher->Convert(text); });
}

void BM_OpenCcConverter(benchmark::State& state, const char* config) {
  if (PhraseCorpus().empty()) return state.SkipWithError("TESSALY_PHRASE_CORPUS names no text");
  const opencc::ConverterPtr converter = opencc::Config().NewFromFile(config);
  Measure(state, PhraseCorpus(),
          [&](std::string_view) { return converter->Convert(PhraseCorpus()); });
}

#define TESSALY_PHRASE_BENCHMARK(name)                                                     \
  BENCHMARK_CAPTURE(BM_PhraseMatcher, name, #name ".json")->Unit(benchmark::kMillisecond); \
  BENCHMARK_CAPTURE(BM_OpenCcConverter, name, #name ".json")                               \
      ->Iterations(1)                                                                      \
      ->Unit(benchmark::kMillisecond)

TESSALY_PHRASE_BENCHMARK(s2t);
TESSALY_PHRASE_BENCHMARK(t2s);
TESSALY_PHRASE_BENCHMARK(s2twp);

// The simplified-to-traditional routine on the phrase matcher and on OpenCC's converter.
void BM_SimplifiedToTraditionalRoutine(benchmark::State& state, bool opencc) {
  static const OpenCcMapper opencc_mapper("s2t.json");
  const ChineseMapper& mapper = opencc ? opencc_mapper : StandardMapper("s2t.json");
  FaultLog faults;
  Measure(state, Input(ConversionMode::SimplifiedToTraditional, state.range(0)),
          [&](std::string_view text) {
            return detail::SimplifiedToTraditionalWith(text, faults, mapper);
          });
}
BENCHMARK_CAPTURE(BM_SimplifiedToTraditionalRoutine, phrase_matcher, false)
    ->Arg(1 << 20)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
// OpenCC's mapper runs on a thread per core: wall time, not this thread's.
BENCHMARK_CAPTURE(BM_SimplifiedToTraditionalRoutine, opencc, true)
    ->Arg(1 << 20)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void Sizes(benchmark::internal::Benchmark* b) {
  b->Arg(1 << 20)->Arg(kLargest)->MinWarmUpTime(0.5)->Unit(benchmark::kMillisecond);
}

#define TESSALY_MODE_BENCHMARK(mode) \
  BENCHMARK_CAPTURE(BM_Mode, mode, ConversionMode::mode)->Apply(Sizes)

TESSALY_MODE_BENCHMARK(HexEncode);
TESSALY_MODE_BENCHMARK(HexDecode);
TESSALY_MODE_BENCHMARK(Utf16Encode);
TESSALY_MODE_BENCHMARK(Utf16Decode);
TESSALY_MODE_BENCHMARK(RandomBytes);
TESSALY_MODE_BENCHMARK(SimplifiedToTraditional);
TESSALY_MODE_BENCHMARK(TraditionalToSimplified);
TESSALY_MODE_BENCHMARK(GbkToBig5);
TESSALY_MODE_BENCHMARK(Big5ToGbk);
TESSALY_MODE_BENCHMARK(CharArray);
TESSALY_MODE_BENCHMARK(Utf8Encode);
TESSALY_MODE_BENCHMARK(Utf8Decode);
TESSALY_MODE_BENCHMARK(FormatOnly);
BENCHMARK(BM_StripSelectedChars)->Apply(Sizes);
BENCHMARK(BM_ApplySeparatorsSpace)->Apply(Sizes);

}  // namespace
}  // namespace tessaly

int main(int argc, char** argv) {
  // The first touch of fresh memory costs about 3 ms per MiB on the virtual machines this was
  // measured on, more than most steps themselves; keeping freed memory in the heap lets each
  // repetition measure the step rather than the kernel. Whole-process figures: bench/compare.
  mallopt(M_MMAP_MAX, 0);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
