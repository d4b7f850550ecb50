#pragma once

#include <memory>
#include <string_view>

#include "engine/ansi_text.h"
#include "engine/chinese_mapping.h"
#include "engine/code_page.h"
#include "engine/conversion.h"
#include "engine/fault_reporter.h"

namespace tessaly {

/// Caption of the box that reports a fault of the four routines below.
inline constexpr std::string_view kChineseFaultCaption = "出错";

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

class CodePageRecoder;

/// GbkToBig5 or Big5ToGbk over a text that arrives in chunks: appends exactly the bytes the mode
/// gives for the whole text. A fault is reported once with the routine's text, and the text from
/// the chunk of the fault on passes unchanged; the tables are built first, so a fault in building
/// them leaves the whole text as it was given, as the mode does.
class ChunkedRecoding {
 public:
  /// `mode` is GbkToBig5 or Big5ToGbk.
  ChunkedRecoding(ConversionMode mode, FaultReporter& reporter);
  /// The same between any two code pages, under the fault text of `mode`'s routine.
  ChunkedRecoding(ConversionMode mode, FaultReporter& reporter, const CodePage& source,
                  const CodePage& target);
  ~ChunkedRecoding();

  /// Appends the next chunk re-encoded; a last byte that may start a two-byte character waits
  /// for the next chunk. Like the mode, it reads the text up to its first zero byte.
  void Recode(std::string_view chunk, AnsiText& out);
  /// Appends a byte still waiting: the text ended with it, so it is a character of its own.
  void Finish(AnsiText& out);

 private:
  void Convert(std::string_view chunk, bool more, AnsiText& out);
  void ConvertWithPending(std::string_view chunk, bool more, AnsiText& out);

  std::string_view routine_;
  FaultReporter& reporter_;
  std::shared_ptr<const CodePageRecoder> recoder_;  // none after a fault
  bool stopped_ = false;                            // a zero byte ended the text
  bool pending_ = false;
  char pending_byte_ = 0;
};

/// Simplified characters of GBK text replaced by their traditional forms.
AnsiText SimplifiedToTraditional(std::string_view input, FaultReporter& reporter);

/// Traditional characters of GBK text replaced by their simplified forms.
AnsiText TraditionalToSimplified(std::string_view input, FaultReporter& reporter);

/// GBK text re-encoded as BIG5.
AnsiText GbkToBig5(std::string_view input, FaultReporter& reporter);

/// BIG5 text re-encoded as GBK.
AnsiText Big5ToGbk(std::string_view input, FaultReporter& reporter);

}  // namespace tessaly
