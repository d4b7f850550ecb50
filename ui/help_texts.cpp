#include "ui/help_texts.h"

#include <string_view>

#include "engine/byte_modes.h"
#include "engine/text_boundary.h"
#include "res/product.h"
#include "ui/box_text.h"
#include "ui/mode_faces.h"
#include "ui/qt_text.h"

namespace tessaly::ui {
namespace {

// 中華人民共和國 in BIG5; the box shows these bytes as the GBK characters they happen to spell.
constexpr std::string_view kBig5Phrase = "\xA4\xA4\xB5\xD8\xA4\x48\xA5\xC1\xA6\x40\xA9\x4D\xB0\xEA";

AnsiText Gbk(std::string_view utf8) {
  return Utf8TextToAnsi(utf8).text;
}

AnsiText Example(HelpExample example) {
  switch (example) {
    case HelpExample::Big5Phrase:
      return AnsiText(kBig5Phrase);
    case HelpExample::WebAddressArray: {
      const AnsiText address(product::kWebAddress);
      return address + " = " + CharArray(address);
    }
    case HelpExample::None:
      break;
  }
  return {};
}

}  // namespace

// The texts are box text: TextToAnsi turns each "\n" into the CR LF they carry. An example is
// spliced in as bytes, after that conversion, since it may spell nothing in GBK.
AnsiText HelpText(ConversionMode mode) {
  const ModeFace* face = FaceOf(mode);
  if (face == nullptr) return {};
  const std::string help = ToUtf8(ModeText(face->help));
  const std::string_view text(help);
  const std::size_t slot = text.find("{}");
  if (slot == std::string_view::npos) return Gbk(text);
  return Gbk(text.substr(0, slot)) + Example(face->example) + Gbk(text.substr(slot + 2));
}

}  // namespace tessaly::ui
