// tessaly: the converter's window.
#include "ui/converter_app.h"
#include "ui/huge_pages.h"

int main(int argc, char** argv) {
  if (const auto status = tessaly::ui::ConverterApp::ExitBeforeWindow(argc, argv)) return *status;
  tessaly::ui::RequestHugePages(argv);
  tessaly::ui::ConverterApp app(argc, argv);
  return app.Run();
}
