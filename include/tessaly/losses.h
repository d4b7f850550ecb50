#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "tessaly/export.h"

namespace tessaly {

/// What a conversion can lose without failing.
enum class LossKind {
  Unmappable,     ///< characters the target encoding lacks, each now "?"
  EmptyHexPiece,  ///< hex pieces that held no value and repeated the previous byte
  CutAtZero,      ///< decoded data cut at its first zero unit or byte
  InvalidOutput,  ///< result bytes the output encoding cannot show, each now U+FFFD
  OddDigit,       ///< a listing's last piece was one digit alone, read as 0 and that digit
};

inline constexpr std::size_t kLossKindCount = 5;

/// How often one kind of loss happened and where first.
struct LossRecord {
  std::size_t count = 0;
  std::size_t first_offset = 0;  ///< byte offset in the conversion's input
  std::string first_piece;       ///< the bytes (or character) lost there
};

/// Every loss of one conversion, by kind; empty for a conversion that kept every byte.
class LossReport {
 public:
  /// Counts `count` losses of `kind`, the first of them at `offset`; keeps the earliest first.
  void Add(LossKind kind, std::size_t offset, std::string_view piece, std::size_t count = 1) {
    if (count == 0) return;
    LossRecord& record = records_[static_cast<std::size_t>(kind)];
    if (record.count == 0 || offset < record.first_offset) {
      record.first_offset = offset;
      record.first_piece = piece;
    }
    record.count += count;
  }

  /// Adds every loss of `other`, whose offsets count from `shift` in this report's input.
  void Merge(const LossReport& other, std::size_t shift = 0) {
    for (std::size_t k = 0; k < kLossKindCount; ++k) {
      const LossRecord& record = other.records_[k];
      Add(static_cast<LossKind>(k), shift + record.first_offset, record.first_piece, record.count);
    }
  }

  /// The record of one kind.
  const LossRecord& operator[](LossKind kind) const {
    return records_[static_cast<std::size_t>(kind)];
  }
  LossRecord& operator[](LossKind kind) { return records_[static_cast<std::size_t>(kind)]; }

  /// Whether nothing was lost.
  bool empty() const {
    for (const LossRecord& record : records_)
      if (record.count != 0) return false;
    return true;
  }

 private:
  std::array<LossRecord, kLossKindCount> records_;
};

/// What only the caller of Describe(LossKind, …) knows, for the words of its line.
struct LossWording {
  std::string_view target;  ///< the encoding whose lacking characters became "?", whose bytes the result's are
  bool characters = false;  ///< the lost pieces are characters (UTF-8 text), not bytes
  std::string_view where;   ///< said after the first offset, such as " of item 3"; empty for nothing
  std::string_view keep_bytes;  ///< how to keep result bytes as they are; empty for nothing
};

/// The short name of a kind of loss ("unmappable", "empty-hex-piece", …).
TESSALY_API std::string_view NameOf(LossKind kind);

/// One line of English for a person about the losses of one kind: how many, where the first was
/// and what became of it, such as "3 character(s) have no GBK form and became '?' (first at byte
/// 12: '€' U+20AC)"; empty when `record` counts none.
TESSALY_API std::string Describe(LossKind kind, const LossRecord& record,
                                 const LossWording& wording);

}  // namespace tessaly
