#pragma once

#include <memory>
#include <string_view>

#include "engine/ansi_text.h"
#include "engine/loss_report.h"
#include "engine/mode_stream.h"

namespace tessaly {

/// What the UTF-8 modes put out when their conversion fails: "转换失败" in GBK.
inline constexpr std::string_view kConversionFailedText = "\xD7\xAA\xBB\xBB\xCA\xA7\xB0\xDC";

/// Hex listing of the text's UTF-16LE bytes.
AnsiText Utf16Encode(std::string_view input);

/// Text from a hex listing of UTF-16LE bytes, up to the first zero unit; `losses`, when given,
/// hears of pieces without a value, characters GBK lacks and the cut.
AnsiText Utf16Decode(std::string_view input, LossReport* losses = nullptr);

/// Hex listing of the text's UTF-8 bytes, or "转换失败".
AnsiText Utf8Encode(std::string_view input);

/// Text from a hex listing of UTF-8 bytes, up to the first zero byte, or "转换失败"; `losses` as
/// for Utf16Decode.
AnsiText Utf8Decode(std::string_view input, LossReport* losses = nullptr);

/// Utf16Encode block by block.
std::unique_ptr<ModeStream> Utf16EncodeStream();
/// Utf8Encode block by block.
std::unique_ptr<ModeStream> Utf8EncodeStream();

}  // namespace tessaly
