#pragma once

#include <string_view>

#include "engine/fault_reporter.h"

namespace tessaly::ui {

/// Shows a conversion's fault in a message box with no owner window and one OK button.
class MessageBoxReporter final : public FaultReporter {
 public:
  /// Blocks until the user has closed the box.
  void ReportFault(std::string_view message, std::string_view caption) override;
};

}  // namespace tessaly::ui
