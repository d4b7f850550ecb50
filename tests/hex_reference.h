#pragma once

#include <cctype>
#include <string>
#include <string_view>

namespace tessaly::testing {

// A plain reference of the piece rules, one piece at a time, without the engine's fast path.
inline std::string ReferenceParseHexPairs(std::string_view text) {
  std::string out;
  int cell = 0;
  for (std::size_t start = 0; start < text.size(); start += 2) {
    std::string_view piece = text.substr(start, 2);
    while (!piece.empty() &&
           std::string_view(" \t\n\v\f\r").find(piece[0]) != std::string_view::npos)
      piece.remove_prefix(1);
    int sign = 1;
    if (!piece.empty() && (piece[0] == '+' || piece[0] == '-')) {
      sign = piece[0] == '-' ? -1 : 1;
      piece.remove_prefix(1);
    }
    const bool prefix = piece == "0x" || piece == "0X";
    int value = 0;
    int digits = 0;
    for (const char c : piece) {
      if (prefix || static_cast<unsigned char>(c) >= 0x80) break;
      const auto digit =
          std::string_view("0123456789abcdef").find(static_cast<char>(std::tolower(c)));
      if (digit == std::string_view::npos) break;
      value = value * 16 + static_cast<int>(digit);
      ++digits;
    }
    if (digits > 0) cell = sign * value;
    out.push_back(static_cast<char>(cell & 0xFF));
  }
  return out;
}

}  // namespace tessaly::testing
