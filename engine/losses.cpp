#include "tessaly/losses.h"

#include <array>
#include <cctype>
#include <cstdio>
#include <string>

#include "tessaly/utf8.h"

namespace tessaly {
namespace {

constexpr std::array<std::string_view, kLossKindCount> kNames = {
    "unmappable", "empty-hex-piece", "cut-at-zero", "invalid-output", "odd-digit"};

std::string Hex(std::string_view bytes) {
  std::string hex;
  for (const char c : bytes) {
    char pair[4];
    std::snprintf(pair, sizeof pair, "%02X", static_cast<unsigned char>(c));
    hex += pair;
  }
  return hex;
}

// A lost character as a line shows it: itself and its code point.
std::string DescribeChar(std::string_view utf8) {
  if (utf8.empty()) return "an unpaired surrogate";
  if (FindInvalidUtf8(utf8)) return "malformed " + Hex(utf8);
  const auto byte = [utf8](std::size_t i) { return static_cast<unsigned char>(utf8[i]); };
  const std::size_t trail = byte(0) >= 0xF0 ? 3 : byte(0) >= 0xE0 ? 2 : byte(0) >= 0xC0 ? 1 : 0;
  char32_t code_point = trail == 0 ? byte(0) : byte(0) & (0x3F >> trail);
  for (std::size_t i = 1; i <= trail && i < utf8.size(); ++i)
    code_point = code_point << 6 | (byte(i) & 0x3F);
  char hex[16];
  std::snprintf(hex, sizeof hex, "U+%04X", static_cast<unsigned>(code_point));
  return "'" + std::string(utf8) + "' " + hex;
}

}  // namespace

std::string_view NameOf(LossKind kind) {
  return kNames[static_cast<std::size_t>(kind)];
}

std::string Describe(LossKind kind, const LossRecord& r, const LossWording& wording) {
  if (r.count == 0) return {};
  const std::string count = std::to_string(r.count);
  const std::string first = std::to_string(r.first_offset);
  const std::string where(wording.where);
  const std::string target(wording.target);
  switch (kind) {
    case LossKind::Unmappable:
      return count + " character(s) have no " + target + " form and became '?' (first at byte " +
             first + where + ": " +
             (wording.characters ? DescribeChar(r.first_piece) : Hex(r.first_piece)) + ")";
    case LossKind::EmptyHexPiece:
      return count + " hex piece(s) held no value and repeated the byte before (first at byte " +
             first + where + ": '" + r.first_piece + "')";
    case LossKind::OddDigit: {
      std::string digit = r.first_piece;
      for (char& c : digit) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      return "the listing" + where + " has an odd number of digits; the last piece '" +
             r.first_piece + "' was read as 0" + digit;
    }
    case LossKind::CutAtZero:
      return "the decoded data ends at its first zero, at byte " + first + where +
             " of the input; what follows was dropped";
    case LossKind::InvalidOutput:
      return count + " byte sequence(s) of the result are not valid " + target +
             " and became U+FFFD (first at byte " + first + " of the result" + where + ": " +
             Hex(r.first_piece) + ")" +
             (wording.keep_bytes.empty() ? std::string() : "; " + std::string(wording.keep_bytes));
  }
  return {};
}

}  // namespace tessaly
