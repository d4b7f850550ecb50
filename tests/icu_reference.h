#pragma once

#include <unicode/ucnv.h>

#include <string>
#include <string_view>

namespace tessaly::testing {

/// Converts bytes between two ICU converters directly, as an independent reference.
inline std::string IcuConvert(const char* to, const char* from, std::string_view bytes) {
  std::string out(bytes.size() * 4 + 16, '\0');
  UErrorCode status = U_ZERO_ERROR;
  const int32_t size = ucnv_convert(to, from, out.data(), static_cast<int32_t>(out.size()),
                                    bytes.data(), static_cast<int32_t>(bytes.size()), &status);
  if (U_FAILURE(status)) return "<" + std::string(u_errorName(status)) + ">";
  out.resize(static_cast<std::size_t>(size));
  return out;
}

}  // namespace tessaly::testing
