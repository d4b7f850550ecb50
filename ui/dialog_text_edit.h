#pragma once

#include <QPlainTextEdit>
#include <QString>
#include <optional>

namespace tessaly::ui {

/// A dialog's multi-line box: Tab moves the focus, Enter goes to the dialog, Ctrl+Enter breaks
/// the line; lines wrap at the box's width, at any character. A box takes no line longer than
/// its limit and no text the memory cannot hold; it says why instead.
class DialogTextEdit : public QPlainTextEdit {
  Q_OBJECT

 public:
  /// The longest line, in UTF-16 units, a box takes by default. Laying a line out costs the
  /// toolkit about 35 bytes a character, and its layout breaks down beyond 68 million.
  static constexpr qsizetype kMaxLineLength = qsizetype{1} << 25;

  /// An empty box.
  explicit DialogTextEdit(QWidget* parent = nullptr);

  /// The longest line the box takes, in UTF-16 units.
  qsizetype MaxLineLength() const { return max_line_length_; }
  /// Sets the longest line the box takes; at most kMaxLineLength makes sense.
  void SetMaxLineLength(qsizetype length) { max_line_length_ = length; }

  /// Replaces the whole text, as setPlainText does. When a line of the text is longer than the
  /// box takes, empties the box instead and returns that line's length. Throws std::bad_alloc,
  /// leaving the box empty, when the memory cannot hold the text.
  std::optional<qsizetype> ReplaceText(const QString& text);

 signals:
  /// A paste or drop the box turned down, with the message for the user.
  void PasteRefused(const QString& message);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void insertFromMimeData(const QMimeData* source) override;

 private:
  void KeepLayouts(int position, int added);
  std::optional<QString> PasteProblem(const QString& text) const;

  qsizetype max_line_length_ = kMaxLineLength;
};

}  // namespace tessaly::ui
