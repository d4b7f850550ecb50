// UTF-8 to GBK and back never fails, and a second round changes nothing.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engine/text_boundary.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string once = tessaly::AnsiToUtf8Text(tessaly::Utf8TextToAnsi(bytes).text);
  if (tessaly::FindInvalidUtf8(once)) std::abort();
  const std::string twice = tessaly::AnsiToUtf8Text(tessaly::Utf8TextToAnsi(once).text);
  if (twice != once) std::abort();
  // Any bytes at all show as well-formed text.
  if (tessaly::FindInvalidUtf8(tessaly::AnsiToUtf8Text(bytes))) std::abort();
  return 0;
}
