// Converts a text and a few bytes with libtessaly, as a program built against the installed
// library would: it sees only the public headers.
#include <tessaly/tessaly.h>

#include <iostream>
#include <string_view>

namespace {

// Prints one conversion's output, or its fault on standard error; false after a fault.
bool Show(std::string_view mode, const tessaly::Result& result) {
  if (!result.ok()) {
    std::cerr << tessaly::Describe(*result.fault) << '\n';
    return false;
  }
  std::cout << mode << ": " << result.bytes << '\n';
  return true;
}

}  // namespace

int main() {
  std::cout << "libtessaly " << tessaly::Version() << '\n';
  try {
    tessaly::Options options;
    options.mode = "s2t";
    // Text goes in and comes out as UTF-8.
    const bool text_ok = Show(options.mode, tessaly::Converter(options).ConvertText("汉字"));

    options.mode = "hex-encode";
    // Bytes go in as bytes of the working encoding (GBK unless options.encoding says otherwise).
    const bool bytes_ok = Show(options.mode, tessaly::Converter(options).Convert("AB"));
    return text_ok && bytes_ok ? 0 : 1;
  } catch (const tessaly::Error& error) {
    std::cerr << error.what() << '\n';
    return 1;
  }
}
