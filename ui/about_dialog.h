#pragma once

#include <QDialog>

#include "ui_aboutdialog.h"

namespace tessaly::ui {

/// The About box: the icon, the maker's name and host name, and "确定".
class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  /// Centred over `parent` when one is given.
  explicit AboutDialog(QWidget* parent = nullptr);

 private:
  Ui::AboutDialog ui;
};

}  // namespace tessaly::ui
