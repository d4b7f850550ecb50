// OpenCC configurations as they come from outside: the input is a configuration's text, read as
// OpenCC 1.4 reads it. One that reads is compiled, its dictionaries inline (a file it names is not
// there, which is refused), and converts a text holding phrases, a normalized character and
// description sequences; nothing may crash, and what is wrong is said, never thrown further.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/chinese/opencc_config.h"
#include "engine/chinese/phrase_matcher.h"
#include "engine/errors.h"

namespace {

namespace fs = std::filesystem;

const fs::path& Folder() {
  static const fs::path folder = [] {
    fs::path path = fs::temp_directory_path() / ("opencc-config-fuzz-" + std::to_string(getpid()));
    fs::create_directories(path);
    return path;
  }();
  return folder;
}

constexpr std::string_view kText =
    "头发干燥，软件里面的鼠标 \xEF\xA4\x80 ⿰发育 ⿱⿰abc 發育 text\n𠮷 ⿰";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string json(reinterpret_cast<const char*>(data), size);
  try {
    tessaly::detail::ParseOpenCcConfig(json, Folder());
  } catch (const tessaly::ChineseMappingUnavailable&) {
    return 0;
  }
  const fs::path config = Folder() / "fuzz.json";
  std::ofstream(config, std::ios::binary | std::ios::trunc) << json;
  try {
    const auto matcher = tessaly::PhraseMatcher::Build(config.string(), {});
    std::string out;
    matcher->ConvertTo(kText, out);
    matcher->Map(kText, [](std::size_t, std::string_view) {});
  } catch (const tessaly::Error&) {
  }
  return 0;
}
