#pragma once

#include <QString>

namespace tessaly::ui {

/// "<product> <maker> <host> 版本<version>", the main window's caption.
QString WindowTitle();

/// "关于 <product>(&A)...", the entry that opens the About box.
QString AboutEntryText();

/// "<maker> <host> ", the About box's text line.
QString AboutLine();

/// "版本 <package version>,<licence> 许可", the About box's second line.
QString LicenceLine();

/// The maker's full web address, which the web button opens.
QString WebAddress();

}  // namespace tessaly::ui
