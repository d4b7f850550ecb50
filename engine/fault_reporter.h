#pragma once

#include <string_view>

namespace tessaly {

/// Receives the faults a conversion shows to the user; texts are UTF-8.
class FaultReporter {
 public:
  virtual ~FaultReporter() = default;
  /// Shows one fault and returns once the user has seen it.
  virtual void ReportFault(std::string_view message, std::string_view caption) = 0;
};

}  // namespace tessaly
