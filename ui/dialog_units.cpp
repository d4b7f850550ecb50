#include "ui/dialog_units.h"

#include <QStringLiteral>

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
