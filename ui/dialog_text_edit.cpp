#include "ui/dialog_text_edit.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QTextLayout>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>

#include "ui/box_text.h"

namespace tessaly::ui {
namespace {

// What the toolkit spends beyond two bytes a character: on each line of a document (block and
// fragment records; about 450 bytes measured), and on each character of a line it lays out
// (glyph, advance, offset, attribute and cluster arrays for half again as many glyphs).
constexpr std::size_t kBytesPerLine = 512;
constexpr std::size_t kLayoutBytesPerChar = 36;

// A line this short lays out again in well under a millisecond: its glyphs are not worth keeping.
constexpr int kCachedLineLength = 4096;

std::size_t BytesToHold(qsizetype chars, const LineLengths& lines, qsizetype longest) {
  return 2 * static_cast<std::size_t>(chars) +
         kBytesPerLine * static_cast<std::size_t>(lines.breaks) +
         kLayoutBytesPerChar * static_cast<std::size_t>(longest);
}

// A trial allocation, released at once. The toolkit's document does not survive running out of
// memory halfway through an edit, so large edits ask this first.
bool CanAllocate(std::size_t bytes) {
  const std::unique_ptr<void, decltype(&std::free)> trial(std::malloc(bytes), &std::free);
  void* volatile seen = trial.get();  // keeps the compiler from eliding the pair
  return seen != nullptr;
}

// The longest line once `lines` replace the selection of `cursor`: the first and the last of
// them join what stands before and after the selection.
qsizetype LongestLineAfterInsert(const QTextCursor& cursor, const LineLengths& lines) {
  const QTextDocument* doc = cursor.document();
  const QTextBlock first = doc->findBlock(cursor.selectionStart());
  const QTextBlock last = doc->findBlock(cursor.selectionEnd());
  const qsizetype before = cursor.selectionStart() - first.position();
  const qsizetype after = last.position() + last.length() - 1 - cursor.selectionEnd();
  if (lines.breaks == 0) return before + lines.first + after;
  return std::max({before + lines.first, lines.longest, lines.last + after});
}

}  // namespace

DialogTextEdit::DialogTextEdit(QWidget* parent) : QPlainTextEdit(parent) {
  setTabChangesFocus(true);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  // A pasted listing is often one line of megabytes without a space: breaking only at word
  // boundaries makes its layout quadratic, breaking anywhere keeps it linear.
  setWordWrapMode(QTextOption::WrapAnywhere);
  // Shaping is skipped for scripts that do not need it, which halves the layout of long lines.
  QFont box_font = font();
  box_font.setStyleStrategy(QFont::PreferNoShaping);
  setFont(box_font);
  connect(document(), &QTextDocument::contentsChange, this,
          [this](int position, int, int added) { KeepLayouts(position, added); });
}

std::optional<qsizetype> DialogTextEdit::ReplaceText(const QString& text) {
  clear();  // first, so that the memory the old text holds counts as free
  const LineLengths lines = MeasureLines(text);
  if (lines.longest > max_line_length_) return lines.longest;
  if (!CanAllocate(BytesToHold(text.size(), lines, lines.longest))) throw std::bad_alloc();
  setPlainText(text);
  return std::nullopt;
}

// By default a block drops its laid-out glyphs once its lines are known, and every later cursor
// query lays the whole block out again; on a long line that costs as much as the first layout.
void DialogTextEdit::KeepLayouts(int position, int added) {
  const QTextDocument* doc = document();
  for (QTextBlock block = doc->findBlock(position);
       block.isValid() && block.position() <= position + added; block = block.next()) {
    if (block.length() > kCachedLineLength) block.layout()->setCacheEnabled(true);
  }
}

void DialogTextEdit::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (!enter) {
    QPlainTextEdit::keyPressEvent(event);
  } else if (event->modifiers() & Qt::ControlModifier) {
    insertPlainText(QStringLiteral("\n"));
  } else {
    event->ignore();  // the dialog's accept action decides
  }
}

// Plain text goes in directly. The toolkit's way copies it through a scratch document first,
// whose analysis of the text costs a fifth of a long paste; markdown and empty texts take it.
void DialogTextEdit::insertFromMimeData(const QMimeData* source) {
  const bool plain = source != nullptr && source->hasText() &&
                     source->formats().value(0) != QLatin1String("text/markdown");
  const QString text = plain ? source->text() : QString();
  if (isReadOnly() || text.isEmpty()) {
    QPlainTextEdit::insertFromMimeData(source);
    return;
  }
  if (const auto problem = PasteProblem(text)) {
    emit PasteRefused(*problem);
    return;
  }
  try {
    insertPlainText(text);
  } catch (const std::bad_alloc&) {
    emit PasteRefused(QStringLiteral("内存不足,无法粘贴"));
    return;
  }
  ensureCursorVisible();
}

std::optional<QString> DialogTextEdit::PasteProblem(const QString& text) const {
  const LineLengths lines = MeasureLines(text);
  const qsizetype longest = LongestLineAfterInsert(textCursor(), lines);
  if (longest > max_line_length_) {
    return QStringLiteral("粘贴后会有一行长达 %1 个字符,超出文本框能显示的 %2 个字符")
        .arg(longest)
        .arg(max_line_length_);
  }
  const qsizetype chars = document()->characterCount() + text.size();
  if (!CanAllocate(BytesToHold(chars, lines, longest))) return QStringLiteral("内存不足,无法粘贴");
  return std::nullopt;
}

}  // namespace tessaly::ui
