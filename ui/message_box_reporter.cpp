#include "ui/message_box_reporter.h"

#include <QMessageBox>

#include "ui/qt_text.h"

namespace tessaly::ui {

void MessageBoxReporter::ReportFault(std::string_view message, std::string_view caption) {
  QMessageBox box(QMessageBox::NoIcon, FromUtf8(caption), FromUtf8(message), QMessageBox::Ok);
  box.exec();
}

}  // namespace tessaly::ui
