#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "tessaly/export.h"

namespace tessaly {

/// What kept a conversion from giving its result.
enum class FaultKind {
  MalformedInput,     ///< text that is not well-formed UTF-8 (`offset` says where)
  TablesUnavailable,  ///< a standard's dictionaries cannot be loaded
  LibraryFailure,     ///< the character-set library failed on the text
  InternalMismatch,   ///< the engine's own consistency check failed
};

/// One fault: which routine, what happened, and where when that is known. After a fault in a
/// simplified/traditional standard or GBK/BIG5 recoding the text comes back as given (from the
/// faulty block on); after one in a Unicode mode the output is empty; after malformed input the
/// output is empty, or, in a simplified/traditional standard, the conversion of the text before
/// it.
struct Fault {
  std::string mode;     ///< the mode's name, as Modes() gives it
  std::string routine;  ///< the routine that failed, such as "GB2GBK"; the mode's name if none
  FaultKind kind = FaultKind::LibraryFailure;
  std::size_t offset = 0;  ///< byte offset in the input, for MalformedInput
  std::string detail;      ///< what the failing part said, English
};

/// The short name of a kind of fault ("malformed-input", "tables-unavailable", …).
TESSALY_API std::string_view NameOf(FaultKind kind);

/// One line of English for a person: the mode, what happened and what became of the text.
TESSALY_API std::string Describe(const Fault& fault);

}  // namespace tessaly
