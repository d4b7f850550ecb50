#pragma once

// Ideographic description sequences as OpenCC 1.4 reads them (UTF8Util.hpp): an operator
// (U+2FF0 to U+2FFF) and its two or three operands, each a character or a sequence of its own,
// at most 16 deep and 64 characters long; bytes are read by their lead byte alone, as OpenCC
// reads them. Where nothing matches, a complete sequence passes unchanged as one unit.
#include <cstddef>
#include <cstdint>

#include "engine/detail/utf8.h"

namespace tessaly::detail {

enum class IdsStatus { Complete, Incomplete, Invalid };

/// What a scan for a sequence found, and how many bytes a complete one takes.
struct IdsScan {
  IdsStatus status = IdsStatus::Invalid;
  std::size_t length = 0;
};

/// How many operands operator `c` takes; 0 for any other character.
constexpr std::size_t IdsArity(char32_t c) {
  if (c == 0x2FF2 || c == 0x2FF3) return 3;
  if (c == 0x2FFE || c == 0x2FFF) return 1;
  return c >= 0x2FF0 && c <= 0x2FFD ? 2 : 0;
}

/// The byte length OpenCC gives the character at `p`, by its lead byte; 0 where none starts.
constexpr std::size_t OpenCcLeadLength(unsigned char lead) {
  if ((lead & 0xF0) == 0xE0) return 3;
  if ((lead & 0x80) == 0) return 1;
  if ((lead & 0xE0) == 0xC0) return 2;
  if ((lead & 0xF8) == 0xF0) return 4;
  if ((lead & 0xFC) == 0xF8) return 5;
  if ((lead & 0xFE) == 0xFC) return 6;
  return 0;
}

/// The code point OpenCC reads from `length` bytes at `p`, continuation bytes unchecked.
inline char32_t OpenCcLooseCodePoint(const unsigned char* p, std::size_t length) {
  if (length == 1) return p[0];
  char32_t cp = p[0] & ((1u << (7 - length)) - 1);
  for (std::size_t i = 1; i < length; ++i) cp = (cp << 6) | (p[i] & 0x3Fu);
  return cp;
}

namespace ids_internal {

inline IdsStatus Consume(const unsigned char* p, std::size_t n, std::size_t depth_left,
                         std::size_t& chars, std::size_t& consumed) {
  constexpr std::size_t kMaxChars = 64;
  if (n == 0) return IdsStatus::Incomplete;
  if (depth_left == 0 || chars >= kMaxChars) return IdsStatus::Invalid;
  const std::size_t length = OpenCcLeadLength(p[0]);
  if (length == 0) return IdsStatus::Invalid;
  if (length > n) return IdsStatus::Incomplete;
  ++chars;
  const std::size_t arity = IdsArity(OpenCcLooseCodePoint(p, length));
  std::size_t offset = length;
  for (std::size_t i = 0; i < arity; ++i) {
    if (offset >= n) return IdsStatus::Incomplete;
    std::size_t operand = 0;
    const IdsStatus status = Consume(p + offset, n - offset, depth_left - 1, chars, operand);
    if (status != IdsStatus::Complete) return status;
    offset += operand;
  }
  consumed = offset;
  return IdsStatus::Complete;
}

}  // namespace ids_internal

/// The sequence at the start of the `n` bytes at `p`, which start with an operator.
inline IdsScan ScanIds(const unsigned char* p, std::size_t n) {
  constexpr std::size_t kMaxDepth = 16;
  IdsScan scan;
  std::size_t chars = 0;
  scan.status = ids_internal::Consume(p, n, kMaxDepth, chars, scan.length);
  return scan;
}

/// Whether the bytes at `p` (of `n`) spell an operator in plain UTF-8 (E2 BF B0 to E2 BF BF).
inline bool StartsIdsOperator(const unsigned char* p, std::size_t n) {
  return n >= 3 && p[0] == 0xE2 && p[1] == 0xBF && p[2] >= 0xB0;
}

/// How many bytes the complete sequence at `pos` takes; 0 where none starts there.
inline std::size_t CompleteIdsAt(const unsigned char* p, std::size_t pos, std::size_t n) {
  if (!StartsIdsOperator(p + pos, n - pos)) return 0;
  const IdsScan scan = ScanIds(p + pos, n - pos);
  return scan.status == IdsStatus::Complete ? scan.length : 0;
}

}  // namespace tessaly::detail
