#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/errors.h"

namespace tessaly {

/// A byte encoding that converts to and from UTF-16 and never fails on malformed input.
class CodePage {
 public:
  virtual ~CodePage() = default;

  /// Decodes bytes; an invalid or incomplete sequence becomes U+FFFD.
  virtual std::u16string ToUtf16(std::string_view bytes) const = 0;

  /// Encodes UTF-16; a character the code page lacks becomes its default character ("?"),
  /// and `substituted`, when given, counts them.
  virtual std::string FromUtf16(std::u16string_view text,
                                std::size_t* substituted = nullptr) const = 0;

  /// Whether the code page lives as long as the process, so tables built from it may be kept.
  virtual bool LivesForever() const { return false; }
};

/// GBK, code page 936 (ICU's windows-936-2000 table).
const CodePage& GbkCodePage();

/// BIG5, code page 950 (ICU's windows-950-2000 table).
const CodePage& Big5CodePage();

/// UTF-8, code page 65001.
const CodePage& Utf8CodePage();

/// The code page of ICU's converter of that canonical name, made once per process and name.
const CodePage& IcuCodePageNamed(const char* canonical_name);

/// Whether `byte` starts a two-byte character of the ANSI code page (GBK: 0x81 to 0xFE) when a
/// byte follows it.
constexpr bool IsAnsiLeadByte(unsigned char byte) {
  return byte >= 0x81 && byte <= 0xFE;
}

/// The system's ANSI code page, which is GBK on every system this program targets.
inline const CodePage& AnsiCodePage() {
  return GbkCodePage();
}

}  // namespace tessaly
