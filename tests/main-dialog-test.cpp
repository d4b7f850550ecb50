// The main window and the About box, driven offscreen as a user would drive them.
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <QTextDocument>
#include <QWindow>
#include <cstdint>
#include <memory>
#include <new>
#include <thread>
#include <utility>

#include <sys/resource.h>
#include <unistd.h>

#include "engine/code_page.h"
#include "engine/fault_log.h"
#include "engine/modes.h"
#include "res/product.h"
#include "tests/ui-helpers.h"
#include "ui/about_dialog.h"
#include "ui/app_icon.h"
#include "ui/box_text.h"
#include "ui/converter_app.h"
#include "ui/dialog_text_edit.h"
#include "ui/help_texts.h"
#include "ui/main_dialog.h"
#include "ui/mode_faces.h"
#include "ui/qt_text.h"

using tessaly::AnsiText;
using tessaly::ConversionMode;
using tessaly::ui::AboutDialog;
using tessaly::ui::DialogTextEdit;
using tessaly::ui::MainDialog;
using tessaly::ui::testing::MessageBoxCloser;
using tessaly::ui::testing::ModalWatcher;

namespace {

QByteArray Gbk(std::u16string_view text) {
  const std::string bytes = tessaly::GbkCodePage().FromUtf16(text);
  return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QByteArray Bytes(const AnsiText& text) {
  return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

QString Utf8(std::string_view text) {
  return tessaly::ui::FromUtf8(text);
}

// 中華人民共和國 in BIG5.
const QByteArray kBig5Phrase = QByteArray::fromHex("A4A4B5D8A448A5C1A640A94DB0EA");

// What a box shows for engine bytes: the box text as a document holds it.
QString Shown(std::string_view ansi, tessaly::Encoding encoding = tessaly::Encoding::Gbk) {
  QTextDocument document;
  document.setPlainText(tessaly::ui::AnsiToBoxText(ansi, encoding));
  return document.toPlainText();
}

constexpr std::uint32_t kFixedSeed = 0x5EED;

// The library with a fixed random seed, so that the window and a test can run the same
// conversion.
tessaly::Result ConvertWithFixedSeed(tessaly::Options options, std::string_view bytes) {
  options.seed = kFixedSeed;
  return tessaly::Converter(options).Convert(bytes);
}

// The library's conversion with a fault of `routine` added, as a failing routine gives it.
tessaly::Result WithFault(tessaly::Result result, std::string mode, std::string routine) {
  result.fault = tessaly::Fault{std::move(mode), std::move(routine),
                                tessaly::FaultKind::LibraryFailure, 0, "injected"};
  return result;
}

// Lowers the address-space limit, as `ulimit -v` does, to what the process uses now plus
// `headroom`, and restores it on destruction.
class AddressSpaceLimit {
 public:
  explicit AddressSpaceLimit(rlim_t headroom) {
    getrlimit(RLIMIT_AS, &saved_);
    rlimit lowered = saved_;
    lowered.rlim_cur = UsedAddressSpace() + headroom;
    setrlimit(RLIMIT_AS, &lowered);
  }
  ~AddressSpaceLimit() { setrlimit(RLIMIT_AS, &saved_); }
  AddressSpaceLimit(const AddressSpaceLimit&) = delete;
  AddressSpaceLimit& operator=(const AddressSpaceLimit&) = delete;

 private:
  static rlim_t UsedAddressSpace() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) qFatal("cannot read /proc/self/statm");
    const rlim_t pages = statm.readAll().split(' ').value(0).toULongLong();
    return pages * static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
  }

  rlimit saved_{};
};

// Receives what the web button asks the desktop to open.
class UrlCatcher : public QObject {
  Q_OBJECT

 public:
  QList<QUrl> opened;

 public slots:
  void Open(const QUrl& url) { opened.append(url); }
};

}  // namespace

class MainDialogTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<MainDialog> dialog_;

  template <typename Widget>
  Widget& Child(const char* name) {
    auto* widget = dialog_->findChild<Widget*>(QString::fromLatin1(name));
    if (widget == nullptr) qFatal("no control named %s", name);
    return *widget;
  }
  DialogTextEdit& Input() { return Child<DialogTextEdit>("inputBox"); }
  DialogTextEdit& Output() { return Child<DialogTextEdit>("outputBox"); }
  void Click(const char* name) { Child<QAbstractButton>(name).click(); }

  // Types into the input box, picks the mode and converts with "转换".
  QString Convert(const QString& input, const char* mode) {
    Input().setPlainText(input);
    Click(mode);
    Click("convertButton");
    return Output().toPlainText();
  }

 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

  void init() {
    QSettings(QStringLiteral("tessaly"), QStringLiteral("tessaly")).clear();
    dialog_ = std::make_unique<MainDialog>();
    dialog_->show();
    QVERIFY(QTest::qWaitForWindowActive(dialog_.get()));
  }
  void cleanup() { dialog_.reset(); }

  // The working encoding: chosen in the context menu, shown after the title, remembered, and
  // switching it re-runs nothing.
  void workingEncoding() {
    Input().setPlainText(QStringLiteral("テスト"));
    Output().setPlainText(QStringLiteral("earlier"));
    QMenu* menu = nullptr;
    for (QAction* action : dialog_->actions())
      if (action->menu() != nullptr && action->text() == QStringLiteral("工作编码"))
        menu = action->menu();
    QVERIFY(menu != nullptr);
    QCOMPARE(menu->title(), QStringLiteral("工作编码"));
    QAction* shift_jis = nullptr;
    for (QAction* action : menu->actions())
      if (action->text() == QStringLiteral("Shift_JIS")) shift_jis = action;
    QVERIFY(shift_jis != nullptr);
    shift_jis->trigger();
    QCOMPARE(dialog_->WorkingEncoding(), tessaly::Encoding::ShiftJis);
    QVERIFY(dialog_->windowTitle().endsWith(QStringLiteral(" [Shift_JIS]")));
    QCOMPARE(Input().toPlainText(), QStringLiteral("テスト"));
    QCOMPARE(Output().toPlainText(), QStringLiteral("earlier"));
    QCOMPARE(Convert(QStringLiteral("テスト"), "modeHexEncode"), QStringLiteral("836583588367"));
    QCOMPARE(Convert(QStringLiteral("836583588367"), "modeHexDecode"), QStringLiteral("テスト"));

    MainDialog again;
    QCOMPARE(again.WorkingEncoding(), tessaly::Encoding::ShiftJis);
  }

  // The simplified/traditional radios convert by the chosen regional standard, remembered.
  void chineseStandard() {
    QCOMPARE(Convert(QStringLiteral("软件"), "modeSimplifiedToTraditional"),
             QStringLiteral("軟件"));
    dialog_->SetChineseStandard(2);  // Taiwan, with its phrases
    QCOMPARE(Convert(QStringLiteral("软件"), "modeSimplifiedToTraditional"),
             QStringLiteral("軟體"));
    QCOMPARE(Convert(QStringLiteral("軟體"), "modeTraditionalToSimplified"),
             QStringLiteral("软件"));
    dialog_->SetChineseStandard(3);  // Hong Kong
    QCOMPARE(Convert(QStringLiteral("里面"), "modeSimplifiedToTraditional"),
             QStringLiteral("裏面"));
    QCOMPARE(MainDialog().ChineseStandard(), 3);
    dialog_->SetChineseStandard(0);
    QCOMPARE(Convert(QStringLiteral("头发"), "modeSimplifiedToTraditional"),
             QStringLiteral("頭髮"));
  }

  // The Unicode modes keep characters no working encoding has to hold.
  void unicodeModesLoseNothing() {
    QCOMPARE(dialog_->WorkingEncoding(), tessaly::Encoding::Gbk);
    QCOMPARE(Convert(QStringLiteral("😀"), "modeUtf8Encode"), QStringLiteral("F09F9880"));
    QCOMPARE(Convert(QStringLiteral("😀"), "modeUtf16Encode"), QStringLiteral("3DD800DE"));
    QCOMPARE(Convert(QStringLiteral("F09F9880"), "modeUtf8Decode"), QStringLiteral("😀"));
    QCOMPARE(Convert(QStringLiteral("3DD800DE"), "modeUtf16Decode"), QStringLiteral("😀"));
    QCOMPARE(Convert(QStringLiteral("한국어"), "modeUtf8Encode"),
             QStringLiteral("ED959CEAB5ADEC96B4"));
  }

  // A loss shows as a notice over the output box, without a box and without touching the text;
  // the next conversion that loses nothing takes it away.
  void lossNotice() {
    auto& notice = Child<QLabel>("lossNotice");
    QVERIFY(!notice.isVisible());
    QCOMPARE(Convert(QStringLiteral("a😀b"), "modeHexEncode"), QStringLiteral("613F62"));
    QVERIFY(notice.isVisible());
    QCOMPARE(notice.text(), QStringLiteral("1 个字符 GBK 没有,已变为“?”"));
    QCOMPARE(Input().toPlainText(), QStringLiteral("a😀b"));
    const QRect output_box(Output().mapTo(dialog_.get(), QPoint()), Output().size());
    QVERIFY(output_box.contains(QRect(notice.mapTo(dialog_.get(), QPoint()), notice.size())));
    Convert(QStringLiteral("ZZ41 00"), "modeHexDecode");
    QCOMPARE(notice.text(), QStringLiteral("1 段十六进制没有值,重复了前一个字节"));
    Convert(QStringLiteral("410000004200"), "modeUtf16Decode");
    QCOMPARE(notice.text(), QStringLiteral("解码结果在第一个零处截断"));
    Convert(QStringLiteral("ab"), "modeHexEncode");
    QVERIFY(!notice.isVisible());
  }

  // Characters the ticked boxes delete from a text are told under the output box, with a loss on
  // a line of its own; the listing modes, built to be reshaped, say nothing; the next conversion
  // that deletes nothing takes the notice away.
  void deletionNotice_data() {
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("notice");
    QTest::newRow("prose") << QStringLiteral("头发, 干燥.\n第二行 is here.")
                           << "modeSimplifiedToTraditional"
                           << QStringLiteral("頭髮乾燥第二行ishere")
                           << QStringLiteral(
                                  "已删除 1 个换行、1 个逗号、2 个句点、3 个空格;取消勾选即可保留");
    QTest::newRow("hex of words") << QStringLiteral("hello world") << "modeHexEncode"
                                  << QStringLiteral("68656C6C6F776F726C64")
                                  << QStringLiteral("已删除 1 个空格;取消勾选即可保留");
    QTest::newRow("CR LF and tab")
        << QStringLiteral("a\r\nb\tc") << "modeUtf8Encode" << QStringLiteral("616263")
        << QStringLiteral("已删除 1 个换行、1 个制表符;取消勾选即可保留");
    QTest::newRow("with a loss") << QStringLiteral("a 😀") << "modeHexEncode"
                                 << QStringLiteral("613F")
                                 << QStringLiteral(
                                        "1 个字符 GBK 没有,已变为“?”\n"
                                        "已删除 1 个空格;取消勾选即可保留");
    QTest::newRow("listing") << QStringLiteral("41 42,\n43") << "modeHexDecode"
                             << QStringLiteral("ABC") << QString();
    QTest::newRow("format") << QStringLiteral("11, 22") << "modeFormatOnly"
                            << QStringLiteral("1122") << QString();
    QTest::newRow("nothing deleted")
        << QStringLiteral("ab") << "modeHexEncode" << QStringLiteral("6162") << QString();
  }

  void deletionNotice() {
    QFETCH(QString, input);
    QFETCH(QString, mode);
    QFETCH(QString, output);
    QFETCH(QString, notice);
    auto& label = Child<QLabel>("lossNotice");
    QCOMPARE(Convert(input, qPrintable(mode)), output);
    QCOMPARE(label.isVisible(), !notice.isEmpty());
    if (!notice.isEmpty()) {
      QCOMPARE(label.text(), notice);
      const QRect box(Output().mapTo(dialog_.get(), QPoint()), Output().size());
      QVERIFY(box.contains(QRect(label.mapTo(dialog_.get(), QPoint()), label.size())));
    }
    Click(qPrintable(mode));  // a help text takes the notice away
    QVERIFY(!label.isVisible());
    if (notice.isEmpty()) return;
    Click("convertButton");
    QVERIFY(label.isVisible());
    for (const char* name :
         {"deleteSpaces", "deleteDots", "deleteCommas", "deleteTabs", "deleteLineBreaks"}) {
      Child<QCheckBox>(name).setChecked(false);
    }
    Click("convertButton");
    QCOMPARE(label.isVisible(), notice.contains(QStringLiteral("GBK")));
    if (label.isVisible()) QVERIFY(!label.text().contains(QStringLiteral("已删除")));
  }

  void lossNoticeText_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("expected");
    QTest::newRow("unmappable") << int(tessaly::LossKind::Unmappable) << 3
                                << QStringLiteral("3 个字符 BIG5 没有,已变为“?”");
    QTest::newRow("empty pieces") << int(tessaly::LossKind::EmptyHexPiece) << 2
                                  << QStringLiteral("2 段十六进制没有值,重复了前一个字节");
    QTest::newRow("cut") << int(tessaly::LossKind::CutAtZero) << 1
                         << QStringLiteral("解码结果在第一个零处截断");
    QTest::newRow("invalid") << int(tessaly::LossKind::InvalidOutput) << 4
                             << QStringLiteral("4 处字节不是有效的 BIG5,显示为 �");
    QTest::newRow("nothing") << int(tessaly::LossKind::Unmappable) << 0 << QString();
  }

  void lossNoticeText() {
    QFETCH(int, kind);
    QFETCH(int, count);
    QFETCH(QString, expected);
    tessaly::LossReport losses;
    losses.Add(static_cast<tessaly::LossKind>(kind), 0, {}, static_cast<std::size_t>(count));
    QCOMPARE(tessaly::ui::LossNoticeText(losses, tessaly::Encoding::Big5), expected);
  }

  void initialState() {
    QVERIFY(Input().toPlainText().isEmpty());
    QVERIFY(Output().toPlainText().isEmpty());
    QVERIFY(Child<QRadioButton>("modeFormatOnly").isChecked());
    QVERIFY(Child<QRadioButton>("separatorNone").isChecked());
    for (const char* name :
         {"deleteSpaces", "deleteDots", "deleteCommas", "deleteTabs", "deleteLineBreaks"}) {
      QVERIFY2(Child<QCheckBox>(name).isChecked(), name);
    }
    QCOMPARE(dialog_->windowTitle(),
             QStringLiteral("%1 %2 %3 版本1.2")
                 .arg(Utf8(tessaly::product::kProductName), Utf8(tessaly::product::kMakerName),
                      Utf8(tessaly::product::kHostName)));
    QCOMPARE(QApplication::focusWidget(), &Input());
    QCOMPARE(dialog_->minimumSize(), dialog_->maximumSize());
    QVERIFY(!(dialog_->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(!dialog_->windowIcon().isNull());
  }

  void noHiddenOrDefaultControls() {
    const auto radios = dialog_->findChildren<QRadioButton*>();
    QCOMPARE(radios.size(), 13 + 5);
    for (const QRadioButton* radio : radios) {
      QVERIFY(radio->isVisible());
      QVERIFY(radio->text() != QStringLiteral("单选1"));
    }
    const auto buttons = dialog_->findChildren<QPushButton*>();
    QCOMPARE(buttons.size(), 3);
    for (const QPushButton* button : buttons) {
      QVERIFY(button->isVisible());
      QVERIFY2(!button->isDefault() && !button->autoDefault(), qPrintable(button->text()));
    }
  }

  // The template's order, with each radio group one stop on its selected radio: the separators
  // between the boxes, the modes after the deletion boxes.
  void tabMovesFocusInTemplateOrder() {
    const QStringList expected = {"separatorNone",    "outputBox",      "clearButton",
                                  "convertButton",    "webButton",      "deleteSpaces",
                                  "deleteDots",       "deleteCommas",   "deleteTabs",
                                  "deleteLineBreaks", "modeFormatOnly", "inputBox"};
    QStringList visited;
    for (qsizetype i = 0; i < expected.size(); ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      visited.append(QApplication::focusWidget()->objectName());
    }
    QCOMPARE(visited, expected);
    QVERIFY(Input().toPlainText().isEmpty());
    QVERIFY(Output().toPlainText().isEmpty());
  }

  // A keyboard alone chooses a separator: Tab reaches the group, the arrows choose (and convert),
  // and the group's stop moves to the radio chosen; Shift+Tab comes back to it.
  void separatorGroupReachedByTab() {
    Input().setPlainText(QStringLiteral("1 2"));
    QTest::keyClick(&Input(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), &Child<QRadioButton>("separatorNone"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    QVERIFY(Child<QRadioButton>("separatorSpace").isChecked());
    QCOMPARE(Output().toPlainText(), QStringLiteral("12 "));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), &Output());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), &Child<QRadioButton>("separatorSpace"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), &Input());
    for (const char* name : {"separatorNone", "separatorComma", "modeHexEncode"})
      QVERIFY2(!(Child<QRadioButton>(name).focusPolicy() & Qt::TabFocus), name);
  }

  void radioIds_data() {
    QTest::addColumn<QString>("radio");
    QTest::addColumn<int>("id");
    const std::pair<const char*, int> radios[] = {
        {"modeHexEncode", 1000},
        {"modeHexDecode", 1001},
        {"modeUtf16Encode", 1002},
        {"modeUtf16Decode", 1003},
        {"modeRandomBytes", 1004},
        {"modeSimplifiedToTraditional", 1005},
        {"modeTraditionalToSimplified", 1006},
        {"modeGbkToBig5", 1007},
        {"modeBig5ToGbk", 1008},
        {"modeCharArray", 1009},
        {"modeUtf8Encode", 1010},
        {"modeUtf8Decode", 1011},
        {"modeFormatOnly", 1019},
        {"separatorNone", 1025},
        {"separatorSpace", 1026},
        {"separatorComma", 1027},
        {"separatorDot", 1028},
        {"separatorHexList", 1029},
    };
    for (const auto& [radio, id] : radios) QTest::newRow(radio) << QString::fromLatin1(radio) << id;
  }

  // Each radio carries its id in its group, whatever the engine calls its mode or style.
  void radioIds() {
    QFETCH(QString, radio);
    QFETCH(int, id);
    auto& button = Child<QRadioButton>(radio.toLatin1().constData());
    QCOMPARE(button.group()->id(&button), id);
  }

  void helpTexts_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("radio");
    QTest::addColumn<QByteArray>("expected");
    const auto row = [](const char* name, ConversionMode mode, const char* radio,
                        const QByteArray& expected) {
      QTest::newRow(name) << static_cast<int>(mode) << QString::fromLatin1(radio) << expected;
    };
    row("1000", ConversionMode::HexEncode, "modeHexEncode",
        QByteArray::fromHex("CBB5C3F73A0D0A") + "12345 = 31 32 33 34 35 \r\n" +
            QByteArray::fromHex("C4E3BAC3") + " = C4 E3 BA C3 ");
    row("1001", ConversionMode::HexDecode, "modeHexDecode",
        Gbk(u"说明:\r\n31 32 33 34 35 = 12345 \r\nC4 E3 BA C3 = 你好"));
    row("1002", ConversionMode::Utf16Encode, "modeUtf16Encode",
        Gbk(u"说明:\r\n12345 = 31 00 32 00 33 00 34 00 35 00 \r\n你好 = 60 4F 7D 59 "));
    row("1003", ConversionMode::Utf16Decode, "modeUtf16Decode",
        Gbk(u"说明:\r\n31 00 32 00 33 00 34 00 35 00 = 12345 \r\n60 4F 7D 59 = 你好"));
    row("1004", ConversionMode::RandomBytes, "modeRandomBytes",
        Gbk(u"说明:\r\n点转换会直接生成256个不重复的随机值"));
    row("1005", ConversionMode::SimplifiedToTraditional, "modeSimplifiedToTraditional",
        Gbk(u"说明:\r\n中华人民共和国=中華人民共和國"));
    row("1006", ConversionMode::TraditionalToSimplified, "modeTraditionalToSimplified",
        Gbk(u"说明:\r\n中華人民共和國=中华人民共和国"));
    row("1007", ConversionMode::GbkToBig5, "modeGbkToBig5",
        Gbk(u"说明:\r\n中華人民共和國=") + kBig5Phrase);
    row("1008", ConversionMode::Big5ToGbk, "modeBig5ToGbk",
        Gbk(u"说明:\r\n") + kBig5Phrase + Gbk(u"=中華人民共和國"));
    QByteArray char_array = "{";
    for (const char c : tessaly::product::kWebAddress) char_array += QByteArray("'") + c + "',";
    char_array += "'\\0'};";
    row("1009", ConversionMode::CharArray, "modeCharArray",
        Gbk(u"说明:\r\n") +
            QByteArray(tessaly::product::kWebAddress.data(), tessaly::product::kWebAddress.size()) +
            " = " + char_array);
    row("1010", ConversionMode::Utf8Encode, "modeUtf8Encode",
        Gbk(u"说明:\r\n123你好=313233E4BDA0E5A5BD"));
    row("1011", ConversionMode::Utf8Decode, "modeUtf8Decode",
        Gbk(u"说明:\r\n313233E4BDA0E5A5BD=123你好"));
    row("1019", ConversionMode::FormatOnly, "modeFormatOnly",
        Gbk(u"说明:\r\n11,22.33 44\r\n55,66.77 88 = 1122334455667788"));
  }

  // A mode click replaces the output box with the help text and touches nothing else.
  void helpTexts() {
    QFETCH(int, mode);
    QFETCH(QString, radio);
    QFETCH(QByteArray, expected);
    QCOMPARE(Bytes(tessaly::ui::HelpText(static_cast<ConversionMode>(mode))), expected);

    auto& button = Child<QRadioButton>(radio.toLatin1().constData());
    QVERIFY(button.isEnabled());
    Input().setPlainText(QStringLiteral("1 2"));
    Output().setPlainText(QStringLiteral("an earlier result"));
    Child<QCheckBox>("deleteTabs").setChecked(false);
    Click("separatorComma");
    for (int click = 0; click < 2; ++click) {  // the second click hits a selected radio
      Output().setPlainText(QStringLiteral("an earlier result"));
      button.click();
      QCOMPARE(Bytes(tessaly::ui::BoxTextToAnsi(Output().toPlainText())), expected);
    }
    QCOMPARE(Input().toPlainText(), QStringLiteral("1 2"));
    QVERIFY(!Child<QCheckBox>("deleteTabs").isChecked());
    QVERIFY(Child<QRadioButton>("separatorComma").isChecked());
  }

  // Arrow keys inside a radio group click the next radio: a help text or a conversion.
  void arrowKeysClickWithinAGroup() {
    Input().setPlainText(QStringLiteral("1 2"));
    QTest::mouseClick(&Child<QRadioButton>("modeHexEncode"), Qt::LeftButton);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QVERIFY(Child<QRadioButton>("modeHexDecode").isChecked());
    QCOMPARE(tessaly::ui::BoxTextToAnsi(Output().toPlainText()),
             tessaly::ui::HelpText(ConversionMode::HexDecode));
    Click("modeFormatOnly");
    QTest::mouseClick(&Child<QRadioButton>("separatorNone"), Qt::LeftButton);
    QCOMPARE(Output().toPlainText(), QStringLiteral("12"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    QVERIFY(Child<QRadioButton>("separatorSpace").isChecked());
    QCOMPARE(Output().toPlainText(), QStringLiteral("12 "));
  }

  void clearEmptiesBothBoxesOnly() {
    Input().setPlainText(QStringLiteral("11 22"));
    Click("modeHexEncode");
    Click("separatorSpace");
    Child<QCheckBox>("deleteDots").setChecked(false);
    Click("clearButton");
    QVERIFY(Input().toPlainText().isEmpty());
    QVERIFY(Output().toPlainText().isEmpty());
    QVERIFY(Child<QRadioButton>("modeHexEncode").isChecked());
    QVERIFY(Child<QRadioButton>("separatorSpace").isChecked());
    QVERIFY(!Child<QCheckBox>("deleteDots").isChecked());
    QVERIFY(Child<QCheckBox>("deleteSpaces").isChecked());
  }

  void enterDoesNothingOutsideAButton_data() {
    QTest::addColumn<QString>("focus");
    for (const char* name : {"inputBox", "outputBox", "deleteSpaces", "modeHexEncode"}) {
      QTest::newRow(name) << QString::fromLatin1(name);
    }
  }

  void enterDoesNothingOutsideAButton() {
    QFETCH(QString, focus);
    Input().setPlainText(QStringLiteral("11"));
    Output().setPlainText(QStringLiteral("22"));
    auto& target = Child<QWidget>(focus.toLatin1().constData());
    target.setFocus();
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) QTest::keyClick(&target, key);
    QCOMPARE(Input().toPlainText(), QStringLiteral("11"));
    QCOMPARE(Output().toPlainText(), QStringLiteral("22"));
    QVERIFY(dialog_->isVisible());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QVERIFY(Child<QCheckBox>("deleteSpaces").isChecked());
  }

  void enterOnAFocusedButtonClicksIt() {
    Input().setPlainText(QStringLiteral("1 2"));
    Child<QPushButton>("convertButton").setFocus();
    QTest::keyClick(&Child<QPushButton>("convertButton"), Qt::Key_Return);
    QCOMPARE(Output().toPlainText(), QStringLiteral("12"));
  }

  void shortcutsConvert_data() {
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("converts");
    const auto row = [](const char* name, const char* focus, QKeyCombination key, bool converts) {
      QTest::newRow(name) << QString::fromLatin1(focus) << key.toCombined() << converts;
    };
    row("F5 in the input box", "inputBox", Qt::Key_F5, true);
    row("F5 in the output box", "outputBox", Qt::Key_F5, true);
    row("F5 on a check box", "deleteSpaces", Qt::Key_F5, true);
    row("F5 on clear", "clearButton", Qt::Key_F5, true);
    row("Ctrl+Return on a check box", "deleteSpaces", Qt::CTRL | Qt::Key_Return, true);
    row("Ctrl+Enter on clear", "clearButton", Qt::CTRL | Qt::Key_Enter, true);
    row("Ctrl+Return on a mode radio", "modeHexEncode", Qt::CTRL | Qt::Key_Return, true);
    row("Ctrl+Return in the input box breaks the line", "inputBox", Qt::CTRL | Qt::Key_Return,
        false);
    row("Return on a check box", "deleteSpaces", Qt::Key_Return, false);
    row("Shift+F5", "inputBox", Qt::SHIFT | Qt::Key_F5, false);
  }

  // F5 anywhere and Ctrl+Enter outside the boxes run "转换"; the focus stays where it was.
  void shortcutsConvert() {
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(bool, converts);
    Input().setPlainText(QStringLiteral("1 2"));
    Output().setPlainText(QStringLiteral("stale"));
    auto& target = Child<QWidget>(focus.toLatin1().constData());
    target.setFocus();
    const QKeyCombination combination = QKeyCombination::fromCombined(key);
    QTest::keyClick(&target, combination.key(), combination.keyboardModifiers());
    QCOMPARE(Output().toPlainText(), converts ? QStringLiteral("12") : QStringLiteral("stale"));
    QCOMPARE(QApplication::focusWidget(), &target);
    const qsizetype breaks = focus == QLatin1String("inputBox") &&
                                     combination == QKeyCombination(Qt::CTRL | Qt::Key_Return)
                                 ? 1
                                 : 0;
    QCOMPARE(Input().toPlainText().count(u'\n'), breaks);
    QCOMPARE(QString(Input().toPlainText()).remove(u'\n'), QStringLiteral("1 2"));
  }

  void keysAndNamesAreDiscoverable() {
    const QString tip = Child<QPushButton>("convertButton").toolTip();
    QVERIFY2(tip.contains(QStringLiteral("F5")) && tip.contains(QStringLiteral("Ctrl+Enter")),
             qPrintable(tip));
    QStringList names;
    for (QWidget* widget : dialog_->findChildren<QWidget*>()) {
      if (!widget->isVisible() || widget->focusPolicy() == Qt::NoFocus) continue;
      const auto* button = qobject_cast<QAbstractButton*>(widget);
      const QString name = button != nullptr && widget->accessibleName().isEmpty()
                               ? button->text()
                               : widget->accessibleName();
      QVERIFY2(!name.isEmpty(), qPrintable(widget->objectName()));
      names.append(name);
    }
    QVERIFY(Input().accessibleName() != Output().accessibleName());
    QCOMPARE(names.removeDuplicates(), 0);
  }

  void ctrlEnterBreaksTheLineAndPastedBreaksStay() {
    QTest::keyClicks(&Input(), QStringLiteral("ab"));
    QTest::keyClick(&Input(), Qt::Key_Return, Qt::ControlModifier);
    QTest::keyClicks(&Input(), QStringLiteral("cd"));
    QCOMPARE(Input().toPlainText(), QStringLiteral("ab\ncd"));

    Input().clear();
    QApplication::clipboard()->setText(QStringLiteral("11\n22\r\n33"));
    Input().paste();
    QCOMPARE(Input().toPlainText().count(QLatin1Char('\n')), 2);
    Child<QCheckBox>("deleteLineBreaks").setChecked(false);
    Click("modeHexEncode");
    Click("convertButton");
    QCOMPARE(Output().toPlainText(), QStringLiteral("31310D0A32320D0A3333"));
  }

  void closingAsksFirst_data() {
    QTest::addColumn<QString>("way");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("closes");
    const std::pair<const char*, QMessageBox::StandardButton> answers[] = {
        {"yes", QMessageBox::Yes},
        {"no", QMessageBox::No},
        {"cancel", QMessageBox::Cancel},
        {"escape", QMessageBox::NoButton}};
    for (const char* way : {"escape", "close", "window-system"}) {
      for (const auto& [name, button] : answers) {
        QTest::addRow("%s, %s", way, name)
            << QString::fromLatin1(way) << static_cast<int>(button) << (button == QMessageBox::Yes);
      }
    }
  }

  // Escape, the close box (a window-system close request, as Alt+F4 also sends) and close().
  void closingAsksFirst() {
    QFETCH(QString, way);
    QFETCH(int, answer);
    QFETCH(bool, closes);
    Input().setPlainText(QStringLiteral("kept"));
    QString text, caption;
    QStringList button_texts;
    QMessageBox::StandardButton default_button = QMessageBox::NoButton;
    QWidget* owner = nullptr;
    QMessageBox::Icon icon = QMessageBox::Critical;
    ModalWatcher<QMessageBox> watcher([&](QMessageBox& box) {
      text = box.text();
      caption = box.windowTitle();
      default_button = box.standardButton(box.defaultButton());
      owner = box.parentWidget();
      icon = box.icon();
      for (QAbstractButton* button : box.buttons()) button_texts.append(button->text());
      if (answer == QMessageBox::NoButton) {
        QTest::keyClick(&box, Qt::Key_Escape);
      } else {
        box.button(static_cast<QMessageBox::StandardButton>(answer))->click();
      }
    });
    if (way == QLatin1String("escape")) {
      QTest::keyClick(&Input(), Qt::Key_Escape);
    } else if (way == QLatin1String("close")) {
      dialog_->close();
    } else {
      dialog_->windowHandle()->close();
    }
    QVERIFY(watcher.Fired());
    QCOMPARE(text, QStringLiteral("确定退出?"));
    QCOMPARE(caption, QStringLiteral("提示"));
    QCOMPARE(default_button, QMessageBox::Yes);
    QCOMPARE(icon, QMessageBox::NoIcon);
    QCOMPARE(owner, dialog_.get());
    QCOMPARE(button_texts.size(), 3);
    for (const QString& word :
         {QStringLiteral("是"), QStringLiteral("否"), QStringLiteral("取消")}) {
      QVERIFY2(button_texts.filter(word).size() == 1, qPrintable(button_texts.join(u',')));
    }
    QCOMPARE(dialog_->isVisible(), !closes);
    if (closes) QCOMPARE(dialog_->result(), int(QDialog::Rejected));
    QCOMPARE(Input().toPlainText(), QStringLiteral("kept"));
  }

  void separatorClickConverts_data() {
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("expected");
    QTest::newRow("不加") << "separatorNone"
                          << "1122334455667788";
    QTest::newRow("加空格") << "separatorSpace"
                            << "11 22 33 44 55 66 77 88 ";
    QTest::newRow("加,") << "separatorComma"
                         << "11,22,33,44,55,66,77,88,";
    QTest::newRow("加.") << "separatorDot"
                         << "11.22.33.44.55.66.77.88.";
    QTest::newRow("加0x ,") << "separatorHexList"
                            << "0x11,0x22,0x33,0x44,0x55,0x66,0x77,0x88";
  }

  // Also when the radio is already selected: "不加" starts selected.
  void separatorClickConverts() {
    QFETCH(QString, separator);
    QFETCH(QString, expected);
    Input().setPlainText(QStringLiteral("11,22.33 44\n55,66.77 88"));
    auto& radio = Child<QRadioButton>(separator.toLatin1().constData());
    for (int click = 0; click < 2; ++click) {
      Output().setPlainText(QStringLiteral("stale"));
      radio.click();
      QCOMPARE(Output().toPlainText(), expected);
    }
  }

  void deletionTakesEffectAtTheNextConversion() {
    Input().setPlainText(QStringLiteral("1 2,3\t4"));
    Click("convertButton");
    QCOMPARE(Output().toPlainText(), QStringLiteral("1234"));
    Child<QCheckBox>("deleteSpaces").click();
    Child<QCheckBox>("deleteTabs").click();
    QCOMPARE(Output().toPlainText(), QStringLiteral("1234"));
    Click("convertButton");
    QCOMPARE(Output().toPlainText(), QStringLiteral("1 23\t4"));
  }

  void zeroByteEndsTheOutput_data() {
    QTest::addColumn<QString>("hex");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("expected");
    QTest::newRow("none") << "41004243"
                          << "separatorNone"
                          << "A";
    QTest::newRow("space") << "41004243"
                           << "separatorSpace"
                           << "A";
    QTest::newRow("hex list") << "41004243"
                              << "separatorHexList"
                              << "0xA";
    QTest::newRow("leading zero") << "00414243"
                                  << "separatorNone"
                                  << "";
    QTest::newRow("no zero") << "414243"
                             << "separatorNone"
                             << "ABC";
  }

  void zeroByteEndsTheOutput() {
    QFETCH(QString, hex);
    QFETCH(QString, separator);
    QFETCH(QString, expected);
    Input().setPlainText(hex);
    Click("modeHexDecode");
    Click(separator.toLatin1().constData());
    QCOMPARE(Output().toPlainText(), expected);
  }

  // BIG5 bytes shown in the output box, copied into the input box, convert back to themselves.
  void big5BytesSurviveTheBoxes() {
    QByteArray codes;
    for (int lead = 0xA1; lead <= 0xF9; ++lead) {
      for (int trail = 0x40; trail <= 0xFE; ++trail) {
        if (trail > 0x7E && trail < 0xA1) continue;
        codes.append(static_cast<char>(lead)).append(static_cast<char>(trail));
      }
    }
    const QString hex = QString::fromLatin1(codes.toHex().toUpper());
    Convert(hex, "modeHexDecode");
    QCOMPARE(Output().toPlainText().size(), codes.size() / 2);
    Output().selectAll();
    Output().copy();
    Input().clear();
    Input().paste();
    Click("modeHexEncode");
    Click("convertButton");
    if (Output().toPlainText() != hex) {
      QStringList broken;
      for (qsizetype i = 0; i < codes.size() && broken.size() < 10; i += 2) {
        const std::string_view code(codes.constData() + i, 2);
        const QString shown = tessaly::ui::AnsiToBoxText(code);
        if (tessaly::ui::BoxTextToAnsi(shown) != code) broken.append(codes.mid(i, 2).toHex());
      }
      QFAIL(qPrintable(QStringLiteral("codes that do not survive: ") + broken.join(u' ')));
    }
  }

  void hostileGbkThroughEveryMode_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("lone lead bytes") << QByteArray::fromHex("41 81 20 FE 0D 0A 31 81");
    QTest::newRow("invalid trail bytes") << QByteArray::fromHex("81 7F A1 FF B0 30 C4 0A FE 00");
    QTest::newRow("0x80 and 0xFF") << QByteArray::fromHex("80 FF 80 80 FF FF 41 80");
    QTest::newRow("among valid text")
        << QByteArray::fromHex("C4 E3 81 BA C3 FF 41 80 0D 0A 81 0D 0A B0 A1 D6 D0 FF");
  }

  // Broken GBK reaches the window as the result of hex-decoding its listing and comes back in
  // through the clipboard; every mode with every separator then gives what the engine gives
  // for the same bytes, fault boxes included.
  void hostileGbkThroughEveryMode() {
    QFETCH(QByteArray, bytes);
    dialog_->SetConverter(ConvertWithFixedSeed);
    MessageBoxCloser closer;
    Convert(QString::fromLatin1(bytes.toHex(' ')), "modeHexDecode");
    QCOMPARE(Output().toPlainText(), Shown(std::string_view(bytes.constData(), bytes.size())));
    Output().selectAll();
    Output().copy();
    Input().clear();
    Input().paste();
    QCOMPARE(Input().toPlainText(), Output().toPlainText());

    const auto separators = Child<QRadioButton>("separatorNone").group()->buttons();
    for (QAbstractButton* mode_button : Child<QRadioButton>("modeHexEncode").group()->buttons()) {
      if (!mode_button->isEnabled()) continue;
      for (QAbstractButton* separator_button : separators) {
        mode_button->click();
        closer.seen.clear();
        separator_button->click();  // converts
        // The Unicode modes take the box's characters as UTF-8, the others its GBK bytes; the
        // engine's whole-text route is the reference.
        tessaly::ConversionRequest request;
        request.mode = tessaly::ui::ModeOfRadio(mode_button->group()->id(mode_button));
        tessaly::FaultLog faults;
        tessaly::ConversionContext context{faults, [] { return kFixedSeed; }};
        context.encoding =
            tessaly::EngineEncoding(*tessaly::FindMode(request.mode), tessaly::Encoding::Gbk);
        context.unicode_result = true;
        request.input = tessaly::ui::BoxTextToAnsi(Input().toPlainText(), context.encoding);
        request.style =
            tessaly::ui::SeparatorOfRadio(separator_button->group()->id(separator_button));
        const tessaly::ConversionResult expected = tessaly::RunConversion(request, context);
        const QString where = mode_button->objectName() + u' ' + separator_button->objectName();
        QVERIFY2(Output().toPlainText() ==
                     Shown(expected.text, expected.encoding.value_or(context.encoding)),
                 qPrintable(where));
        QStringList boxes;
        for (const tessaly::Fault& fault : faults.All())
          boxes << QStringLiteral("出错: ") + Utf8(fault.routine) + QStringLiteral(" 出错");
        QVERIFY2(closer.seen == boxes, qPrintable(where));
      }
    }
  }

  // Running out of memory anywhere in a conversion ends in a message box, with an empty output
  // box; the next conversion runs as usual.
  void outOfMemoryShowsAMessageAndTheWindowCarriesOn() {
    bool exhausted = true;
    dialog_->SetConverter([&exhausted](const tessaly::Options& options, std::string_view bytes) {
      if (exhausted) throw std::bad_alloc();
      return tessaly::Converter(options).Convert(bytes);
    });
    Input().setPlainText(QStringLiteral("31 32"));
    Output().setPlainText(QStringLiteral("an earlier result"));
    QString text, caption, output_meanwhile;
    QWidget* owner = dialog_.get();
    ModalWatcher<QMessageBox> watcher([&](QMessageBox& box) {
      text = box.text();
      caption = box.windowTitle();
      owner = box.parentWidget();
      output_meanwhile = Output().toPlainText();
      box.done(QMessageBox::Ok);
    });
    Click("modeHexDecode");
    Click("convertButton");
    QVERIFY(watcher.Fired());
    QCOMPARE(text, QStringLiteral("内存不足,无法完成转换"));
    QCOMPARE(caption, QStringLiteral("出错"));
    QCOMPARE(owner, nullptr);
    QVERIFY(output_meanwhile.isEmpty());
    QCOMPARE(Input().toPlainText(), QStringLiteral("31 32"));
    exhausted = false;
    Click("convertButton");
    QCOMPARE(Output().toPlainText(), QStringLiteral("12"));
  }

  void linesTooLongForABox_data() {
    QTest::addColumn<bool>("paste");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("message");
    QTest::newRow("paste") << true << QStringLiteral("31 32 33")
                           << QStringLiteral(
                                  "粘贴后会有一行长达 11 个字符,超出文本框能显示的 10 个字符");
    QTest::newRow("result") << false << QStringLiteral("31 32 33 34 35 36")
                            << QStringLiteral(
                                   "转换结果有一行长达 12 个字符,超出文本框能显示的 10 个字符");
  }

  // A paste or a result with a line longer than the box takes ends in a message box; the
  // paste leaves the input box as it was, the result leaves the output box empty.
  void linesTooLongForABox() {
    QFETCH(bool, paste);
    QFETCH(QString, input);
    QFETCH(QString, message);
    for (const char* box : {"inputBox", "outputBox"}) {
      Child<DialogTextEdit>(box).SetMaxLineLength(10);
    }
    Input().setPlainText(input);
    Output().setPlainText(QStringLiteral("an earlier result"));
    MessageBoxCloser closer;
    if (paste) {
      QApplication::clipboard()->setText(QStringLiteral("363"));
      Input().moveCursor(QTextCursor::End);
      Input().paste();
    } else {
      Click("convertButton");  // formatting alone leaves the 12 digits
    }
    QTRY_COMPARE(closer.seen, QStringList{QStringLiteral("出错: ") + message});
    QCOMPARE(Input().toPlainText(), input);
    QCOMPARE(Output().toPlainText(), paste ? QStringLiteral("an earlier result") : QString());
  }

  // Under an address-space limit, as `ulimit -v` sets it, a paste and a conversion that need
  // more memory than is left each end in a message box, and the window still converts.
  void addressSpaceLimit() {
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("the sanitizer's allocator ends the process when memory runs out");
#endif
    QString listing;  // 8 Mi characters in lines of 64
    const QString line =
        QStringLiteral("31 32 33 34 35 36 37 38 39 30 41 42 43 44 45 46 47 48 49 4A 4\n");
    while (listing.size() < (8 << 20)) listing += line;
    QApplication::clipboard()->setText(listing + listing);
    Input().setPlainText(listing);
    Click("modeHexEncode");
    MessageBoxCloser closer;
    {
      // Less than the 48 MB the paste's text alone takes, and than the 16 MB input, 16 MB result
      // and its 32 MB as box text of the conversion.
      const AddressSpaceLimit limit(40 << 20);
      Input().moveCursor(QTextCursor::End);
      Input().paste();
      QTRY_COMPARE(closer.seen, QStringList{QStringLiteral("出错: 内存不足,无法粘贴")});
      QCOMPARE(Input().characterCount(), listing.size() + 1);
      Click("convertButton");
      QTRY_COMPARE(closer.seen.size(), 2);
      QCOMPARE(closer.seen.last(), QStringLiteral("出错: 内存不足,无法完成转换"));
      QVERIFY(Output().toPlainText().isEmpty());
      Input().setPlainText(QStringLiteral("ab"));
      Click("convertButton");
      QCOMPARE(Output().toPlainText(), QStringLiteral("6162"));
    }
    QCOMPARE(closer.seen.size(), 2);
  }

  // From 16 Mi characters on, a conversion runs on a thread of its own; its faults still show
  // in the window's message boxes, and its result is laid out there and shown whole.
  void largeInputConvertsOnAThread() {
    const QString input = QStringLiteral("0123456789ABCDEF").repeated(1 << 20);
    std::thread::id ran_on;
    dialog_->SetConverter([&ran_on](const tessaly::Options& options, std::string_view bytes) {
      ran_on = std::this_thread::get_id();
      return WithFault(tessaly::Converter(options).Convert(bytes), "s2t", "GB2GBK");
    });
    MessageBoxCloser closer;
    Input().setPlainText(input);
    Click("convertButton");
    QVERIFY(ran_on != std::thread::id());
    QVERIFY(ran_on != std::this_thread::get_id());
    QCOMPARE(closer.seen, QStringList{QStringLiteral("出错: GB2GBK 出错")});
    QVERIFY(Output().toPlainText() == input);
    QVERIFY(Output().RowCount() > 1000);
    Output().moveCursor(QTextCursor::End);
    QTest::keyClick(&Output(), Qt::Key_Backspace);
    QCOMPARE(Output().toPlainText().size(), input.size() - 1);
  }

  void faultFaces_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("routine");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("output");
    const QStringList none;
    QTest::newRow("s2t") << QString::fromUtf8("s2t") << QString::fromUtf8("GB2GBK")
                         << QStringList{QString::fromUtf8("出错: GB2GBK 出错")}
                         << QString::fromUtf8("given");
    QTest::newRow("s2twp") << QString::fromUtf8("s2twp") << QString::fromUtf8("S2TWP")
                           << QStringList{QString::fromUtf8("出错: S2TWP 出错")}
                           << QString::fromUtf8("given");
    QTest::newRow("big5-to-gbk") << QString::fromUtf8("big5-to-gbk")
                                 << QString::fromUtf8("BIG52GBK")
                                 << QStringList{QString::fromUtf8("出错: BIG52GBK 出错")}
                                 << QString::fromUtf8("given");
    QTest::newRow("utf8-encode") << QString::fromUtf8("utf8-encode")
                                 << QString::fromUtf8("utf8-encode") << none
                                 << QString::fromUtf8("转换失败");
    QTest::newRow("utf8-decode") << QString::fromUtf8("utf8-decode")
                                 << QString::fromUtf8("utf8-decode") << none
                                 << QString::fromUtf8("转换失败");
    QTest::newRow("utf16-encode") << QString::fromUtf8("utf16-encode")
                                  << QString::fromUtf8("utf16-encode") << none
                                  << QString::fromUtf8("");
    QTest::newRow("utf16-decode") << QString::fromUtf8("utf16-decode")
                                  << QString::fromUtf8("utf16-decode") << none
                                  << QString::fromUtf8("");
  }

  // A fault is a value the library hands back; the window turns it into its own texts: a box
  // naming the routine (the text then comes back as given), or "转换失败" or nothing as the
  // result of the Unicode modes.
  void faultFaces() {
    QFETCH(QString, mode);
    QFETCH(QString, routine);
    QFETCH(QStringList, boxes);
    QFETCH(QString, output);
    dialog_->SetConverter([&](const tessaly::Options&, std::string_view) {
      const bool given = output == QStringLiteral("given");
      return WithFault({given ? "given" : "", "gbk", {}, {}, {}}, mode.toStdString(),
                       routine.toStdString());
    });
    MessageBoxCloser closer;
    Input().setPlainText(QStringLiteral("given"));
    Click("convertButton");
    QTRY_COMPARE(closer.seen, boxes);
    QCOMPARE(Output().toPlainText(), output);
  }

  void faultShowsAnOwnerlessBox() {
    dialog_->SetConverter([](const tessaly::Options&, std::string_view) {
      return WithFault({"after the fault", "gbk", {}, {}, {}}, "gbk-to-big5", "GBK2BIG5");
    });
    Output().setPlainText(QStringLiteral("before"));
    QString text, caption, output_meanwhile;
    QWidget* owner = dialog_.get();
    QList<QAbstractButton*> buttons;
    QMessageBox::Icon icon = QMessageBox::Critical;
    QMessageBox::StandardButtons standard_buttons;
    ModalWatcher<QMessageBox> watcher([&](QMessageBox& box) {
      text = box.text();
      caption = box.windowTitle();
      owner = box.parentWidget();
      buttons = box.buttons();
      output_meanwhile = Output().toPlainText();
      icon = box.icon();
      standard_buttons = box.standardButtons();
      box.done(QMessageBox::Ok);
    });
    Click("convertButton");
    QVERIFY(watcher.Fired());
    QCOMPARE(text, QStringLiteral("GBK2BIG5 出错"));
    QCOMPARE(caption, QStringLiteral("出错"));
    QCOMPARE(owner, nullptr);
    QCOMPARE(buttons.size(), 1);
    QCOMPARE(standard_buttons, QMessageBox::Ok);
    QCOMPARE(icon, QMessageBox::NoIcon);
    QCOMPARE(output_meanwhile, QStringLiteral("before"));
    QCOMPARE(Output().toPlainText(), QStringLiteral("after the fault"));
  }

  void aboutBox_data() {
    QTest::addColumn<QString>("opener");
    QTest::addColumn<QString>("closer");
    for (const char* opener : {"context-menu", "F1"}) {
      for (const char* closer : {"确定", "Enter", "Escape"}) {
        QTest::addRow("%s, %s", opener, closer)
            << QString::fromLatin1(opener) << QString::fromUtf8(closer);
      }
    }
  }

  void aboutBox() {
    QFETCH(QString, opener);
    QFETCH(QString, closer);
    QString line, licence, caption;
    bool has_icon = false;
    QWidget* owner = nullptr;
    QStringList button_texts;
    ModalWatcher<AboutDialog> about([&](AboutDialog& box) {
      caption = box.windowTitle();
      owner = box.parentWidget();
      for (const QPushButton* button : box.findChildren<QPushButton*>()) {
        button_texts.append(button->text());
      }
      const auto labels = box.findChildren<QLabel*>();
      for (const QLabel* label : labels) {
        if (!label->pixmap().isNull()) has_icon = true;
      }
      line = box.findChild<QLabel*>(QStringLiteral("makerLabel"))->text();
      licence = box.findChild<QLabel*>(QStringLiteral("licenceLabel"))->text();
      if (closer == QLatin1String("Enter")) {
        QTest::keyClick(&box, Qt::Key_Return);
      } else if (closer == QLatin1String("Escape")) {
        QTest::keyClick(&box, Qt::Key_Escape);
      } else {
        box.findChild<QPushButton*>()->click();
      }
    });
    if (opener == QLatin1String("F1")) {
      QTest::keyClick(&Input(), Qt::Key_F1);
    } else {
      QString entry;
      QTimer menu_poll;
      QObject::connect(&menu_poll, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr || !menu->isVisible()) return;
        menu_poll.stop();
        entry = menu->actions().value(0)->text();
        QTest::keyClick(menu, Qt::Key_A);  // the entry's mnemonic
      });
      menu_poll.start(5);
      // A right click on a label reaches the window's context menu.
      auto& label = Child<QLabel>("deletionLabel");
      QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                              label.mapToGlobal(QPoint(5, 5)));
      QApplication::sendEvent(&label, &event);
      QCOMPARE(entry, QStringLiteral("关于 %1(&A)...").arg(Utf8(tessaly::product::kProductName)));
    }
    QVERIFY(about.Fired());
    QCOMPARE(caption, QStringLiteral("关于"));
    QCOMPARE(button_texts, QStringList{QStringLiteral("确定")});
    QCOMPARE(owner, dialog_.get());
    QVERIFY(has_icon);
    QCOMPARE(line, QStringLiteral("%1 %2 ").arg(Utf8(tessaly::product::kMakerName),
                                                Utf8(tessaly::product::kHostName)));
    QCOMPARE(
        licence,
        QStringLiteral("版本 %1,Apache-2.0 许可").arg(Utf8(tessaly::product::kPackageVersion)));
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QVERIFY(dialog_->isVisible());
  }

  void iconIsDrawnAtEveryScale_data() {
    QTest::addColumn<qreal>("scale");
    for (const qreal scale : {1.0, 1.25, 1.5, 2.0, 3.0}) QTest::addRow("%g", scale) << scale;
  }

  // The icon is drawn from its vector form at the pixel size a scale factor asks for, not
  // enlarged from 48 pixels: its edge between the corner and the tile stays one pixel wide.
  void iconIsDrawnAtEveryScale() {
    QFETCH(qreal, scale);
    const QPixmap pixmap = tessaly::ui::AppIcon().pixmap(tessaly::ui::kAppIconSize, scale);
    const QImage image = pixmap.toImage();
    QCOMPARE(image.size(), tessaly::ui::kAppIconSize * scale);
    const int middle = image.height() / 2;
    int blended = 0;
    for (int x = 0; x < image.width() / 4; ++x) {
      const int alpha = qAlpha(image.pixel(x, middle));
      if (alpha > 0 && alpha < 255) ++blended;
    }
    QVERIFY2(blended <= 1, qPrintable(QString::number(blended)));
    QVERIFY(qAlpha(image.pixel(image.width() / 4, middle)) == 255);
  }

  void webButtonOpensTheMakersAddress() {
    UrlCatcher catcher;
    const QUrl address(Utf8(tessaly::product::kWebAddress));
    QDesktopServices::setUrlHandler(address.scheme(), &catcher, "Open");
    Click("webButton");
    QDesktopServices::unsetUrlHandler(address.scheme());
    QCOMPARE(catcher.opened, QList<QUrl>{address});
    QVERIFY(Output().toPlainText().isEmpty());
  }

  // Offscreen no browser can open anything: the user is told so, with the address.
  void webButtonWithoutABrowserSaysSo() {
    MessageBoxCloser closer;
    Click("webButton");
    QTRY_COMPARE(closer.seen, QStringList{QStringLiteral("出错: 没有能打开网址的浏览器:%1")
                                              .arg(Utf8(tessaly::product::kWebAddress))});
    QVERIFY(dialog_->isVisible());
  }
};

int main(int argc, char** argv) {
  tessaly::ui::testing::UseOffscreenPlatform();
  tessaly::ui::testing::UseChinese();
  tessaly::ui::ConverterApp app(argc, argv);
  MainDialogTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "main-dialog-test.moc"
