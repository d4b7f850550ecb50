#pragma once

#include <string>
#include <string_view>

namespace tessaly::cli {

/// Failure to read the input or write the output; the message is ready for the user.
struct IoError {
  std::string message;
};

/// The whole of the named file, or of standard input for "-".
std::string ReadAll(const std::string& path);

/// Writes all bytes to standard output.
void WriteAll(std::string_view bytes);

}  // namespace tessaly::cli
