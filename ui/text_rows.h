#pragma once

#include <QFont>
#include <QString>
#include <QStringView>
#include <unordered_map>
#include <vector>

namespace tessaly::ui {

/// The advances of a font's characters, each measured once: a box wraps and places its rows by
/// adding them up, so a line of millions of characters costs no layout, only a table look-up
/// per character. Kerning is off in the box, so the sum is what the painter draws.
class CharAdvances {
 public:
  /// Measures characters of `font` on demand; a tab reaches the next multiple of `tab_stop`.
  explicit CharAdvances(const QFont& font, qreal tab_stop = 80);

  /// The advance of the character at `i` (a surrogate pair counts as one) at `x` in its row.
  qreal At(QStringView text, qsizetype i, qreal x);
  /// How many UTF-16 units the character at `i` takes: 2 for a whole surrogate pair, else 1.
  static qsizetype Units(QStringView text, qsizetype i);

 private:
  qreal Measure(char32_t code);

  QFont font_;
  qreal tab_stop_;
  std::vector<float> bmp_;
  std::unordered_map<char32_t, float> astral_;
};

/// Where the visual rows of a text begin when its lines wrap at any character to a width:
/// row k spans [Start(k), Start(k + 1)), a line break ending a row belongs to that row.
class TextRows {
 public:
  /// Rows of an empty text.
  TextRows() = default;

  /// Wraps the whole of `text` afresh.
  void Rebuild(QStringView text, CharAdvances& advances, qreal width);
  /// Follows an edit that replaced `removed` units at `at` with what `text` now holds there
  /// (`added` units): only the rows from the edit to where the old rows resume are wrapped.
  void Update(QStringView text, CharAdvances& advances, qreal width, qsizetype at,
              qsizetype removed, qsizetype added);

  /// The number of rows, at least 1.
  qsizetype Count() const { return static_cast<qsizetype>(starts_.size()); }
  /// Where row `row` begins.
  qsizetype Start(qsizetype row) const { return starts_[static_cast<std::size_t>(row)]; }
  /// Where row `row` ends, before the line break that ends it, if any.
  qsizetype End(QStringView text, qsizetype row) const;
  /// The row that shows the character at `position`; a position where a row wraps belongs to
  /// the later row.
  qsizetype RowOf(qsizetype position) const;

  /// Where the row that begins at `start` ends: the next row's start, or -1 at the text's end.
  static qsizetype NextStart(QStringView text, CharAdvances& advances, qreal width,
                             qsizetype start);

 private:
  std::vector<qsizetype> starts_{0};
};

/// The text as a box holds it, as the toolkit's documents hold plain text: every line break
/// (LF, CR LF, CR, paragraph and line separators) becomes LF and a no-break space a space.
/// Returns the text itself, shared, when there is nothing to change.
QString AsBoxText(const QString& text);

}  // namespace tessaly::ui
