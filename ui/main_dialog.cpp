#include "ui/main_dialog.h"

#include <QDesktopServices>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <algorithm>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

#include "ui/about_dialog.h"
#include "ui/app_icon.h"
#include "ui/box_text.h"
#include "ui/dialog_units.h"
#include "ui/help_texts.h"
#include "ui/product_text.h"

namespace tessaly::ui {
namespace {

// The boxes' size in dialog units of the window's font.
constexpr int kBoxWidth = 297;
constexpr int kBoxHeight = 60;
constexpr int kMargin = 7;

// Inputs from this size on convert on a thread of their own, the window repainting meanwhile
// behind a progress box; smaller ones take well under half a second where they are.
constexpr qsizetype kThreadedInput = qsizetype{16} << 20;

bool IsEnter(const QKeyEvent& event) {
  return event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter;
}

// Hands the faults a conversion on another thread reports to the window's thread, and waits
// for the user to close their message boxes there.
class GuiThreadReporter final : public FaultReporter {
 public:
  GuiThreadReporter(QObject& gui_object, FaultReporter& target)
      : gui_object_(gui_object), target_(target) {}

  void ReportFault(std::string_view message, std::string_view caption) override {
    const std::string text(message);
    const std::string title(caption);
    QMetaObject::invokeMethod(
        &gui_object_, [&] { target_.ReportFault(text, title); }, Qt::BlockingQueuedConnection);
  }

 private:
  QObject& gui_object_;
  FaultReporter& target_;
};

// The busy pointer, for as long as it lives.
class BusyCursor {
 public:
  BusyCursor() { QGuiApplication::setOverrideCursor(Qt::BusyCursor); }
  ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace

MainDialog::MainDialog(QWidget* parent) : QDialog(parent) {
  ui.setupUi(this);
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setWindowIcon(AppIcon());
  const QFontMetrics metrics = fontMetrics();
  ui.mainLayout->setContentsMargins(DialogUnitMargins(metrics, kMargin, kMargin));
  for (DialogTextEdit* box : {ui.inputBox, ui.outputBox}) {
    box->setFixedSize(DialogUnits(metrics, kBoxWidth, kBoxHeight));
  }
  AssignIds();
  ConnectControls();
  SetUpKeyboard();
  SetInitialState();
}

void MainDialog::SetUpKeyboard() {
  // Inside a box Ctrl+Enter breaks the line; the box claims it before these shortcuts see it.
  for (QShortcut* shortcut : {&convert_key_, &convert_ctrl_return_, &convert_ctrl_enter_}) {
    connect(shortcut, &QShortcut::activated, this, [this] { Convert(); });
  }
  ui.convertButton->setToolTip(tr("转换 (F5;焦点不在文本框时也可按 Ctrl+Enter)"));
  ui.inputBox->setAccessibleName(tr("要转换的文本"));
  ui.outputBox->setAccessibleName(tr("转换结果"));
  ui.webButton->setAccessibleName(tr("打开官网"));
}

void MainDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (placed_ || parentWidget() != nullptr) return;
  placed_ = true;
  PlaceOnScreen();
  // The window manager's frame is known only once the window is mapped: place it again then.
  QTimer::singleShot(100, this, [this] { PlaceOnScreen(); });
}

void MainDialog::PlaceOnScreen() {
  QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  QMargins frame = windowHandle() != nullptr ? windowHandle()->frameMargins() : QMargins();
  if (frame.isNull()) {
    // Not mapped yet: a title bar as the style draws one, and a thin border.
    const int title = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
    frame = QMargins(4, title + 4, 4, 4);
  }
  const QSize outer = size().grownBy(frame);
  const QPoint at = CentredTopLeft(screen->availableGeometry(), outer);
  if (pos() != at) move(at);
}

void MainDialog::SetConverter(Converter converter) {
  converter_ = std::move(converter);
}

void MainDialog::AssignIds() {
  const std::pair<QAbstractButton*, ConversionMode> modes[] = {
      {ui.modeHexEncode, ConversionMode::HexEncode},
      {ui.modeHexDecode, ConversionMode::HexDecode},
      {ui.modeUtf16Encode, ConversionMode::Utf16Encode},
      {ui.modeUtf16Decode, ConversionMode::Utf16Decode},
      {ui.modeRandomBytes, ConversionMode::RandomBytes},
      {ui.modeSimplifiedToTraditional, ConversionMode::SimplifiedToTraditional},
      {ui.modeTraditionalToSimplified, ConversionMode::TraditionalToSimplified},
      {ui.modeGbkToBig5, ConversionMode::GbkToBig5},
      {ui.modeBig5ToGbk, ConversionMode::Big5ToGbk},
      {ui.modeCharArray, ConversionMode::CharArray},
      {ui.modeUtf8Encode, ConversionMode::Utf8Encode},
      {ui.modeUtf8Decode, ConversionMode::Utf8Decode},
      {ui.modeFormatOnly, ConversionMode::FormatOnly},
  };
  for (const auto& [button, mode] : modes) ui.modeGroup->setId(button, static_cast<int>(mode));
  const std::pair<QAbstractButton*, SeparatorStyle> styles[] = {
      {ui.separatorNone, SeparatorStyle::SeparatorNone},
      {ui.separatorSpace, SeparatorStyle::SeparatorSpace},
      {ui.separatorComma, SeparatorStyle::SeparatorComma},
      {ui.separatorDot, SeparatorStyle::SeparatorDot},
      {ui.separatorHexList, SeparatorStyle::SeparatorHexList},
  };
  for (const auto& [button, style] : styles)
    ui.separatorGroup->setId(button, static_cast<int>(style));
}

void MainDialog::ConnectControls() {
  // idClicked also fires for a click on the radio that is already selected.
  connect(ui.modeGroup, &QButtonGroup::idClicked, this, &MainDialog::ShowHelpText);
  connect(ui.separatorGroup, &QButtonGroup::idClicked, this, [this] { Convert(); });
  connect(ui.convertButton, &QPushButton::clicked, this, [this] { Convert(); });
  connect(ui.clearButton, &QPushButton::clicked, this, [this] {
    ui.inputBox->clear();
    ui.outputBox->clear();
  });
  for (DialogTextEdit* box : {ui.inputBox, ui.outputBox}) {
    connect(box, &DialogTextEdit::PasteRefused, this,
            [this](const QString& message) { ReportProblem(message); });
  }
  // The desktop's answer is not examined: nothing is shown when no browser opens.
  connect(ui.webButton, &QPushButton::clicked, this,
          [] { QDesktopServices::openUrl(QUrl(WebAddress())); });

  // No system menu to extend on this desktop: the About entry lives in the window's context
  // menu and on F1.
  about_action_.setText(AboutEntryText());
  about_action_.setShortcut(QKeySequence(Qt::Key_F1));
  connect(&about_action_, &QAction::triggered, this, &MainDialog::ShowAbout);
  addAction(&about_action_);
  setContextMenuPolicy(Qt::ActionsContextMenu);
}

void MainDialog::SetInitialState() {
  ui.separatorNone->setChecked(true);
  ui.modeFormatOnly->setChecked(true);
  for (QCheckBox* box :
       {ui.deleteSpaces, ui.deleteDots, ui.deleteCommas, ui.deleteTabs, ui.deleteLineBreaks}) {
    box->setChecked(true);
  }
  setWindowTitle(WindowTitle());
  ui.inputBox->setFocus();
}

// Everything but the input, which the caller adds.
ConversionRequest MainDialog::BuildRequest() const {
  ConversionRequest request;
  request.mode = static_cast<ConversionMode>(std::max(ui.modeGroup->checkedId(), 0));
  request.deletion = {ui.deleteSpaces->isChecked(), ui.deleteDots->isChecked(),
                      ui.deleteCommas->isChecked(), ui.deleteTabs->isChecked(),
                      ui.deleteLineBreaks->isChecked()};
  request.style = static_cast<SeparatorStyle>(std::max(ui.separatorGroup->checkedId(), 0));
  return request;
}

// Whatever runs short of memory along the way, the buffers are gone by the time the message
// shows, and the window carries on.
void MainDialog::Convert() {
  if (converting_) return;
  const QScopedValueRollback<bool> busy(converting_, true);
  const QString input = ui.inputBox->toPlainText();
  try {
    const ConversionRequest request = BuildRequest();
    ShowInOutputBox(input.size() < kThreadedInput ? ConvertText(request, input, reporter_)
                                                  : ConvertOnAThread(request, input));
  } catch (const std::bad_alloc&) {
    ui.outputBox->clear();
    ReportProblem(QStringLiteral("内存不足,无法完成转换"));
  }
}

QString MainDialog::ConvertText(ConversionRequest request, const QString& input,
                                FaultReporter& reporter) const {
  request.input = BoxTextToAnsi(input);
  const AnsiText result = converter_(request, ConversionContext{reporter});
  request.input = AnsiText();
  return AnsiToBoxText(result);
}

// The input is a shared copy the thread only reads; the window takes no input meanwhile but
// repaints, and after half a second shows a progress box.
QString MainDialog::ConvertOnAThread(const ConversionRequest& request, const QString& input) {
  const BusyCursor cursor;
  QProgressDialog progress(QStringLiteral("正在转换..."), QString(), 0, 0, this);
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(500);
  GuiThreadReporter reporter(*this, reporter_);
  QEventLoop loop;
  QString result;
  std::exception_ptr failure;
  const auto work = [&] {
    try {
      result = ConvertText(request, input, reporter);
    } catch (...) {
      failure = std::current_exception();
    }
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  };
  try {
    std::thread worker(work);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
  } catch (const std::system_error&) {
    work();  // no thread to be had: convert here
  }
  if (failure) std::rethrow_exception(failure);
  return result;
}

void MainDialog::ShowHelpText(int mode_id) {
  ShowInOutputBox(HelpText(static_cast<ConversionMode>(mode_id)));
}

void MainDialog::ShowInOutputBox(std::string_view ansi) {
  ShowInOutputBox(AnsiToBoxText(ansi));
}

void MainDialog::ShowInOutputBox(const QString& text) {
  const std::optional<qsizetype> too_long = ui.outputBox->ReplaceText(text);
  if (!too_long) return;
  ReportProblem(QStringLiteral("转换结果有一行长达 %1 个字符,超出文本框能显示的 %2 个字符")
                    .arg(*too_long)
                    .arg(ui.outputBox->MaxLineLength()));
}

void MainDialog::ReportProblem(const QString& message) {
  reporter_.ReportFault(ToUtf8(message), "出错");
}

void MainDialog::reject() {
  if (ConfirmExit()) QDialog::reject();
}

bool MainDialog::ConfirmExit() {
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral("提示"), QStringLiteral("确定退出?"),
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, this);
  box.setDefaultButton(QMessageBox::Yes);
  return box.exec() == QMessageBox::Yes;
}

void MainDialog::ShowAbout() {
  AboutDialog about(this);
  about.exec();
}

void MainDialog::keyPressEvent(QKeyEvent* event) {
  if (!IsEnter(*event)) {
    QDialog::keyPressEvent(event);
    return;
  }
  // No button is the default, so Enter is the accept action, which does nothing; a push button
  // with the focus is the exception, as on the desktop the dialogs came from.
  if (auto* button = qobject_cast<QPushButton*>(focusWidget())) button->click();
  event->accept();
}

}  // namespace tessaly::ui
