#include "engine/encodings.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace tessaly {
namespace {

constexpr std::array<std::string_view, 5> kGbkAliases = {"cp936", "936", "windows-936", "gb2312",
                                                         "ms936"};
constexpr std::array<std::string_view, 3> kGb18030Aliases = {"cp54936", "54936", "gb-18030"};
constexpr std::array<std::string_view, 4> kBig5Aliases = {"cp950", "950", "windows-950", "big-5"};
constexpr std::array<std::string_view, 4> kUtf8Aliases = {"utf8", "65001", "cp65001", "utf_8"};
constexpr std::array<std::string_view, 6> kShiftJisAliases = {"sjis",  "cp932",       "932",
                                                              "ms932", "windows-31j", "shift-jis"};
constexpr std::array<std::string_view, 6> kEucKrAliases = {"cp949", "949",         "uhc",
                                                           "ms949", "windows-949", "euckr"};

// The ICU names are canonical names of Microsoft's tables: an alias such as "cp950" or "cp949"
// opens an IBM table with other mappings.
constexpr std::array kEncodings = {
    EncodingInfo{Encoding::Gbk, "gbk", "GBK", "windows-936-2000", 936, kGbkAliases, LeadBytes::Cjk},
    EncodingInfo{Encoding::Gb18030, "gb18030", "GB18030", "gb18030", 54936, kGb18030Aliases,
                 LeadBytes::Cjk},
    EncodingInfo{Encoding::Big5, "big5", "BIG5", "windows-950-2000", 950, kBig5Aliases,
                 LeadBytes::Cjk},
    EncodingInfo{Encoding::Utf8, "utf-8", "UTF-8", "UTF-8", 65001, kUtf8Aliases, LeadBytes::None},
    EncodingInfo{Encoding::ShiftJis, "shift_jis", "Shift_JIS", "ibm-943_P15A-2003", 932,
                 kShiftJisAliases, LeadBytes::ShiftJis},
    EncodingInfo{Encoding::EucKr, "euc-kr", "EUC-KR (UHC)", "windows-949-2000", 949, kEucKrAliases,
                 LeadBytes::Cjk},
};

// InfoOf reads the table by index, and arrays indexed by Encoding are kEncodingCount long.
static_assert(kEncodings.size() == kEncodingCount);
static_assert([] {
  for (std::size_t i = 0; i < kEncodings.size(); ++i)
    if (static_cast<std::size_t>(kEncodings[i].id) != i) return false;
  return true;
}());

bool SameName(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

std::span<const EncodingInfo> EncodingTable() {
  return kEncodings;
}

const EncodingInfo& InfoOf(Encoding encoding) {
  return kEncodings[static_cast<std::size_t>(encoding)];
}

std::optional<Encoding> FindEncoding(std::string_view name) {
  for (const EncodingInfo& info : kEncodings) {
    if (SameName(info.name, name) || SameName(info.label, name)) return info.id;
    for (const std::string_view alias : info.aliases)
      if (SameName(alias, name)) return info.id;
  }
  return std::nullopt;
}

const CodePage& CodePageOf(Encoding encoding) {
  switch (encoding) {
    case Encoding::Gbk:
      return GbkCodePage();
    case Encoding::Big5:
      return Big5CodePage();
    case Encoding::Utf8:
      return Utf8CodePage();
    default:
      return IcuCodePageNamed(InfoOf(encoding).icu_name.data());
  }
}

}  // namespace tessaly
