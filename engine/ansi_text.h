#pragma once

#include <string>

namespace tessaly {

/// Text as bytes of the ANSI code page (GBK); may hold zero bytes as data.
using AnsiText = std::string;

}  // namespace tessaly
