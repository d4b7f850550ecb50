#include "ui/app_icon.h"

#include <QStringLiteral>

namespace tessaly::ui {

QIcon AppIcon() {
  return QIcon(QStringLiteral(":/tessaly/tessaly.png"));
}

}  // namespace tessaly::ui
