// paste-bench [--lines N] [--mode RADIO] [--keep-line-breaks] [--text FILE] [MIB...]: times
// pasting a text of MIB mebibytes (GBK) into the window's input box and converting it, offscreen;
// by default one line of a mixed sample, with "字符串转16进制" (modeHexEncode) and sizes 1 and 10.
// With --text, the UTF-8 text of FILE, repeated or cut to the size, lines as they are. A message
// box the window shows instead of a result is answered and printed, and a small conversion
// afterwards shows whether the window still works.
#include <sys/resource.h>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <cstdio>
#include <new>
#include <string>

#include "engine/chinese/phrase_cache.h"
#include "engine/chinese/phrase_matcher.h"
#include "engine/conversion.h"
#include "ui/box_text.h"
#include "ui/dialog_text_edit.h"
#include "ui/huge_pages.h"
#include "ui/main_dialog.h"
#include "ui/mode_faces.h"

namespace {

using tessaly::ui::MainDialog;

struct Options {
  qsizetype line_length = 0;  // 0: one line
  QString mode = QStringLiteral("modeHexEncode");
  bool keep_line_breaks = false;
  QString text_file;  // none: the sample below
};

// Mixed Latin and Chinese without a space to break at: the hardest case for a box's layout.
QString MixedSample(qsizetype gbk_bytes, qsizetype line_length) {
  const QString unit = QStringLiteral("Tessaly 字节 0123456789ABCDEF,转换;");
  const qsizetype unit_bytes = static_cast<qsizetype>(tessaly::ui::BoxTextToAnsi(unit).size());
  QString text;
  text.reserve(gbk_bytes / unit_bytes * unit.size() + unit.size());
  for (qsizetype bytes = 0; bytes < gbk_bytes; bytes += unit_bytes) text += unit;
  if (line_length > 0) {
    for (qsizetype i = line_length; i < text.size(); i += line_length + 1) text[i] = u'\n';
  }
  return text;
}

// A file's text repeated or cut to about `gbk_bytes` in GBK.
QString FileSample(const QString& path, qsizetype gbk_bytes) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) qFatal("cannot read %s", qPrintable(path));
  const QString unit = QString::fromUtf8(file.readAll());
  if (unit.isEmpty()) qFatal("%s is empty", qPrintable(path));
  const auto unit_bytes = static_cast<qsizetype>(tessaly::ui::BoxTextToAnsi(unit).size());
  QString text;
  while (text.size() * unit_bytes < gbk_bytes * unit.size()) text += unit;
  text.truncate(gbk_bytes * unit.size() / unit_bytes);
  return text;
}

QString SampleText(qsizetype gbk_bytes, const struct Options& options) {
  return options.text_file.isEmpty() ? MixedSample(gbk_bytes, options.line_length)
                                     : FileSample(options.text_file, gbk_bytes);
}

void ShowNow(QWidget& window) {
  window.repaint();
  QApplication::processEvents();
}

template <typename Widget>
Widget& Child(QWidget& parent, const QString& name) {
  auto* child = parent.findChild<Widget*>(name);
  if (child == nullptr) qFatal("no control named %s", qPrintable(name));
  return *child;
}

// The resident memory now, from /proc/self/status.
long ResidentMebibytes() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toLong() / 1024;
  }
  return -1;
}

long PeakMebibytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

// Answers the window's message boxes with OK and prints their texts.
class BoxPrinter {
 public:
  BoxPrinter() {
    timer_.setInterval(20);
    QObject::connect(&timer_, &QTimer::timeout, [] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr || !box->isVisible()) return;
      std::printf("  message box \"%s: %s\"\n", qPrintable(box->windowTitle()),
                  qPrintable(box->text()));
      box->done(QMessageBox::Ok);
    });
    timer_.start();
  }

 private:
  QTimer timer_;
};

// The engine's share of the conversion, for comparison, and whether the window shows its result.
// The engine reads the input box's text, which is the paste as the box holds it (a no-break space
// is a space there, for one).
void CompareWithEngine(QWidget& dialog, const tessaly::ui::DialogTextEdit& input,
                       const tessaly::ui::DialogTextEdit& output, const Options& options) try {
  tessaly::ConversionRequest request;
  request.input = tessaly::ui::BoxTextToAnsi(input.toPlainText());
  auto& radio = Child<QRadioButton>(dialog, options.mode);
  request.mode = tessaly::ui::ModeOfRadio(radio.group()->id(&radio));
  request.deletion.DeleteLineBreaks = !options.keep_line_breaks;
  tessaly::FaultLog faults;
  tessaly::ConversionContext context{faults};
  context.cache_directory = tessaly::PhraseCacheDirectory();
  QElapsedTimer timer;
  timer.start();
  const auto result = tessaly::RunConversion(request, context).text;
  std::printf("  engine alone %lld ms", static_cast<long long>(timer.elapsed()));
  if (output.toPlainText().isEmpty()) {
    std::printf("; the output box stays empty\n");
  } else {
    const bool same = tessaly::ui::BoxTextToAnsi(output.toPlainText()) == result;
    std::printf("; the output box %s the engine's result\n", same ? "holds" : "DOES NOT hold");
  }
} catch (const std::bad_alloc&) {
  std::printf("  engine alone: not enough memory to compare\n");
}

// After a large paste and conversion, a small conversion in the same window.
void CheckStillConverts(QWidget& dialog, tessaly::ui::DialogTextEdit& input,
                        tessaly::ui::DialogTextEdit& output) {
  input.setPlainText(QStringLiteral("ab"));
  Child<QRadioButton>(dialog, QStringLiteral("modeHexEncode")).click();
  Child<QPushButton>(dialog, QStringLiteral("convertButton")).click();
  const bool works = output.toPlainText() == QStringLiteral("6162");
  std::printf("  afterwards \"ab\" converts to \"%s\": %s\n", qPrintable(output.toPlainText()),
              works ? "the window still works" : "WRONG");
}

void Measure(double mebibytes, const Options& options) {
  const auto bytes = static_cast<qsizetype>(mebibytes * 1024 * 1024);
  QString text = SampleText(bytes, options);
  const qsizetype characters = text.size();
  MainDialog dialog;
  dialog.show();
  ShowNow(dialog);
  auto& input = Child<tessaly::ui::DialogTextEdit>(dialog, QStringLiteral("inputBox"));
  auto& output = Child<tessaly::ui::DialogTextEdit>(dialog, QStringLiteral("outputBox"));
  Child<QRadioButton>(dialog, options.mode).click();
  if (options.keep_line_breaks) {
    Child<QCheckBox>(dialog, QStringLiteral("deleteLineBreaks")).setChecked(false);
  }
  QApplication::clipboard()->setText(text);
  text.clear();
  input.setFocus();
  ShowNow(dialog);
  const BoxPrinter printer;

  QElapsedTimer timer;
  timer.start();
  input.paste();
  ShowNow(dialog);
  const qint64 paste_ms = timer.restart();
  Child<QPushButton>(dialog, QStringLiteral("convertButton")).click();
  ShowNow(dialog);
  const qint64 convert_ms = timer.restart();

  std::printf(
      "%5.1f MiB (%lld characters, %s): paste %lld ms, convert and show %lld ms, "
      "total %lld ms; output %lld characters; peak memory %ld MiB\n",
      mebibytes, static_cast<long long>(characters),
      !options.text_file.isEmpty() ? qPrintable(options.text_file)
      : options.line_length > 0 ? qPrintable(QStringLiteral("lines of %1").arg(options.line_length))
                                : "one line",
      static_cast<long long>(paste_ms), static_cast<long long>(convert_ms),
      static_cast<long long>(paste_ms + convert_ms),
      static_cast<long long>(output.characterCount() - 1), PeakMebibytes());
  std::fflush(stdout);
  QApplication::clipboard()->clear();
  CompareWithEngine(dialog, input, output, options);
  CheckStillConverts(dialog, input, output);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  // As the window's own program does; the setting is read before the restart clears it.
  const QByteArray tunables = qgetenv("GLIBC_TUNABLES");
  tessaly::ui::RequestHugePages(argv);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QCommandLineParser parser;
  parser.addHelpOption();
  parser.addPositionalArgument(QStringLiteral("MIB"), QStringLiteral("sizes in mebibytes"));
  const QCommandLineOption lines(QStringLiteral("lines"), QStringLiteral("line length"),
                                 QStringLiteral("N"));
  const QCommandLineOption mode(QStringLiteral("mode"), QStringLiteral("mode radio's name"),
                                QStringLiteral("RADIO"), QStringLiteral("modeHexEncode"));
  const QCommandLineOption keep(QStringLiteral("keep-line-breaks"),
                                QStringLiteral("untick 删换行"));
  const QCommandLineOption text(QStringLiteral("text"), QStringLiteral("UTF-8 text to paste"),
                                QStringLiteral("FILE"));
  parser.addOptions({lines, mode, keep, text});
  parser.process(app);
  const Options options{parser.value(lines).toLongLong(), parser.value(mode), parser.isSet(keep),
                        parser.value(text)};
  QStringList sizes = parser.positionalArguments();
  if (sizes.isEmpty()) sizes = {QStringLiteral("1"), QStringLiteral("10")};
  std::printf("GLIBC_TUNABLES=%s\n", tunables.isNull() ? "(unset)" : tunables.constData());
  {
    MainDialog idle;
    idle.show();
    ShowNow(idle);
    std::printf("idle window: %ld MiB resident\n", ResidentMebibytes());
  }
  for (const QString& size : sizes) Measure(size.toDouble(), options);
  return 0;
}
