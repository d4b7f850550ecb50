#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/conversion.h"
#include "engine/text_boundary.h"

namespace tessaly::cli {

/// A command-line word that names nothing the CLI knows; the message says which words would do.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// The mode named on the command line (`hex-encode`, `s2t`, ...).
ConversionMode ParseMode(std::string_view word);

/// The separator style named on the command line (`none`, `space`, ...).
SeparatorStyle ParseSeparator(std::string_view word);

/// A comma-separated list of deletion classes, `all` or `none`.
DeletionOptions ParseDeletion(std::string_view list);

/// How line breaks cross into the engine: `as-is` or `crlf`.
LineBreaks ParseNewlines(std::string_view word);

/// A working encoding by name or alias, case-insensitively.
Encoding ParseEncoding(std::string_view word);

/// A seed from 0 to 4294967295.
std::uint32_t ParseSeed(std::string_view word);

/// The words -s takes, in the order --help gives them.
std::vector<std::string_view> SeparatorWords();

/// The words -d takes: `all`, `none` and each deletion class.
std::vector<std::string_view> DeletionWords();

/// The words --newlines takes.
std::vector<std::string_view> NewlinesWords();

}  // namespace tessaly::cli
