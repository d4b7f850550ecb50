#include "ui/help_texts.h"

#include <array>
#include <string_view>
#include <utility>

#include "engine/byte_modes.h"
#include "engine/text_boundary.h"
#include "res/product.h"

namespace tessaly::ui {
namespace {

// Written as box text: TextToAnsi turns each "\n" into the CR LF the texts carry.
constexpr std::array<std::pair<ConversionMode, std::u16string_view>, 10> kPlainHelpTexts{{
    {ConversionMode::HexEncode, u"说明:\n12345 = 31 32 33 34 35 \n你好 = C4 E3 BA C3 "},
    {ConversionMode::HexDecode, u"说明:\n31 32 33 34 35 = 12345 \nC4 E3 BA C3 = 你好"},
    {ConversionMode::Utf16Encode,
     u"说明:\n12345 = 31 00 32 00 33 00 34 00 35 00 \n你好 = 60 4F 7D 59 "},
    {ConversionMode::Utf16Decode,
     u"说明:\n31 00 32 00 33 00 34 00 35 00 = 12345 \n60 4F 7D 59 = 你好"},
    {ConversionMode::RandomBytes, u"说明:\n点转换会直接生成256个不重复的随机值"},
    {ConversionMode::SimplifiedToTraditional, u"说明:\n中华人民共和国=中華人民共和國"},
    {ConversionMode::TraditionalToSimplified, u"说明:\n中華人民共和國=中华人民共和国"},
    {ConversionMode::Utf8Encode, u"说明:\n123你好=313233E4BDA0E5A5BD"},
    {ConversionMode::Utf8Decode, u"说明:\n313233E4BDA0E5A5BD=123你好"},
    {ConversionMode::FormatOnly, u"说明:\n11,22.33 44\n55,66.77 88 = 1122334455667788"},
}};

// 中華人民共和國 in BIG5; the box shows these bytes as the GBK characters they happen to spell.
constexpr std::string_view kBig5Phrase = "\xA4\xA4\xB5\xD8\xA4\x48\xA5\xC1\xA6\x40\xA9\x4D\xB0\xEA";

AnsiText Gbk(std::u16string_view text) {
  return TextToAnsi(text).text;
}

}  // namespace

AnsiText HelpText(ConversionMode mode) {
  switch (mode) {
    case ConversionMode::GbkToBig5:
      return Gbk(u"说明:\n中華人民共和國=") + AnsiText(kBig5Phrase);
    case ConversionMode::Big5ToGbk:
      return Gbk(u"说明:\n") + AnsiText(kBig5Phrase) + Gbk(u"=中華人民共和國");
    case ConversionMode::CharArray: {
      const AnsiText example(product::kWebAddress);
      return Gbk(u"说明:\n") + example + " = " + CharArray(example);
    }
    default:
      for (const auto& [id, text] : kPlainHelpTexts) {
        if (id == mode) return Gbk(text);
      }
      return {};
  }
}

}  // namespace tessaly::ui
