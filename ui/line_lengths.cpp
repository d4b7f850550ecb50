#include "ui/line_lengths.h"

#include <algorithm>

namespace tessaly::ui {

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
