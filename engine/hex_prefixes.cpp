#include "engine/hex_prefixes.h"

namespace tessaly {
namespace {

constexpr bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

}  // namespace

void HexPrefixBlanker::Blank(std::string_view chunk, std::string& out) {
  out.reserve(out.size() + chunk.size() + pending_.size());
  for (const char c : chunk) Take(c, out);
}

void HexPrefixBlanker::Take(char c, std::string& out) {
  if (pending_.size() == 2) {
    if (IsHexDigit(c)) {
      out.append(2, blank_);
      pending_.clear();
    } else {
      out += pending_;
      pending_.clear();
      after_digit_ = false;  // it ended in the x
    }
  } else if (pending_.size() == 1) {
    if (c == 'x' || c == 'X') {
      pending_ += c;
      return;
    }
    out += pending_;
    pending_.clear();
    after_digit_ = true;
  }
  if (c == '0' && !after_digit_ && pending_.empty()) {
    pending_ = c;
    return;
  }
  out += c;
  after_digit_ = IsHexDigit(c);
}

void HexPrefixBlanker::Finish(std::string& out) {
  out += pending_;
  pending_.clear();
}

std::optional<char> PrefixBlank(const ModeInfo& mode, const DeletionOptions& deletion) {
  if (mode.reads != ModeReads::Listing || mode.id == ConversionMode::FormatOnly) return {};
  if (deletion.DeleteSpaces) return ' ';
  if (deletion.DeleteCommas) return ',';
  if (deletion.DeleteDots) return '.';
  if (deletion.DeleteTabs) return '\t';
  if (deletion.DeleteLineBreaks) return '\n';
  return {};
}

std::string BlankHexPrefixes(std::string_view text, char blank) {
  HexPrefixBlanker blanker(blank);
  std::string out;
  blanker.Blank(text, out);
  blanker.Finish(out);
  return out;
}

}  // namespace tessaly
