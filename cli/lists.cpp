#include "cli/lists.h"

#include <cstdio>
#include <string_view>

#include "engine/detail/utf8.h"
#include "engine/encodings.h"
#include "engine/options.h"

namespace tessaly::cli {
namespace {

std::string_view ReadsWord(ModeReads reads) {
  switch (reads) {
    case ModeReads::Text:
      return "text";
    case ModeReads::AnyText:
      return "any-text";
    case ModeReads::Listing:
      return "listing";
    case ModeReads::Nothing:
      break;
  }
  return "nothing";
}

std::string_view WritesWord(ModeWrites writes) {
  return writes == ModeWrites::Listing ? "listing" : "text";
}

// The code point that starts at `text[i]`, and the index after it; a byte that starts none
// stands for itself.
char32_t NextCodePoint(std::string_view text, std::size_t& i) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  char32_t code_point = p[i];
  const std::size_t length = detail::OpenCcCharAt(p, i, text.size(), code_point);
  i += length == 0 ? 1 : length;
  return length == 0 ? p[i - 1] : code_point;
}

// `example`: quotes are straight, and nothing beyond ASCII is left as it is.
std::string Roff(std::string_view text, bool example) {
  std::string roff;
  for (std::size_t i = 0; i < text.size();) {
    // A line that starts with a dot or a quote would be a request.
    if ((i == 0 || text[i - 1] == '\n') && (text[i] == '.' || text[i] == '\'')) roff += "\\&";
    const char32_t c = example ? NextCodePoint(text, i) : static_cast<unsigned char>(text[i++]);
    if (c == '\\') {
      roff += "\\e";
    } else if (c == '-') {
      roff += "\\-";
    } else if (c == '\'' && example) {
      roff += "\\(aq";
    } else if (c > 0x7F && example) {
      char escape[16];
      std::snprintf(escape, sizeof escape, "\\[u%04X]", static_cast<unsigned>(c));
      roff += escape;
    } else {
      roff += static_cast<char>(c);
    }
  }
  return roff;
}

// The description as the manual's sentence.
std::string ManualText(const ModeInfo& mode) {
  if (!mode.manual.empty()) return std::string(mode.manual);
  std::string text = RoffText(mode.description);
  if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 32);
  if (mode.reads == ModeReads::Listing) text += kDeletesAllNote;
  return text + ".";
}

void AddLines(std::string& lists, std::string_view kind, std::string_view lines) {
  while (!lines.empty()) {
    const std::size_t end = lines.find('\n');
    lists.append(kind).append("\t").append(lines.substr(0, end)).append("\n");
    lines.remove_prefix(end == std::string_view::npos ? lines.size() : end + 1);
  }
}

}  // namespace

std::string RoffText(std::string_view text) {
  return Roff(text, false);
}

std::string RoffExample(std::string_view utf8) {
  return Roff(utf8, true);
}

std::string ManualEntry(const ModeInfo& mode) {
  std::string entry = ".TP\n.B " + RoffText(mode.cli_name) + "\n" + ManualText(mode) + "\n";
  if (!mode.manual_example.empty())
    entry += ".RS\n.EX\n" + RoffExample(mode.manual_example) + "\n.EE\n.RE\n";
  return entry;
}

std::string Lists() {
  std::string lists;
  for (const ModeInfo& mode : ModeTable()) {
    lists += "mode\t" + std::string(mode.cli_name) + "\t" + std::string(ReadsWord(mode.reads)) +
             "\t" + std::string(WritesWord(mode.writes)) + "\t" + std::string(mode.description) +
             "\n";
  }
  for (const EncodingInfo& info : EncodingTable()) AddLines(lists, "encoding", info.name);
  for (const std::string_view word : SeparatorWords()) AddLines(lists, "separator", word);
  for (const std::string_view word : DeletionWords()) AddLines(lists, "deletion", word);
  for (const std::string_view word : NewlinesWords()) AddLines(lists, "newlines", word);
  for (const ModeInfo& mode : ModeTable()) AddLines(lists, "manual", ManualEntry(mode));
  return lists;
}

}  // namespace tessaly::cli
