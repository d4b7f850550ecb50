#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/conversion.h"
#include "engine/modes.h"
#include "engine/text_boundary.h"

namespace tessaly {

// The words of the options, read as tessaly-cli and the public Options take them; a word that
// names nothing known throws InvalidOption, whose message lists the valid ones.

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

/// The words -s takes, in the order --help gives them.
std::vector<std::string_view> SeparatorWords();

/// The words -d takes: `all`, `none` and each deletion class.
std::vector<std::string_view> DeletionWords();

/// The words --newlines takes.
std::vector<std::string_view> NewlinesWords();

/// The word for a separator style, as ParseSeparator reads it; "none" for Unselected.
std::string_view SeparatorWord(SeparatorStyle style);

/// The words for deletions, as ParseDeletion reads them: "none", or the classes joined by commas.
std::string DeletionList(const DeletionOptions& deletion);

/// The deletions a mode makes unless told otherwise: all for a listing, none for a text.
DeletionOptions DefaultDeletion(const ModeInfo& mode);

}  // namespace tessaly
