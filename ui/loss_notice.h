#pragma once

#include <QLabel>
#include <QPointer>

#include "engine/encodings.h"
#include "engine/loss_report.h"

namespace tessaly::ui {

/// What a conversion lost, in one line for the window: each kind with its count; empty when
/// nothing was lost.
QString LossNoticeText(const LossReport& losses, Encoding encoding);

/// A short notice laid over the bottom of a box, saying what the last conversion lost. It takes
/// no room in the layout and changes no text; the next conversion replaces or hides it.
class LossNotice : public QLabel {
  Q_OBJECT

 public:
  /// A notice over the bottom edge of `anchor`, a child of `parent`.
  LossNotice(QWidget* anchor, QWidget* parent);

  /// Shows what `losses` holds, or hides the notice when it holds nothing.
  void Show(const LossReport& losses, Encoding encoding);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Place();

  QPointer<QWidget> anchor_;
};

}  // namespace tessaly::ui
