#pragma once

#include <QIcon>
#include <QSize>

namespace tessaly::ui {

/// The size the icon is drawn at.
inline constexpr QSize kAppIconSize{48, 48};

/// The program's icon, the window icon of every window.
QIcon AppIcon();

}  // namespace tessaly::ui
