#pragma once

#include <memory>
#include <string_view>

#include <tessaly/losses.h>
#include "engine/ansi_text.h"
#include "engine/chinese/user_phrases.h"
#include "engine/encodings.h"
#include "engine/fault_log.h"
#include "engine/mode_stream.h"

namespace tessaly {

/// GBK text re-encoded as BIG5; a character BIG5 lacks becomes "?" and `losses`, when given,
/// counts it. A fault of the routine "GBK2BIG5" goes to `faults`, and the text comes back as given.
AnsiText GbkToBig5(std::string_view input, FaultLog& faults, LossReport* losses = nullptr);

/// BIG5 text re-encoded as GBK, as GbkToBig5 the other way; routine "BIG52GBK".
AnsiText Big5ToGbk(std::string_view input, FaultLog& faults, LossReport* losses = nullptr);

/// GbkToBig5 block by block; a fault is reported once, and the text from its chunk on passes
/// unchanged.
std::unique_ptr<ModeStream> GbkToBig5Stream(FaultLog& faults);
/// Big5ToGbk block by block, as GbkToBig5Stream.
std::unique_ptr<ModeStream> Big5ToGbkStream(FaultLog& faults);

}  // namespace tessaly
