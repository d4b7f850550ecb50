#include "ui/loss_notice.h"

#include <QCoreApplication>
#include <QEvent>
#include <QStringList>
#include <utility>

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

DeletionCounts CountDeletions(QStringView text, const DeletionOptions& options) {
  DeletionCounts counts;
  for (qsizetype i = 0; i < text.size(); ++i) {
    switch (text[i].unicode()) {
      case u'\n':
        counts.line_breaks += options.DeleteLineBreaks;
        break;
      case u'\r':  // a CR LF is one line break, counted at its LF
        if (i + 1 == text.size() || text[i + 1] != u'\n')
          counts.line_breaks += options.DeleteLineBreaks;
        break;
      case u',':
        counts.commas += options.DeleteCommas;
        break;
      case u'.':
        counts.dots += options.DeleteDots;
        break;
      case u' ':
        counts.spaces += options.DeleteSpaces;
        break;
      case u'\t':
        counts.tabs += options.DeleteTabs;
        break;
      default:
        break;
    }
  }
  return counts;
}

QString DeletionNoticeText(const DeletionCounts& counts) {
  // Line breaks and commas first: they are what prose misses most.
  const std::pair<std::size_t, const char*> classes[] = {
      {counts.line_breaks, QT_TRANSLATE_NOOP("tessaly::ui::LossNotice", "%1 个换行")},
      {counts.commas, QT_TRANSLATE_NOOP("tessaly::ui::LossNotice", "%1 个逗号")},
      {counts.dots, QT_TRANSLATE_NOOP("tessaly::ui::LossNotice", "%1 个句点")},
      {counts.spaces, QT_TRANSLATE_NOOP("tessaly::ui::LossNotice", "%1 个空格")},
      {counts.tabs, QT_TRANSLATE_NOOP("tessaly::ui::LossNotice", "%1 个制表符")},
  };
  QStringList parts;
  for (const auto& [count, text] : classes)
    if (count != 0)
      parts << QCoreApplication::translate("tessaly::ui::LossNotice", text).arg(count);
  if (parts.isEmpty()) return {};
  return QCoreApplication::translate("tessaly::ui::LossNotice", "已删除 %1;取消勾选即可保留")
      .arg(parts.join(QCoreApplication::translate("tessaly::ui::LossNotice", "、")));
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

void LossNotice::Show(const LossReport& losses, Encoding encoding, const DeletionCounts& deleted) {
  QStringList lines{LossNoticeText(losses, encoding), DeletionNoticeText(deleted)};
  lines.removeAll(QString());
  const QString text = lines.join(u'\n');
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
  // One line where it fits beside the scroll bar, else wrapped to the room there is.
  const int room = anchor_->width() - 28;
  setWordWrap(false);
  adjustSize();
  if (width() > room) {
    setWordWrap(true);
    resize(room, heightForWidth(room));
  }
  const QRect box(anchor_->mapTo(parentWidget(), QPoint(0, 0)), anchor_->size());
  move(box.right() - width() - 20, box.bottom() - height() - 4);
}

}  // namespace tessaly::ui
