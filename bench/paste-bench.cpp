// paste-bench [MIB...]: times pasting a one-line text of MIB mebibytes (GBK) into the
// window's input box and converting it with "字符串转16进制", offscreen. Default sizes: 1 and 10.
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <cstdio>
#include <string>

#include "engine/conversion.h"
#include "ui/box_text.h"
#include "ui/main_dialog.h"

namespace {

using tessaly::gui::MainDialog;

// Mixed Latin and Chinese, no line break: the hardest case for a text box's layout.
QString OneLineText(qsizetype gbk_bytes) {
  const QString unit = QStringLiteral("Tessaly 字节 0123456789ABCDEF,转换;");
  const qsizetype unit_bytes = static_cast<qsizetype>(tessaly::gui::BoxTextToAnsi(unit).size());
  QString text;
  text.reserve(gbk_bytes / unit_bytes * unit.size() + unit.size());
  for (qsizetype bytes = 0; bytes < gbk_bytes; bytes += unit_bytes) text += unit;
  return text;
}

void ShowNow(QWidget& window) {
  window.repaint();
  QApplication::processEvents();
}

template <typename Widget>
Widget& Child(QWidget& parent, const char* name) {
  return *parent.findChild<Widget*>(QString::fromLatin1(name));
}

void Measure(double mebibytes) {
  const auto bytes = static_cast<qsizetype>(mebibytes * 1024 * 1024);
  const QString text = OneLineText(bytes);
  MainDialog dialog;
  dialog.show();
  ShowNow(dialog);
  auto& input = Child<QPlainTextEdit>(dialog, "inputBox");
  auto& output = Child<QPlainTextEdit>(dialog, "outputBox");
  Child<QRadioButton>(dialog, "modeHexEncode").click();
  QApplication::clipboard()->setText(text);
  input.setFocus();
  ShowNow(dialog);

  QElapsedTimer timer;
  timer.start();
  input.paste();
  ShowNow(dialog);
  const qint64 paste_ms = timer.restart();
  Child<QPushButton>(dialog, "convertButton").click();
  ShowNow(dialog);
  const qint64 convert_ms = timer.restart();

  // The engine's share of the conversion, for comparison.
  tessaly::ConversionRequest request;
  request.input = tessaly::gui::BoxTextToAnsi(text);
  request.mode = tessaly::ConversionMode::HexEncode;
  struct : tessaly::FaultReporter {
    void ReportFault(std::string_view, std::string_view) override {}
  } silent;
  timer.restart();
  const auto result = tessaly::RunConversion(request, tessaly::ConversionContext{silent});
  const qint64 engine_ms = timer.elapsed();

  std::printf(
      "%5.1f MiB (%lld characters, one line): paste %lld ms, convert and show %lld ms, "
      "total %lld ms; output %lld characters (engine alone %lld ms)\n",
      mebibytes, static_cast<long long>(text.size()), static_cast<long long>(paste_ms),
      static_cast<long long>(convert_ms), static_cast<long long>(paste_ms + convert_ms),
      static_cast<long long>(output.toPlainText().size()), static_cast<long long>(engine_ms));
  std::fflush(stdout);
  if (output.document()->characterCount() - 1 != static_cast<int>(result.size())) {
    std::printf("  warning: the output box does not hold the engine's result\n");
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QStringList arguments = QApplication::arguments().mid(1);
  if (arguments.isEmpty()) {
    Measure(1);
    Measure(10);
  }
  for (const QString& argument : arguments) Measure(argument.toDouble());
  return 0;
}
