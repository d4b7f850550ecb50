#include "ui/converter_app.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <cstdio>

#include "res/product.h"
#include "ui/app_icon.h"
#include "ui/main_dialog.h"
#include "ui/qt_text.h"

namespace tessaly::ui {

ConverterApp::ConverterApp(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(FromUtf8(product::kProductName));
  setApplicationVersion(FromUtf8(product::kPackageVersion));
  setDesktopFileName(FromUtf8(product::kDesktopFileName));
  setWindowIcon(AppIcon());
  // LANGUAGE, then LC_ALL, LC_MESSAGES and LANG, as the desktop's programs read them.
  UseLanguages(QLocale::system().uiLanguages());
}

QString ConverterApp::UseLanguages(const QStringList& languages) {
  removeTranslator(&app_translation_);
  removeTranslator(&qt_translation_);
  translation_loaded_ = false;
  const QString qt_path = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  for (const QString& language : languages) {
    const QLocale locale(language);
    if (locale.language() == QLocale::Chinese) break;
    if (locale.language() == QLocale::C) continue;
    if (app_translation_.load(locale, QStringLiteral("tessaly"), QStringLiteral("_"),
                              QStringLiteral(":/i18n"))) {
      installTranslator(&app_translation_);
      // Qt ships no English translation: its standard buttons are English already.
      if (qt_translation_.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), qt_path)) {
        installTranslator(&qt_translation_);
      }
      return locale.name();
    }
  }
  // The interface is written in Simplified Chinese, Qt's standard buttons included.
  translation_loaded_ = qt_translation_.load(QStringLiteral("qtbase_zh_CN"), qt_path);
  if (translation_loaded_) installTranslator(&qt_translation_);
  return QStringLiteral("zh_CN");
}

std::optional<int> ConverterApp::ExitBeforeWindow(int argc, char** argv) {
  const QCoreApplication core(argc, argv);
  QCommandLineParser parser;
  // Qt's own options are single-dash words (-platform, -reverse); read as letters they would
  // turn on -v.
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  parser.setApplicationDescription(QStringLiteral(
      "Converts text to and from hex listings of its GBK, UTF-16LE and UTF-8 bytes, between\n"
      "simplified and traditional Chinese and between GBK and BIG5, in a window.\n"
      "Qt's standard options (-platform, -style, ...) are accepted too; tessaly-cli does the\n"
      "same conversions without a display."));
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                QStringLiteral("Print this help and exit."));
  const QCommandLineOption version(
      {QStringLiteral("v"), QStringLiteral("V"), QStringLiteral("version")},
      QStringLiteral("Print the version and exit."));
  parser.addOption(help);
  parser.addOption(version);
  parser.parse(core.arguments());  // unknown options are Qt's, for the application object
  if (parser.isSet(help)) {
    std::fputs(parser.helpText().toLocal8Bit().constData(), stdout);
    return 0;
  }
  if (parser.isSet(version)) {
    std::printf("tessaly %.*s\nLicence: %.*s\n", static_cast<int>(product::kPackageVersion.size()),
                product::kPackageVersion.data(), static_cast<int>(product::kLicense.size()),
                product::kLicense.data());
    return 0;
  }
  if (!CanOpenDisplay(core.arguments())) {
    std::fputs(
        "tessaly: cannot open a display; set DISPLAY or WAYLAND_DISPLAY, or run tessaly-cli\n",
        stderr);
    return 1;
  }
  return std::nullopt;
}

bool ConverterApp::CanOpenDisplay(const QStringList& arguments) {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    if (!qEnvironmentVariableIsEmpty(name)) return true;
  }
  return arguments.contains(QStringLiteral("-platform")) ||
         arguments.contains(QStringLiteral("--platform"));
}

int ConverterApp::Run() {
  MainDialog dialog;
  dialog.exec();
  return 0;
}

}  // namespace tessaly::ui
