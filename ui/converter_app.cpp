#include "ui/converter_app.h"

#include <QLibraryInfo>
#include <QLocale>

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

int ConverterApp::Run() {
  MainDialog dialog;
  dialog.exec();
  return 0;
}

}  // namespace tessaly::ui
