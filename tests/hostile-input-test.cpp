// Broken GBK through every mode: lone lead bytes, invalid trail bytes, 0x80, 0xFF, zero bytes.
// Nothing may crash or throw, nothing may be reported but by the Chinese routines (and those
// only on a real fault), and the modes keep their length laws.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "engine/conversion.h"
#include "engine/modes.h"
#include "engine/pipeline.h"
#include "tests/test_support.h"

namespace tessaly {
namespace {

using testing::Bytes;

const std::string kHostile[] = {
    Bytes("81"),                                           // a lone lead byte
    "A" + Bytes("FE"),                                     // a lead byte at the very end
    Bytes("8120") + Bytes("C47F"),                         // invalid trail bytes
    Bytes("80FF80FF"),                                     // bytes that never start a character
    Bytes("C4E3") + std::string(1, '\0') + Bytes("BAC3"),  // a zero byte inside
    Bytes("FFFEFDFC") + "0x-1zz" + Bytes("A1"),
    std::string(1, '\0'),
    Bytes("D7AABBBBCAA7B0DC") + Bytes("8181818181"),
};

using Mode = ConversionMode;

// No mode, and every mode of the table.
std::vector<Mode> EveryMode() {
  std::vector<Mode> modes = {Mode::Unselected};
  for (const ModeInfo& mode : ModeTable()) modes.push_back(mode.id);
  return modes;
}

class HostileInputTest : public ::testing::TestWithParam<Mode> {};

TEST_P(HostileInputTest, EveryModeCopesWithBrokenGbk) {
  const Mode mode = GetParam();
  for (const std::string& input : kHostile) {
    for (const SeparatorStyle style :
         {SeparatorStyle::SeparatorNone, SeparatorStyle::SeparatorHexList}) {
      FaultLog faults;
      const ConversionContext context{faults, [] { return 7u; }};
      AnsiText result;
      ASSERT_NO_THROW(result =
                          RunConversion({input, mode, DeletionOptions{}, style}, context).text);
      EXPECT_TRUE(faults.All().empty()) << "mode " << static_cast<int>(mode) << " reported a fault";
      const AnsiText mode_output = RunMode(mode, input, context).text;
      if (mode == ConversionMode::HexEncode) {
        EXPECT_EQ(mode_output.size(), 2 * input.size());
      } else if (mode == ConversionMode::CharArray) {
        EXPECT_EQ(mode_output.size(), 4 * input.size() + 7);
      } else if (mode == ConversionMode::FormatOnly) {
        EXPECT_EQ(mode_output, input);
      }
      // The simplified/traditional mapping keeps the bytes of everything it cannot map.
      if (mode == ConversionMode::SimplifiedToTraditional ||
          mode == ConversionMode::TraditionalToSimplified) {
        EXPECT_EQ(mode_output.size(), input.size());
      }
      if (style == SeparatorStyle::SeparatorHexList) {
        EXPECT_EQ(result.substr(0, 2), "0x");
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EveryMode, HostileInputTest, ::testing::ValuesIn(EveryMode()));

}  // namespace
}  // namespace tessaly
