#pragma once

#include <QString>
#include <string_view>

#include "engine/ansi_text.h"

namespace tessaly::gui {

/// Box text as the engine's GBK bytes: line breaks become CR LF, a character GBK lacks becomes "?".
AnsiText BoxTextToAnsi(const QString& text);

/// Engine bytes as box text: only what precedes the first zero byte, CR LF shown as a line break.
QString AnsiToBoxText(std::string_view ansi);

/// UTF-8 text (a constant of this program) as a QString.
QString FromUtf8(std::string_view utf8);

}  // namespace tessaly::gui
