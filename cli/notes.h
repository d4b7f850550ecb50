#pragma once

#include <string_view>

namespace tessaly::cli {

/// What --help and the manual say after the description of a mode that reads a listing.
inline constexpr std::string_view kDeletesAllNote = " (deletes all by default)";

}  // namespace tessaly::cli
