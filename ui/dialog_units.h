#pragma once

#include <QFontMetrics>
#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace tessaly::ui {

/// A size given in dialog units of this font, in pixels: a horizontal unit is a quarter of the
/// average Latin letter width, a vertical unit an eighth of the line height.
QSize DialogUnits(const QFontMetrics& metrics, int width, int height);

/// Margins given in dialog units of this font, in pixels.
QMargins DialogUnitMargins(const QFontMetrics& metrics, int horizontal, int vertical);

}  // namespace tessaly::ui

namespace tessaly::ui {

/// Where a window's frame of `frame` size goes to sit centred in `available` (a screen's area
/// free of panels): wholly inside it when it fits, its top-left corner inside it when not.
QPoint CentredTopLeft(const QRect& available, const QSize& frame);

}  // namespace tessaly::ui
