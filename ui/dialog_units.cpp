#include "ui/dialog_units.h"

#include <QStringLiteral>
#include <algorithm>

namespace tessaly::ui {
namespace {

// The desktop's dialog manager measures its base unit this way; layouts sized in these units
// keep the proportions of the original templates with any font.
int BaseUnitX(const QFontMetrics& metrics) {
  const int letters = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return (letters / 26 + 1) / 2;
}

}  // namespace

QSize DialogUnits(const QFontMetrics& metrics, int width, int height) {
  return {width * BaseUnitX(metrics) / 4, height * metrics.height() / 8};
}

QMargins DialogUnitMargins(const QFontMetrics& metrics, int horizontal, int vertical) {
  const QSize size = DialogUnits(metrics, horizontal, vertical);
  return {size.width(), size.height(), size.width(), size.height()};
}

}  // namespace tessaly::ui

namespace tessaly::ui {
namespace {

int CentredStart(int start, int length, int inner) {
  const int centred = start + (length - inner) / 2;
  return std::max(start, std::min(centred, start + length - inner));
}

}  // namespace

QPoint CentredTopLeft(const QRect& available, const QSize& frame) {
  return {CentredStart(available.x(), available.width(), frame.width()),
          CentredStart(available.y(), available.height(), frame.height())};
}

}  // namespace tessaly::ui
