#pragma once

#include <string>
#include <string_view>

#include "cli/notes.h"
#include "engine/modes.h"

namespace tessaly::cli {

/// Plain prose as roff: backslashes and hyphens escaped, a line never read as a request.
std::string RoffText(std::string_view text);

/// A terminal's text as roff for an example: also straight quotes, and characters beyond ASCII
/// by code point, so that the page stays ASCII.
std::string RoffExample(std::string_view utf8);

/// The manual's entry on a mode under MODES, roff lines: its tag, its text, its example.
std::string ManualEntry(const ModeInfo& mode);

/// What the manual page and the shell completions are generated from, one item a line: its kind
/// and its fields, separated by tabs. `mode NAME READS WRITES DESCRIPTION` for each mode in the
/// table's order, `encoding NAME`, `separator WORD`, `deletion WORD`, `newlines WORD`, and
/// `manual LINE` for each line of the manual's MODES section.
std::string Lists();

}  // namespace tessaly::cli
