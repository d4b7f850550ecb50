// Throughput of the engine's steps, in bytes of input per second.
#include <benchmark/benchmark.h>

#include <random>

#include "engine/byte_modes.h"
#include "engine/conversion.h"
#include "engine/pipeline.h"

namespace tessaly {
namespace {

std::string RandomBytesOfSize(std::size_t size) {
  std::mt19937_64 random(42);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

// The first `size` bytes of one shared block of random bytes.
std::string_view Input(std::size_t size) {
  static const std::string bytes = RandomBytesOfSize(64 << 20);
  return std::string_view(bytes).substr(0, size);
}

template <typename Step>
void Measure(benchmark::State& state, std::string_view input, Step step) {
  for (auto _ : state) benchmark::DoNotOptimize(step(input));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}

void BM_HexEncode(benchmark::State& state) {
  Measure(state, Input(state.range(0)), HexEncode);
}

void BM_HexDecode(benchmark::State& state) {
  static const std::string hex = HexEncode(Input(64 << 20));
  Measure(state, std::string_view(hex).substr(0, state.range(0)), HexDecode);
}

void BM_StripAll(benchmark::State& state) {
  Measure(state, Input(state.range(0)),
          [](std::string_view text) { return StripSelectedChars(text, DeletionOptions::All()); });
}

void BM_SeparateSpace(benchmark::State& state) {
  Measure(state, Input(state.range(0)), [](std::string_view text) {
    return ApplySeparators(text, SeparatorStyle::SeparatorSpace);
  });
}

BENCHMARK(BM_HexEncode)->Arg(1 << 20)->Arg(64 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HexDecode)->Arg(1 << 20)->Arg(64 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StripAll)->Arg(1 << 20)->Arg(64 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SeparateSpace)->Arg(1 << 20)->Arg(64 << 20)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tessaly
