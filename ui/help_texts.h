#pragma once

#include "engine/ansi_text.h"
#include "engine/conversion.h"

namespace tessaly::ui {

/// The help text a click on the mode's radio button writes, as GBK bytes; empty for a mode
/// without a radio.
AnsiText HelpText(ConversionMode mode);

}  // namespace tessaly::ui
