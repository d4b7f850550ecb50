#include "engine/chinese_modes.h"

namespace tessaly {

// Not built yet: the dispatch knows these modes, and front ends refuse them.
bool ChineseModesAvailable() {
  return false;
}
AnsiText SimplifiedToTraditional(std::string_view, FaultReporter&) {
  return {};
}
AnsiText TraditionalToSimplified(std::string_view, FaultReporter&) {
  return {};
}
AnsiText GbkToBig5(std::string_view, FaultReporter&) {
  return {};
}
AnsiText Big5ToGbk(std::string_view, FaultReporter&) {
  return {};
}

}  // namespace tessaly
