#pragma once

#include <QString>
#include <string_view>

#include "engine/ansi_text.h"
#include "engine/encodings.h"

namespace tessaly::ui {

/// Box text as the engine's bytes in `encoding`: line breaks become CR LF, a character the
/// encoding lacks becomes "?".
AnsiText BoxTextToAnsi(const QString& text, Encoding encoding = Encoding::Gbk);

/// Engine bytes in `encoding` as box text: only what precedes the first zero byte, CR LF shown
/// as a line break.
QString AnsiToBoxText(std::string_view ansi, Encoding encoding = Encoding::Gbk);

}  // namespace tessaly::ui
