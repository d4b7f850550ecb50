#include "ui/box_text.h"

#include <QByteArray>
#include <algorithm>

#include "engine/text_boundary.h"

namespace tessaly::ui {

AnsiText BoxTextToAnsi(const QString& text, Encoding encoding) {
  const std::u16string_view units(reinterpret_cast<const char16_t*>(text.utf16()),
                                  static_cast<std::size_t>(text.size()));
  return TextToAnsi(units, encoding).text;
}

QString AnsiToBoxText(std::string_view ansi, Encoding encoding) {
  // The box takes a zero-terminated string, so a zero byte ends what it shows.
  const std::string_view shown = ansi.substr(0, ansi.find('\0'));
  return QString::fromStdU16String(AnsiToText(shown, encoding));
}

QString FromUtf8(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string ToUtf8(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return {utf8.constData(), static_cast<std::size_t>(utf8.size())};
}

LineLengths MeasureLines(QStringView text) {
  LineLengths lines;
  qsizetype start = 0;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i].unicode();
    if (unit != u'\n' && unit != u'\r' && unit != u'\u2029') continue;
    if (lines.breaks++ == 0) lines.first = i - start;
    lines.longest = std::max(lines.longest, i - start);
    if (unit == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    start = i + 1;
  }
  lines.last = text.size() - start;
  if (lines.breaks == 0) lines.first = lines.last;
  lines.longest = std::max(lines.longest, lines.last);
  return lines;
}

}  // namespace tessaly::ui
