#include "engine/text_route.h"

namespace tessaly {

std::string Utf8CharAt(std::string_view utf8, std::size_t offset) {
  const auto lead = static_cast<unsigned char>(utf8[offset]);
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  return std::string(utf8.substr(offset, length));
}

AnsiText TextToEngine(std::string_view utf8, LineBreaks breaks, Encoding encoding,
                      LossReport& losses) {
  AnsiInput input = Utf8TextToAnsi(utf8, breaks, encoding);
  losses.Add(LossKind::Unmappable, input.first_substituted, input.first_substituted_char,
             input.substituted);
  return std::move(input.text);
}

std::string EngineToText(const AnsiText& result, const ModeInfo& mode, LineBreaks breaks,
                         Encoding encoding, LossReport& losses) {
  Utf8Output output = AnsiToUtf8Output(result, breaks, encoding);
  losses.Add(LossKind::InvalidOutput, output.first_invalid, output.first_invalid_bytes,
             output.invalid);
  if (mode.writes == ModeWrites::Listing && !output.text.ends_with('\n')) output.text += '\n';
  return std::move(output.text);
}

}  // namespace tessaly
