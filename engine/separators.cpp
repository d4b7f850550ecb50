#include "engine/separators.h"

namespace tessaly {
namespace {

char SeparatorOf(SeparatorStyle style) {
  switch (style) {
    case SeparatorStyle::SeparatorSpace:
      return ' ';
    case SeparatorStyle::SeparatorComma:
      return ',';
    case SeparatorStyle::SeparatorDot:
      return '.';
    default:
      return 0;
  }
}

}  // namespace

SeparatorJoiner::SeparatorJoiner(SeparatorStyle style)
    : style_(style), separator_(SeparatorOf(style)) {}

void SeparatorJoiner::Join(std::string_view chunk, AnsiText& out) {
  if (chunk.empty()) return;
  if (separator_ == 0 && style_ != SeparatorStyle::SeparatorHexList) {
    out.append(chunk);
    return;
  }
  pieces_.Cut(chunk, [&](std::string_view whole_pieces) { JoinPieces(whole_pieces, out); });
}

void SeparatorJoiner::JoinPieces(std::string_view whole_pieces, AnsiText& out) {
  if (whole_pieces.empty()) return;
  const std::size_t pieces = whole_pieces.size() / 2;
  const std::size_t start = out.size();
  const char* source = whole_pieces.data();
  if (separator_ != 0) {
    out.resize(start + 3 * pieces);
    char* target = out.data() + start;
    for (std::size_t k = 0; k < pieces; ++k, source += 2, target += 3) {
      target[0] = source[0];
      target[1] = source[1];
      target[2] = separator_;
    }
  } else {  // hex list: "0x" before the first piece, ",0x" before every other
    out.resize(start + 5 * pieces - (any_piece_ ? 0 : 1));
    char* target = out.data() + start;
    for (std::size_t k = 0; k < pieces; ++k, source += 2) {
      if (any_piece_) *target++ = ',';
      any_piece_ = true;
      *target++ = '0';
      *target++ = 'x';
      *target++ = source[0];
      *target++ = source[1];
    }
  }
  any_piece_ = true;
}

void SeparatorJoiner::Finish(AnsiText& out) {
  if (const auto odd_byte = pieces_.TakeOddByte()) {
    if (style_ == SeparatorStyle::SeparatorHexList) out += any_piece_ ? ",0x" : "0x";
    out += *odd_byte;
    if (separator_ != 0) out += separator_;
    any_piece_ = true;
  }
  if (style_ == SeparatorStyle::SeparatorHexList && !any_piece_) out += "0x";
}

AnsiText ApplySeparators(std::string_view text, SeparatorStyle style) {
  SeparatorJoiner joiner(style);
  AnsiText out;
  joiner.Join(text, out);
  joiner.Finish(out);
  return out;
}

}  // namespace tessaly
