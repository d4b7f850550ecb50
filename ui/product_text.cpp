#include "ui/product_text.h"

#include "res/product.h"
#include "ui/qt_text.h"

namespace tessaly::ui {

QString WindowTitle() {
  return QStringLiteral("%1 %2 %3 版本%4")
      .arg(FromUtf8(product::kProductName), FromUtf8(product::kMakerName),
           FromUtf8(product::kHostName), FromUtf8(product::kTitleVersion));
}

QString AboutEntryText() {
  return QStringLiteral("关于 %1(&A)...").arg(FromUtf8(product::kProductName));
}

QString AboutLine() {
  return QStringLiteral("%1 %2 ").arg(FromUtf8(product::kMakerName), FromUtf8(product::kHostName));
}

QString WebAddress() {
  return FromUtf8(product::kWebAddress);
}

}  // namespace tessaly::ui
