#include "ui/qt_text.h"

#include <QByteArray>
#include <QCoreApplication>

namespace tessaly::ui {

QString FromUtf8(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QString ModeText(std::string_view utf8) {
  return QCoreApplication::translate("Mode", std::string(utf8).c_str());
}

QString EncodingText(std::string_view utf8) {
  return QCoreApplication::translate("Encoding", std::string(utf8).c_str());
}

std::string ToUtf8(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return {utf8.constData(), static_cast<std::size_t>(utf8.size())};
}

}  // namespace tessaly::ui
