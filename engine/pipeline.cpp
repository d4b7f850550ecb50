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
  return RunConversion(request.input, request.mode, request.deletion, request.style, context);
}

ConversionResult RunConversion(std::string_view given, ConversionMode mode,
                               const DeletionOptions& deletion, SeparatorStyle style,
                               const ConversionContext& context) {
  // Stripping that deletes nothing would only copy the input.
  AnsiText stripped;
  std::string_view input = given;
  const bool deletes = deletion != DeletionOptions{};
  const LeadBytes leads = InfoOf(context.encoding).leads;
  if (deletes) {
    stripped = StripSelectedChars(input, deletion, leads);
    input = stripped;
  }
  ConversionResult result = RunMode(mode, input, context);
  if (deletes) {
    for (std::size_t k = 0; k < kLossKindCount; ++k) {
      LossRecord& record = result.losses[static_cast<LossKind>(k)];
      if (record.count != 0)
        record.first_offset =
            OffsetBeforeDeletions(given, deletion, record.first_offset, false, leads);
    }
  }
  if (style != SeparatorStyle::SeparatorNone && style != SeparatorStyle::Unselected)
    result.text = ApplySeparators(result.text, style);
  return result;
}

}  // namespace tessaly
