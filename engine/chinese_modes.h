#pragma once

#include <string_view>

#include "engine/ansi_text.h"
#include "engine/fault_reporter.h"

namespace tessaly {

/// Whether this build carries the simplified/traditional and GBK/BIG5 conversions.
bool ChineseModesAvailable();

/// Simplified characters of GBK text replaced by their traditional forms.
AnsiText SimplifiedToTraditional(std::string_view input, FaultReporter& reporter);

/// Traditional characters of GBK text replaced by their simplified forms.
AnsiText TraditionalToSimplified(std::string_view input, FaultReporter& reporter);

/// GBK text re-encoded as BIG5.
AnsiText GbkToBig5(std::string_view input, FaultReporter& reporter);

/// BIG5 text re-encoded as GBK.
AnsiText Big5ToGbk(std::string_view input, FaultReporter& reporter);

}  // namespace tessaly
