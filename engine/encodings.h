#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "engine/code_page.h"

namespace tessaly {

/// The working encodings: what the engine's text is made of.
enum class Encoding { Gbk, Gb18030, Big5, Utf8, ShiftJis, EucKr };

/// How many working encodings there are, for arrays indexed by Encoding; encodings.cpp checks it
/// against the table of them.
inline constexpr std::size_t kEncodingCount = static_cast<std::size_t>(Encoding::EucKr) + 1;

/// Which bytes start a character of two or more bytes when a byte follows them.
enum class LeadBytes {
  Cjk,       ///< 0x81 to 0xFE (GBK, GB18030, BIG5, UHC)
  ShiftJis,  ///< 0x81 to 0x9F and 0xE0 to 0xFC
  None,      ///< UTF-8: no ASCII byte ever belongs to a longer character
};

/// One working encoding, described once.
struct EncodingInfo {
  Encoding id;
  std::string_view name;   ///< `tessaly-cli -e NAME`
  std::string_view label;  ///< how people call it: "GBK", "Shift_JIS"
  std::string_view
      icu_name;  ///< the ICU converter it opens: Microsoft's table where Windows has one
  int code_page;
  std::span<const std::string_view> aliases;  ///< other names accepted, case-insensitively
  LeadBytes leads;
};

/// Every working encoding, the default (GBK) first.
std::span<const EncodingInfo> EncodingTable();

/// The description of one encoding.
const EncodingInfo& InfoOf(Encoding encoding);

/// The encoding a name or alias (or code page number) stands for, case-insensitively.
std::optional<Encoding> FindEncoding(std::string_view name);

/// The encoding's converter.
const CodePage& CodePageOf(Encoding encoding);

/// Whether `byte` starts a character of two or more bytes in the encoding when a byte follows.
constexpr bool IsLeadByte(LeadBytes leads, unsigned char byte) {
  switch (leads) {
    case LeadBytes::Cjk:
      return byte >= 0x81 && byte <= 0xFE;
    case LeadBytes::ShiftJis:
      return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case LeadBytes::None:
      break;
  }
  return false;
}

}  // namespace tessaly
