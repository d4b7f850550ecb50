#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace tessaly::ui {

/// UTF-8 text (a constant of this program) as a QString.
QString FromUtf8(std::string_view utf8);

/// A mode's label or help text from the window's table (UTF-8), in the user's language; the
/// table's Chinese itself when no translation applies.
QString ModeText(std::string_view utf8);

/// An encoding's label from the engine's table, in the user's language.
QString EncodingText(std::string_view utf8);

/// A QString as UTF-8, the form the fault reporter takes.
std::string ToUtf8(const QString& text);

}  // namespace tessaly::ui
