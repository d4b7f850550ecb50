#pragma once

#include <string_view>

#include "engine/ansi_text.h"
#include "engine/chinese_mapping.h"
#include "engine/code_page.h"
#include "engine/fault_reporter.h"

namespace tessaly {

/// Caption of the box that reports a fault of the four routines below.
inline constexpr std::string_view kChineseFaultCaption = "出错";

/// Whether this build carries the simplified/traditional and GBK/BIG5 conversions.
bool ChineseModesAvailable();

/// The simplified characters of GBK text replaced, phrase by phrase, by their traditional forms;
/// a character whose new form GBK cannot hold keeps its old one. On a fault, `reporter` hears
/// "GB2GBK 出错" and the text comes back as given.
AnsiText GB2GBK(std::string_view text, FaultReporter& reporter,
                const ChineseMapper& mapper = DefaultChineseMapper(),
                const CodePage& gbk = GbkCodePage());

/// GB2GBK the other way, traditional to simplified; its fault text is "GBK2GB 出错".
AnsiText GBK2GB(std::string_view text, FaultReporter& reporter,
                const ChineseMapper& mapper = DefaultChineseMapper(),
                const CodePage& gbk = GbkCodePage());

/// GBK text re-encoded as BIG5; a character BIG5 lacks becomes "?". On a fault, `reporter` hears
/// "GBK2BIG5 出错" and the text comes back as given.
AnsiText GBK2BIG5(std::string_view text, FaultReporter& reporter,
                  const CodePage& gbk = GbkCodePage(), const CodePage& big5 = Big5CodePage());

/// BIG5 text re-encoded as GBK; a character GBK lacks becomes "?". Fault text "BIG52GBK 出错".
AnsiText BIG52GBK(std::string_view text, FaultReporter& reporter,
                  const CodePage& big5 = Big5CodePage(), const CodePage& gbk = GbkCodePage());

/// Simplified characters of GBK text replaced by their traditional forms.
AnsiText SimplifiedToTraditional(std::string_view input, FaultReporter& reporter);

/// Traditional characters of GBK text replaced by their simplified forms.
AnsiText TraditionalToSimplified(std::string_view input, FaultReporter& reporter);

/// GBK text re-encoded as BIG5.
AnsiText GbkToBig5(std::string_view input, FaultReporter& reporter);

/// BIG5 text re-encoded as GBK.
AnsiText Big5ToGbk(std::string_view input, FaultReporter& reporter);

}  // namespace tessaly
