#pragma once

#include <QString>

namespace tessaly::ui {

/// Shows a message in a box with no owner window and one OK button, and returns once the user
/// has closed it.
void ShowMessageBox(const QString& message, const QString& caption);

}  // namespace tessaly::ui
