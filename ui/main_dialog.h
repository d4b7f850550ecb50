#pragma once

#include <QAction>
#include <QDialog>
#include <QShortcut>
#include <functional>
#include <string_view>

#include "engine/conversion.h"
#include "ui/message_box_reporter.h"
#include "ui_maindialog.h"

namespace tessaly::ui {

/// The main window: the input and output boxes, the mode, deletion and separator controls and
/// the buttons that run a conversion, clear the boxes and open the maker's web address.
class MainDialog : public QDialog {
  Q_OBJECT

 public:
  /// What "转换" and the separator radios run.
  using Converter = std::function<AnsiText(const ConversionRequest&, const ConversionContext&)>;

  /// The window in its initial state; without a parent it opens centred on the screen that
  /// holds the mouse pointer.
  explicit MainDialog(QWidget* parent = nullptr);

  /// Replaces the engine's RunConversion behind the conversion controls.
  void SetConverter(Converter converter);

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
  ConversionRequest BuildRequest() const;
  void Convert();
  QString ConvertText(ConversionRequest request, const QString& input,
                      FaultReporter& reporter) const;
  QString ConvertOnAThread(const ConversionRequest& request, const QString& input);
  void PlaceOnScreen();
  void SetUpKeyboard();
  void ShowHelpText(int mode_id);
  void ShowInOutputBox(std::string_view ansi);
  void ShowInOutputBox(const QString& text);
  void ReportProblem(const QString& message);
  bool ConfirmExit();
  void ShowAbout();

  Ui::MainDialog ui;
  QAction about_action_;
  MessageBoxReporter reporter_;
  Converter converter_ = RunConversion;
  QShortcut convert_key_{QKeySequence(Qt::Key_F5), this};
  QShortcut convert_ctrl_return_{QKeySequence(Qt::CTRL | Qt::Key_Return), this};
  QShortcut convert_ctrl_enter_{QKeySequence(Qt::CTRL | Qt::Key_Enter), this};
  bool converting_ = false;
  bool placed_ = false;
};

}  // namespace tessaly::ui
