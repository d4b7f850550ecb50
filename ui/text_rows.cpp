#include "ui/text_rows.h"

#include <QFontMetricsF>
#include <algorithm>
#include <cmath>

namespace tessaly::ui {
namespace {

constexpr float kUnmeasured = -1.0F;

bool IsBreak(char16_t unit) {
  return unit == u'\r' || unit == u'\n' || unit == u'\u2028' || unit == u'\u2029' ||
         unit == u'\uFDD0' || unit == u'\uFDD1';
}

}  // namespace

CharAdvances::CharAdvances(const QFont& font, qreal tab_stop)
    : font_(font), tab_stop_(tab_stop), bmp_(0x10000, kUnmeasured) {}

qsizetype CharAdvances::Units(QStringView text, qsizetype i) {
  return text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2 : 1;
}

qreal CharAdvances::At(QStringView text, qsizetype i, qreal x) {
  const char16_t unit = text[i].unicode();
  if (unit == u'\t') return tab_stop_ * (std::floor(x / tab_stop_) + 1) - x;
  if (QChar::isSurrogate(unit)) {
    const char32_t code =
        Units(text, i) == 2 ? QChar::surrogateToUcs4(unit, text[i + 1].unicode()) : unit;
    auto [it, fresh] = astral_.try_emplace(code, kUnmeasured);
    if (fresh) it->second = static_cast<float>(Measure(code));
    return it->second;
  }
  float& advance = bmp_[unit];
  if (advance < 0) advance = static_cast<float>(Measure(unit));
  return advance;
}

qreal CharAdvances::Measure(char32_t code) {
  // Other control characters draw as nothing; the painter would show a box for some of them.
  if (code < 0x20 || code == 0x7F) return 0;
  return QFontMetricsF(font_).horizontalAdvance(QString::fromUcs4(&code, 1));
}

qsizetype TextRows::NextStart(QStringView text, CharAdvances& advances, qreal width,
                              qsizetype start) {
  qreal x = 0;
  for (qsizetype i = start; i < text.size();) {
    if (text[i] == u'\n') return i + 1;
    const qreal advance = advances.At(text, i, x);
    if (x + advance > width && i > start) return i;
    x += advance;
    i += CharAdvances::Units(text, i);
  }
  return -1;
}

void TextRows::Rebuild(QStringView text, CharAdvances& advances, qreal width) {
  starts_.assign(1, 0);
  for (qsizetype next = NextStart(text, advances, width, 0); next >= 0;
       next = NextStart(text, advances, width, next)) {
    starts_.push_back(next);
  }
}

void TextRows::Update(QStringView text, CharAdvances& advances, qreal width, qsizetype at,
                      qsizetype removed, qsizetype added) {
  const qsizetype delta = added - removed;
  // The row before the edit may take in what the edit made narrower, so wrapping starts there.
  auto first = std::upper_bound(starts_.begin(), starts_.end(), at);
  first = std::prev(first);
  if (first != starts_.begin()) first = std::prev(first);
  std::vector<qsizetype> fresh;
  auto resume = starts_.end();  // the first old row that stays, shifted by delta
  for (qsizetype next = NextStart(text, advances, width, *first); next >= 0;
       next = NextStart(text, advances, width, next)) {
    if (next >= at + added) {
      const auto old = std::lower_bound(first, starts_.end(), next - delta);
      if (old != starts_.end() && *old == next - delta) {
        resume = old;
        break;
      }
    }
    fresh.push_back(next);
  }
  const auto kept = std::distance(starts_.begin(), first) + 1;
  const auto resume_index = std::distance(starts_.begin(), resume);
  std::vector<qsizetype> rows;
  rows.reserve(static_cast<std::size_t>(kept) + fresh.size() + starts_.size() -
               static_cast<std::size_t>(resume_index));
  rows.insert(rows.end(), starts_.begin(), starts_.begin() + kept);
  rows.insert(rows.end(), fresh.begin(), fresh.end());
  for (auto it = starts_.begin() + resume_index; it != starts_.end(); ++it) {
    rows.push_back(*it + delta);
  }
  starts_ = std::move(rows);
}

qsizetype TextRows::End(QStringView text, qsizetype row) const {
  if (row + 1 >= Count()) return text.size();
  const qsizetype next = Start(row + 1);
  return next > Start(row) && text[next - 1] == u'\n' ? next - 1 : next;
}

qsizetype TextRows::RowOf(qsizetype position) const {
  const auto it = std::upper_bound(starts_.begin(), starts_.end(), position);
  return std::max<qsizetype>(0, std::distance(starts_.begin(), it) - 1);
}

QString AsBoxText(const QString& text) {
  const auto needs_change = [](QChar c) { return IsBreak(c.unicode()) || c == QChar::Nbsp; };
  const auto first = std::find_if(text.cbegin(), text.cend(), needs_change);
  if (first == text.cend()) return text;
  QString out;
  out.reserve(text.size());
  out.append(QStringView(text.cbegin(), first));
  for (auto it = first; it != text.cend(); ++it) {
    const char16_t unit = it->unicode();
    if (unit == u'\r' && it + 1 != text.cend() && *(it + 1) == u'\n') continue;
    if (IsBreak(unit)) {
      out.append(u'\n');
    } else {
      out.append(unit == 0xA0 ? QChar(u' ') : *it);
    }
  }
  return out;
}

}  // namespace tessaly::ui
