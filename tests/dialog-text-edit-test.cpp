// The window's text box on its own: its direct paste against the toolkit's, and its limits.
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <memory>

#include "tests/ui-helpers.h"
#include "ui/box_text.h"
#include "ui/line_lengths.h"
#include "ui/dialog_text_edit.h"
#include "ui/text_rows.h"

using tessaly::ui::CharAdvances;
using tessaly::ui::DialogTextEdit;
using tessaly::ui::TextRows;

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

// The rows as [start, end) pairs, for comparing two wrappings.
QList<QPair<qsizetype, qsizetype>> RowList(const TextRows& rows, QStringView text) {
  QList<QPair<qsizetype, qsizetype>> list;
  for (qsizetype row = 0; row < rows.Count(); ++row)
    list.append({rows.Start(row), rows.End(text, row)});
  return list;
}

// What a key does, written as a short name for the tables.
struct Key {
  const char* name;
  Qt::Key key;
  Qt::KeyboardModifiers modifiers;
};

constexpr Key kKeys[] = {
    {"<", Qt::Key_Left, Qt::NoModifier},
    {">", Qt::Key_Right, Qt::NoModifier},
    {"S<", Qt::Key_Left, Qt::ShiftModifier},
    {"S>", Qt::Key_Right, Qt::ShiftModifier},
    {"BS", Qt::Key_Backspace, Qt::NoModifier},
    {"DEL", Qt::Key_Delete, Qt::NoModifier},
    {"C-HOME", Qt::Key_Home, Qt::ControlModifier},
    {"C-END", Qt::Key_End, Qt::ControlModifier},
    {"S-C-END", Qt::Key_End, Qt::ShiftModifier | Qt::ControlModifier},
    {"C-A", Qt::Key_A, Qt::ControlModifier},
    {"C-Z", Qt::Key_Z, Qt::ControlModifier},
    {"C-X", Qt::Key_X, Qt::ControlModifier},
    {"C-V", Qt::Key_V, Qt::ControlModifier},
};

// Plays "keys" (names from kKeys, anything else typed as text) into a box.
void Play(QWidget& box, const QString& keys) {
  for (const QString& step : keys.split(u' ', Qt::SkipEmptyParts)) {
    const auto known = std::find_if(std::begin(kKeys), std::end(kKeys), [&](const Key& key) {
      return step == QLatin1String(key.name);
    });
    if (known != std::end(kKeys)) {
      QTest::keyClick(&box, known->key, known->modifiers);
    } else {
      for (const QChar c : step) {  // as an input method sends it: a key with text
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(&box, &press);
      }
    }
  }
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

  void boxTextAsTheToolkitsDocument_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << QStringLiteral("abc 你好");
    QTest::newRow("CR LF, CR, LF") << QStringLiteral("a\r\nb\rc\nd\r\r\n");
    QTest::newRow("separators") << QStringLiteral("a\u2028b\u2029c");
    QTest::newRow("frame marks") << QStringLiteral("a\uFDD0b\uFDD1c");
    QTest::newRow("no-break space") << QStringLiteral("a\u00A0b");
    QTest::newRow("lone CR at the end") << QStringLiteral("ab\r");
    QTest::newRow("surrogates and controls") << QStringLiteral("\U0001F600\t\x01x");
  }

  // The box holds a text as QPlainTextEdit's document gives it back.
  void boxTextAsTheToolkitsDocument() {
    QFETCH(QString, text);
    QTextDocument document;
    document.setPlainText(text);
    QCOMPARE(tessaly::ui::AsBoxText(text), document.toPlainText());
    DialogTextEdit box;
    box.setPlainText(text);
    QCOMPARE(box.toPlainText(), document.toPlainText());
    QCOMPARE(box.characterCount(), document.characterCount());
  }

  void rowsFollowEdits_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("at");
    QTest::addColumn<int>("removed");
    QTest::addColumn<QString>("inserted");
    const QString long_line = QStringLiteral("0123456789ABCDEF字节").repeated(40);
    QTest::newRow("typing at the start") << long_line << 0 << 0 << "x";
    QTest::newRow("typing inside") << long_line << 333 << 0 << "xy";
    QTest::newRow("deleting inside") << long_line << 100 << 5 << "";
    QTest::newRow("wide for narrow") << long_line << 50 << 10 << "iiiiiiiiiiiiiiiiiiiiiiiiiiiiii";
    QTest::newRow("a line break") << long_line << 200 << 0 << "\n";
    QTest::newRow("joining lines") << "abc\n" + long_line + "\ndef" << 3 << 1 << "";
    QTest::newRow("at the end") << long_line << static_cast<int>(long_line.size()) << 0 << "\n";
    QTest::newRow("everything") << long_line << 0 << static_cast<int>(long_line.size()) << "ab";
    QTest::newRow("into empty") << QString() << 0 << 0 << long_line;
    QTest::newRow("tabs") << "a\tb\tc" + long_line << 1 << 0 << "\t\t";
    QTest::newRow("surrogates") << QStringLiteral("\U0001F600").repeated(100) << 40 << 0 << "z";
  }

  // Wrapping only where an edit reaches gives the rows that wrapping the whole text gives, and
  // every row but those of a single character fits the width.
  void rowsFollowEdits() {
    QFETCH(QString, before);
    QFETCH(int, at);
    QFETCH(int, removed);
    QFETCH(QString, inserted);
    QFont font = QApplication::font();
    font.setKerning(false);
    CharAdvances advances(font);
    for (const qreal width : {1.0, 37.0, 150.0, 400.0}) {
      TextRows rows;
      rows.Rebuild(before, advances, width);
      QString after = before;
      after.replace(at, removed, inserted);
      rows.Update(after, advances, width, at, removed, inserted.size());
      TextRows fresh;
      fresh.Rebuild(after, advances, width);
      QCOMPARE(RowList(rows, after), RowList(fresh, after));
      QString joined;
      for (qsizetype row = 0; row < fresh.Count(); ++row) {
        const qsizetype start = fresh.Start(row);
        const qsizetype end = fresh.End(after, row);
        qreal x = 0;
        for (qsizetype i = start; i < end; i += CharAdvances::Units(after, i)) {
          x += advances.At(after, i, x);
        }
        QVERIFY(x <= width || end - start <= CharAdvances::Units(after, start));
        joined += after.mid(start, end - start);
        if (row + 1 < fresh.Count() && fresh.Start(row + 1) == end + 1) joined += u'\n';
      }
      QCOMPARE(joined, after);
    }
  }

  void keysEditAsTheToolkitDoes_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("keys");
    QTest::newRow("typing") << ""
                            << "ab 你好";
    QTest::newRow("typing into a replaced text") << "abc\ndef"
                                                 << "x";
    QTest::newRow("moving right through a replaced text") << "ab\ncd"
                                                          << "> > > > > > S< y";
    QTest::newRow("backspace and delete") << "abcdef"
                                          << "C-HOME > > BS DEL x";
    QTest::newRow("shift selection replaced") << "abcdef"
                                              << "C-HOME > S> S> S> Z";
    QTest::newRow("selection backwards") << "abcdef"
                                         << "C-END S< S< BS";
    QTest::newRow("left collapses a selection") << "abcdef"
                                                << "C-HOME S> S> < X";
    QTest::newRow("right collapses a selection") << "abcdef"
                                                 << "C-END S< S< > X";
    QTest::newRow("across a line break") << "ab\ncd"
                                         << "C-HOME > > > BS";
    QTest::newRow("surrogate pair as one") << "a\U0001F600b"
                                           << "C-END < BS";
    QTest::newRow("select all and type") << "abc\ndef"
                                         << "C-A q";
    QTest::newRow("typing undone at once") << "abc"
                                           << "C-END xyz C-Z";
    QTest::newRow("cut and paste back") << "abcdef"
                                        << "C-HOME > S> S> C-X C-END C-V";
    QTest::newRow("shift ctrl end") << "ab\ncd"
                                    << "C-HOME > S-C-END BS";
  }

  // The same keys leave the same text, cursor and selection as in QPlainTextEdit.
  void keysEditAsTheToolkitDoes() {
    QFETCH(QString, before);
    QFETCH(QString, keys);
    DialogTextEdit box;
    QPlainTextEdit reference;
    box.setPlainText(before);
    reference.setPlainText(before);
    Play(box, keys);
    Play(reference, keys);
    QCOMPARE(State(box), State(reference));
  }

  void mouseSelects_data() {
    QTest::addColumn<QPoint>("press");  // (column: 0 left edge, 1 right edge; row)
    QTest::addColumn<QPoint>("release");
    QTest::addColumn<int>("anchor");
    QTest::addColumn<int>("position");
    QTest::newRow("click in the top margin") << QPoint(0, -1) << QPoint(0, -1) << 0 << 0;
    QTest::newRow("click at a row's start") << QPoint(0, 1) << QPoint(0, 1) << 4 << 4;
    QTest::newRow("click past a row's end") << QPoint(1, 1) << QPoint(1, 1) << 7 << 7;
    QTest::newRow("drag across rows") << QPoint(0, 0) << QPoint(1, 1) << 0 << 7;
    QTest::newRow("drag upwards") << QPoint(1, 2) << QPoint(0, 1) << 10 << 4;
    QTest::newRow("below the text") << QPoint(0, 9) << QPoint(0, 9) << 8 << 8;
  }

  // "abc\ndef\ngh" in rows of the font's line spacing, 4 pixels in from the frame.
  void mouseSelects() {
    QFETCH(QPoint, press);
    QFETCH(QPoint, release);
    QFETCH(int, anchor);
    QFETCH(int, position);
    DialogTextEdit box;
    box.resize(300, 200);
    box.setPlainText(QStringLiteral("abc\ndef\ngh"));
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    const int line = box.fontMetrics().lineSpacing();
    const auto at = [&](QPoint cell) {
      const int y = cell.y() < 0 ? 1 : 4 + cell.y() * line + line / 2;
      return QPoint(cell.x() == 0 ? 1 : 250, y);
    };
    QWidget* viewport = box.viewport();
    QTest::mousePress(viewport, Qt::LeftButton, {}, at(press));
    QMouseEvent move(QEvent::MouseMove, at(release), viewport->mapToGlobal(at(release)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &move);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, at(release));
    QCOMPARE(box.Anchor(), anchor);
    QCOMPARE(box.Position(), position);
  }

  // Ten million characters on one line: shown at once, and select-all and copy give them whole;
  // an edit in the middle then changes only that character.
  void largeTextCopiesWhole() {
    QString text = QStringLiteral("0123456789ABCDEF").repeated(10 << 16);  // 10 Mi characters
    text += QStringLiteral("字节");
    DialogTextEdit box;
    box.resize(400, 200);
    box.show();
    QApplication::clipboard()->setText(text);
    box.paste();
    QCOMPARE(box.toPlainText().size(), text.size());
    QVERIFY(box.RowCount() > 1000);
    box.selectAll();
    box.copy();
    QCOMPARE(QApplication::clipboard()->text(), text);
    box.Select(5 << 20, 5 << 20);
    QTest::keyClicks(&box, QStringLiteral("x"));
    QTest::keyClick(&box, Qt::Key_Delete);
    text[5 << 20] = u'x';
    QVERIFY(box.toPlainText() == text);
    box.grab();  // draws the rows in sight without laying out the rest
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
