// The window's text box on its own: its direct paste against the toolkit's.
#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTest>
#include <memory>

#include "tests/gui-helpers.h"
#include "ui/dialog_text_edit.h"

using tessaly::gui::DialogTextEdit;

namespace {

// What the clipboard holds for a paste: a plain text, or one of the other shapes a paste meets.
enum class Clip { Text, MarkdownFirst, HtmlOnly };

std::unique_ptr<QMimeData> MakeMime(Clip clip, const QString& text) {
  auto mime = std::make_unique<QMimeData>();
  if (clip == Clip::MarkdownFirst) mime->setData(QStringLiteral("text/markdown"), text.toUtf8());
  if (clip == Clip::HtmlOnly) {
    mime->setHtml(QStringLiteral("<b>%1</b>").arg(text));
  } else {
    mime->setText(text);
  }
  return mime;
}

void Select(QPlainTextEdit& box, int anchor, int position) {
  QTextCursor cursor = box.textCursor();
  cursor.setPosition(anchor);
  cursor.setPosition(position, QTextCursor::KeepAnchor);
  box.setTextCursor(cursor);
}

// The text, cursor and selection a box shows.
QString State(const QPlainTextEdit& box) {
  const QTextCursor cursor = box.textCursor();
  return QStringLiteral("%1|%2-%3")
      .arg(box.toPlainText())
      .arg(cursor.anchor())
      .arg(cursor.position());
}

}  // namespace

class DialogTextEditTest : public QObject {
  Q_OBJECT

 private slots:
  void pasteMatchesTheToolkit_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("anchor");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("clip");
    QTest::addColumn<QString>("pasted");
    const auto row = [](const char* name, const char* before, int anchor, int position, Clip clip,
                        const QString& pasted) {
      QTest::newRow(name) << QString::fromUtf8(before) << anchor << position
                          << static_cast<int>(clip) << pasted;
    };
    row("into empty", "", 0, 0, Clip::Text, QStringLiteral("31 32 33"));
    row("in the middle", "abcdef", 3, 3, Clip::Text, QStringLiteral("XY"));
    row("over a selection", "abcdef", 1, 4, Clip::Text, QStringLiteral("XY"));
    row("backwards selection", "abcdef", 5, 2, Clip::Text, QStringLiteral("XY"));
    row("across lines", "ab\ncd\nef", 1, 7, Clip::Text, QStringLiteral("1\n2"));
    row("CR LF", "ab", 1, 1, Clip::Text, QStringLiteral("11\r\n22\r\n"));
    row("lone CR", "ab", 2, 2, Clip::Text, QStringLiteral("1\r2\r\r\n3"));
    row("paragraph separator", "", 0, 0, Clip::Text, QStringLiteral("1\u20292"));
    row("Chinese", "你好", 1, 1, Clip::Text, QStringLiteral("中華\n人民"));
    row("empty over a selection", "abcdef", 1, 4, Clip::Text, QString());
    row("markdown first", "ab", 1, 1, Clip::MarkdownFirst, QStringLiteral("*x*"));
    row("html only", "ab", 1, 1, Clip::HtmlOnly, QStringLiteral("x"));
  }

  // The box's direct paste leaves the text, the cursor and the undo history as the toolkit's
  // own paste does.
  void pasteMatchesTheToolkit() {
    QFETCH(QString, before);
    QFETCH(int, anchor);
    QFETCH(int, position);
    QFETCH(int, clip);
    QFETCH(QString, pasted);
    DialogTextEdit box;
    QPlainTextEdit reference;
    for (QPlainTextEdit* edit : {static_cast<QPlainTextEdit*>(&box), &reference}) {
      edit->setPlainText(before);
      Select(*edit, anchor, position);
      QApplication::clipboard()->setMimeData(MakeMime(static_cast<Clip>(clip), pasted).release());
      edit->paste();
    }
    QCOMPARE(State(box), State(reference));
    box.undo();
    reference.undo();
    QCOMPARE(State(box), State(reference));
    QCOMPARE(box.toPlainText(), before);
    box.redo();
    reference.redo();
    QCOMPARE(State(box), State(reference));
  }
};

int main(int argc, char** argv) {
  tessaly::gui::testing::UseOffscreenPlatform();
  QApplication app(argc, argv);
  DialogTextEditTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "dialog-text-edit-test.moc"
