#include "ui/box_text.h"

#include "engine/text_boundary.h"

namespace tessaly::gui {

AnsiText BoxTextToAnsi(const QString& text) {
  const std::u16string_view units(reinterpret_cast<const char16_t*>(text.utf16()),
                                  static_cast<std::size_t>(text.size()));
  return TextToAnsi(units).text;
}

QString AnsiToBoxText(std::string_view ansi) {
  // The box takes a zero-terminated string, so a zero byte ends what it shows.
  const std::string_view shown = ansi.substr(0, ansi.find('\0'));
  return QString::fromStdU16String(AnsiToText(shown));
}

QString FromUtf8(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

}  // namespace tessaly::gui
