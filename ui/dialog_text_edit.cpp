#include "ui/dialog_text_edit.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QStyleHints>
#include <QTextDocumentFragment>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <new>

#include "ui/line_lengths.h"

namespace tessaly::ui {
namespace {

// The space between the frame and the text, as the toolkit's documents leave it.
constexpr int kMargin = 4;

// What a box spends beyond the text: its rows' starts, at most one per character in a
// pathological case, usually one per dozens. A QString may grow to twice what it holds.
std::size_t BytesToHold(qsizetype chars) {
  return 4 * static_cast<std::size_t>(chars);
}

// A trial allocation, released at once: the toolkit's containers end the process instead of
// throwing when memory runs out in some of their paths, so large edits ask this first.
bool CanAllocate(std::size_t bytes) {
  const std::unique_ptr<void, decltype(&std::free)> trial(std::malloc(bytes), &std::free);
  void* volatile seen = trial.get();  // keeps the compiler from eliding the pair
  return seen != nullptr;
}

bool IsWordChar(QChar c) {
  return c.isLetterOrNumber() || c == u'_';
}

// The toolkit's own texts for the context menu, so that its translations apply.
QString MenuText(const char* source) {
  return QCoreApplication::translate("QWidgetTextControl", source);
}

}  // namespace

DialogTextEdit::DialogTextEdit(QWidget* parent) : QAbstractScrollArea(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_InputMethodEnabled);
  setAcceptDrops(true);
  viewport()->setCursor(Qt::IBeamCursor);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // Character advances add up to what is drawn only without kerning and shaping.
  QFont box_font = font();
  box_font.setStyleStrategy(QFont::PreferNoShaping);
  box_font.setKerning(false);
  setFont(box_font);
  advances_ = std::make_shared<CharAdvances>(font());
}

DialogTextEdit::~DialogTextEdit() = default;

std::optional<qsizetype> DialogTextEdit::ReplaceText(const QString& text) {
  clear();  // first, so that the memory the old text holds counts as free
  const LineLengths lines = MeasureLines(text);
  if (lines.longest > max_line_length_) return lines.longest;
  if (!CanAllocate(BytesToHold(text.size()))) throw std::bad_alloc();
  setPlainText(text);
  return std::nullopt;
}

// The advances measured so far go along as a copy, so that the thread measures on its own.
std::function<PreparedText(const QString&)> DialogTextEdit::Preparer() const {
  auto advances = std::make_shared<CharAdvances>(*advances_);
  const qreal width = WrapWidth();
  const qsizetype limit = max_line_length_;
  return [advances, width, limit](const QString& text) {
    PreparedText prepared;
    prepared.longest_line = MeasureLines(text).longest;
    if (prepared.longest_line > limit) return prepared;
    prepared.text = AsBoxText(text);
    prepared.rows.Rebuild(prepared.text, *advances, width);
    prepared.width = width;
    prepared.advances = advances;
    return prepared;
  };
}

std::optional<qsizetype> DialogTextEdit::ReplaceText(PreparedText prepared) {
  clear();
  if (prepared.longest_line > max_line_length_) return prepared.longest_line;
  text_ = std::move(prepared.text);
  if (prepared.advances != nullptr && prepared.width == WrapWidth()) {
    advances_ = std::move(prepared.advances);
    rows_ = std::move(prepared.rows);
    UpdateScrollBar();
  } else {
    Rewrap();
  }
  verticalScrollBar()->setValue(0);
  viewport()->update();
  return std::nullopt;
}

void DialogTextEdit::setPlainText(const QString& text) {
  text_ = AsBoxText(text);
  undo_.clear();
  redo_.clear();
  anchor_ = position_ = 0;
  goal_x_ = -1;
  Rewrap();
  verticalScrollBar()->setValue(0);
  RestartBlink();
  viewport()->update();
}

void DialogTextEdit::clear() {
  setPlainText(QString());
}

void DialogTextEdit::Select(qsizetype anchor, qsizetype position) {
  anchor_ = std::clamp<qsizetype>(anchor, 0, text_.size());
  position_ = std::clamp<qsizetype>(position, 0, text_.size());
  goal_x_ = -1;
  EnsureCursorVisible();
  viewport()->update();
}

QString DialogTextEdit::SelectedText() const {
  return text_.mid(SelectionStart(), SelectionEnd() - SelectionStart());
}

void DialogTextEdit::moveCursor(QTextCursor::MoveOperation operation, QTextCursor::MoveMode mode) {
  const bool keep = mode == QTextCursor::KeepAnchor;
  switch (operation) {
    case QTextCursor::Start:
      MoveTo(0, keep);
      break;
    case QTextCursor::End:
      MoveTo(text_.size(), keep);
      break;
    default:
      break;
  }
}

void DialogTextEdit::selectAll() {
  anchor_ = 0;
  position_ = text_.size();
  viewport()->update();
}

void DialogTextEdit::copy() {
  if (HasSelection()) QApplication::clipboard()->setText(SelectedText());
}

void DialogTextEdit::cut() {
  if (!HasSelection()) return;
  copy();
  RecordedReplace(QString(), false);
}

void DialogTextEdit::paste() {
  insertFromMimeData(QApplication::clipboard()->mimeData());
}

void DialogTextEdit::insertPlainText(const QString& text) {
  RecordedReplace(AsBoxText(text), false);
}

// Markdown first is what a rich editor puts on the clipboard; its plain text is what it shows.
void DialogTextEdit::insertFromMimeData(const QMimeData* source) {
  if (source == nullptr) return;
  QString text;
  const QStringList formats = source->formats();
  if (!formats.isEmpty() && formats.first() == QLatin1String("text/markdown")) {
    text = QTextDocumentFragment::fromMarkdown(
               QString::fromUtf8(source->data(QStringLiteral("text/markdown"))))
               .toPlainText();
  } else {
    text = source->text();
  }
  if (text.isEmpty()) return;
  InsertChecked(text);
}

void DialogTextEdit::InsertChecked(const QString& text) {
  if (const auto problem = PasteProblem(text)) {
    emit PasteRefused(*problem);
    return;
  }
  const bool long_work = text.size() > (4 << 20);
  if (long_work) QApplication::setOverrideCursor(Qt::WaitCursor);
  try {
    RecordedReplace(AsBoxText(text), false);
  } catch (const std::bad_alloc&) {
    if (long_work) QApplication::restoreOverrideCursor();
    emit PasteRefused(tr("内存不足,无法粘贴"));
    return;
  }
  if (long_work) QApplication::restoreOverrideCursor();
}

std::optional<QString> DialogTextEdit::PasteProblem(const QString& text) const {
  const LineLengths lines = MeasureLines(text);
  const qsizetype from = SelectionStart();
  const qsizetype to = SelectionEnd();
  const qsizetype line_start = text_.lastIndexOf(u'\n', from - 1) + 1;
  qsizetype line_end = text_.indexOf(u'\n', to);
  if (line_end < 0) line_end = text_.size();
  const qsizetype before = from - line_start;
  const qsizetype after = line_end - to;
  const qsizetype longest =
      lines.breaks == 0 ? before + lines.first + after
                        : std::max({before + lines.first, lines.longest, lines.last + after});
  if (longest > max_line_length_) {
    return tr("粘贴后会有一行长达 %1 个字符,超出文本框能显示的 %2 个字符")
        .arg(longest)
        .arg(max_line_length_);
  }
  if (!CanAllocate(BytesToHold(text_.size() + text.size()))) {
    return tr("内存不足,无法粘贴");
  }
  return std::nullopt;
}

// Replaces the selection with `text` (already box text) as one step of the undo history;
// typing one character after another makes one step.
void DialogTextEdit::RecordedReplace(const QString& text, bool typed) {
  const qsizetype from = SelectionStart();
  const qsizetype to = SelectionEnd();
  if (from == to && text.isEmpty()) return;
  redo_.clear();
  if (typed && from == to && !undo_.empty() && undo_.back().typed &&
      undo_.back().at + undo_.back().inserted.size() == from) {
    undo_.back().inserted += text;
  } else {
    undo_.push_back({from, text_.mid(from, to - from), text, typed});
  }
  Replace(from, to, text);
  anchor_ = position_ = from + text.size();
  goal_x_ = -1;
  EnsureCursorVisible();
}

void DialogTextEdit::Replace(qsizetype from, qsizetype to, const QString& text) {
  if (from == 0 && to == text_.size()) {
    text_ = text;  // shares a pasted or converted text instead of copying it
  } else {
    text_.replace(from, to - from, text);
  }
  rows_.Update(text_, *advances_, WrapWidth(), from, to - from, text.size());
  UpdateScrollBar();
  viewport()->update();
}

void DialogTextEdit::ApplyEdit(const Edit& edit, bool forward) {
  const QString& out = forward ? edit.removed : edit.inserted;
  const QString& in = forward ? edit.inserted : edit.removed;
  Replace(edit.at, edit.at + out.size(), in);
  anchor_ = position_ = edit.at + in.size();
  goal_x_ = -1;
  EnsureCursorVisible();
}

void DialogTextEdit::undo() {
  if (undo_.empty()) return;
  Edit edit = std::move(undo_.back());
  undo_.pop_back();
  ApplyEdit(edit, false);
  redo_.push_back(std::move(edit));
}

void DialogTextEdit::redo() {
  if (redo_.empty()) return;
  Edit edit = std::move(redo_.back());
  redo_.pop_back();
  ApplyEdit(edit, true);
  undo_.push_back(std::move(edit));
}

// ---- layout

int DialogTextEdit::RowHeight() const {
  return fontMetrics().lineSpacing();
}

int DialogTextEdit::VisibleRows() const {
  return std::max(1, (viewport()->height() - 2 * kMargin) / RowHeight());
}

qreal DialogTextEdit::WrapWidth() const {
  return std::max(1, viewport()->width() - 2 * kMargin);
}

void DialogTextEdit::Rewrap() {
  rows_.Rebuild(text_, *advances_, WrapWidth());
  UpdateScrollBar();
}

void DialogTextEdit::UpdateScrollBar() {
  QScrollBar* bar = verticalScrollBar();
  const qsizetype hidden = std::max<qsizetype>(0, rows_.Count() - VisibleRows());
  bar->setRange(0, static_cast<int>(std::min<qsizetype>(hidden, INT_MAX)));
  bar->setPageStep(VisibleRows());
  bar->setSingleStep(1);
}

void DialogTextEdit::EnsureCursorVisible() {
  const qsizetype row = rows_.RowOf(position_);
  QScrollBar* bar = verticalScrollBar();
  if (row < bar->value()) {
    bar->setValue(static_cast<int>(row));
  } else if (row >= bar->value() + VisibleRows()) {
    bar->setValue(static_cast<int>(row - VisibleRows() + 1));
  }
  RestartBlink();
  viewport()->update();
}

qreal DialogTextEdit::XOf(qsizetype row, qsizetype position) const {
  qreal x = 0;
  const qsizetype end = std::min(position, rows_.End(text_, row));
  for (qsizetype i = rows_.Start(row); i < end; i += CharAdvances::Units(text_, i)) {
    x += advances_->At(text_, i, x);
  }
  return x;
}

qsizetype DialogTextEdit::PositionAtX(qsizetype row, qreal x) const {
  qreal left = 0;
  const qsizetype end = rows_.End(text_, row);
  qsizetype i = rows_.Start(row);
  while (i < end) {
    const qreal advance = advances_->At(text_, i, left);
    if (x < left + advance / 2) return i;
    left += advance;
    i += CharAdvances::Units(text_, i);
  }
  return end;
}

qsizetype DialogTextEdit::HitTest(QPoint point) const {
  const auto offset =
      static_cast<qsizetype>(std::floor(static_cast<double>(point.y() - kMargin) / RowHeight()));
  const qsizetype row =
      std::clamp<qsizetype>(verticalScrollBar()->value() + offset, 0, rows_.Count() - 1);
  return PositionAtX(row, point.x() - kMargin);
}

QRect DialogTextEdit::CursorRect() const {
  const qsizetype row = rows_.RowOf(position_);
  const int y = kMargin + static_cast<int>(row - verticalScrollBar()->value()) * RowHeight();
  const int x = kMargin + static_cast<int>(XOf(row, position_));
  return {x, y, 1, RowHeight()};
}

// ---- painting

void DialogTextEdit::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  painter.setFont(font());
  const qsizetype first = verticalScrollBar()->value();
  const qsizetype last = std::min(rows_.Count(), first + VisibleRows() + 1);
  for (qsizetype row = first; row < last; ++row) {
    PaintRow(painter, row, kMargin + static_cast<int>(row - first) * RowHeight());
  }
  if (hasFocus() && (cursor_shown_ || !preedit_.isEmpty())) {
    const QRect cursor = CursorRect();
    if (!preedit_.isEmpty()) {
      const int width = fontMetrics().horizontalAdvance(preedit_);
      painter.fillRect(QRect(cursor.x(), cursor.y(), width, cursor.height()),
                       palette().color(QPalette::Base));
      painter.setPen(palette().color(QPalette::Text));
      painter.drawText(cursor.x(), cursor.y() + fontMetrics().ascent(), preedit_);
      painter.drawLine(cursor.x(), cursor.bottom(), cursor.x() + width, cursor.bottom());
    } else {
      painter.fillRect(cursor, palette().color(QPalette::Text));
    }
  }
}

// A row is drawn in runs that change at the selection's ends and around control characters,
// each at the place the added-up advances give it.
void DialogTextEdit::PaintRow(QPainter& painter, qsizetype row, int y) const {
  const qsizetype start = rows_.Start(row);
  const qsizetype end = rows_.End(text_, row);
  const qsizetype sel_start = SelectionStart();
  const qsizetype sel_end = SelectionEnd();
  const int baseline = y + fontMetrics().ascent();
  const QColor text_color = palette().color(QPalette::Text);
  const QColor selected_text = palette().color(QPalette::HighlightedText);
  qreal x = 0;
  qsizetype i = start;
  while (i < end) {
    const bool selected = i >= sel_start && i < sel_end;
    const qsizetype run_start = i;
    const qreal run_x = x;
    const bool control = text_[i].unicode() < 0x20;
    do {
      x += advances_->At(text_, i, x);
      i += CharAdvances::Units(text_, i);
    } while (i < end && (i >= sel_start && i < sel_end) == selected &&
             (text_[i].unicode() < 0x20) == control && !control);
    if (selected) {
      painter.fillRect(QRectF(kMargin + run_x, y, x - run_x, RowHeight()),
                       palette().color(QPalette::Highlight));
    }
    if (control) continue;
    painter.setPen(selected ? selected_text : text_color);
    painter.drawText(QPointF(kMargin + run_x, baseline),
                     QString::fromRawData(text_.constData() + run_start, i - run_start));
  }
  // A selected line break shows as a little selected space, as in the toolkit's boxes.
  if (end < text_.size() && end >= sel_start && end < sel_end && row + 1 < rows_.Count() &&
      rows_.Start(row + 1) == end + 1) {
    painter.fillRect(QRectF(kMargin + x, y, fontMetrics().averageCharWidth(), RowHeight()),
                     palette().color(QPalette::Highlight));
  }
}

void DialogTextEdit::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  Rewrap();
}

void DialogTextEdit::changeEvent(QEvent* event) {
  QAbstractScrollArea::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    advances_ = std::make_shared<CharAdvances>(font());
    Rewrap();
  }
}

void DialogTextEdit::scrollContentsBy(int, int) {
  viewport()->update();
}

// ---- cursor

void DialogTextEdit::RestartBlink() {
  cursor_shown_ = true;
  const int period = QGuiApplication::styleHints()->cursorFlashTime() / 2;
  if (period > 0 && hasFocus()) {
    blink_.start(period, this);
  } else {
    blink_.stop();
  }
}

void DialogTextEdit::timerEvent(QTimerEvent* event) {
  if (event->timerId() == blink_.timerId()) {
    cursor_shown_ = !cursor_shown_;
    viewport()->update(CursorRect().adjusted(-1, 0, 1, 0));
  } else if (event->timerId() == autoscroll_.timerId()) {
    const QPoint point = viewport()->mapFromGlobal(QCursor::pos());
    QScrollBar* bar = verticalScrollBar();
    if (point.y() < 0) bar->setValue(bar->value() - 1);
    if (point.y() > viewport()->height()) bar->setValue(bar->value() + 1);
    MoveTo(HitTest(point), true);
  } else {
    QAbstractScrollArea::timerEvent(event);
  }
}

void DialogTextEdit::focusInEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusInEvent(event);
  RestartBlink();
  viewport()->update();
}

void DialogTextEdit::focusOutEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusOutEvent(event);
  blink_.stop();
  viewport()->update();
}

void DialogTextEdit::MoveTo(qsizetype position, bool keep_anchor) {
  position_ = std::clamp<qsizetype>(position, 0, text_.size());
  if (!keep_anchor) anchor_ = position_;
  EnsureCursorVisible();
}

qsizetype DialogTextEdit::PreviousPosition(qsizetype position) const {
  if (position <= 0) return 0;
  if (position >= 2 && text_[position - 1].isLowSurrogate() &&
      text_[position - 2].isHighSurrogate()) {
    return position - 2;
  }
  return position - 1;
}

qsizetype DialogTextEdit::NextPosition(qsizetype position) const {
  if (position >= text_.size()) return text_.size();
  return position + CharAdvances::Units(text_, position);
}

qsizetype DialogTextEdit::WordStart(qsizetype position) const {
  while (position > 0 && !IsWordChar(text_[position - 1])) --position;
  while (position > 0 && IsWordChar(text_[position - 1])) --position;
  return position;
}

qsizetype DialogTextEdit::WordEnd(qsizetype position) const {
  while (position < text_.size() && !IsWordChar(text_[position])) ++position;
  while (position < text_.size() && IsWordChar(text_[position])) ++position;
  return position;
}

// ---- keyboard

bool DialogTextEdit::event(QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride) {
    // Editing keys belong to the box, not to the window's shortcuts; Ctrl+Enter breaks a line.
    auto* key = static_cast<QKeyEvent*>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if ((enter && (key->modifiers() & Qt::ControlModifier)) || key == QKeySequence::Copy ||
        key == QKeySequence::Paste || key == QKeySequence::Cut || key == QKeySequence::Undo ||
        key == QKeySequence::Redo || key == QKeySequence::SelectAll ||
        (!key->text().isEmpty() && key->text().at(0).isPrint() &&
         !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))) {
      event->accept();
      return true;
    }
  }
  return QAbstractScrollArea::event(event);
}

void DialogTextEdit::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter) {
    if (event->modifiers() & Qt::ControlModifier) {
      insertPlainText(QStringLiteral("\n"));
    } else {
      event->ignore();  // the dialog's accept action decides
    }
    return;
  }
  if (HandleMovement(event) || HandleEditing(event)) {
    event->accept();
    return;
  }
  const QString text = event->text();
  if (!text.isEmpty() && text.at(0).isPrint() &&
      !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
    RecordedReplace(text, true);
    event->accept();
    return;
  }
  event->ignore();
}

bool DialogTextEdit::HandleEditing(QKeyEvent* event) {
  if (event == QKeySequence::SelectAll) {
    selectAll();
  } else if (event == QKeySequence::Copy) {
    copy();
  } else if (event == QKeySequence::Cut) {
    cut();
  } else if (event == QKeySequence::Paste) {
    paste();
  } else if (event == QKeySequence::Undo) {
    undo();
  } else if (event == QKeySequence::Redo) {
    redo();
  } else if (event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete) {
    if (!HasSelection()) {
      const bool back = event->key() == Qt::Key_Backspace;
      position_ = back ? PreviousPosition(position_) : NextPosition(position_);
    }
    RecordedReplace(QString(), false);
  } else {
    return false;
  }
  return true;
}

bool DialogTextEdit::HandleMovement(QKeyEvent* event) {
  const bool keep = event->modifiers() & Qt::ShiftModifier;
  const bool word = event->modifiers() & Qt::ControlModifier;
  const qsizetype row = rows_.RowOf(position_);
  qsizetype target = position_;
  bool vertical = false;
  switch (event->key()) {
    case Qt::Key_Left:
      if (HasSelection() && !keep && !word) {
        target = SelectionStart();
      } else {
        target = word ? WordStart(position_) : PreviousPosition(position_);
      }
      break;
    case Qt::Key_Right:
      if (HasSelection() && !keep && !word) {
        target = SelectionEnd();
      } else {
        target = word ? WordEnd(position_) : NextPosition(position_);
      }
      break;
    case Qt::Key_Home:
      target = word ? 0 : rows_.Start(row);
      break;
    case Qt::Key_End:
      target = word ? text_.size() : rows_.End(text_, row);
      break;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: {
      const qsizetype step =
          event->key() == Qt::Key_Up || event->key() == Qt::Key_Down ? 1 : VisibleRows();
      const bool up = event->key() == Qt::Key_Up || event->key() == Qt::Key_PageUp;
      const qsizetype to_row =
          std::clamp<qsizetype>(up ? row - step : row + step, 0, rows_.Count() - 1);
      if (goal_x_ < 0) goal_x_ = XOf(row, position_);
      target = to_row == row ? (up ? 0 : text_.size()) : PositionAtX(to_row, goal_x_);
      vertical = true;
      break;
    }
    default:
      return false;
  }
  const qreal goal = goal_x_;
  MoveTo(target, keep);
  goal_x_ = vertical ? goal : -1;
  viewport()->update();
  return true;
}

void DialogTextEdit::inputMethodEvent(QInputMethodEvent* event) {
  if (!event->commitString().isEmpty()) RecordedReplace(AsBoxText(event->commitString()), true);
  preedit_ = event->preeditString();
  viewport()->update();
  event->accept();
}

QVariant DialogTextEdit::inputMethodQuery(Qt::InputMethodQuery query) const {
  switch (query) {
    case Qt::ImEnabled:
      return true;
    case Qt::ImCursorRectangle:
      return CursorRect().translated(viewport()->pos());
    case Qt::ImFont:
      return font();
    case Qt::ImCursorPosition:
      return static_cast<int>(position_ - rows_.Start(rows_.RowOf(position_)));
    case Qt::ImAnchorPosition:
      return static_cast<int>(std::clamp(
          anchor_ - rows_.Start(rows_.RowOf(position_)), qsizetype{0},
          rows_.End(text_, rows_.RowOf(position_)) - rows_.Start(rows_.RowOf(position_))));
    case Qt::ImSurroundingText: {
      const qsizetype row = rows_.RowOf(position_);
      return text_.mid(rows_.Start(row), rows_.End(text_, row) - rows_.Start(row));
    }
    case Qt::ImCurrentSelection:
      return SelectedText().left(1024);
    case Qt::ImHints:
      return static_cast<int>(Qt::ImhMultiLine);
    default:
      return QAbstractScrollArea::inputMethodQuery(query);
  }
}

// ---- mouse

void DialogTextEdit::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    MoveTo(HitTest(event->position().toPoint()), event->modifiers() & Qt::ShiftModifier);
    selecting_ = true;
  } else if (event->button() == Qt::MiddleButton &&
             QApplication::clipboard()->supportsSelection()) {
    MoveTo(HitTest(event->position().toPoint()), false);
    InsertChecked(QApplication::clipboard()->text(QClipboard::Selection));
  }
}

void DialogTextEdit::mouseMoveEvent(QMouseEvent* event) {
  if (!selecting_) return;
  const QPoint point = event->position().toPoint();
  MoveTo(HitTest(point), true);
  if (viewport()->rect().contains(point)) {
    autoscroll_.stop();
  } else if (!autoscroll_.isActive()) {
    autoscroll_.start(50, this);
  }
}

void DialogTextEdit::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  selecting_ = false;
  autoscroll_.stop();
  // The X11 selection: a middle click elsewhere pastes it. Huge selections are left out.
  if (HasSelection() && QApplication::clipboard()->supportsSelection() &&
      SelectionEnd() - SelectionStart() < (1 << 20)) {
    QApplication::clipboard()->setText(SelectedText(), QClipboard::Selection);
  }
}

void DialogTextEdit::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const qsizetype at = HitTest(event->position().toPoint());
  qsizetype start = at;
  qsizetype end = at;
  while (start > 0 && IsWordChar(text_[start - 1])) --start;
  while (end < text_.size() && IsWordChar(text_[end])) ++end;
  if (start == end) end = NextPosition(end);
  anchor_ = start;
  MoveTo(end, true);
}

std::unique_ptr<QMenu> DialogTextEdit::MakeContextMenu() {
  auto menu = std::make_unique<QMenu>();
  const auto add = [&](const char* text, const QKeySequence& keys, bool enabled, auto slot) {
    QAction* action = menu->addAction(MenuText(text), this, slot);
    action->setShortcut(keys);
    action->setEnabled(enabled);
  };
  add("&Undo", QKeySequence::Undo, !undo_.empty(), &DialogTextEdit::undo);
  add("&Redo", QKeySequence::Redo, !redo_.empty(), &DialogTextEdit::redo);
  menu->addSeparator();
  add("Cu&t", QKeySequence::Cut, HasSelection(), &DialogTextEdit::cut);
  add("&Copy", QKeySequence::Copy, HasSelection(), &DialogTextEdit::copy);
  const QMimeData* clip = QApplication::clipboard()->mimeData();
  add("&Paste", QKeySequence::Paste, clip != nullptr && clip->hasText(), &DialogTextEdit::paste);
  add("Delete", QKeySequence(), HasSelection(), [this] { RecordedReplace(QString(), false); });
  menu->addSeparator();
  add("Select All", QKeySequence::SelectAll, !text_.isEmpty(), &DialogTextEdit::selectAll);
  return menu;
}

void DialogTextEdit::contextMenuEvent(QContextMenuEvent* event) {
  const std::unique_ptr<QMenu> menu = MakeContextMenu();
  menu->exec(event->globalPos());
}

// ---- drops

void DialogTextEdit::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasText()) event->acceptProposedAction();
}

void DialogTextEdit::dragMoveEvent(QDragMoveEvent* event) {
  if (!event->mimeData()->hasText()) return;
  MoveTo(HitTest(event->position().toPoint()), false);
  event->acceptProposedAction();
}

void DialogTextEdit::dropEvent(QDropEvent* event) {
  MoveTo(HitTest(event->position().toPoint()), false);
  insertFromMimeData(event->mimeData());
  event->acceptProposedAction();
  setFocus();
}

}  // namespace tessaly::ui
