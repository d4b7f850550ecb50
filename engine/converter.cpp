// The public API: options read once into a shared core, and the one route every front end takes
// through the engine, as a whole text or block by block.
#include <tessaly/converter.h>

#include <filesystem>
#include <utility>
#include <vector>

#include "engine/chinese/chinese_stream.h"
#include "engine/chinese/chinese_text.h"
#include "engine/chinese/opencc_data.h"
#include "engine/chinese/phrase_cache.h"
#include "engine/chinese/user_phrases.h"
#include "engine/chunked_conversion.h"
#include "engine/conversion.h"
#include "engine/fault_log.h"
#include "engine/hex_prefixes.h"
#include "engine/modes.h"
#include "engine/options.h"
#include "engine/text_route.h"

namespace tessaly {
namespace detail {

// What the options say, read and loaded once; shared by every copy of the converter.
struct ConverterCore {
  Options options;
  const ModeInfo* mode = nullptr;
  Encoding working = Encoding::Gbk;
  DeletionOptions deletion;
  SeparatorStyle style = SeparatorStyle::SeparatorNone;
  LineBreaks breaks = LineBreaks::AsIs;
  std::optional<char> prefix_blank;  // what "0x" prefixes of a listing become
  std::shared_ptr<const UserPhrases> phrases;
  std::filesystem::path cache;
  std::shared_ptr<const ChineseTextConversion> chinese;  // a simplified/traditional mode's
};

// A stream keeps its converter's core alive, whatever becomes of the converter.
class StreamState {
 public:
  explicit StreamState(std::shared_ptr<const ConverterCore> core) : core_(std::move(core)) {}
  virtual ~StreamState() = default;
  virtual void Reserve(std::size_t) {}
  virtual void Feed(std::string_view block, std::string& out) = 0;
  virtual Result Finish() = 0;

 protected:
  std::shared_ptr<const ConverterCore> core_;
};

}  // namespace detail

namespace {

using detail::ConverterCore;

// Up to this size a text converts in one go on the calling thread.
constexpr std::size_t kShortText = std::size_t{1} << 16;
// A whole input goes into a stream in slices of this size.
constexpr std::size_t kSlice = std::size_t{1} << 20;

std::string LowerName(Encoding encoding) {
  return std::string(InfoOf(encoding).name);
}

// The GBK/BIG5 modes convert between GBK and BIG5 bytes whatever the working encoding; as text
// they read the text in the encoding they read and give it in the one they write, so that each
// side is readable.
struct TextEncodings {
  Encoding engine;                // what the engine's text is
  std::optional<Encoding> out{};  // what its result is, when not `engine`
};

TextEncodings TextEncodingsOf(const ModeInfo& mode, Encoding working) {
  if (mode.id == ConversionMode::GbkToBig5) return {Encoding::Gbk, Encoding::Big5};
  if (mode.id == ConversionMode::Big5ToGbk) return {Encoding::Big5, Encoding::Gbk};
  return {EngineEncoding(mode, working)};
}

bool Recodes(const ModeInfo& mode) {
  return mode.id == ConversionMode::GbkToBig5 || mode.id == ConversionMode::Big5ToGbk;
}

void CheckTextForm(const ConverterCore& core) {
  if (core.working == Encoding::Gbk || !Recodes(*core.mode)) return;
  throw InvalidOption("'" + std::string(core.mode->cli_name) +
                      "' converts between GBK and BIG5 bytes; under the working encoding " +
                      std::string(InfoOf(core.working).name) + " convert bytes, not text");
}

// The OpenCC configuration a simplified/traditional mode reads: OpenCC's current data as the build
// fetched it, the system's data ("system"), or a folder of the caller's.
std::string ConfigOf(const ModeInfo& mode, const std::string& data) {
  if (data == "system") {
    if (!FindConfiguration(mode.opencc_config))
      throw InvalidOption("the system's OpenCC " + std::string(SystemDataVersion()) +
                          " data has no '" + std::string(mode.opencc_config) + "' (in " +
                          OpenCcDataDirectory().string() + "); the bundled data has");
    return std::string(mode.opencc_config);
  }
  if (data.empty()) {
    const std::optional<std::filesystem::path>& bundled = BundledDataDirectory();
    if (!bundled)
      throw InvalidOption("OpenCC " + std::string(BundledDataVersion()) +
                          "'s data is not installed (share/tessaly/opencc); --data system reads "
                          "the system's");
    return (*bundled / mode.opencc_config).string();
  }
  const std::filesystem::path config = std::filesystem::absolute(data) / mode.opencc_config;
  std::error_code error;
  if (!std::filesystem::is_regular_file(config, error))
    throw InvalidOption("no OpenCC configuration '" + std::string(mode.opencc_config) + "' in '" +
                        data + "'");
  return config.string();
}

std::shared_ptr<const ConverterCore> MakeCore(const Options& options) {
  auto core = std::make_shared<ConverterCore>();
  core->options = options;
  core->mode = FindMode(ParseMode(options.mode));
  core->working = ParseEncoding(options.encoding);
  core->style = ParseSeparator(options.separator);
  core->deletion =
      options.deletions.empty() ? DefaultDeletion(*core->mode) : ParseDeletion(options.deletions);
  core->breaks = ParseNewlines(options.newlines);
  core->prefix_blank = PrefixBlank(*core->mode, core->deletion);
  core->cache = options.cache_directory;
  const bool chinese = !core->mode->opencc_config.empty();
  if (!options.phrases.empty() || !options.phrase_text.empty()) {
    if (!chinese)
      throw InvalidOption("phrases go with the simplified/traditional modes, not '" +
                          std::string(core->mode->cli_name) + "'");
    if (!options.phrases.empty() && !options.phrase_text.empty())
      throw InvalidOption("phrases come from a file or from a text, not both");
    core->phrases = options.phrases.empty() ? ParseUserPhrases(options.phrase_text, "phrases")
                                            : ReadUserPhrases(options.phrases);
  }
  if (!options.data.empty() && options.data != "system" && !chinese)
    throw InvalidOption("dictionary data go with the simplified/traditional modes, not '" +
                        std::string(core->mode->cli_name) + "'");
  if (chinese) {
    core->chinese = SharedChineseConversion(
        ConfigOf(*core->mode, options.data) + std::string(options.tofu_risk ? kWithTofuRisk : ""),
        core->mode->routine, core->working, core->phrases, core->cache);
    // Data the caller chose that cannot be read is a wrong option, said at once.
    if (!options.data.empty() && options.data != "system" && core->chinese->load_fault())
      throw InvalidOption("OpenCC data in '" + options.data +
                          "': " + core->chinese->load_fault()->detail);
  }
  return core;
}

ConversionContext ContextOf(const ConverterCore& core, FaultLog& faults, Encoding engine,
                            bool unicode_result) {
  ConversionContext context{faults};
  if (core.options.seed) context.ticks = [seed = *core.options.seed] { return seed; };
  context.encoding = engine;
  context.unicode_result = unicode_result;
  context.c_escapes = core.options.c_char_array;
  context.user_phrases = core.phrases;
  context.cache_directory = core.cache;
  context.threads = core.options.threads;
  if (engine == core.working) context.chinese = core.chinese;
  return context;
}

std::optional<Fault> FirstFault(const FaultLog& faults, const ModeInfo& mode) {
  std::optional<Fault> fault = faults.First();
  if (fault) fault->mode = mode.cli_name;
  return fault;
}

// The encoding of a mode's output bytes: its own, else the working one.
std::string BytesEncoding(const ModeInfo& mode, Encoding working, std::optional<Encoding> own) {
  if (own) return LowerName(*own);
  if (!mode.output_encoding.empty()) return LowerName(*FindEncoding(mode.output_encoding));
  return LowerName(working);
}

// Bytes through a mode that needs no look at the whole text, block by block.
class ChunkedState final : public detail::StreamState {
 public:
  explicit ChunkedState(std::shared_ptr<const ConverterCore> shared)
      : StreamState(std::move(shared)),
        conversion_(core_->mode->id, core_->deletion, core_->style,
                    ContextOf(*core_, faults_, core_->working, core_->options.keep_unicode)) {
    if (core_->prefix_blank) blanker_.emplace(*core_->prefix_blank);
  }

  void Feed(std::string_view block, std::string& out) override {
    if (!blanker_) {
      conversion_.Convert(block, out);
      return;
    }
    blanked_.clear();
    blanker_->Blank(block, blanked_);
    conversion_.Convert(blanked_, out);
  }

  Result Finish() override {
    Result result;
    if (blanker_) {
      blanked_.clear();
      blanker_->Finish(blanked_);
      conversion_.Convert(blanked_, result.bytes);
    }
    conversion_.Finish(result.bytes);
    result.encoding = BytesEncoding(*core_->mode, core_->working, std::nullopt);
    result.losses = conversion_.losses();
    result.fault = FirstFault(faults_, *core_->mode);
    return result;
  }

 private:
  FaultLog faults_;
  ChunkedConversion conversion_;
  std::optional<HexPrefixBlanker> blanker_;
  std::string blanked_;
};

// UTF-8 text through a simplified/traditional standard, with the matcher on the text itself.
class ChineseTextState final : public detail::StreamState {
 public:
  explicit ChineseTextState(std::shared_ptr<const ConverterCore> shared)
      : StreamState(std::move(shared)),
        stream_(core_->chinese, false, core_->options.threads, faults_) {}

  void Feed(std::string_view block, std::string& out) override { stream_.Convert(block, out); }

  Result Finish() override {
    Result result;
    stream_.Finish(result.bytes);
    result.encoding = "utf-8";
    result.losses = stream_.losses();
    result.fault = FirstFault(faults_, *core_->mode);
    return result;
  }

 private:
  FaultLog faults_;
  ChineseStream stream_;
};

// Losses the engine counted in its own bytes, moved to where the user's text has them.
void ToTextOffsets(const ConverterCore& core, std::string_view utf8, Encoding engine,
                   LossReport& losses) {
  for (const auto kind :
       {LossKind::EmptyHexPiece, LossKind::CutAtZero, LossKind::Unmappable, LossKind::OddDigit}) {
    LossRecord& record = losses[kind];
    if (record.count != 0)
      record.first_offset = Utf8OffsetOf(utf8, record.first_offset, core.breaks, engine);
  }
  // A text mode's lost piece is bytes of the engine's text: the user gave a character.
  LossRecord& unmappable = losses[LossKind::Unmappable];
  if (unmappable.count != 0 && core.mode->reads == ModeReads::Text)
    unmappable.first_piece = Utf8CharAt(utf8, unmappable.first_offset);
}

// The whole input at once, through the engine's encoding when it is text.
Result RunWhole(const ConverterCore& core, std::string_view input, Input kind, FaultLog& faults) {
  if (core.mode->reads == ModeReads::Nothing) input = {};
  std::string blanked;
  if (core.prefix_blank) input = blanked = BlankHexPrefixes(input, *core.prefix_blank);
  const bool text = kind == Input::Text;
  const TextEncodings encodings =
      text ? TextEncodingsOf(*core.mode, core.working) : TextEncodings{core.working};
  Result result;
  LossReport input_losses;  // what the text lost on its way into the engine's encoding
  std::string engine_text;
  if (text) {
    if (const auto offset = FindInvalidUtf8(input)) {
      result.encoding = "utf-8";
      result.fault = MalformedInputFault(core.mode->cli_name, *offset);
      result.fault->mode = core.mode->cli_name;
      return result;
    }
    engine_text = TextToEngine(input, core.breaks, encodings.engine, input_losses);
  }
  ConversionResult converted = RunConversion(
      text ? std::string_view(engine_text) : input, core.mode->id, core.deletion, core.style,
      ContextOf(core, faults, encodings.engine, text || core.options.keep_unicode));
  engine_text = std::string();
  result.losses = std::move(converted.losses);
  if (text) {
    ToTextOffsets(core, input, encodings.engine, result.losses);
    const Encoding shown = converted.encoding.value_or(encodings.out.value_or(encodings.engine));
    result.bytes = EngineToText(converted.text, *core.mode, core.breaks, shown, result.losses);
    result.encoding = "utf-8";
  } else {
    result.bytes = std::move(converted.text);
    result.encoding = BytesEncoding(*core.mode, core.working, converted.encoding);
  }
  if (text && encodings.out) {
    result.input_losses = std::move(input_losses);
  } else {
    result.losses.Merge(input_losses);
  }
  return result;
}

// The modes keep their own faults; the text's way into the engine's encoding and back can fail
// only where the character-set library does, a fault of the conversion as a whole.
Result ConvertWhole(const ConverterCore& core, std::string_view input, Input kind) {
  FaultLog faults;
  Result result;
  try {
    result = RunWhole(core, input, kind, faults);
  } catch (const Error& error) {
    faults.Add(core.mode->cli_name, error);
    result = Result{};
    result.encoding = kind == Input::Text ? "utf-8" : LowerName(core.working);
  }
  if (!result.fault) result.fault = FirstFault(faults, *core.mode);
  return result;
}

class WholeState final : public detail::StreamState {
 public:
  WholeState(std::shared_ptr<const ConverterCore> shared, Input kind)
      : StreamState(std::move(shared)), kind_(kind) {}

  void Reserve(std::size_t bytes) override { input_.reserve(bytes); }

  void Feed(std::string_view block, std::string& /*out*/) override { input_.append(block); }

  Result Finish() override {
    Result result = ConvertWhole(*core_, input_, kind_);
    input_ = std::string();
    return result;
  }

 private:
  Input kind_;
  std::string input_;
};

// The simplified/traditional standards run on UTF-8 text itself unless the deletions, separators
// or the window's line breaks are asked for.
bool RunsOnText(const ConverterCore& core) {
  return core.chinese && core.breaks == LineBreaks::AsIs && core.deletion == DeletionOptions{} &&
         (core.style == SeparatorStyle::SeparatorNone || core.style == SeparatorStyle::Unselected);
}

std::unique_ptr<detail::StreamState> StateFor(const std::shared_ptr<const ConverterCore>& core,
                                              Input kind) {
  if (kind == Input::Text) CheckTextForm(*core);
  if (kind == Input::Bytes && core->mode->stream != nullptr)
    return std::make_unique<ChunkedState>(core);
  if (kind == Input::Text && RunsOnText(*core)) return std::make_unique<ChineseTextState>(core);
  return std::make_unique<WholeState>(core, kind);
}

std::vector<ModeDescription> DescribeModes() {
  std::vector<ModeDescription> modes;
  for (const ModeInfo& mode : ModeTable()) {
    std::string_view text_encoding;
    if (Recodes(mode)) text_encoding = InfoOf(TextEncodingsOf(mode, Encoding::Gbk).engine).label;
    std::string_view output_encoding = mode.output_encoding;
    if (mode.id == ConversionMode::Big5ToGbk) output_encoding = InfoOf(Encoding::Gbk).label;
    modes.push_back({mode.cli_name, mode.description, static_cast<Reads>(mode.reads),
                     mode.writes == ModeWrites::Listing, output_encoding, text_encoding,
                     !mode.opencc_config.empty()});
  }
  return modes;
}

std::vector<EncodingDescription> DescribeEncodings() {
  std::vector<EncodingDescription> encodings;
  for (const EncodingInfo& info : EncodingTable())
    encodings.push_back({info.name, info.label, info.aliases});
  return encodings;
}

}  // namespace

Stream::Stream(std::unique_ptr<detail::StreamState> state) : state_(std::move(state)) {}
Stream::Stream(Stream&&) noexcept = default;
Stream& Stream::operator=(Stream&&) noexcept = default;
Stream::~Stream() = default;

void Stream::Reserve(std::size_t bytes) {
  state_->Reserve(bytes);
}

std::string Stream::Feed(std::string_view block) {
  std::string out;
  state_->Feed(block, out);
  return out;
}

void Stream::Feed(std::string_view block, std::string& out) {
  state_->Feed(block, out);
}

Result Stream::Finish() {
  return state_->Finish();
}

Converter::Converter(const Options& options) : core_(MakeCore(options)) {}
Converter::Converter(const Converter&) = default;
Converter& Converter::operator=(const Converter&) = default;
Converter::Converter(Converter&&) noexcept = default;
Converter& Converter::operator=(Converter&&) noexcept = default;
Converter::~Converter() = default;

namespace {

// The whole input through a stream, a slice at a time, so that the stream keeps copies of a
// slice at most and the output grows in place.
Result ConvertThrough(tessaly::Stream stream, std::string_view input) {
  std::string out;
  for (std::size_t at = 0; at < input.size(); at += kSlice)
    stream.Feed(input.substr(at, kSlice), out);
  Result result = stream.Finish();
  out += result.bytes;
  result.bytes = std::move(out);
  return result;
}

}  // namespace

namespace {

// A short text, as a program converting many strings one by one hands in, needs no batches: it
// goes through the standard at once, appended to `out`. Its losses are added to `losses`; its
// fault, if any, is returned. Most texts lose nothing and meet no fault: they go through in one
// pass without the bookkeeping.
std::optional<Fault> ConvertShortText(const ConverterCore& core, std::string_view utf8,
                                      std::string& out, LossReport& losses) {
  const ChineseTextConversion& chinese = *core.chinese;
  if (utf8.empty() || chinese.ConvertPlain(utf8, out)) return std::nullopt;
  FaultLog faults;
  if (const auto& fault = chinese.load_fault()) faults.Add(*fault);
  if (const auto malformed = chinese.Convert(utf8, 0, out, losses, faults))
    chinese.StopAtMalformed(utf8, 0, *malformed, out, losses, faults);
  return FirstFault(faults, *core.mode);
}

bool TakesShortText(const ConverterCore& core, std::size_t size) {
  return size <= kShortText && RunsOnText(core);
}

// Short bytes of the working encoding through a standard, as its stream converts them in one
// piece, without the whole route's set-up for each item of a batch.
std::optional<Fault> ConvertShortBytes(const ConverterCore& core, std::string_view bytes,
                                       std::string& out) {
  const ChineseTextConversion& chinese = *core.chinese;
  FaultLog faults;
  if (const auto& fault = chinese.load_fault()) faults.Add(*fault);
  const std::size_t start = out.size();
  try {
    chinese.ConvertBytes(bytes, out, faults);
  } catch (const Error& error) {
    out.resize(start);
    faults.Add(core.mode->cli_name, error);
  }
  return FirstFault(faults, *core.mode);
}

}  // namespace

// Bytes at hand whole take the whole-text route of every mode: its output is made once, in
// place, where a stream's would grow block by block. Short bytes through a standard need none
// of its set-up.
Result Converter::Convert(std::string_view bytes) const {
  if (!TakesShortText(*core_, bytes.size())) return ConvertWhole(*core_, bytes, Input::Bytes);
  Result result;
  result.encoding = BytesEncoding(*core_->mode, core_->working, std::nullopt);
  result.fault = ConvertShortBytes(*core_, bytes, result.bytes);
  return result;
}

Result Converter::ConvertText(std::string_view utf8) const {
  if (TakesShortText(*core_, utf8.size())) {
    Result result;
    result.encoding = "utf-8";
    result.fault = ConvertShortText(*core_, utf8, result.bytes, result.losses);
    return result;
  }
  return ConvertThrough(Open(Input::Text), utf8);
}

void Converter::ConvertBatch(std::span<const std::string_view> items, Input input,
                             BatchResult& into) const {
  if (input == Input::Text) CheckTextForm(*core_);
  into.ends.reserve(into.ends.size() + items.size());
  LossReport losses;  // the current item's, moved into a note when it has any
  const bool on_text = RunsOnText(*core_);
  for (const std::string_view item : items) {
    const std::size_t index = into.ends.size();
    if (on_text && item.size() <= kShortText) {
      std::optional<Fault> fault = input == Input::Text
                                       ? ConvertShortText(*core_, item, into.bytes, losses)
                                       : ConvertShortBytes(*core_, item, into.bytes);
      if (fault || !losses.empty()) {
        Result& note = into.notes.emplace_back(index, Result{}).second;
        note.encoding = input == Input::Text
                            ? "utf-8"
                            : BytesEncoding(*core_->mode, core_->working, std::nullopt);
        note.losses = std::exchange(losses, LossReport{});
        note.fault = std::move(fault);
      }
    } else {
      Result result = input == Input::Text ? ConvertText(item) : Convert(item);
      into.bytes += result.bytes;
      if (!result.ok() || !result.losses.empty() || !result.input_losses.empty()) {
        result.bytes = std::string();
        into.notes.emplace_back(index, std::move(result));
      }
    }
    into.ends.push_back(into.bytes.size());
  }
}

Stream Converter::Open(Input input) const {
  return Stream(StateFor(core_, input));
}

const Options& Converter::options() const {
  return core_->options;
}

const ModeDescription& Converter::mode() const {
  return Modes()[static_cast<std::size_t>(core_->mode - ModeTable().data())];
}

std::string_view Converter::encoding() const {
  return InfoOf(core_->working).name;
}

std::span<const ModeDescription> Modes() {
  static const std::vector<ModeDescription> modes = DescribeModes();
  return modes;
}

std::span<const EncodingDescription> Encodings() {
  static const std::vector<EncodingDescription> encodings = DescribeEncodings();
  return encodings;
}

std::string_view Version() {
  return TESSALY_VERSION;
}

std::string DataDescription(std::string_view data) {
  if (data == "system")
    return "OpenCC " + std::string(SystemDataVersion()) + " data of the system (" +
           OpenCcDataDirectory().string() + ")";
  if (!data.empty()) return "OpenCC data in " + std::string(data);
  const std::optional<std::filesystem::path>& bundled = BundledDataDirectory();
  return "OpenCC " + std::string(BundledDataVersion()) + " data, bundled (" +
         (bundled ? bundled->string() : std::string("not installed")) + ")";
}

std::string DataVersion(std::string_view data) {
  if (data == "system") return std::string(SystemDataVersion());
  return data.empty() ? std::string(BundledDataVersion()) : std::string();
}

std::string_view DataNotice() {
  return "The simplified/traditional Chinese conversions use the data of OpenCC (Open Chinese "
         "Convert), copyright 2010-2026 Carbo Kuo and contributors, under the Apache License, "
         "Version 2.0.";
}

std::string DefaultCacheDirectory() {
  return PhraseCacheDirectory().string();
}

}  // namespace tessaly
