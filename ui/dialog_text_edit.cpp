#include "ui/dialog_text_edit.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QTextLayout>

namespace tessaly::gui {
namespace {

// A line this short lays out again in well under a millisecond: its glyphs are not worth keeping.
constexpr int kCachedLineLength = 4096;

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
  insertPlainText(text);
  ensureCursorVisible();
}

}  // namespace tessaly::gui
