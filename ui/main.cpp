// tessaly: the converter's window.
#include "ui/converter_app.h"

int main(int argc, char** argv) {
  tessaly::gui::ConverterApp app(argc, argv);
  return app.Run();
}
