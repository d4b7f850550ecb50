#include "ui/product_text.h"

#include <QCoreApplication>

#include "res/product.h"
#include "ui/qt_text.h"

namespace tessaly::ui {

QString WindowTitle() {
  return QCoreApplication::translate("ProductText", "%1 %2 %3 版本%4")
      .arg(FromUtf8(product::kProductName), FromUtf8(product::kMakerName),
           FromUtf8(product::kHostName), FromUtf8(product::kTitleVersion));
}

QString AboutEntryText() {
  return QCoreApplication::translate("ProductText", "关于 %1(&A)...")
      .arg(FromUtf8(product::kProductName));
}

QString AboutLine() {
  return QStringLiteral("%1 %2 ").arg(FromUtf8(product::kMakerName), FromUtf8(product::kHostName));
}

QString LicenceLine() {
  return QCoreApplication::translate("ProductText", "版本 %1,%2 许可")
      .arg(FromUtf8(product::kPackageVersion), FromUtf8(product::kLicense));
}

QString WebAddress() {
  return FromUtf8(product::kWebAddress);
}

}  // namespace tessaly::ui
