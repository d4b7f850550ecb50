#include "ui/mode_faces.h"

#include <QtGlobal>
#include <array>

namespace tessaly::ui {
namespace {

using Mode = ConversionMode;
using Style = SeparatorStyle;

// The ids skip 1012 to 1018: the reserved ids of seven hidden radios that select no mode.
constexpr std::array kModeFaces = {
    ModeFace{Mode::HexEncode, 1000, "modeHexEncode", QT_TRANSLATE_NOOP("Mode", "字符串转16进制"),
             QT_TRANSLATE_NOOP("Mode", "说明:\n12345 = 31 32 33 34 35 \n你好 = C4 E3 BA C3 ")},
    ModeFace{Mode::HexDecode, 1001, "modeHexDecode", QT_TRANSLATE_NOOP("Mode", "16进制转字符串"),
             QT_TRANSLATE_NOOP("Mode", "说明:\n31 32 33 34 35 = 12345 \nC4 E3 BA C3 = 你好")},
    ModeFace{Mode::Utf16Encode, 1002, "modeUtf16Encode",
             QT_TRANSLATE_NOOP("Mode", "字符串转Unicode"),
             QT_TRANSLATE_NOOP(
                 "Mode", "说明:\n12345 = 31 00 32 00 33 00 34 00 35 00 \n你好 = 60 4F 7D 59 ")},
    ModeFace{Mode::Utf16Decode, 1003, "modeUtf16Decode",
             QT_TRANSLATE_NOOP("Mode", "Unicode转字符串"),
             QT_TRANSLATE_NOOP(
                 "Mode", "说明:\n31 00 32 00 33 00 34 00 35 00 = 12345 \n60 4F 7D 59 = 你好")},
    ModeFace{Mode::RandomBytes, 1004, "modeRandomBytes",
             QT_TRANSLATE_NOOP("Mode", "生成256个随意值"),
             QT_TRANSLATE_NOOP("Mode", "说明:\n点转换会直接生成256个不重复的随机值")},
    ModeFace{Mode::SimplifiedToTraditional, 1005, "modeSimplifiedToTraditional",
             QT_TRANSLATE_NOOP("Mode", "简转繁(GB2312->GBK)"),
             QT_TRANSLATE_NOOP("Mode", "说明:\n中华人民共和国=中華人民共和國")},
    ModeFace{Mode::TraditionalToSimplified, 1006, "modeTraditionalToSimplified",
             QT_TRANSLATE_NOOP("Mode", "繁转简(GBK->GB2312)"),
             QT_TRANSLATE_NOOP("Mode", "说明:\n中華人民共和國=中华人民共和国")},
    ModeFace{Mode::GbkToBig5, 1007, "modeGbkToBig5",
             QT_TRANSLATE_NOOP("Mode", "繁转BIG5(GBK->BIG5)"),
             QT_TRANSLATE_NOOP("Mode", "说明:\n中華人民共和國={}"), HelpExample::Big5Phrase},
    ModeFace{Mode::Big5ToGbk, 1008, "modeBig5ToGbk",
             QT_TRANSLATE_NOOP("Mode", "BIG5转繁(BIG5->GBK)"),
             QT_TRANSLATE_NOOP("Mode", "说明:\n{}=中華人民共和國"), HelpExample::Big5Phrase},
    ModeFace{Mode::CharArray, 1009, "modeCharArray", QT_TRANSLATE_NOOP("Mode", "加,''拆分字符串"),
             QT_TRANSLATE_NOOP("Mode", "说明:\n{}"), HelpExample::WebAddressArray},
    ModeFace{Mode::Utf8Encode, 1010, "modeUtf8Encode", QT_TRANSLATE_NOOP("Mode", "字符串转UTF8"),
             QT_TRANSLATE_NOOP("Mode", "说明:\n123你好=313233E4BDA0E5A5BD")},
    ModeFace{Mode::Utf8Decode, 1011, "modeUtf8Decode", QT_TRANSLATE_NOOP("Mode", "UTF8转字符串"),
             QT_TRANSLATE_NOOP("Mode", "说明:\n313233E4BDA0E5A5BD=123你好")},
    ModeFace{Mode::FormatOnly, 1019, "modeFormatOnly", QT_TRANSLATE_NOOP("Mode", "不转换只格式化"),
             QT_TRANSLATE_NOOP("Mode", "说明:\n11,22.33 44\n55,66.77 88 = 1122334455667788")},
};

// The separator radios' labels are the form's own.
constexpr std::array kSeparatorFaces = {
    SeparatorFace{Style::SeparatorNone, 1025, "separatorNone"},
    SeparatorFace{Style::SeparatorSpace, 1026, "separatorSpace"},
    SeparatorFace{Style::SeparatorComma, 1027, "separatorComma"},
    SeparatorFace{Style::SeparatorDot, 1028, "separatorDot"},
    SeparatorFace{Style::SeparatorHexList, 1029, "separatorHexList"},
};

}  // namespace

std::span<const ModeFace> ModeFaces() {
  return kModeFaces;
}

const ModeFace* FaceOf(ConversionMode mode) {
  for (const ModeFace& face : kModeFaces)
    if (face.mode == mode) return &face;
  return nullptr;
}

ConversionMode ModeOfRadio(int radio_id) {
  for (const ModeFace& face : kModeFaces)
    if (face.radio_id == radio_id) return face.mode;
  return ConversionMode::Unselected;
}

std::span<const SeparatorFace> SeparatorFaces() {
  return kSeparatorFaces;
}

SeparatorStyle SeparatorOfRadio(int radio_id) {
  for (const SeparatorFace& face : kSeparatorFaces)
    if (face.radio_id == radio_id) return face.style;
  return SeparatorStyle::Unselected;
}

}  // namespace tessaly::ui
