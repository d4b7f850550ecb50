#include "ui/converter_app.h"

#include <QLibraryInfo>

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
  // The interface is Simplified Chinese whatever the locale, Qt's standard buttons included.
  translation_loaded_ = qt_translation_.load(QStringLiteral("qtbase_zh_CN"),
                                             QLibraryInfo::path(QLibraryInfo::TranslationsPath));
  if (translation_loaded_) installTranslator(&qt_translation_);
}

int ConverterApp::Run() {
  MainDialog dialog;
  dialog.exec();
  return 0;
}

}  // namespace tessaly::ui
