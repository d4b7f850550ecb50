// Converts a UTF-8 file with the phrase matcher, as `opencc -c CONFIG -i IN -o OUT` does, and
// prints how long loading and converting took: the whole-process side of bench/phrase-compare.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "engine/chinese/phrase_cache.h"
#include "engine/chinese/phrase_matcher.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: phrase-convert CONFIG IN OUT\n";
    return 2;
  }
  using Clock = std::chrono::steady_clock;
  std::ifstream in(argv[2], std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto start = Clock::now();
  const auto matcher =
      tessaly::PhraseMatcher::Load(argv[1], tessaly::PhraseCacheDirectory());  // as the programs do
  const auto loaded = Clock::now();
  const std::string converted = matcher->Convert(text);
  const auto done = Clock::now();
  std::ofstream(argv[3], std::ios::binary)
      .write(converted.data(), static_cast<std::streamsize>(converted.size()));
  const auto ms = [](auto d) { return std::chrono::duration<double, std::milli>(d).count(); };
  std::cerr << "load " << ms(loaded - start) << " ms, convert " << ms(done - loaded) << " ms, "
            << text.size() / 1e3 / ms(done - loaded) << " MB/s\n";
  return 0;
}
