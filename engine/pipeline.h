#pragma once

#include <string_view>

#include "engine/ansi_text.h"
#include "engine/conversion.h"

namespace tessaly {

/// Deletes every character that starts with `target`; two-byte GBK characters are never split.
AnsiText RemoveChar(std::string_view text, char target);

/// Deletes the characters the options select, as successive RemoveChar passes would.
AnsiText StripSelectedChars(std::string_view text, const DeletionOptions& options);

/// Cuts the text into two-byte pieces and joins them in the given style.
AnsiText ApplySeparators(std::string_view text, SeparatorStyle style);

}  // namespace tessaly
