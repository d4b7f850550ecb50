#pragma once

#include <stdexcept>

#include "tessaly/export.h"

namespace tessaly {

/// Base of every exception the library raises, but for std::bad_alloc.
class TESSALY_API Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
  ~Error() override;
};

/// Options that name nothing the library knows, or that do not go together; the message names
/// the valid words.
class TESSALY_API InvalidOption : public Error {
 public:
  using Error::Error;
  ~InvalidOption() override;
};

/// A file of user phrases that cannot be read or is not in OpenCC's text format; the message
/// names the file (and the line).
class TESSALY_API UserPhrasesError : public Error {
 public:
  using Error::Error;
  ~UserPhrasesError() override;
};

}  // namespace tessaly
