// tessaly-cli: one conversion of a file or of standard input, written to standard output.
#include <CLI/CLI.hpp>

#include <malloc.h>

#include <array>
#include <atomic>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <exception>
#include <future>
#include <iostream>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "cli/hex_prefixes.h"
#include "cli/lists.h"
#include "cli/options.h"
#include "cli/stream_io.h"
#include "cli/text_mode.h"
#include "engine/chinese/chinese_text.h"
#include "engine/chinese/phrase_cache.h"
#include "engine/chinese/phrase_matcher.h"
#include "engine/chunked_conversion.h"
#include "engine/conversion.h"
#include "engine/errors.h"
#include "engine/modes.h"
#include "engine/text_boundary.h"

namespace tessaly::cli {
namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr std::string_view kProgram = "tessaly-cli";
constexpr std::string_view kVersion = "tessaly-cli " TESSALY_VERSION "\nLicence: " TESSALY_LICENSE;

void PrintError(std::string_view message) {
  std::cerr << kProgram << ": " << message << '\n';
}

void PrintUsageError(std::string_view message) {
  PrintError(message);
  std::cerr << "Try '" << kProgram << " --help' for more information.\n";
}

// Faults go to standard error as they happen; the run still writes its result.
class StderrReporter final : public FaultReporter {
 public:
  void ReportFault(std::string_view message, std::string_view caption) override {
    PrintError(std::string(caption) + ": " + std::string(message));
    faulted_ = true;
  }
  bool faulted() const { return faulted_; }

 private:
  bool faulted_ = false;
};

struct Arguments {
  std::string mode = "format";
  std::string separator = "none";
  std::string deletion;  // empty: the mode's default
  std::string newlines = "as-is";
  std::string encoding = "gbk";
  std::string phrases;
  std::string seed;
  std::string file = "-";
  std::string output = "-";
  bool raw = false;
  bool strict = false;
};

std::string DescribeBytes(std::string_view bytes) {
  std::string hex;
  for (const char c : bytes) {
    char pair[4];
    std::snprintf(pair, sizeof pair, "%02X", static_cast<unsigned char>(c));
    hex += pair;
  }
  return hex;
}

// A character shown in a message, with its code point; `utf8` is one well-formed character.
std::string DescribeChar(std::string_view utf8) {
  if (utf8.empty()) return "an unpaired surrogate";
  if (FindInvalidUtf8(utf8)) return "malformed " + DescribeBytes(utf8);
  const auto byte = [utf8](std::size_t i) { return static_cast<unsigned char>(utf8[i]); };
  const std::size_t trail = byte(0) >= 0xF0 ? 3 : byte(0) >= 0xE0 ? 2 : byte(0) >= 0xC0 ? 1 : 0;
  char32_t code_point = trail == 0 ? byte(0) : byte(0) & (0x3F >> trail);
  for (std::size_t i = 1; i <= trail && i < utf8.size(); ++i)
    code_point = code_point << 6 | (byte(i) & 0x3F);
  char hex[16];
  std::snprintf(hex, sizeof hex, "U+%04X", static_cast<unsigned>(code_point));
  return "'" + std::string(utf8) + "' " + hex;
}

// The encoding a mode's characters must exist in: its own output's, else the working one.
std::string_view LossTarget(const ModeInfo& mode, Encoding working) {
  return mode.output_encoding.empty() ? InfoOf(working).label : mode.output_encoding;
}

// One line per kind of loss; true when there was any. `target`: the encoding whose lacking
// characters became "?"; `chars`: the lost pieces are characters (UTF-8), not bytes.
bool ReportLosses(const LossReport& losses, std::string_view target, Encoding result, bool chars,
                  bool strict) {
  const std::string kind = strict ? "error: " : "warning: ";
  const auto at = [](std::size_t offset) { return " (first at byte " + std::to_string(offset); };
  if (const LossRecord& r = losses[LossKind::Unmappable]; r.count != 0) {
    PrintError(kind + std::to_string(r.count) + " character(s) have no " + std::string(target) +
               std::string(" form and became '?'") + at(r.first_offset) + ": " +
               (chars ? DescribeChar(r.first_piece) : DescribeBytes(r.first_piece)) + ")");
  }
  if (const LossRecord& r = losses[LossKind::EmptyHexPiece]; r.count != 0) {
    PrintError(kind + std::to_string(r.count) +
               " hex piece(s) held no value and repeated the byte before" + at(r.first_offset) +
               ": '" + r.first_piece + "')");
  }
  if (const LossRecord& r = losses[LossKind::OddDigit]; r.count != 0) {
    std::string digit = r.first_piece;
    for (char& c : digit) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    PrintError(kind + "the listing has an odd number of digits; the last piece '" + r.first_piece +
               "' was read as 0" + digit);
  }
  if (const LossRecord& r = losses[LossKind::CutAtZero]; r.count != 0) {
    PrintError(kind + "the decoded data ends at its first zero, at byte " +
               std::to_string(r.first_offset) + " of the input; what follows was dropped");
  }
  if (const LossRecord& r = losses[LossKind::InvalidOutput]; r.count != 0) {
    PrintError(kind + std::to_string(r.count) + " byte sequence(s) of the result are not valid " +
               std::string(InfoOf(result).label) + " and became U+FFFD (first at byte " +
               std::to_string(r.first_offset) + " of the result: " + DescribeBytes(r.first_piece) +
               "); use --raw for the bytes as they are");
  }
  return !losses.empty();
}

struct Run {
  ConversionRequest request;
  const ModeInfo* mode;
  LineBreaks breaks;
  Encoding working;  // what --raw bytes are, and what the losses name
  Encoding engine;   // what the engine's text is: UTF-8 for any Unicode text out of a terminal
  std::optional<Encoding> text_out;  // what the result is, when the mode writes another encoding
  TickSource ticks = MonotonicTickCount;
  std::shared_ptr<const UserPhrases> phrases;
  std::optional<char> prefix_blank;  // what "0x" prefixes of a listing become (hex_prefixes.h)

  ConversionContext Context(FaultReporter& reporter, bool raw) const {
    ConversionContext context{reporter, ticks};
    context.encoding = engine;
    context.unicode_result = !raw;
    context.c_escapes = true;  // a character array on the command line is meant for a compiler
    context.user_phrases = phrases;
    return context;
  }
};

// The two BIG5 modes convert between GBK and BIG5 bytes whatever the working encoding; as text
// they only make sense where that is GBK.
void CheckRecodingText(const ModeInfo& mode, Encoding working, bool raw) {
  const bool recodes = mode.id == ConversionMode::GbkToBig5 || mode.id == ConversionMode::Big5ToGbk;
  if (raw || working == Encoding::Gbk || !recodes) return;
  throw UsageError("'" + std::string(mode.cli_name) +
                   "' converts between GBK and BIG5 bytes; under -e " +
                   std::string(InfoOf(working).name) + " use --raw");
}

// As text, the two BIG5 modes read the text in the encoding they read and show the result in the
// one they write, so that each side is readable; --raw keeps the bytes.
void SetTextRecoding(Run& run, bool raw) {
  if (raw) return;
  if (run.mode->id == ConversionMode::GbkToBig5) {
    run.engine = Encoding::Gbk;
    run.text_out = Encoding::Big5;
  } else if (run.mode->id == ConversionMode::Big5ToGbk) {
    run.engine = Encoding::Big5;
    run.text_out = Encoding::Gbk;
  }
}

Run Prepare(const Arguments& arguments) {
  Run run;
  run.request.mode = ParseMode(arguments.mode);
  run.mode = FindMode(run.request.mode);
  run.working = ParseEncoding(arguments.encoding);
  run.engine = arguments.raw ? run.working : EngineEncoding(*run.mode, run.working);
  CheckRecodingText(*run.mode, run.working, arguments.raw);
  SetTextRecoding(run, arguments.raw);
  run.request.style = ParseSeparator(arguments.separator);
  run.request.deletion =
      arguments.deletion.empty() ? DefaultDeletion(*run.mode) : ParseDeletion(arguments.deletion);
  run.breaks = ParseNewlines(arguments.newlines);
  run.prefix_blank = PrefixBlank(*run.mode, run.request.deletion);
  if (!arguments.seed.empty()) run.ticks = [seed = ParseSeed(arguments.seed)] { return seed; };
  if (!arguments.phrases.empty()) {
    if (run.mode->opencc_config.empty())
      throw UsageError("--phrases goes with the simplified/traditional modes, not '" +
                       std::string(run.mode->cli_name) + "'");
    // A file the run reads is the input's kind of failure, whatever is wrong with it: usage
    // errors are for the command line's own words.
    try {
      run.phrases = ReadUserPhrases(arguments.phrases);
    } catch (const UserPhrasesError& e) {
      throw IoError(e.what());
    }
  }
  return run;
}

// Raw bytes through a mode that needs no look at the whole text: convert block by block, so the
// memory used stays small whatever the size of the input.
int ConvertInChunks(const Run& run, InputFile& file, Output& output, bool strict) {
  StderrReporter reporter;
  ChunkedConversion conversion(run.request.mode, run.request.deletion, run.request.style,
                               run.Context(reporter, true));
  std::optional<HexPrefixBlanker> blanker;
  if (run.prefix_blank) blanker.emplace(*run.prefix_blank);
  std::string chunk;
  std::string blanked;
  AnsiText out;
  const auto convert = [&](std::string_view bytes) {
    out.clear();
    conversion.Convert(bytes, out);
    output.Write(out);
  };
  while (file.ReadChunk(chunk, kBlockSize)) {
    if (!blanker) {
      convert(chunk);
      continue;
    }
    blanked.clear();
    blanker->Blank(chunk, blanked);
    convert(blanked);
  }
  if (blanker) {
    blanked.clear();
    blanker->Finish(blanked);
    convert(blanked);
  }
  out.clear();
  conversion.Finish(out);
  output.Write(out);
  const bool lost = ReportLosses(conversion.losses(), LossTarget(*run.mode, run.working),
                                 run.working, run.mode->reads == ModeReads::Listing, strict);
  return reporter.faulted() || (strict && lost) ? kExitFailure : 0;
}

AnsiText CheckedTextToEngine(const std::string& utf8, const Run& run, LossReport& losses) {
  if (const auto offset = FindInvalidUtf8(utf8)) {
    throw IoError("the input is not valid UTF-8 (byte offset " + std::to_string(*offset) +
                  "); use --raw to convert its bytes as they are");
  }
  return TextToEngine(utf8, run.breaks, run.engine, losses);
}

// A batch's pieces, converted by whichever thread is free, so that the two threads finish
// together however unevenly the text's hard parts fall; kept from batch to batch so that their
// memory is touched once.
struct Pieces {
  static constexpr std::size_t kCount = 8;
  std::array<std::string_view, kCount> text;
  std::array<std::size_t, kCount> offset{};
  std::array<std::string, kCount> result;
  std::array<LossReport, kCount> losses;
  std::array<std::exception_ptr, kCount> error;
  std::size_t count = 0;
  std::atomic<std::size_t> next{0};
};

// Cuts `text`, which ends where a cut may be, into up to Pieces::kCount runs at places where a
// cut may be: after a line break where one is near, else before a character no phrase holds.
void Cut(const ChineseTextConversion& conversion, std::string_view text, std::size_t offset,
         bool raw, Pieces& pieces) {
  pieces.count = 0;
  const std::size_t target = std::max<std::size_t>(text.size() / Pieces::kCount, 1 << 15);
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.size();
    if (pieces.count + 1 < Pieces::kCount && start + target < text.size()) {
      std::size_t cut = text.find('\n', start + target);
      if (cut != std::string_view::npos) ++cut;
      if (cut == std::string_view::npos || cut - start > 2 * target)
        cut = std::min(cut, conversion.NextCut(text, start + target, raw));
      if (cut != std::string_view::npos) end = cut;
    }
    pieces.text[pieces.count] = text.substr(start, end - start);
    pieces.offset[pieces.count++] = offset + start;
    start = end;
  }
}

// Converts a block of whole lines piece by piece on this thread and one more when one can be
// had: the matcher is read-only, and no phrase reaches from one piece into the next. Each piece
// is checked for UTF-8 as it is converted, so the check runs on both threads too; the results
// before the first piece that fails are written, then its error is thrown.
void ConvertLines(const ChineseTextConversion& conversion, std::string_view lines,
                  std::size_t offset, bool raw, LossReport& losses, Pieces& pieces,
                  Output& output) {
  Cut(conversion, lines, offset, raw, pieces);
  const auto convert = [&](std::size_t k) {
    std::string& out = pieces.result[k];
    out.clear();
    pieces.losses[k] = {};
    pieces.error[k] = nullptr;
    try {
      if (raw) {
        conversion.ConvertBytes(pieces.text[k], out);
      } else if (const auto invalid =
                     conversion.Convert(pieces.text[k], pieces.offset[k], out, pieces.losses[k])) {
        throw IoError("the input is not valid UTF-8 (byte offset " +
                      std::to_string(pieces.offset[k] + *invalid) +
                      "); use --raw to convert its bytes as they are");
      }
    } catch (...) {
      pieces.error[k] = std::current_exception();
    }
  };
  const auto work = [&] {
    for (std::size_t k; (k = pieces.next.fetch_add(1)) < pieces.count;) convert(k);
  };
  pieces.next = 0;
  std::future<void> helper;
  if (pieces.count > 1) {
    try {
      helper = std::async(std::launch::async, work);
    } catch (const std::system_error&) {
      // No second thread: this one does all the pieces.
    }
  }
  work();
  if (helper.valid()) helper.get();
  for (std::size_t k = 0; k < pieces.count; ++k) {
    if (pieces.error[k]) std::rethrow_exception(pieces.error[k]);
    output.Write(pieces.result[k]);
    losses.Merge(pieces.losses[k]);
  }
}

// Text through a simplified/traditional standard, a batch of whole lines at a time: the matcher
// reads the UTF-8 itself, and the memory used stays small whatever the size of the input.
int ConvertChineseText(const Run& run, InputFile& file, Output& output, bool raw, bool strict) {
  constexpr std::size_t kBatch = std::size_t{1} << 21;
  StderrReporter reporter;
  const ChineseTextConversion conversion(run.mode->opencc_config, run.mode->routine, run.working,
                                         reporter, run.phrases);
  LossReport losses;
  std::string lines;
  lines.reserve(kBatch + kBlockSize);
  Pieces pieces;
  std::size_t offset = 0;  // of `lines` in the input
  const auto convert = [&](std::string_view batch) {
    ConvertLines(conversion, batch, offset, raw, losses, pieces, output);
    offset += batch.size();
  };
  // Each block is searched once for the last place a cut may be, and a batch is cut there once
  // it is full; a text with no such place is cut where its segmentation puts a phrase, walked
  // once. So a line of any length costs linear time and memory bounded by the batch.
  std::size_t cut = std::string::npos;
  std::size_t walked = 0;
  for (std::size_t start = 0; file.AppendChunk(lines, kBlockSize); start = lines.size()) {
    if (const std::size_t last = conversion.LastCut(std::string_view(lines).substr(start), raw);
        last != std::string::npos)
      cut = start + last;
    if (lines.size() < kBatch) continue;
    if (cut == std::string::npos || cut == 0) {
      const auto segmented = conversion.SegmentedCut(lines, walked, raw);
      walked = segmented.resume;
      cut = segmented.phrase_end;
      // The conversion will stop at that byte and say so: nothing after it need be kept.
      if (segmented.invalid) cut = lines.size();
    }
    if (cut == std::string::npos || cut == 0) continue;
    convert(std::string_view(lines).substr(0, cut));
    lines.erase(0, cut);
    cut = std::string::npos;
    walked = 0;
  }
  if (!lines.empty()) convert(lines);
  const bool lost =
      ReportLosses(losses, LossTarget(*run.mode, run.working), run.working, !raw, strict);
  return reporter.faulted() || (strict && lost) ? kExitFailure : 0;
}

// The simplified/traditional modes need no trip through the working encoding, nor the whole
// input at once, unless the deletions, separators or the window's line breaks are asked for.
bool RunsOnText(const Run& run, bool raw) {
  return !run.mode->opencc_config.empty() && (raw || run.breaks == LineBreaks::AsIs) &&
         run.request.deletion == DeletionOptions{} &&
         (run.request.style == SeparatorStyle::SeparatorNone ||
          run.request.style == SeparatorStyle::Unselected);
}

// The whole input at once, through the working encoding when it is text.
int ConvertWhole(const Arguments& arguments, Run& run, Output& output) {
  LossReport losses;
  LossReport input_losses;  // what the text lost on its way into the engine's encoding
  const std::string utf8_input = arguments.raw ? std::string() : std::move(run.request.input);
  if (!arguments.raw) run.request.input = CheckedTextToEngine(utf8_input, run, input_losses);

  StderrReporter reporter;
  ConversionResult result = RunConversion(run.request, run.Context(reporter, arguments.raw));
  if (!arguments.raw) {
    // The engine counts in its own bytes; the user counts in the text given.
    for (const auto kind :
         {LossKind::EmptyHexPiece, LossKind::CutAtZero, LossKind::Unmappable, LossKind::OddDigit}) {
      LossRecord& record = result.losses[kind];
      if (record.count != 0)
        record.first_offset = Utf8OffsetOf(utf8_input, record.first_offset, run.breaks, run.engine);
    }
    // A text mode's lost piece is bytes of the engine's text: show the character the user gave.
    LossRecord& unmappable = result.losses[LossKind::Unmappable];
    if (unmappable.count != 0 && run.mode->reads == ModeReads::Text) {
      unmappable.first_piece = Utf8CharAt(utf8_input, unmappable.first_offset);
    }
  }
  losses.Merge(result.losses);
  const Encoding result_encoding = result.encoding.value_or(run.text_out.value_or(run.engine));
  output.Write(arguments.raw
                   ? result.text
                   : EngineToText(result.text, *run.mode, run.breaks, result_encoding, losses));
  const bool chars = !arguments.raw || run.mode->reads == ModeReads::Listing;
  bool lost = false;
  if (run.text_out) {
    // Characters the text's own encoding lacks are named after it, not after the result's.
    lost = ReportLosses(input_losses, InfoOf(run.engine).label, result_encoding, chars,
                        arguments.strict);
  } else {
    losses.Merge(input_losses);
  }
  lost = ReportLosses(losses, LossTarget(*run.mode, run.working), result_encoding, chars,
                      arguments.strict) ||
         lost;
  return reporter.faulted() || (arguments.strict && lost) ? kExitFailure : 0;
}

int ConvertInto(const Arguments& arguments, Run& run, Output& output) {
  if (run.mode->reads == ModeReads::Nothing) {  // nothing to wait for on standard input
    run.request.input.clear();
  } else {
    InputFile file(arguments.file);
    if (arguments.raw && run.mode->stream != nullptr)
      return ConvertInChunks(run, file, output, arguments.strict);
    if (RunsOnText(run, arguments.raw))
      return ConvertChineseText(run, file, output, arguments.raw, arguments.strict);
    run.request.input = file.ReadAll();
    if (run.prefix_blank)
      run.request.input = BlankHexPrefixes(run.request.input, *run.prefix_blank);
  }
  return ConvertWhole(arguments, run, output);
}

// An output file is put in place only when the run succeeds: a fault or, with --strict, a loss
// leaves the old one as it was.
int Convert(const Arguments& arguments) {
  Run run = Prepare(arguments);
  Output output(arguments.output);
  const int status = ConvertInto(arguments, run, output);
  if (status == 0) output.Commit();
  return status;
}

std::string ModeList() {
  std::string list = "Modes:\n";
  for (const ModeInfo& mode : ModeTable()) {
    std::string name(mode.cli_name);
    name.resize(14, ' ');
    list += "  " + name + std::string(mode.description) +
            (mode.reads == ModeReads::Listing ? std::string(kDeletesAllNote) : "") + "\n";
  }
  return list;
}

constexpr std::string_view kExamples = R"(
Examples:
  printf '你好' | tessaly-cli -m hex-encode -s space      C4 E3 BA C3
  printf 'C4E3BAC3' | tessaly-cli -m hex-decode          你好
  tessaly-cli -m s2t -o book-traditional.txt book.txt
  tessaly-cli --raw -d none -m hex-encode dump.bin | tessaly-cli --raw -m hex-decode

Text mode reads and writes UTF-8, line breaks as they are; a listing result ends with one line
feed. Losses (characters GBK lacks, hex pieces without a value, data cut at a zero, bytes the
output cannot show) are reported on standard error; with --strict they fail the run.
Exit status: 0 success; 1 a file that cannot be read (the input or --phrases), malformed
input or phrases, an output error, a fault or (with --strict) a loss; 2 a usage error (an
unknown option or value, or options that do not go together).
)";

void DefineOptions(CLI::App& app, Arguments& arguments) {
  app.add_option("-m,--mode", arguments.mode, "conversion mode (see Modes below)")
      ->capture_default_str();
  app.add_option("-s,--separator", arguments.separator,
                 "separator between two-byte pieces: none, space, comma, dot, 0x")
      ->capture_default_str();
  app.add_option("-d,--delete", arguments.deletion,
                 "characters deleted first: all, none, or a comma-separated subset of "
                 "spaces,dots,commas,tabs,newlines (default: all for modes that read a listing, "
                 "none for the others)");
  app.add_option("--newlines", arguments.newlines,
                 "as-is: line breaks pass unchanged; crlf: the window's treatment (CR LF inside, "
                 "LF outside)")
      ->capture_default_str();
  std::string encodings;
  for (const EncodingInfo& info : EncodingTable())
    encodings += (encodings.empty() ? "" : ", ") + std::string(info.name);
  app.add_option("-e,--encoding", arguments.encoding,
                 "working encoding: " + encodings + " (aliases such as cp936, sjis, cp949 too)")
      ->capture_default_str();
  app.add_flag("--raw", arguments.raw,
               "input and output are bytes of the working encoding as they are (default: UTF-8 "
               "text)");
  app.add_flag("--strict", arguments.strict, "any loss is an error (exit status 1)");
  app.add_option("--phrases", arguments.phrases,
                 "with the simplified/traditional modes: phrases of your own, tried before the "
                 "standard's (OpenCC's text format: phrase, tab, conversion)")
      ->type_name("FILE");
  app.add_option("--seed", arguments.seed,
                 "seed for 'random' (0 to 4294967295) instead of the clock");
  app.add_option("-o,--output", arguments.output,
                 "write the result to FILE (replaced whole, only on success; a device or FIFO "
                 "is written in place)")
      ->type_name("FILE");
  app.add_option("FILE", arguments.file, "input file; standard input when absent or '-'")
      ->type_name("");
  app.set_version_flag("-V,--version", std::string(kVersion));
  // Left-over words are reported by main in the order given (CLI11's message reverses them).
  app.allow_extras();
  app.footer(ModeList() + std::string(kExamples));
}

std::string UnexpectedArguments(const std::vector<std::string>& extras) {
  std::string message = extras.size() == 1 ? "the following argument was not expected:"
                                           : "the following arguments were not expected:";
  for (const std::string& word : extras) message += " " + word;
  return message;
}

}  // namespace
}  // namespace tessaly::cli

int main(int argc, char** argv) {
  using namespace tessaly::cli;
  std::signal(SIGPIPE, SIG_IGN);  // a closed output pipe shows up as EPIPE, handled quietly
  std::signal(SIGXFSZ, SIG_IGN);  // past a file-size limit a write fails with EFBIG, reported
  tessaly::UsePhraseCacheDirectory(tessaly::PhraseCacheDirectory());
  // Blocks of a few MiB are allocated and freed batch after batch: kept in the heap, their pages
  // are touched once, where fresh mappings would fault every page in again each time.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  CLI::App app{
      "Converts text to and from hex listings of its GBK, UTF-16LE and UTF-8 bytes, "
      "between simplified and traditional Chinese and between GBK and BIG5.",
      std::string(kProgram)};
  Arguments arguments;
  DefineOptions(app, arguments);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion&) {
    std::cout << kVersion << "\n";
    return 0;
  } catch (const CLI::ParseError& e) {
    // The parser's messages start with a capital; the program's own do not.
    std::string message = e.what();
    if (!message.empty()) message[0] = static_cast<char>(std::tolower(message[0]));
    PrintUsageError(message);
    return kExitUsage;
  }
  if (const std::vector<std::string> extras = app.remaining(); !extras.empty()) {
    PrintUsageError(UnexpectedArguments(extras));
    return kExitUsage;
  }
  try {
    return Convert(arguments);
  } catch (const UsageError& e) {
    PrintUsageError(e.what());
    return kExitUsage;
  } catch (const IoError& e) {
    if (*e.what() != '\0') PrintError(e.what());
    return kExitFailure;
  } catch (const std::bad_alloc&) {
    PrintError("not enough memory for this input");
    return kExitFailure;
  } catch (const tessaly::Error& e) {
    PrintError(e.what());
    return kExitFailure;
  } catch (const std::exception& e) {
    PrintError(e.what());
    return kExitFailure;
  }
}
