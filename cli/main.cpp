// tessaly-cli: one conversion of a file or of standard input, written to standard output.
#include <CLI/CLI.hpp>

#include <malloc.h>

#include <cctype>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <exception>
#include <iostream>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include <tessaly/tessaly.h>

#include "cli/notes.h"
#include "cli/stream_io.h"

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

// A command-line word or combination the program cannot take; the message says what would do.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::uint32_t ParseSeed(std::string_view word) {
  std::uint32_t seed = 0;
  const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), seed);
  if (word.empty() || error != std::errc() || end != word.data() + word.size())
    throw UsageError("bad seed '" + std::string(word) +
                     "'; valid: a whole number from 0 to 4294967295");
  return seed;
}

struct Arguments {
  std::string mode = "format";
  std::string separator = "none";
  std::string deletion;  // empty: the mode's default
  std::string newlines = "as-is";
  std::string encoding = "gbk";
  std::string phrases;
  std::string data;
  bool tofu_risk = false;
  std::string seed;
  std::string file = "-";
  std::string output = "-";
  bool raw = false;
  bool strict = false;
};

// How people call an encoding the library names.
std::string_view LabelOf(std::string_view name) {
  for (const EncodingDescription& encoding : Encodings())
    if (encoding.name == name) return encoding.label;
  return name;
}

// One line per kind of loss; true when there was any. `target`: the encoding whose lacking
// characters became "?" and whose bytes the result's are; `chars`: the lost pieces are characters
// (UTF-8), not bytes.
bool ReportLosses(const LossReport& losses, std::string_view target, bool chars, bool strict) {
  const LossWording wording{target, chars, {}, "use --raw for the bytes as they are"};
  for (const LossKind kind : {LossKind::Unmappable, LossKind::EmptyHexPiece, LossKind::OddDigit,
                              LossKind::CutAtZero, LossKind::InvalidOutput})
    if (const LossRecord& r = losses[kind]; r.count != 0)
      PrintError((strict ? "error: " : "warning: ") + Describe(kind, r, wording));
  return !losses.empty();
}

Options OptionsOf(const Arguments& arguments) {
  Options options;
  options.mode = arguments.mode;
  options.encoding = arguments.encoding;
  options.separator = arguments.separator;
  options.deletions = arguments.deletion;
  options.newlines = arguments.newlines;
  options.phrases = arguments.phrases;
  options.data = arguments.data;
  options.tofu_risk = arguments.tofu_risk;
  options.cache_directory = DefaultCacheDirectory();
  if (!arguments.seed.empty()) options.seed = ParseSeed(arguments.seed);
  return options;
}

// Options the library refuses are the command line's usage errors; a phrase file it cannot use
// is the input's kind of failure, whatever is wrong with it.
Converter MakeConverter(const Options& options) {
  try {
    return Converter(options);
  } catch (const InvalidOption& e) {
    throw UsageError(e.what());
  } catch (const UserPhrasesError& e) {
    throw IoError(e.what());
  }
}

Stream OpenStream(const Converter& converter, bool raw) {
  try {
    return converter.Open(raw ? Input::Bytes : Input::Text);
  } catch (const InvalidOption& e) {
    throw UsageError(std::string(e.what()) + "; use --raw");
  }
}

// A mode that reads nothing waits for nothing on standard input.
Result ConvertFile(const Converter& converter, Stream& stream, const Arguments& arguments,
                   Output& output) {
  if (converter.mode().reads != Reads::Nothing) {
    InputFile file(arguments.file);
    stream.Reserve(file.Size());
    std::string block;
    std::string converted;
    while (file.ReadChunk(block, kBlockSize)) {
      converted.clear();
      stream.Feed(block, converted);
      output.Write(converted);
    }
  }
  Result result = stream.Finish();
  output.Write(result.bytes);
  return result;
}

// A fault is told, and so is every loss; the result was written all the same.
int Report(const Result& result, const Arguments& arguments, const Converter& converter) {
  const ModeDescription& mode = converter.mode();
  const std::string_view working = LabelOf(converter.encoding());
  const std::string_view target = mode.output_encoding.empty() ? working : mode.output_encoding;
  const bool chars = !arguments.raw || mode.reads == Reads::Listing;
  bool lost = false;
  // Characters the text's own encoding lacks are named after it, not after the result's.
  if (!result.input_losses.empty())
    lost = ReportLosses(result.input_losses, mode.text_encoding, chars, arguments.strict);
  lost = ReportLosses(result.losses, target, chars, arguments.strict) || lost;
  if (result.fault) {
    if (result.fault->kind == FaultKind::MalformedInput) {
      PrintError("the input is not valid UTF-8 (byte offset " +
                 std::to_string(result.fault->offset) +
                 "); use --raw to convert its bytes as they are");
    } else {
      PrintError(Describe(*result.fault));
    }
    return kExitFailure;
  }
  return arguments.strict && lost ? kExitFailure : 0;
}

// An output file is put in place only when the run succeeds: a fault or, with --strict, a loss
// leaves the old one as it was.
int Convert(const Arguments& arguments) {
  const Converter converter = MakeConverter(OptionsOf(arguments));
  Stream stream = OpenStream(converter, arguments.raw);
  Output output(arguments.output);
  const int status =
      Report(ConvertFile(converter, stream, arguments, output), arguments, converter);
  if (status == 0) output.Commit();
  return status;
}

std::string ModeList() {
  std::string list = "Modes:\n";
  for (const ModeDescription& mode : Modes()) {
    std::string name(mode.name);
    name.resize(14, ' ');
    list += "  " + name + std::string(mode.description) +
            (mode.reads == Reads::Listing ? std::string(kDeletesAllNote) : "") + "\n";
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

// The version, with the dictionary data it converts with by default and that data's notice.
std::string VersionText() {
  return std::string(kVersion) + "\nData: " + DataDescription("") + "\n" +
         std::string(DataNotice());
}

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
  for (const EncodingDescription& info : Encodings())
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
  app.add_option("--data", arguments.data,
                 "dictionary data of the simplified/traditional modes: " + DataDescription("") +
                     " by default; 'system' for the " + DataDescription("system") +
                     "; or a folder of OpenCC configurations")
      ->type_name("system|FOLDER");
  app.add_flag("--include-tofu-risk", arguments.tofu_risk,
               "with the simplified/traditional modes: also OpenCC's dictionaries that may give "
               "characters few fonts show (left out by default, as OpenCC does)");
  app.add_option("--seed", arguments.seed,
                 "seed for 'random' (0 to 4294967295) instead of the clock");
  app.add_option("-o,--output", arguments.output,
                 "write the result to FILE (replaced whole, only on success; a device or FIFO "
                 "is written in place)")
      ->type_name("FILE");
  app.add_option("FILE", arguments.file, "input file; standard input when absent or '-'")
      ->type_name("");
  app.set_version_flag("-V,--version", VersionText());
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
    std::cout << VersionText() << "\n";
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
  } catch (const std::exception& e) {  // from outside the library: still a line, not an abort
    PrintError(e.what());
    return kExitFailure;
  }
}
