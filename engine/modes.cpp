#include "engine/modes.h"

#include <array>
#include <map>
#include <mutex>
#include <tuple>

#include "engine/byte_modes.h"
#include "engine/chinese/chinese_stream.h"
#include "engine/chinese/chinese_text.h"
#include "engine/chinese/phrase_matcher.h"
#include "engine/chinese_modes.h"
#include "engine/unicode_modes.h"

namespace tessaly {
namespace {

using Mode = ConversionMode;

// Adapters from each mode function's own signature to the table's.
template <AnsiText (*Convert)(std::string_view)>
ConversionResult Lossless(const ModeInfo&, std::string_view input, const ConversionContext&) {
  return {Convert(input), {}};
}

template <AnsiText (*Convert)(std::string_view, LossReport*)>
ConversionResult Lossy(const ModeInfo&, std::string_view input, const ConversionContext&) {
  ConversionResult result;
  result.text = Convert(input, &result.losses);
  return result;
}

template <AnsiText (*Convert)(std::string_view, FaultLog&, LossReport*)>
ConversionResult Reporting(const ModeInfo&, std::string_view input,
                           const ConversionContext& context) {
  ConversionResult result;
  result.text = Convert(input, context.faults, &result.losses);
  return result;
}

// The Unicode modes go through the character-set library: where it fails, the result is empty
// and the fault goes under the mode's name.
template <AnsiText (*Convert)(std::string_view, Encoding)>
ConversionResult Encoded(const ModeInfo& mode, std::string_view input,
                         const ConversionContext& context) {
  try {
    return {Convert(input, context.encoding), {}};
  } catch (const Error& error) {
    context.faults.Add(mode.cli_name, error);
  }
  return {};
}

template <ConversionResult (*Convert)(std::string_view, Encoding, bool)>
ConversionResult Decoded(const ModeInfo& mode, std::string_view input,
                         const ConversionContext& context) {
  try {
    return Convert(input, context.encoding, context.unicode_result);
  } catch (const Error& error) {
    context.faults.Add(mode.cli_name, error);
  }
  return {};
}

template <std::unique_ptr<ModeStream> (*Make)(Encoding)>
std::unique_ptr<ModeStream> EncodedStream(const ModeInfo&, const ConversionContext& context) {
  return Make(context.encoding);
}

template <std::unique_ptr<ModeStream> (*Make)()>
std::unique_ptr<ModeStream> Stream(const ModeInfo&, const ConversionContext&) {
  return Make();
}

template <std::unique_ptr<ModeStream> (*Make)(FaultLog&)>
std::unique_ptr<ModeStream> ReportingStream(const ModeInfo&, const ConversionContext& context) {
  return Make(context.faults);
}

// The regional standards: the row names OpenCC's configuration and the routine. The whole text
// goes through the same stream as text that arrives in blocks.
std::unique_ptr<ModeStream> ChineseStandardStream(const ModeInfo& mode,
                                                  const ConversionContext& context) {
  return std::make_unique<ChineseStream>(ChineseConversionFor(mode, context), true, context.threads,
                                         context.faults);
}

ConversionResult ChineseStandard(const ModeInfo& mode, std::string_view input,
                                 const ConversionContext& context) {
  ConversionResult result;
  const std::unique_ptr<ModeStream> stream = ChineseStandardStream(mode, context);
  stream->Convert(input, result.text);
  stream->Finish(result.text);
  return result;
}

ConversionResult CharArrayOf(const ModeInfo&, std::string_view input,
                             const ConversionContext& context) {
  return {context.c_escapes ? EscapedCharArray(input) : CharArray(input), {}};
}

std::unique_ptr<ModeStream> CharArrayStreamOf(const ModeInfo&, const ConversionContext& context) {
  return context.c_escapes ? EscapedCharArrayStream() : CharArrayStream();
}

ConversionResult Random(const ModeInfo&, std::string_view input, const ConversionContext& context) {
  return {RandomBytes(input, context.ticks), {}};
}

constexpr auto kRead = ModeReads::Text;
constexpr auto kAnyText = ModeReads::AnyText;
constexpr auto kList = ModeReads::Listing;
constexpr auto kListing = ModeWrites::Listing;
constexpr auto kText = ModeWrites::Text;

const std::array kModes = {
    ModeInfo{Mode::HexEncode, "hex-encode", "text to a hex listing of its bytes",
             "Text to a hex listing of its bytes in the working encoding.",
             "$ printf '你好' | tessaly-cli -m hex-encode -s space\n"
             "C4 E3 BA C3",
             kRead, kListing, Lossless<HexEncode>, Stream<HexEncodeStream>},
    ModeInfo{Mode::HexDecode,
             "hex-decode",
             "a hex listing of bytes back to text",
             {},
             "$ printf 'C4E3BAC3' | tessaly-cli -m hex-decode\n"
             "你好",
             kList,
             kText,
             Lossy<HexDecode>,
             Stream<HexDecodeStream>},
    ModeInfo{Mode::Utf16Encode,
             "utf16-encode",
             "text to a hex listing of its UTF-16LE bytes",
             {},
             "$ printf '你好' | tessaly-cli -m utf16-encode -s 0x\n"
             "0x60,0x4F,0x7D,0x59",
             kAnyText,
             kListing,
             Encoded<Utf16Encode>,
             EncodedStream<Utf16EncodeStream>},
    ModeInfo{Mode::Utf16Decode, "utf16-decode", "a hex listing of UTF-16LE bytes back to text",
             "A hex listing of UTF\\-16LE bytes back to text (deletes all by default).\n"
             "The decoded data ends at its first zero unit, with a warning.",
             "$ printf '60 4F 7D 59' | tessaly-cli -m utf16-decode\n"
             "你好",
             kList, kText, Decoded<Utf16Decode>, nullptr},
    ModeInfo{Mode::RandomBytes, "random", "256 distinct random byte values as a hex listing",
             "256 distinct random byte values as a hex listing; the input is not read.",
             "$ tessaly-cli -m random --seed 1 -s space", ModeReads::Nothing, kListing, Random,
             nullptr},
    ModeInfo{Mode::SimplifiedToTraditional,
             "s2t",
             "simplified Chinese to traditional",
             {},
             "$ printf '头发' | tessaly-cli -m s2t\n"
             "頭髮",
             kRead,
             kText,
             ChineseStandard,
             ChineseStandardStream,
             {},
             "s2t.json",
             "GB2GBK"},
    ModeInfo{Mode::TraditionalToSimplified,
             "t2s",
             "traditional Chinese to simplified",
             {},
             "$ printf '頭髮' | tessaly-cli -m t2s\n"
             "头发",
             kRead,
             kText,
             ChineseStandard,
             ChineseStandardStream,
             {},
             "t2s.json",
             "GBK2GB"},
    ModeInfo{Mode::GbkToBig5, "gbk-to-big5", "GBK bytes re-encoded as BIG5",
             "GBK bytes re\\-encoded as BIG5. As text, the input is read through GBK and the "
             "result shown as\n"
             "the characters its BIG5 bytes hold (characters BIG5 lacks are\n"
             ".BR ? );\n"
             "with\n"
             ".B \\-\\-raw\n"
             "the bytes themselves.",
             "$ printf '中华' | tessaly-cli -m gbk-to-big5\n"
             "中?\n"
             "$ printf '你好' | iconv -t gbk | tessaly-cli --raw -m gbk-to-big5 | xxd -p\n"
             "a741a66e",
             kRead, kText, Reporting<GbkToBig5>, ReportingStream<GbkToBig5Stream>, "BIG5"},
    ModeInfo{Mode::Big5ToGbk, "big5-to-gbk", "BIG5 bytes re-encoded as GBK",
             "BIG5 bytes re\\-encoded as GBK. As text, the input is read through BIG5 and the "
             "result shown as\n"
             "the characters its GBK bytes hold; with\n"
             ".B \\-\\-raw\n"
             "the bytes themselves.",
             "$ printf '中華' | tessaly-cli -m big5-to-gbk\n"
             "中華\n"
             "$ tessaly-cli --raw -m big5-to-gbk old.txt | iconv -f gbk",
             kRead, kText, Reporting<Big5ToGbk>, ReportingStream<Big5ToGbkStream>},
    ModeInfo{Mode::CharArray, "char-array", "a C character-array initialiser, one element a byte",
             "A C character\\-array initialiser, one element a byte, each a valid C character "
             "constant:\n"
             "printable ASCII as itself,\n"
             ".B \\e\\(aq\n"
             "and\n"
             ".B \\e\\e\n"
             "for the quote and the backslash,\n"
             ".BI \\ex NN\n"
             "for every other byte (so a text loses nothing).",
             "$ printf 'it\\'s 你' | tessaly-cli -m char-array\n"
             "{'i','t','\\'','s',' ','\\xC4','\\xE3','\\0'};",
             kRead, kListing, CharArrayOf, CharArrayStreamOf},
    ModeInfo{Mode::Utf8Encode,
             "utf8-encode",
             "text to a hex listing of its UTF-8 bytes",
             {},
             "$ printf '你好' | tessaly-cli -m utf8-encode -s comma\n"
             "E4,BD,A0,E5,A5,BD,",
             kAnyText,
             kListing,
             Encoded<Utf8Encode>,
             EncodedStream<Utf8EncodeStream>},
    ModeInfo{Mode::Utf8Decode, "utf8-decode", "a hex listing of UTF-8 bytes back to text",
             "A hex listing of UTF\\-8 bytes back to text (deletes all by default).\n"
             "The decoded data ends at its first zero byte, with a warning.",
             "$ printf 'E4BDA0E5A5BD' | tessaly-cli -m utf8-decode\n"
             "你好",
             kList, kText, Decoded<Utf8Decode>, nullptr},
    ModeInfo{Mode::FormatOnly,
             "format",
             "no conversion: delete the chosen characters and re-join the bytes",
             {},
             "$ printf 'C4 E3,BA.C3\\n' | tessaly-cli -m format -s space\n"
             "C4 E3 BA C3",
             kList,
             kListing,
             Lossless<FormatOnly>,
             Stream<FormatOnlyStream>},
    ModeInfo{Mode::S2tw,
             "s2tw",
             "simplified Chinese to traditional, Taiwan's standard characters",
             {},
             "$ printf '为' | tessaly-cli -m s2tw\n"
             "為",
             kRead,
             kText,
             ChineseStandard,
             ChineseStandardStream,
             {},
             "s2tw.json",
             "S2TW"},
    ModeInfo{Mode::S2twp,
             "s2twp",
             "simplified Chinese to traditional, Taiwan's characters and phrases",
             {},
             "$ printf '鼠标软件' | tessaly-cli -m s2twp\n"
             "滑鼠軟體",
             kRead,
             kText,
             ChineseStandard,
             ChineseStandardStream,
             {},
             "s2twp.json",
             "S2TWP"},
    ModeInfo{Mode::S2hk,
             "s2hk",
             "simplified Chinese to traditional, Hong Kong's standard characters",
             {},
             "$ printf '头发' | tessaly-cli -m s2hk\n"
             "頭髮",
             kRead,
             kText,
             ChineseStandard,
             ChineseStandardStream,
             {},
             "s2hk.json",
             "S2HK"},
    ModeInfo{Mode::Tw2s,
             "tw2s",
             "traditional Chinese (Taiwan) to simplified",
             {},
             "$ printf '頭髮' | tessaly-cli -m tw2s\n"
             "头发",
             kRead,
             kText,
             ChineseStandard,
             ChineseStandardStream,
             {},
             "tw2s.json",
             "TW2S"},
    ModeInfo{Mode::Tw2sp,
             "tw2sp",
             "traditional Chinese (Taiwan) to simplified, mainland phrases",
             "Traditional Chinese (Taiwan) to simplified, with mainland phrases.",
             "$ printf '滑鼠軟體' | tessaly-cli -m tw2sp\n"
             "鼠标软件",
             kRead,
             kText,
             ChineseStandard,
             ChineseStandardStream,
             {},
             "tw2sp.json",
             "TW2SP"},
    ModeInfo{Mode::Hk2s,
             "hk2s",
             "traditional Chinese (Hong Kong) to simplified",
             {},
             "$ printf '頭髮' | tessaly-cli -m hk2s\n"
             "头发",
             kRead,
             kText,
             ChineseStandard,
             ChineseStandardStream,
             {},
             "hk2s.json",
             "HK2S"},
    ModeInfo{Mode::T2tw,
             "t2tw",
             "traditional Chinese (OpenCC's standard) to Taiwan's",
             {},
             "$ printf '裏' | tessaly-cli -m t2tw\n"
             "裡",
             kRead,
             kText,
             ChineseStandard,
             ChineseStandardStream,
             {},
             "t2tw.json",
             "T2TW"},
    ModeInfo{Mode::Tw2t,
             "tw2t",
             "traditional Chinese (Taiwan) to OpenCC's standard",
             {},
             "$ printf '裡' | tessaly-cli -m tw2t\n"
             "裏",
             kRead,
             kText,
             ChineseStandard,
             ChineseStandardStream,
             {},
             "tw2t.json",
             "TW2T"},
    ModeInfo{Mode::T2hk,
             "t2hk",
             "traditional Chinese (OpenCC's standard) to Hong Kong's",
             {},
             "$ tessaly-cli -m t2hk -o notice-hk.txt notice.txt",
             kRead,
             kText,
             ChineseStandard,
             ChineseStandardStream,
             {},
             "t2hk.json",
             "T2HK"},
    ModeInfo{Mode::Hk2t,
             "hk2t",
             "traditional Chinese (Hong Kong) to OpenCC's standard",
             {},
             "$ tessaly-cli -m hk2t -o notice.txt notice-hk.txt",
             kRead,
             kText,
             ChineseStandard,
             ChineseStandardStream,
             {},
             "hk2t.json",
             "HK2T"},
    ModeInfo{Mode::T2jp,
             "t2jp",
             "traditional Chinese characters to Japanese shinjitai",
             {},
             "$ printf '體' | tessaly-cli -m t2jp -e utf-8\n"
             "体",
             kRead,
             kText,
             ChineseStandard,
             ChineseStandardStream,
             {},
             "t2jp.json",
             "T2JP"},
    ModeInfo{Mode::Jp2t,
             "jp2t",
             "Japanese shinjitai to traditional Chinese characters",
             {},
             "$ printf '体' | tessaly-cli -m jp2t -e utf-8\n"
             "體",
             kRead,
             kText,
             ChineseStandard,
             ChineseStandardStream,
             {},
             "jp2t.json",
             "JP2T"},
};

}  // namespace

std::span<const ModeInfo> ModeTable() {
  return kModes;
}

const ModeInfo* FindMode(ConversionMode id) {
  for (const ModeInfo& mode : kModes)
    if (mode.id == id) return &mode;
  return nullptr;
}

const ModeInfo* FindMode(std::string_view cli_name) {
  for (const ModeInfo& mode : kModes)
    if (mode.cli_name == cli_name) return &mode;
  return nullptr;
}

// Made once per matcher, routine and encoding: making one walks every BMP character.
std::shared_ptr<const ChineseTextConversion> SharedChineseConversion(
    const std::string& config, std::string_view routine, Encoding encoding,
    const std::shared_ptr<const UserPhrases>& user, const std::filesystem::path& cache) {
  const auto make = [&] {
    return std::make_shared<const ChineseTextConversion>(config, routine, encoding, user, cache);
  };
  const PhraseMatcher* matcher = nullptr;
  try {
    matcher = PhraseMatcher::Load(config, user, cache).get();
  } catch (const Error&) {
    return make();  // which says why the dictionaries cannot be loaded
  }
  static std::mutex mutex;
  static std::map<std::tuple<const PhraseMatcher*, std::string, Encoding>,
                  std::shared_ptr<const ChineseTextConversion>>
      made;
  const std::lock_guard lock(mutex);
  auto& conversion = made[{matcher, std::string(routine), encoding}];
  if (!conversion) conversion = make();
  return conversion;
}

std::shared_ptr<const ChineseTextConversion> ChineseConversionFor(
    const ModeInfo& mode, const ConversionContext& context) {
  if (context.chinese) return context.chinese;
  return SharedChineseConversion(std::string(mode.opencc_config), mode.routine, context.encoding,
                                 context.user_phrases, context.cache_directory);
}

Encoding EngineEncoding(const ModeInfo& mode, Encoding working) {
  return mode.reads == ModeReads::AnyText ? Encoding::Utf8 : working;
}

}  // namespace tessaly
