// The window's text box on its own: its direct paste against the toolkit's, and its limits.
#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <memory>

#include "tests/ui-helpers.h"
#include "ui/box_text.h"
#include "ui/dialog_text_edit.h"

using tessaly::ui::DialogTextEdit;

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

void Select(DialogTextEdit& box, int anchor, int position) {
  box.Select(anchor, position);
}

// The text, cursor and selection a box shows.
QString State(const QPlainTextEdit& box) {
  const QTextCursor cursor = box.textCursor();
  return QStringLiteral("%1|%2-%3")
      .arg(box.toPlainText())
      .arg(cursor.anchor())
      .arg(cursor.position());
}

QString State(const DialogTextEdit& box) {
  return QStringLiteral("%1|%2-%3").arg(box.toPlainText()).arg(box.Anchor()).arg(box.Position());
}

}  // namespace

class DialogTextEditTest : public QObject {
  Q_OBJECT

 private slots:
  void measureLines_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("one line") << QStringLiteral("abc");
    QTest::newRow("LF") << QStringLiteral("ab\ncde\nf");
    QTest::newRow("CR LF") << QStringLiteral("a\r\nbcd\r\n");
    QTest::newRow("lone CR") << QStringLiteral("ab\rc\r");
    QTest::newRow("CR CR LF") << QStringLiteral("a\r\r\nbc");
    QTest::newRow("only breaks") << QStringLiteral("\n\r\n\r");
    QTest::newRow("paragraph separator") << QStringLiteral("x\u2029yyy\u2029");
    QTest::newRow("longest inside") << QStringLiteral("a\n12345\n\nbc");
    QTest::newRow("Chinese") << QStringLiteral("你好\n中華人民共和國");
  }

  // The toolkit's own document decides where a box's lines end.
  void measureLines() {
    QFETCH(QString, text);
    QTextDocument document;
    document.setPlainText(text);
    qsizetype longest = 0;
    for (QTextBlock block = document.firstBlock(); block.isValid(); block = block.next()) {
      longest = std::max<qsizetype>(longest, block.length() - 1);
    }
    const auto lines = tessaly::ui::MeasureLines(text);
    QCOMPARE(lines.breaks, document.blockCount() - 1);
    QCOMPARE(lines.first, document.firstBlock().length() - 1);
    QCOMPARE(lines.last, document.lastBlock().length() - 1);
    QCOMPARE(lines.longest, longest);
  }

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
    const auto paste_into = [&](auto& edit) {
      edit.setPlainText(before);
      Select(edit, anchor, position);
      QApplication::clipboard()->setMimeData(MakeMime(static_cast<Clip>(clip), pasted).release());
      edit.paste();
    };
    paste_into(box);
    paste_into(reference);
    QCOMPARE(State(box), State(reference));
    box.undo();
    reference.undo();
    QCOMPARE(State(box), State(reference));
    QCOMPARE(box.toPlainText(), before);
    box.redo();
    reference.redo();
    QCOMPARE(State(box), State(reference));
  }

  void pasteRespectsTheLineLimit_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("anchor");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<int>("too_long");  // the line too long for a limit of 10, or 0
    QTest::newRow("fits exactly") << "abcdef" << 3 << 3 << "1234" << 0;
    QTest::newRow("one over") << "abcdef" << 3 << 3 << "12345" << 11;
    QTest::newRow("selection makes room") << "abcdefghij" << 2 << 6 << "1234" << 0;
    QTest::newRow("first line joins the text before") << "abcdef" << 3 << 3 << "12345678\nx" << 11;
    QTest::newRow("last line joins the text after") << "abcdef" << 3 << 3 << "x\n12345678" << 11;
    QTest::newRow("both ends fit") << "abcdef" << 3 << 3 << "1234567\n1234567" << 0;
    QTest::newRow("a middle line") << "ab" << 1 << 1 << "1\n12345678901\n2" << 11;
    QTest::newRow("selection across lines") << "abcdefgh\n12345678" << 6 << 12 << "XYZW" << 15;
    QTest::newRow("a long line elsewhere") << "0123456789AB\nxy" << 14 << 14 << "1" << 0;
  }

  // A paste that would leave a line longer than the box takes changes nothing and says why.
  void pasteRespectsTheLineLimit() {
    QFETCH(QString, before);
    QFETCH(int, anchor);
    QFETCH(int, position);
    QFETCH(QString, pasted);
    QFETCH(int, too_long);
    DialogTextEdit box;
    box.SetMaxLineLength(10);
    box.setPlainText(before);
    Select(box, anchor, position);
    QSignalSpy refused(&box, &DialogTextEdit::PasteRefused);
    QApplication::clipboard()->setText(pasted);
    box.paste();
    if (too_long == 0) {
      QCOMPARE(refused.size(), 0);
      QVERIFY(box.toPlainText().contains(pasted));
      return;
    }
    QCOMPARE(refused.size(), 1);
    QCOMPARE(
        refused.at(0).at(0).toString(),
        QStringLiteral("粘贴后会有一行长达 %1 个字符,超出文本框能显示的 10 个字符").arg(too_long));
    QCOMPARE(box.toPlainText(), before);
  }

  void replaceTextRespectsTheLineLimit() {
    DialogTextEdit box;
    box.SetMaxLineLength(5);
    QCOMPARE(box.ReplaceText(QStringLiteral("12345\n1\r\n12345")), std::nullopt);
    QCOMPARE(box.toPlainText(), QStringLiteral("12345\n1\n12345"));
    QCOMPARE(box.ReplaceText(QStringLiteral("1\n123456\n1")), std::optional<qsizetype>(6));
    QVERIFY(box.toPlainText().isEmpty());
    QCOMPARE(box.ReplaceText(QStringLiteral("ok")), std::nullopt);
    QCOMPARE(box.toPlainText(), QStringLiteral("ok"));
  }
};

int main(int argc, char** argv) {
  tessaly::ui::testing::UseOffscreenPlatform();
  QApplication app(argc, argv);
  DialogTextEditTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "dialog-text-edit-test.moc"
