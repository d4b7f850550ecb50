#pragma once

#include <tessaly/errors.h>  // IWYU pragma: export

// The engine's own errors, beside the public ones: modes catch these and turn them into faults
// (see engine/README.md), so only the building blocks let them out.
namespace tessaly {

/// The conversion library itself failed (missing tables, a converter that does not fit).
class CodePageError : public Error {
 public:
  using Error::Error;
};

/// A simplified/traditional standard's dictionaries cannot be loaded.
class ChineseMappingUnavailable : public Error {
 public:
  using Error::Error;
};

/// A mapper handed back pieces that do not cover the text it was given.
class MappingMismatch : public Error {
 public:
  using Error::Error;
};

/// Text a conversion cannot read: a byte no UTF-8 character starts with, where OpenCC stops.
class MalformedText : public Error {
 public:
  using Error::Error;
};

/// A call outside a function's contract, such as deleting a character that is not ASCII.
class InvalidArgument : public Error {
 public:
  using Error::Error;
};

}  // namespace tessaly
