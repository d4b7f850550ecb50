#include "ui/box_text.h"

#include <QByteArray>
#include <QCoreApplication>
#include <algorithm>

#include "engine/text_boundary.h"

namespace tessaly::ui {

AnsiText BoxTextToAnsi(const QString& text, Encoding encoding) {
  const std::u16string_view units(reinterpret_cast<const char16_t*>(text.utf16()),
                                  static_cast<std::size_t>(text.size()));
  return TextToAnsi(units, encoding).text;
}

namespace {

// Where a piece may end without cutting a character or a CR LF pair: after a byte below 0x30,
// which no working encoding uses inside a longer character (GB18030's four-byte ones hold
// digits), and not a CR.
std::size_t PieceEnd(std::string_view ansi, std::size_t from, std::size_t size) {
  if (ansi.size() - from <= size) return ansi.size();
  for (std::size_t end = from + size; end < ansi.size(); ++end) {
    const auto byte = static_cast<unsigned char>(ansi[end - 1]);
    if (byte < 0x30 && byte != '\r') return end;
  }
  return ansi.size();
}

}  // namespace

// Large results arrive here: the text is built in place, piece by piece (ASCII needs no code
// page but Shift_JIS's), so that it is never held twice more as the engine's UTF-16 and its copy.
QString AnsiToBoxText(std::string_view ansi, Encoding encoding) {
  // The box takes a zero-terminated string, so a zero byte ends what it shows.
  const std::string_view shown = ansi.substr(0, ansi.find('\0'));
  constexpr std::size_t kPiece = std::size_t{1} << 20;
  QString text;
  text.reserve(static_cast<qsizetype>(shown.size()));  // a GBK byte gives at most one unit
  for (std::size_t from = 0; from < shown.size();) {
    const std::size_t end = PieceEnd(shown, from, kPiece);
    const std::string_view piece = shown.substr(from, end - from);
    const bool ascii = encoding != Encoding::ShiftJis &&
                       std::all_of(piece.begin(), piece.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) {
      std::size_t start = 0;
      for (std::size_t cr = piece.find("\r\n"); cr != std::string_view::npos;
           cr = piece.find("\r\n", start)) {
        text.append(QLatin1StringView(piece.substr(start, cr - start)));
        start = cr + 1;  // the LF stays
      }
      text.append(QLatin1StringView(piece.substr(start)));
    } else {
      const std::u16string units = AnsiToText(piece, encoding);
      text.append(QStringView(units.data(), static_cast<qsizetype>(units.size())));
    }
    from = end;
  }
  return text;
}

QString FromUtf8(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QString ModeText(std::string_view utf8) {
  return QCoreApplication::translate("Mode", std::string(utf8).c_str());
}

QString EncodingText(std::string_view utf8) {
  return QCoreApplication::translate("Encoding", std::string(utf8).c_str());
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
