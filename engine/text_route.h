#pragma once

#include <string>
#include <string_view>

#include <tessaly/losses.h>
#include "engine/ansi_text.h"
#include "engine/conversion.h"
#include "engine/modes.h"
#include "engine/text_boundary.h"

namespace tessaly {

/// The character of well-formed UTF-8 text that starts at `offset`.
std::string Utf8CharAt(std::string_view utf8, std::size_t offset);

/// Well-formed UTF-8 text as the engine's bytes in `encoding`; characters it lacks are added to
/// `losses`.
AnsiText TextToEngine(std::string_view utf8, LineBreaks breaks, Encoding encoding,
                      LossReport& losses);

/// The engine's result, in `encoding`, as UTF-8 text; a listing ends with one line feed, as
/// xxd -p ends its own. Byte sequences the encoding cannot read are added to `losses`.
std::string EngineToText(const AnsiText& result, const ModeInfo& mode, LineBreaks breaks,
                         Encoding encoding, LossReport& losses);

}  // namespace tessaly
