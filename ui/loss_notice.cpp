#include "ui/loss_notice.h"

#include <QCoreApplication>
#include <QEvent>
#include <QStringList>

#include "ui/qt_text.h"

namespace tessaly::ui {

QString LossNoticeText(const LossReport& losses, Encoding encoding) {
  const QString name = EncodingText(InfoOf(encoding).label);
  QStringList parts;
  if (const std::size_t n = losses[LossKind::Unmappable].count)
    parts << QCoreApplication::translate("tessaly::ui::LossNotice", "%1 个字符 %2 没有,已变为“?”")
                 .arg(n)
                 .arg(name);
  if (const std::size_t n = losses[LossKind::EmptyHexPiece].count)
    parts << QCoreApplication::translate("tessaly::ui::LossNotice",
                                         "%1 段十六进制没有值,重复了前一个字节")
                 .arg(n);
  if (losses[LossKind::CutAtZero].count != 0)
    parts << QCoreApplication::translate("tessaly::ui::LossNotice", "解码结果在第一个零处截断");
  if (const std::size_t n = losses[LossKind::InvalidOutput].count)
    parts << QCoreApplication::translate("tessaly::ui::LossNotice",
                                         "%1 处字节不是有效的 %2,显示为 �")
                 .arg(n)
                 .arg(name);
  return parts.join(QCoreApplication::translate("tessaly::ui::LossNotice", ";"));
}

LossNotice::LossNotice(QWidget* anchor, QWidget* parent) : QLabel(parent), anchor_(anchor) {
  setObjectName(QStringLiteral("lossNotice"));
  setAccessibleName(tr("转换损失"));
  setStyleSheet(
      QStringLiteral("QLabel { background: #fff4c2; color: #5a4500; border: 1px solid #d9b84a; "
                     "padding: 1px 4px; }"));
  setTextFormat(Qt::PlainText);
  hide();
  anchor->installEventFilter(this);
}

void LossNotice::Show(const LossReport& losses, Encoding encoding) {
  const QString text = LossNoticeText(losses, encoding);
  if (text.isEmpty()) {
    hide();
    return;
  }
  setText(text);
  Place();
  show();
  raise();
}

bool LossNotice::eventFilter(QObject* watched, QEvent* event) {
  if (watched == anchor_ && (event->type() == QEvent::Resize || event->type() == QEvent::Move))
    Place();
  return QLabel::eventFilter(watched, event);
}

// Inside the bottom right of the box, clear of its border and scroll bar's corner.
void LossNotice::Place() {
  if (anchor_ == nullptr) return;
  setMaximumWidth(anchor_->width() - 8);
  adjustSize();
  const QRect box(anchor_->mapTo(parentWidget(), QPoint(0, 0)), anchor_->size());
  move(box.right() - width() - 20, box.bottom() - height() - 4);
}

}  // namespace tessaly::ui
