#include "ui/app_icon.h"

#include <QStringLiteral>

namespace tessaly::gui {

QIcon AppIcon() {
  return QIcon(QStringLiteral(":/tessaly/tessaly.png"));
}

}  // namespace tessaly::gui
