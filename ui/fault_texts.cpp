#include "ui/fault_texts.h"

#include "ui/qt_text.h"

namespace tessaly::ui {

FaultFace FaceOf(const Fault& fault) {
  FaultFace face;
  if (fault.mode == "utf8-encode" || fault.mode == "utf8-decode") {
    face.replaces_output = true;
    face.output = FromUtf8("转换失败");
  } else if (fault.mode == "utf16-encode" || fault.mode == "utf16-decode") {
    face.replaces_output = true;
  } else {
    // The routine's own name, in every language the window speaks: it is what users quote.
    face.message = FromUtf8(fault.routine + " 出错");
    face.caption = FromUtf8("出错");
  }
  return face;
}

}  // namespace tessaly::ui
