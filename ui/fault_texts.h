#pragma once

#include <QString>

#include <tessaly/fault.h>

namespace tessaly::ui {

/// What the window shows for a conversion's fault.
struct FaultFace {
  /// The message box's text and caption; no box when the text is empty.
  QString message;
  QString caption;
  /// What the lower box shows instead of the result, when the fault replaces it.
  QString output;
  bool replaces_output = false;
};

/// The window's texts for a fault: a message box naming the routine for the simplified/
/// traditional and GBK/BIG5 modes; "转换失败" as the result of the UTF-8 modes; an empty result
/// of the UTF-16 modes.
FaultFace FaceOf(const Fault& fault);

}  // namespace tessaly::ui
