#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/conversion.h"
#include "engine/fault_log.h"

namespace tessaly::testing {

/// Bytes written as hex pairs ("C4E3" → "\xC4\xE3"), for readable expectations.
inline std::string Bytes(std::string_view hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  return out;
}

/// Runs one request with its faults kept and a fixed clock.
inline AnsiText RunRequest(std::string_view input, ConversionMode mode, SeparatorStyle style,
                           DeletionOptions deletion = DeletionOptions::All(),
                           std::uint32_t ticks = 1) {
  FaultLog faults;
  return RunConversion({AnsiText(input), mode, deletion, style},
                       ConversionContext{faults, [ticks] { return ticks; }})
      .text;
}

}  // namespace tessaly::testing
