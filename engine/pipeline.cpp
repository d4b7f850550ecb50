#include "engine/pipeline.h"

#include <chrono>

namespace tessaly {

std::uint32_t MonotonicTickCount() {
  const auto since_start = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(since_start).count());
}

ConversionResult RunMode(ConversionMode mode, std::string_view input,
                         const ConversionContext& context) {
  const ModeInfo* info = FindMode(mode);
  if (info == nullptr) return {};  // Unselected
  return info->run(*info, input, context);
}

ConversionResult RunConversion(const ConversionRequest& request, const ConversionContext& context) {
  // Stripping that deletes nothing would only copy the input.
  AnsiText stripped;
  std::string_view input = request.input;
  const bool deletes = request.deletion != DeletionOptions{};
  const LeadBytes leads = InfoOf(context.encoding).leads;
  if (deletes) {
    stripped = StripSelectedChars(input, request.deletion, leads);
    input = stripped;
  }
  ConversionResult result = RunMode(request.mode, input, context);
  if (deletes) {
    for (std::size_t k = 0; k < kLossKindCount; ++k) {
      LossRecord& record = result.losses[static_cast<LossKind>(k)];
      if (record.count != 0)
        record.first_offset = OffsetBeforeDeletions(request.input, request.deletion,
                                                    record.first_offset, false, leads);
    }
  }
  if (request.style != SeparatorStyle::SeparatorNone && request.style != SeparatorStyle::Unselected)
    result.text = ApplySeparators(result.text, request.style);
  return result;
}

}  // namespace tessaly
