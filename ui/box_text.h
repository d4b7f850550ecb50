#pragma once

#include <QString>
#include <QStringView>
#include <string>
#include <string_view>

#include "engine/ansi_text.h"
#include "engine/encodings.h"

namespace tessaly::ui {

/// Box text as the engine's bytes in `encoding`: line breaks become CR LF, a character the
/// encoding lacks becomes "?".
AnsiText BoxTextToAnsi(const QString& text, Encoding encoding = Encoding::Gbk);

/// Engine bytes in `encoding` as box text: only what precedes the first zero byte, CR LF shown
/// as a line break.
QString AnsiToBoxText(std::string_view ansi, Encoding encoding = Encoding::Gbk);

/// UTF-8 text (a constant of this program) as a QString.
QString FromUtf8(std::string_view utf8);

/// A mode's label or help text from the engine's table (UTF-8), in the user's language; the
/// table's Chinese itself when no translation applies.
QString ModeText(std::string_view utf8);

/// An encoding's label from the engine's table, in the user's language.
QString EncodingText(std::string_view utf8);

/// A QString as UTF-8, the form the fault reporter takes.
std::string ToUtf8(const QString& text);

/// The lines of a text as a box will hold them, in UTF-16 units.
struct LineLengths {
  qsizetype first = 0;    ///< the first line
  qsizetype last = 0;     ///< the last line
  qsizetype longest = 0;  ///< the longest line, first and last included
  qsizetype breaks = 0;   ///< line breaks: LF, CR LF, a lone CR or a paragraph separator
};

/// Measures the lines of a text.
LineLengths MeasureLines(QStringView text);

}  // namespace tessaly::ui
