#pragma once

// The Chinese modes with their mapper and code pages given, so tests can hand in failing ones.
#include <memory>
#include <string_view>

#include <tessaly/losses.h>
#include "engine/ansi_text.h"
#include "engine/chinese/chinese_mapping.h"
#include "engine/code_page.h"
#include "engine/encodings.h"
#include "engine/fault_log.h"
#include "engine/mode_stream.h"

namespace tessaly {
class CodePageRecoder;
}

namespace tessaly::detail {

/// The s2t mode (routine "GB2GBK") on the given mapper, code page and encoding.
AnsiText SimplifiedToTraditionalWith(std::string_view text, FaultLog& faults,
                                     const ChineseMapper& mapper = StandardMapper("s2t.json"),
                                     const CodePage& gbk = GbkCodePage(),
                                     Encoding encoding = Encoding::Gbk);

/// The t2s mode (routine "GBK2GB") on the given mapper, code page and encoding.
AnsiText TraditionalToSimplifiedWith(std::string_view text, FaultLog& faults,
                                     const ChineseMapper& mapper = StandardMapper("t2s.json"),
                                     const CodePage& gbk = GbkCodePage(),
                                     Encoding encoding = Encoding::Gbk);

/// Text in `encoding` converted by `mapper`, as the simplified/traditional modes convert; a fault
/// goes to `faults` under `routine`, and the text comes back as given.
AnsiText ConvertChineseWith(std::string_view text, FaultLog& faults, std::string_view routine,
                            const ChineseMapper& mapper, Encoding encoding);

/// GbkToBig5 between the given code pages.
AnsiText GbkToBig5With(std::string_view text, FaultLog& faults, const CodePage& gbk = GbkCodePage(),
                       const CodePage& big5 = Big5CodePage(), LossReport* losses = nullptr);

/// Big5ToGbk between the given code pages.
AnsiText Big5ToGbkWith(std::string_view text, FaultLog& faults,
                       const CodePage& big5 = Big5CodePage(), const CodePage& gbk = GbkCodePage(),
                       LossReport* losses = nullptr);

/// Which routine a recoding runs as: its name is the first word of its fault text.
enum class RecodingRoutine { GbkToBig5, Big5ToGbk };

/// GbkToBig5 or Big5ToGbk block by block. The tables are built first, so a fault in building them
/// leaves the whole text as it was given, as the whole-text mode does.
class ChunkedRecoding final : public ModeStream {
 public:
  /// Between GBK and BIG5, in the routine's direction.
  ChunkedRecoding(RecodingRoutine routine, FaultLog& faults);
  /// The same between any two code pages, under the routine's fault text.
  ChunkedRecoding(RecodingRoutine routine, FaultLog& faults, const CodePage& source,
                  const CodePage& target);
  ~ChunkedRecoding() override;

  /// Appends the chunk re-encoded; a last byte that may start a two-byte character waits for the
  /// next chunk.
  void Convert(std::string_view chunk, AnsiText& out) override;
  /// Appends a byte still waiting: the text ended with it, so it is a character of its own.
  void Finish(AnsiText& out) override;

 private:
  void Recode(std::string_view chunk, bool more, AnsiText& out);
  void RecodeWithPending(std::string_view chunk, bool more, AnsiText& out);

  std::string_view routine_;
  FaultLog& faults_;
  std::shared_ptr<const CodePageRecoder> recoder_;  // none after a fault
  std::size_t offset_ = 0;                          // of the chunk at hand, in the whole text
  bool pending_ = false;
  char pending_byte_ = 0;
};

}  // namespace tessaly::detail
