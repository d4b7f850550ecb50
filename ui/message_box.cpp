#include "ui/message_box.h"

#include <QMessageBox>

namespace tessaly::ui {

void ShowMessageBox(const QString& message, const QString& caption) {
  QMessageBox box(QMessageBox::NoIcon, caption, message, QMessageBox::Ok);
  box.exec();
}

}  // namespace tessaly::ui
