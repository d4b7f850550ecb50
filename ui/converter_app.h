#pragma once

#include <QApplication>
#include <QStringList>
#include <QTranslator>
#include <optional>

namespace tessaly::ui {

/// The application object: sets up Qt in the user's language (Simplified Chinese, the
/// interface's own, unless a translation for a language the user prefers applies) and runs the
/// main window.
class ConverterApp : public QApplication {
  Q_OBJECT

 public:
  /// Takes Qt's own command-line options from argv; --help and --version are handled before.
  ConverterApp(int& argc, char** argv);

  /// Prints --help or --version, or one line when there is no display to open, and returns the
  /// exit status when the program should end without a window. Call it before any application
  /// object exists: a missing display would otherwise abort inside Qt with a long message.
  static std::optional<int> ExitBeforeWindow(int argc, char** argv);

  /// Whether Qt has somewhere to show a window: DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM set
  /// and not empty, or Qt's -platform option among the arguments.
  static bool CanOpenDisplay(const QStringList& arguments);

  /// Runs the main window modally and returns the exit status once it has closed.
  int Run();

  /// Installs the translation for the first of `languages` (BCP 47 names, most preferred
  /// first) that has one, with Qt's own for it; Chinese, or none of them, keeps the interface
  /// as it is written, with Qt's Simplified Chinese. Returns the language chosen, as
  /// QLocale::name() gives it. Windows made afterwards show it.
  QString UseLanguages(const QStringList& languages);

  /// Whether Qt's Simplified Chinese translation was found and installed.
  bool HasQtTranslation() const { return translation_loaded_; }

 private:
  QTranslator qt_translation_;
  QTranslator app_translation_;
  bool translation_loaded_ = false;
};

}  // namespace tessaly::ui
