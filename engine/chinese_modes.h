#pragma once

#include <memory>
#include <string_view>

#include "engine/ansi_text.h"
#include "engine/encodings.h"
#include "engine/fault_reporter.h"
#include <tessaly/losses.h>
#include "engine/mode_stream.h"
#include "engine/chinese/user_phrases.h"

namespace tessaly {

/// Caption of the box that reports a fault of the Chinese modes.
inline constexpr std::string_view kChineseFaultCaption = "出错";

/// Chinese text in `encoding` converted by one OpenCC standard (`s2t.json`, `s2tw.json`, ...),
/// phrase by phrase; a character whose new form the encoding cannot hold keeps its old one. On a
/// fault, `reporter` hears "`routine` 出错" and the text comes back as given.
AnsiText ConvertChineseStandard(std::string_view input, FaultReporter& reporter, Encoding encoding,
                                std::string_view config, std::string_view routine,
                                const std::shared_ptr<const UserPhrases>& user = {});

/// GBK text re-encoded as BIG5; a character BIG5 lacks becomes "?" and `losses`, when given,
/// counts it. On a fault, `reporter` hears "GBK2BIG5 出错" and the text comes back as given.
AnsiText GbkToBig5(std::string_view input, FaultReporter& reporter, LossReport* losses = nullptr);

/// BIG5 text re-encoded as GBK, as GbkToBig5 the other way; fault text "BIG52GBK 出错".
AnsiText Big5ToGbk(std::string_view input, FaultReporter& reporter, LossReport* losses = nullptr);

/// GbkToBig5 block by block; a fault is reported once, and the text from its chunk on passes
/// unchanged.
std::unique_ptr<ModeStream> GbkToBig5Stream(FaultReporter& reporter);
/// Big5ToGbk block by block, as GbkToBig5Stream.
std::unique_ptr<ModeStream> Big5ToGbkStream(FaultReporter& reporter);

}  // namespace tessaly
