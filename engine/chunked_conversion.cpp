#include "engine/chunked_conversion.h"

namespace tessaly {

bool ChunkedConversion::Supports(ConversionMode mode) {
  switch (mode) {
    case ConversionMode::HexEncode:
    case ConversionMode::HexDecode:
    case ConversionMode::CharArray:
    case ConversionMode::FormatOnly:
    case ConversionMode::GbkToBig5:
    case ConversionMode::Big5ToGbk:
    case ConversionMode::Utf16Encode:
    case ConversionMode::Utf8Encode:
      return true;
    default:
      return false;
  }
}

ChunkedConversion::ChunkedConversion(ConversionMode mode, const DeletionOptions& deletion,
                                     SeparatorStyle style, FaultReporter& reporter)
    : mode_(mode),
      stripper_(deletion),
      joiner_(style),
      separates_(style != SeparatorStyle::SeparatorNone && style != SeparatorStyle::Unselected) {
  if (mode == ConversionMode::GbkToBig5 || mode == ConversionMode::Big5ToGbk)
    recoding_.emplace(mode, reporter);
  if (mode == ConversionMode::Utf16Encode || mode == ConversionMode::Utf8Encode)
    unicode_.emplace(mode);
}

void ChunkedConversion::Convert(std::string_view chunk, AnsiText& out) {
  if (stripper_.DeletesNothing()) {
    ConvertStripped(chunk, out);
    return;
  }
  stripped_.clear();
  stripper_.Strip(chunk, stripped_);
  ConvertStripped(stripped_, out);
}

void ChunkedConversion::Finish(AnsiText& out) {
  mode_output_.clear();
  FinishMode(separates_ ? mode_output_ : out);
  Separate(mode_output_, out);
  joiner_.Finish(out);
}

void ChunkedConversion::ConvertStripped(std::string_view stripped, AnsiText& out) {
  // Without separators the mode writes straight into the result.
  AnsiText& target = separates_ ? mode_output_ : out;
  if (separates_) mode_output_.clear();
  if (!started_ && mode_ == ConversionMode::CharArray) target += kCharArrayOpening;
  started_ = true;
  switch (mode_) {
    case ConversionMode::HexEncode:
      AppendHex(stripped, target);
      break;
    case ConversionMode::HexDecode:
      hex_reader_.Read(stripped, target);
      break;
    case ConversionMode::CharArray:
      AppendCharArrayElements(stripped, target);
      break;
    case ConversionMode::FormatOnly:
      target.append(stripped);
      break;
    case ConversionMode::GbkToBig5:
    case ConversionMode::Big5ToGbk:
      recoding_->Recode(stripped, target);
      break;
    case ConversionMode::Utf16Encode:
    case ConversionMode::Utf8Encode:
      unicode_->Encode(stripped, target);
      break;
    default:
      break;
  }
  Separate(mode_output_, out);
}

void ChunkedConversion::FinishMode(AnsiText& out) {
  if (!started_ && mode_ == ConversionMode::CharArray) out += kCharArrayOpening;
  started_ = true;
  if (mode_ == ConversionMode::HexDecode) hex_reader_.Finish(out);
  if (mode_ == ConversionMode::CharArray) out += kCharArrayClosing;
  if (recoding_) recoding_->Finish(out);
  if (unicode_) unicode_->Finish(out);
}

void ChunkedConversion::Separate(std::string_view mode_output, AnsiText& out) {
  if (separates_) joiner_.Join(mode_output, out);
}

}  // namespace tessaly
