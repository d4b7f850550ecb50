#pragma once

#include <QApplication>
#include <QTranslator>

namespace tessaly::ui {

/// The application object: sets up Qt in Simplified Chinese and runs the main window.
class ConverterApp : public QApplication {
  Q_OBJECT

 public:
  /// Takes Qt's own command-line options from argv; the program has none of its own.
  ConverterApp(int& argc, char** argv);

  /// Runs the main window modally and returns the exit status once it has closed.
  int Run();

  /// Whether Qt's Simplified Chinese translation was found and installed.
  bool HasQtTranslation() const { return translation_loaded_; }

 private:
  QTranslator qt_translation_;
  bool translation_loaded_ = false;
};

}  // namespace tessaly::ui
