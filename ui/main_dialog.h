#pragma once

#include <QAction>
#include <QActionGroup>
#include <QDialog>
#include <QMenu>
#include <QShortcut>
#include <functional>
#include <memory>
#include <string_view>

#include <tessaly/converter.h>

#include "engine/conversion.h"
#include "engine/modes.h"
#include "ui/loss_notice.h"
#include "ui_maindialog.h"

namespace tessaly::ui {

/// The main window: the input and output boxes, the mode, deletion and separator controls and
/// the buttons that run a conversion, clear the boxes and open the maker's web address.
class MainDialog : public QDialog {
  Q_OBJECT

 public:
  /// What "转换" and the separator radios run: the library's conversion of bytes of the
  /// options' encoding.
  using Converter = std::function<Result(const Options&, std::string_view bytes)>;

  /// The window in its initial state; without a parent it opens centred on the screen that
  /// holds the mouse pointer.
  explicit MainDialog(QWidget* parent = nullptr);

  /// Replaces the library's conversion behind the conversion controls.
  void SetConverter(Converter converter);

  /// The working encoding: what the boxes' text is converted in. Remembered across starts.
  Encoding WorkingEncoding() const { return encoding_; }
  /// Chooses the working encoding; re-runs nothing and keeps the boxes' text.
  void SetWorkingEncoding(Encoding encoding);

  /// Which regional standard the two simplified/traditional radios convert by: 0 is OpenCC's
  /// general one (the default), then Taiwan, Taiwan with its phrases, Hong Kong. Remembered.
  void SetChineseStandard(int standard);
  /// The chosen standard.
  int ChineseStandard() const { return standard_; }

 public slots:
  /// Escape, the close box and Alt+F4 end here: asks "确定退出?" and closes only on Yes.
  void reject() override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void AssignIds();
  void ConnectControls();
  void SetInitialState();
  void AddEncodingMenu();
  void AddStandardMenu();
  ConversionMode EffectiveMode(ConversionMode mode) const;
  void ShowWorkingEncoding(Encoding encoding);
  Options BuildOptions(const ModeInfo& mode) const;
  void Convert();
  /// A conversion's result as box text, with what it lost and the encoding it is shown in.
  struct Outcome {
    QString text;
    LossReport losses;
    Encoding shown = Encoding::Gbk;
    std::optional<PreparedText> prepared;  ///< the text laid out already, instead of `text`
    DeletionCounts deleted;                ///< what the deletions took from a text
    std::optional<Fault> fault;
  };
  Outcome ConvertText(const ModeInfo& mode, const QString& input) const;
  Outcome ConvertOnAThread(const ModeInfo& mode, const QString& input);
  void PlaceOnScreen();
  void SetUpKeyboard();
  void SetUpRadioTabStops();
  void ShowHelpText(int radio_id);
  void ShowInOutputBox(std::string_view ansi, Encoding encoding = Encoding::Gbk);
  void ShowInOutputBox(const QString& text);
  void ShowInOutputBox(PreparedText prepared);
  void ReportTooLong(std::optional<qsizetype> too_long);
  void ReportProblem(const QString& message);
  bool ConfirmExit();
  void ShowAbout();
  void OpenWebAddress();

  Ui::MainDialog ui;
  QAction about_action_;
  QAction encoding_action_;
  QMenu encoding_menu_;
  QActionGroup encoding_group_{this};
  Encoding encoding_ = Encoding::Gbk;
  QAction standard_action_;
  QMenu standard_menu_;
  QActionGroup standard_group_{this};
  int standard_ = 0;
  std::unique_ptr<LossNotice> loss_notice_;
  Converter converter_;
  QShortcut convert_key_{QKeySequence(Qt::Key_F5), this};
  QShortcut convert_ctrl_return_{QKeySequence(Qt::CTRL | Qt::Key_Return), this};
  QShortcut convert_ctrl_enter_{QKeySequence(Qt::CTRL | Qt::Key_Enter), this};
  bool converting_ = false;
  bool placed_ = false;
};

}  // namespace tessaly::ui
