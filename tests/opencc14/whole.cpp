// OpenCC 1.4.2's converter over a whole text at once, as its library converts a string: the
// reference for texts larger than its command line's 1 MiB reads, which it converts one at a time
// holding back only the last 16 characters of each, so that a phrase there may be cut.
//   opencc-whole CONFIG [--include-tofu-risk-dictionaries] <IN >OUT
#include <cstring>
#include <iostream>
#include <iterator>
#include <string>

#include "Config.hpp"
#include "Converter.hpp"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: opencc-whole CONFIG [--include-tofu-risk-dictionaries]\n";
    return 2;
  }
  opencc::ConfigLoadOptions options;
  options.includeTofuRiskDictionaries =
      argc > 2 && std::strcmp(argv[2], "--include-tofu-risk-dictionaries") == 0;
  const std::string text((std::istreambuf_iterator<char>(std::cin)), {});
  opencc::Config config;
  const opencc::ConverterPtr converter =
      config.NewFromFile(argv[1], std::vector<std::string>{}, nullptr, options);
  std::cout << converter->Convert(text);
  return std::cout ? 0 : 1;
}
