// tessaly-cli: one conversion of a file or of standard input, written to standard output.
#include <CLI/CLI.hpp>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <new>
#include <string>

#include "cli/options.h"
#include "cli/stream_io.h"
#include "engine/chunked_conversion.h"
#include "engine/conversion.h"
#include "engine/modes.h"
#include "engine/text_boundary.h"

namespace tessaly::cli {
namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

void PrintError(std::string_view message) {
  std::cerr << "tessaly-cli: " << message << '\n';
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
  std::string deletion = "all";
  std::string seed;
  std::string file = "-";
  bool raw = false;
};

ConversionRequest MakeRequest(const Arguments& arguments) {
  ConversionRequest request;
  request.mode = ParseMode(arguments.mode);
  request.style = ParseSeparator(arguments.separator);
  request.deletion = ParseDeletion(arguments.deletion);
  return request;
}

AnsiText TextInputToAnsi(const std::string& utf8) {
  if (const auto offset = FindInvalidUtf8(utf8)) {
    throw IoError("the input is not valid UTF-8 (byte offset " + std::to_string(*offset) +
                  "); use --raw to convert its bytes as they are");
  }
  AnsiInput input = Utf8TextToAnsi(utf8);
  if (input.substituted > 0) {
    PrintError("warning: " + std::to_string(input.substituted) +
               " character(s) have no GBK form and became '?'");
  }
  return std::move(input.text);
}

// Raw bytes through a mode that needs no look at the whole text: convert block by block, so the
// memory used stays small whatever the size of the input.
int ConvertInChunks(const ConversionRequest& request, InputFile& file) {
  StderrReporter reporter;
  ChunkedConversion conversion(request.mode, request.deletion, request.style,
                               ConversionContext{reporter});
  std::string chunk;
  AnsiText out;
  while (file.ReadChunk(chunk, kBlockSize)) {
    out.clear();
    conversion.Convert(chunk, out);
    WriteAll(out);
  }
  out.clear();
  conversion.Finish(out);
  WriteAll(out);
  return reporter.faulted() ? kExitFailure : 0;
}

int Convert(const Arguments& arguments) {
  ConversionRequest request = MakeRequest(arguments);
  TickSource ticks = MonotonicTickCount;
  if (!arguments.seed.empty()) ticks = [seed = ParseSeed(arguments.seed)] { return seed; };

  InputFile file(arguments.file);
  if (arguments.raw && ChunkedConversion::Supports(request.mode))
    return ConvertInChunks(request, file);
  std::string input = file.ReadAll();
  request.input = arguments.raw ? std::move(input) : TextInputToAnsi(input);

  StderrReporter reporter;
  const AnsiText result = RunConversion(request, ConversionContext{reporter, ticks}).text;
  WriteAll(arguments.raw ? result : AnsiToUtf8Text(result) + '\n');
  return reporter.faulted() ? kExitFailure : 0;
}

void DefineOptions(CLI::App& app, Arguments& arguments) {
  std::string modes;
  for (const ModeInfo& mode : Modes())
    modes += (modes.empty() ? "" : ", ") + std::string(mode.cli_name);
  app.add_option("-m,--mode", arguments.mode, modes)->capture_default_str();
  app.add_option("-s,--separator", arguments.separator, "none, space, comma, dot, 0x")
      ->capture_default_str();
  app.add_option("-d,--delete", arguments.deletion,
                 "characters deleted first: all, none, or a comma-separated subset of "
                 "spaces,dots,commas,tabs,newlines")
      ->capture_default_str();
  app.add_flag("--raw", arguments.raw,
               "input and output are GBK bytes as they are (default: UTF-8 text)");
  app.add_option("--seed", arguments.seed,
                 "seed for 'random' (0 to 4294967295) instead of the clock");
  app.add_option("FILE", arguments.file, "input file; standard input when absent or '-'");
  app.set_version_flag("--version", std::string("tessaly-cli " TESSALY_VERSION));
}

}  // namespace
}  // namespace tessaly::cli

int main(int argc, char** argv) {
  using namespace tessaly::cli;
  std::signal(SIGPIPE, SIG_IGN);  // a closed output pipe shows up as EPIPE, handled quietly
  CLI::App app{
      "Converts text to and from hex listings of its GBK, UTF-16LE and UTF-8 bytes, "
      "between simplified and traditional Chinese and between GBK and BIG5.",
      "tessaly-cli"};
  Arguments arguments;
  DefineOptions(app, arguments);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion&) {
    std::cout << "tessaly-cli " TESSALY_VERSION "\n";
    return 0;
  } catch (const CLI::ParseError& e) {
    PrintError(e.what());
    return kExitUsage;
  }
  try {
    return Convert(arguments);
  } catch (const UsageError& e) {
    PrintError(e.what());
    return kExitUsage;
  } catch (const IoError& e) {
    if (*e.what() != '\0') PrintError(e.what());
    return kExitFailure;
  } catch (const std::bad_alloc&) {
    PrintError("not enough memory for this input");
    return kExitFailure;
  }
}
