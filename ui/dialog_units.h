#pragma once

#include <QFontMetrics>
#include <QMargins>
#include <QSize>

namespace tessaly::ui {

/// A size given in dialog units of this font, in pixels: a horizontal unit is a quarter of the
/// average Latin letter width, a vertical unit an eighth of the line height.
QSize DialogUnits(const QFontMetrics& metrics, int width, int height);

/// Margins given in dialog units of this font, in pixels.
QMargins DialogUnitMargins(const QFontMetrics& metrics, int horizontal, int vertical);

}  // namespace tessaly::ui
