#include "ui/about_dialog.h"

#include <tessaly/converter.h>

#include "ui/app_icon.h"
#include "ui/dialog_units.h"
#include "ui/product_text.h"

namespace tessaly::ui {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  ui.setupUi(this);
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setWindowIcon(AppIcon());
  ui.iconLabel->setPixmap(AppIcon().pixmap(kAppIconSize));
  ui.makerLabel->setText(AboutLine());
  ui.licenceLabel->setText(LicenceLine());
  // OpenCC's data ships with the program; its licence asks for the notice.
  ui.dataNoticeLabel->setText(
      QString::fromUtf8(DataNotice().data(), static_cast<qsizetype>(DataNotice().size())));
  ui.aboutLayout->setContentsMargins(DialogUnitMargins(fontMetrics(), 7, 7));
}

}  // namespace tessaly::ui
