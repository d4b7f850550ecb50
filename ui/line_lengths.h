#pragma once

#include <QStringView>

namespace tessaly::ui {

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
