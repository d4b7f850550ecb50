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

}  // namespace tessaly::ui
