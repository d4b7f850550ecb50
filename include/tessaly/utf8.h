#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "tessaly/export.h"

namespace tessaly {

/// Offset of the first byte that does not belong to well-formed UTF-8, or nullopt when all do.
TESSALY_API std::optional<std::size_t> FindInvalidUtf8(std::string_view bytes);

}  // namespace tessaly
