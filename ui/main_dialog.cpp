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
#include <QSettings>
#include <QStyle>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <algorithm>
#include <array>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

#include "engine/modes.h"
#include "engine/options.h"
#include "engine/text_boundary.h"
#include "res/product.h"
#include "ui/about_dialog.h"
#include "ui/app_icon.h"
#include "ui/box_text.h"
#include "ui/dialog_units.h"
#include "ui/fault_texts.h"
#include "ui/help_texts.h"
#include "ui/message_box.h"
#include "ui/mode_faces.h"
#include "ui/product_text.h"
#include "ui/qt_text.h"

namespace tessaly::ui {
namespace {

// The boxes' size in dialog units of the window's font.
constexpr int kBoxWidth = 297;
constexpr int kBoxHeight = 60;
constexpr int kMargin = 7;

// Inputs from this size on convert on a thread of their own, the window repainting meanwhile
// behind a progress box; smaller ones take well under half a second where they are.
constexpr qsizetype kThreadedInput = qsizetype{16} << 20;
// From about this size a conversion may take noticeably long (the Chinese modes most).
constexpr qsizetype kBusyInput = qsizetype{1} << 20;

// The working encoding is the one thing the window remembers.
QSettings Settings() {
  return QSettings(FromUtf8(product::kDesktopFileName), FromUtf8(product::kDesktopFileName));
}

// The regional standards the window's two simplified/traditional radios can convert by.
struct ChineseStandardChoice {
  const char* label;
  ConversionMode to_traditional;
  ConversionMode to_simplified;
};

constexpr std::array<ChineseStandardChoice, 4> kChineseStandards{{
    {QT_TRANSLATE_NOOP("tessaly::ui::MainDialog", "通用"), ConversionMode::SimplifiedToTraditional,
     ConversionMode::TraditionalToSimplified},
    {QT_TRANSLATE_NOOP("tessaly::ui::MainDialog", "台湾"), ConversionMode::S2tw,
     ConversionMode::Tw2s},
    {QT_TRANSLATE_NOOP("tessaly::ui::MainDialog", "台湾用词"), ConversionMode::S2twp,
     ConversionMode::Tw2sp},
    {QT_TRANSLATE_NOOP("tessaly::ui::MainDialog", "香港"), ConversionMode::S2hk,
     ConversionMode::Hk2s},
}};

bool IsEnter(const QKeyEvent& event) {
  return event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter;
}

// The busy pointer, for as long as it lives.
class BusyCursor {
 public:
  BusyCursor() { QGuiApplication::setOverrideCursor(Qt::BusyCursor); }
  ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace

// The library's one route; the tables of a simplified/traditional standard are loaded once per
// process, so making a converter for each conversion costs little.
Result ConvertBytes(const Options& options, std::string_view bytes) {
  return tessaly::Converter(options).Convert(bytes);
}

MainDialog::MainDialog(QWidget* parent) : QDialog(parent), converter_(ConvertBytes) {
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
  loss_notice_ = std::make_unique<LossNotice>(ui.outputBox, this);
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
  SetUpRadioTabStops();
  ui.convertButton->setToolTip(tr("转换 (F5;焦点不在文本框时也可按 Ctrl+Enter)"));
  ui.inputBox->setAccessibleName(tr("要转换的文本"));
  ui.outputBox->setAccessibleName(tr("转换结果"));
  ui.webButton->setAccessibleName(tr("打开官网"));
}

// Each radio group is one Tab stop, on its selected radio, and the arrow keys move within it, as
// Qt users expect: the separator group between the boxes, the mode group after the deletion
// boxes, the rest of the order as the form gives it.
void MainDialog::SetUpRadioTabStops() {
  for (QButtonGroup* group : {ui.modeGroup, ui.separatorGroup}) {
    connect(group, &QButtonGroup::buttonToggled, this, [](QAbstractButton* button, bool checked) {
      button->setFocusPolicy(checked ? Qt::StrongFocus : Qt::ClickFocus);
    });
  }
  const auto place_after = [](QWidget* previous, const QList<QAbstractButton*>& radios) {
    for (QAbstractButton* radio : radios) {
      setTabOrder(previous, radio);
      previous = radio;
    }
    return previous;
  };
  setTabOrder(place_after(ui.inputBox, ui.separatorGroup->buttons()), ui.outputBox);
  place_after(ui.deleteLineBreaks, ui.modeGroup->buttons());
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
  for (const ModeFace& face : ModeFaces()) {
    auto* button = findChild<QAbstractButton*>(FromUtf8(face.radio));
    button->setText(ModeText(face.label));
    ui.modeGroup->setId(button, face.radio_id);
  }
  for (const SeparatorFace& face : SeparatorFaces())
    ui.separatorGroup->setId(findChild<QAbstractButton*>(FromUtf8(face.radio)), face.radio_id);
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
  connect(ui.webButton, &QPushButton::clicked, this, &MainDialog::OpenWebAddress);

  // No system menu to extend on this desktop: the About entry lives in the window's context
  // menu and on F1.
  about_action_.setText(AboutEntryText());
  about_action_.setShortcut(QKeySequence(Qt::Key_F1));
  connect(&about_action_, &QAction::triggered, this, &MainDialog::ShowAbout);
  addAction(&about_action_);
  AddEncodingMenu();
  AddStandardMenu();
  setContextMenuPolicy(Qt::ActionsContextMenu);
}

void MainDialog::AddStandardMenu() {
  standard_ = std::clamp(Settings().value(QStringLiteral("chinese-standard"), 0).toInt(), 0,
                         static_cast<int>(kChineseStandards.size()) - 1);
  standard_menu_.setTitle(tr("简繁标准"));
  for (std::size_t i = 0; i < kChineseStandards.size(); ++i) {
    QAction* action = standard_menu_.addAction(tr(kChineseStandards[i].label));
    action->setCheckable(true);
    action->setChecked(static_cast<int>(i) == standard_);
    action->setData(static_cast<int>(i));
    standard_group_.addAction(action);
  }
  connect(&standard_group_, &QActionGroup::triggered, this,
          [this](QAction* action) { SetChineseStandard(action->data().toInt()); });
  standard_action_.setText(standard_menu_.title());
  standard_action_.setMenu(&standard_menu_);
  addAction(&standard_action_);
}

void MainDialog::SetChineseStandard(int standard) {
  standard_ = standard;
  for (QAction* action : standard_group_.actions())
    action->setChecked(action->data().toInt() == standard);
  Settings().setValue(QStringLiteral("chinese-standard"), standard);
}

// The two simplified/traditional radios convert by the chosen standard; the general one gives
// exactly what they always gave.
ConversionMode MainDialog::EffectiveMode(ConversionMode mode) const {
  const ChineseStandardChoice& choice = kChineseStandards[static_cast<std::size_t>(standard_)];
  if (mode == ConversionMode::SimplifiedToTraditional) return choice.to_traditional;
  if (mode == ConversionMode::TraditionalToSimplified) return choice.to_simplified;
  return mode;
}

// The working encoding lives beside About in the context menu, so the layout stays as it is.
void MainDialog::AddEncodingMenu() {
  const QString saved = Settings().value(QStringLiteral("encoding")).toString();
  if (const auto encoding = FindEncoding(saved.toStdString())) encoding_ = *encoding;
  encoding_menu_.setTitle(tr("工作编码"));
  for (const EncodingInfo& info : EncodingTable()) {
    QAction* action = encoding_menu_.addAction(EncodingText(info.label));
    action->setCheckable(true);
    action->setChecked(info.id == encoding_);
    action->setData(static_cast<int>(info.id));
    encoding_group_.addAction(action);
  }
  connect(&encoding_group_, &QActionGroup::triggered, this, [this](QAction* action) {
    SetWorkingEncoding(static_cast<Encoding>(action->data().toInt()));
  });
  encoding_action_.setText(encoding_menu_.title());
  encoding_action_.setMenu(&encoding_menu_);
  addAction(&encoding_action_);
}

void MainDialog::SetWorkingEncoding(Encoding encoding) {
  Settings().setValue(QStringLiteral("encoding"), FromUtf8(InfoOf(encoding).name));
  ShowWorkingEncoding(encoding);
}

// Nothing is written until the user chooses: a window left as it starts keeps no settings.
void MainDialog::ShowWorkingEncoding(Encoding encoding) {
  encoding_ = encoding;
  for (QAction* action : encoding_group_.actions())
    action->setChecked(action->data().toInt() == static_cast<int>(encoding));
  // The fixed title stays; another encoding than GBK shows after it.
  setWindowTitle(encoding == Encoding::Gbk
                     ? WindowTitle()
                     : WindowTitle() +
                           QStringLiteral(" [%1]").arg(EncodingText(InfoOf(encoding).label)));
}

void MainDialog::SetInitialState() {
  ui.separatorNone->setChecked(true);
  ui.modeFormatOnly->setChecked(true);
  for (QCheckBox* box :
       {ui.deleteSpaces, ui.deleteDots, ui.deleteCommas, ui.deleteTabs, ui.deleteLineBreaks}) {
    box->setChecked(true);
  }
  ShowWorkingEncoding(encoding_);
  ui.inputBox->setFocus();
}

// The form's choices as the library's options, over bytes of the encoding the mode reads.
Options MainDialog::BuildOptions(const ModeInfo& mode) const {
  Options options;
  options.mode = mode.cli_name;
  options.encoding = InfoOf(EngineEncoding(mode, encoding_)).name;
  options.separator = SeparatorWord(SeparatorOfRadio(ui.separatorGroup->checkedId()));
  options.deletions = DeletionList({ui.deleteSpaces->isChecked(), ui.deleteDots->isChecked(),
                                    ui.deleteCommas->isChecked(), ui.deleteTabs->isChecked(),
                                    ui.deleteLineBreaks->isChecked()});
  options.cache_directory = DefaultCacheDirectory();
  options.keep_unicode = true;   // the box shows any character
  options.c_char_array = false;  // the window's form quotes every byte as it is
  return options;
}

// Whatever runs short of memory along the way, the buffers are gone by the time the message
// shows, and the window carries on. A fault shows once the conversion is over, before its
// result.
void MainDialog::Convert() {
  if (converting_) return;
  const QScopedValueRollback<bool> busy(converting_, true);
  try {
    loss_notice_->hide();
    const ModeInfo* mode = FindMode(EffectiveMode(ModeOfRadio(ui.modeGroup->checkedId())));
    if (mode == nullptr) {  // no mode chosen: nothing comes out
      ShowInOutputBox(QString());
      return;
    }
    const QString input = ui.inputBox->toPlainText();
    std::optional<BusyCursor> cursor;
    if (input.size() >= kBusyInput) cursor.emplace();
    Outcome outcome =
        input.size() < kThreadedInput ? ConvertText(*mode, input) : ConvertOnAThread(*mode, input);
    cursor.reset();
    if (outcome.fault) {
      const FaultFace face = FaceOf(*outcome.fault);
      if (!face.message.isEmpty()) ShowMessageBox(face.message, face.caption);
      if (face.replaces_output) {
        outcome.prepared.reset();
        outcome.text = face.output;
      }
    }
    if (outcome.prepared) {
      ShowInOutputBox(std::move(*outcome.prepared));
    } else {
      ShowInOutputBox(outcome.text);
    }
    loss_notice_->Show(outcome.losses, outcome.shown, outcome.deleted);
  } catch (const std::bad_alloc&) {
    ui.outputBox->clear();
    ReportProblem(tr("内存不足,无法完成转换"));
  }
}

// Characters the encoding lacks are the first loss, before the library runs.
MainDialog::Outcome MainDialog::ConvertText(const ModeInfo& mode, const QString& input) const {
  Outcome outcome;
  const Options options = BuildOptions(mode);
  const Encoding encoding = EngineEncoding(mode, encoding_);
  AnsiInput ansi = TextToAnsi(std::u16string_view(reinterpret_cast<const char16_t*>(input.utf16()),
                                                  static_cast<std::size_t>(input.size())),
                              encoding);
  outcome.losses.Add(LossKind::Unmappable, 0, {}, ansi.substituted);
  // Deleting reshapes a listing; from a text it takes what the user may want kept, so it is told.
  if (mode.reads == ModeReads::Text || mode.reads == ModeReads::AnyText)
    outcome.deleted = CountDeletions(input, ParseDeletion(options.deletions));
  Result result = converter_(options, ansi.text);
  ansi.text = AnsiText();
  // A recoded result's bytes show as text of the encoding the box speaks, as they always have;
  // only a decoder's switch to UTF-8 changes how the box reads them.
  outcome.shown =
      mode.output_encoding.empty() ? FindEncoding(result.encoding).value_or(encoding) : encoding;
  outcome.losses.Merge(result.losses);
  outcome.fault = std::move(result.fault);
  outcome.text = AnsiToBoxText(result.bytes, outcome.shown);
  return outcome;
}

// The input is a shared copy the thread only reads; the window takes no input meanwhile but
// repaints, and after half a second shows a progress box.
MainDialog::Outcome MainDialog::ConvertOnAThread(const ModeInfo& mode, const QString& input) {
  QProgressDialog progress(tr("正在转换..."), QString(), 0, 0, this);
  progress.setWindowModality(Qt::WindowModal);
  // Its own delay starts only with a first value, which a busy indicator never gets.
  QTimer::singleShot(500, &progress, &QProgressDialog::show);
  ui.outputBox->clear();  // its memory is free for the result
  const auto prepare = ui.outputBox->Preparer();
  QEventLoop loop;
  Outcome result;
  std::exception_ptr failure;
  const auto work = [&] {
    try {
      result = ConvertText(mode, input);
      result.prepared = prepare(std::exchange(result.text, QString()));
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

void MainDialog::ShowHelpText(int radio_id) {
  loss_notice_->hide();
  ShowInOutputBox(HelpText(ModeOfRadio(radio_id)));
}

void MainDialog::ShowInOutputBox(std::string_view ansi, Encoding encoding) {
  ShowInOutputBox(AnsiToBoxText(ansi, encoding));
}

void MainDialog::ShowInOutputBox(const QString& text) {
  ReportTooLong(ui.outputBox->ReplaceText(text));
}

void MainDialog::ShowInOutputBox(PreparedText prepared) {
  ReportTooLong(ui.outputBox->ReplaceText(std::move(prepared)));
}

void MainDialog::ReportTooLong(std::optional<qsizetype> too_long) {
  if (!too_long) return;
  ReportProblem(tr("转换结果有一行长达 %1 个字符,超出文本框能显示的 %2 个字符")
                    .arg(*too_long)
                    .arg(ui.outputBox->MaxLineLength()));
}

void MainDialog::ReportProblem(const QString& message) {
  ShowMessageBox(message, tr("出错"));
}

void MainDialog::reject() {
  if (ConfirmExit()) QDialog::reject();
}

bool MainDialog::ConfirmExit() {
  QMessageBox box(QMessageBox::NoIcon, tr("提示"), tr("确定退出?"),
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, this);
  box.setDefaultButton(QMessageBox::Yes);
  return box.exec() == QMessageBox::Yes;
}

// Without a browser the desktop only writes a line on standard error, which a window user never
// sees.
void MainDialog::OpenWebAddress() {
  if (!QDesktopServices::openUrl(QUrl(WebAddress())))
    ReportProblem(tr("没有能打开网址的浏览器:%1").arg(WebAddress()));
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
