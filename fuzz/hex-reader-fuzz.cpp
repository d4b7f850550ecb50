// The hex reader's fast path and chunked reading against the plain one-piece-at-a-time reader.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engine/byte_modes.h"
#include "engine/detail/byte_blocks.h"
#include "tests/hex_reference.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string expected = tessaly::testing::ReferenceParseHexPairs(text);
  if (tessaly::ParseHexPairs(text) != expected) std::abort();

  // The same text read in two chunks cut where its first byte says.
  const std::size_t cut = size == 0 ? 0 : data[0] % (size + 1);
  tessaly::detail::HexPairReader reader;
  std::string chunked;
  reader.Read(text.substr(0, cut), chunked);
  reader.Read(text.substr(cut), chunked);
  reader.Finish(chunked);
  if (chunked != expected) std::abort();
  return 0;
}
