#pragma once

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QString>
#include <QTextCursor>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "ui/text_rows.h"

class QMimeData;
class QMenu;

namespace tessaly::ui {

/// A dialog's multi-line plain-text box: Tab moves the focus, Enter goes to the dialog,
/// Ctrl+Enter breaks the line; lines wrap at the box's width, at any character. Only the rows
/// in sight are drawn and a row is placed by adding up character advances, so a line of a
/// hundred million characters shows as fast as it is stored. A box takes no text the memory
/// cannot hold (nor a line longer than a limit, when one is set); it says why instead.
/// A text laid out into a box's rows away from the window's thread.
struct PreparedText {
  QString text;
  TextRows rows;
  qreal width = 0;
  std::shared_ptr<CharAdvances> advances;
  qsizetype longest_line = 0;
};

class DialogTextEdit : public QAbstractScrollArea {
  Q_OBJECT

 public:
  /// No line limit.
  static constexpr qsizetype kNoLineLimit = std::numeric_limits<qsizetype>::max();

  /// An empty box.
  explicit DialogTextEdit(QWidget* parent = nullptr);
  ~DialogTextEdit() override;

  /// The longest line the box takes, in UTF-16 units.
  qsizetype MaxLineLength() const { return max_line_length_; }
  /// Sets the longest line the box takes.
  void SetMaxLineLength(qsizetype length) { max_line_length_ = length; }

  /// Replaces the whole text, as setPlainText does. When a line of the text is longer than the
  /// box takes, empties the box instead and returns that line's length. Throws std::bad_alloc,
  /// leaving the box empty, when the memory cannot hold the text.
  std::optional<qsizetype> ReplaceText(const QString& text);
  /// What lays a text out as this box is now, for ReplaceText; it may run on any thread.
  std::function<PreparedText(const QString&)> Preparer() const;
  /// ReplaceText for a text laid out already; a box that changed width meanwhile wraps it anew.
  std::optional<qsizetype> ReplaceText(PreparedText prepared);

  /// The text; line breaks are LF.
  QString toPlainText() const { return text_; }
  /// Replaces the text and forgets the undo history; the cursor goes to the start.
  void setPlainText(const QString& text);
  /// Characters plus one, as a document counts them.
  qsizetype characterCount() const { return text_.size() + 1; }

  /// Where the selection was started.
  qsizetype Anchor() const { return anchor_; }
  /// Where the cursor is.
  qsizetype Position() const { return position_; }
  /// Selects from `anchor` to `position`, both clamped to the text.
  void Select(qsizetype anchor, qsizetype position);
  /// The selected text.
  QString SelectedText() const;
  /// Moves the cursor as QPlainTextEdit::moveCursor does, for Start and End.
  void moveCursor(QTextCursor::MoveOperation operation,
                  QTextCursor::MoveMode mode = QTextCursor::MoveAnchor);
  /// Inserts text at the cursor, over the selection, as typing would.
  void insertPlainText(const QString& text);
  /// The number of visual rows the text takes at the box's width.
  qsizetype RowCount() const { return rows_.Count(); }

 public slots:
  void clear();
  void selectAll();
  void copy();
  void cut();
  void paste();
  void undo();
  void redo();

 signals:
  /// A paste or drop the box turned down, with the message for the user.
  void PasteRefused(const QString& message);

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void changeEvent(QEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  /// Plain text goes in, markdown as its plain text; nothing else.
  virtual void insertFromMimeData(const QMimeData* source);

 private:
  struct Edit {
    qsizetype at = 0;
    QString removed;
    QString inserted;
    bool typed = false;
  };

  bool HasSelection() const { return anchor_ != position_; }
  qsizetype SelectionStart() const { return std::min(anchor_, position_); }
  qsizetype SelectionEnd() const { return std::max(anchor_, position_); }
  void Replace(qsizetype from, qsizetype to, const QString& text);
  void RecordedReplace(const QString& text, bool typed);
  void ApplyEdit(const Edit& edit, bool forward);
  std::optional<QString> PasteProblem(const QString& text) const;
  void InsertChecked(const QString& text);
  void MoveTo(qsizetype position, bool keep_anchor);
  bool HandleMovement(QKeyEvent* event);
  bool HandleEditing(QKeyEvent* event);
  qsizetype PreviousPosition(qsizetype position) const;
  qsizetype NextPosition(qsizetype position) const;
  qsizetype WordStart(qsizetype position) const;
  qsizetype WordEnd(qsizetype position) const;
  qsizetype HitTest(QPoint point) const;
  qreal XOf(qsizetype row, qsizetype position) const;
  qsizetype PositionAtX(qsizetype row, qreal x) const;
  QRect CursorRect() const;
  int RowHeight() const;
  int VisibleRows() const;
  qreal WrapWidth() const;
  void Rewrap();
  void UpdateScrollBar();
  void EnsureCursorVisible();
  void RestartBlink();
  void PaintRow(QPainter& painter, qsizetype row, int y) const;
  std::unique_ptr<QMenu> MakeContextMenu();

  QString text_;
  qsizetype anchor_ = 0;
  qsizetype position_ = 0;
  qreal goal_x_ = -1;
  std::shared_ptr<CharAdvances> advances_;
  TextRows rows_;
  std::vector<Edit> undo_;
  std::vector<Edit> redo_;
  QString preedit_;
  QBasicTimer blink_;
  QBasicTimer autoscroll_;
  bool cursor_shown_ = false;
  bool selecting_ = false;
  qsizetype max_line_length_ = kNoLineLimit;
};

}  // namespace tessaly::ui
