// The public API as a program sees it: this file includes nothing of the engine's own.
#include <tessaly/tessaly.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using tessaly::Converter;
using tessaly::FaultKind;
using tessaly::Input;
using tessaly::LossKind;
using tessaly::LossRecord;
using tessaly::LossWording;
using tessaly::Options;
using tessaly::Result;

// Text of every kind the modes read: ASCII, hex digits and separators, Chinese that the
// simplified/traditional dictionaries hold, characters some encodings lack, line breaks, a zero
// byte. Bytes input takes the UTF-8 of it with a stray high byte or two.
std::string RandomText(std::mt19937& random, bool bytes) {
  static const std::vector<std::string> pieces = {
      "a",    "Z",    "0",  "9",    "F",
      "c4",   " ",    ",",  ".",    "\t",
      "\n",   "\r\n", "0x", "头发", "发展",
      "汉字", "鼠标", "後", "體",   "€",
      "ก",    "😀",    "한", "か",   std::string(1, '\0')};
  std::string text;
  for (int n = static_cast<int>(random() % 60); n > 0; --n)
    text += pieces[random() % pieces.size()];
  if (bytes && !text.empty() && random() % 4 == 0)
    text[random() % text.size()] = static_cast<char>(0x80 | random());
  return text;
}

// Random text in lines, each with a phrase, up to `bytes`: many batches of a stream.
std::string RandomLines(std::mt19937& random, std::size_t bytes) {
  std::string text;
  while (text.size() < bytes) text += RandomText(random, false) + "头发发展\n";
  return text;
}

// The whole input fed in random blocks, as a reader would hand them in, each block's output
// returned or appended to what the blocks before gave.
Result Streamed(const Converter& converter, Input kind, std::string_view input,
                std::mt19937& random) {
  tessaly::Stream stream = converter.Open(kind);
  std::string out;
  for (std::size_t at = 0; at < input.size();) {
    const std::size_t size = std::min<std::size_t>(1 + random() % 9, input.size() - at);
    if (random() % 2 == 0) {
      out += stream.Feed(input.substr(at, size));
    } else {
      stream.Feed(input.substr(at, size), out);
    }
    at += size;
  }
  Result result = stream.Finish();
  result.bytes.insert(0, out);
  return result;
}

void ExpectSameLosses(const tessaly::LossReport& a, const tessaly::LossReport& b,
                      const std::string& where) {
  for (const LossKind kind : {LossKind::Unmappable, LossKind::EmptyHexPiece, LossKind::CutAtZero,
                              LossKind::InvalidOutput, LossKind::OddDigit}) {
    ASSERT_EQ(a[kind].count, b[kind].count) << where;
    if (a[kind].count != 0) {
      ASSERT_EQ(a[kind].first_offset, b[kind].first_offset) << where;
    }
  }
}

void ExpectSameResult(const Result& whole, const Result& streamed, const std::string& where) {
  ASSERT_EQ(streamed.bytes, whole.bytes) << where;
  ASSERT_EQ(streamed.encoding, whole.encoding) << where;
  ExpectSameLosses(streamed.losses, whole.losses, where);
  ExpectSameLosses(streamed.input_losses, whole.input_losses, where);
  ASSERT_EQ(streamed.fault.has_value(), whole.fault.has_value()) << where;
  if (whole.fault) {
    ASSERT_EQ(streamed.fault->kind, whole.fault->kind) << where;
    ASSERT_EQ(streamed.fault->offset, whole.fault->offset) << where;
  }
}

// For every mode, encoding and kind of input: a stream cut anywhere gives the whole conversion's
// bytes, losses and fault.
TEST(Converter, StreamEqualsWholeForEveryModeAndEncoding) {
  std::mt19937 random(2024);
  for (const tessaly::ModeDescription& mode : tessaly::Modes()) {
    for (const tessaly::EncodingDescription& encoding : tessaly::Encodings()) {
      Options options;
      options.mode = mode.name;
      options.encoding = encoding.name;
      options.seed = 7;
      const Converter converter(options);
      for (const Input kind : {Input::Bytes, Input::Text}) {
        if (kind == Input::Text && !mode.text_encoding.empty() && encoding.name != "gbk") {
          EXPECT_THROW(converter.Open(kind), tessaly::InvalidOption) << mode.name;
          continue;
        }
        for (int round = 0; round < 25; ++round) {
          const std::string input = RandomText(random, kind == Input::Bytes);
          const Result whole =
              kind == Input::Bytes ? converter.Convert(input) : converter.ConvertText(input);
          const std::string where = std::string(mode.name) + " " + std::string(encoding.name) +
                                    (kind == Input::Bytes ? " bytes" : " text") + " round " +
                                    std::to_string(round);
          ExpectSameResult(whole, Streamed(converter, kind, input, random), where);
        }
      }
    }
  }
}

// Deletions and separators around a simplified/traditional standard run on the same route as
// the mode alone: a character-by-character stream agrees with the whole text.
TEST(Converter, ChineseModesWithDeletionsAndSeparatorsStream) {
  std::mt19937 random(7);
  for (const char* separator : {"none", "space", "0x"}) {
    Options options;
    options.mode = "s2twp";
    options.separator = separator;
    options.deletions = "spaces,newlines";
    const Converter converter(options);
    for (int round = 0; round < 40; ++round) {
      const std::string input = RandomText(random, true);
      ExpectSameResult(converter.Convert(input), Streamed(converter, Input::Bytes, input, random),
                       std::string(separator) + " round " + std::to_string(round));
    }
  }
}

// A batch gives each item what converting it alone gives: its output between its ends, and a
// note with its losses and fault exactly for the items that have any, indexed on from the items
// already in the result. Short and long items, empty and malformed ones, every kind of input.
TEST(Converter, BatchEqualsOneByOne) {
  struct Case {
    const char* mode;
    const char* encoding;
    Input kind;
  };
  const Case cases[] = {
      {"s2t", "utf-8", Input::Text},      {"s2t", "gbk", Input::Text},  // "?" for what GBK lacks
      {"s2twp", "big5", Input::Text},     {"t2s", "utf-8", Input::Bytes},
      {"s2t", "gbk", Input::Bytes},       {"s2twp", "big5", Input::Bytes},
      {"hex-encode", "gbk", Input::Text}, {"hex-decode", "gbk", Input::Bytes},
  };
  std::mt19937 random(22);
  for (const Case& c : cases) {
    Options options;
    options.mode = c.mode;
    options.encoding = c.encoding;
    const Converter converter(options);
    std::vector<std::string> items = {"", "头发\xFF", std::string(70000, 'a') + "发展😀"};
    for (int n = 0; n < 200; ++n) items.push_back(RandomText(random, c.kind == Input::Bytes));
    tessaly::BatchResult batch;
    batch.bytes = "before";
    batch.ends = {6};
    const std::vector<std::string_view> views(items.begin(), items.end());
    converter.ConvertBatch(views, c.kind, batch);
    const std::string where = std::string(c.mode) + " " + c.encoding;
    ASSERT_EQ(batch.ends.size(), items.size() + 1) << where;
    std::size_t note = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
      const Result alone =
          c.kind == Input::Bytes ? converter.Convert(items[i]) : converter.ConvertText(items[i]);
      const std::size_t from = batch.ends[i];
      Result got;
      got.bytes = batch.bytes.substr(from, batch.ends[i + 1] - from);
      got.encoding = alone.encoding;
      const bool noted = !alone.ok() || !alone.losses.empty() || !alone.input_losses.empty();
      if (note < batch.notes.size() && batch.notes[note].first == i + 1) {
        const Result& n = batch.notes[note++].second;
        got.losses = n.losses;
        got.input_losses = n.input_losses;
        got.fault = n.fault;
        EXPECT_TRUE(n.bytes.empty()) << where;
        EXPECT_TRUE(noted) << where << " item " << i;
      } else {
        EXPECT_FALSE(noted) << where << " item " << i;
      }
      ExpectSameResult(alone, got, where + " item " + std::to_string(i));
    }
    EXPECT_EQ(note, batch.notes.size()) << where;
    EXPECT_EQ(batch.bytes.substr(0, 6), "before") << where;
  }
}

// Any number of threads, and any number of callers sharing one converter, give the same result.
TEST(Converter, ThreadsChangeNothing) {
  std::mt19937 random(3);
  const std::string text = RandomLines(random, 3u << 20);
  Options options;
  options.mode = "s2t";
  options.threads = 1;
  const Result one = Converter(options).ConvertText(text);
  ASSERT_TRUE(one.ok());
  options.threads = 4;
  const Converter shared(options);
  std::vector<std::thread> callers;
  std::vector<Result> results(3);
  for (Result& result : results)
    callers.emplace_back([&shared, &text, &result] { result = shared.ConvertText(text); });
  for (std::thread& caller : callers) caller.join();
  for (const Result& result : results) ExpectSameResult(one, result, "shared");
}

// A text of several batches converts the same on any number of threads, and malformed text in
// any batch stops it there: the output is then the text before it converted, with nothing of a
// later batch (which may already be converting) after it.
TEST(Converter, MalformedTextStopsAStreamOfManyBatches) {
  std::mt19937 random(5);
  const std::string text = RandomLines(random, 5u << 20);
  Options options;
  options.mode = "s2t";
  options.threads = 1;
  const Result clean = Converter(options).ConvertText(text);
  ASSERT_TRUE(clean.ok());
  for (const std::size_t bad : {std::size_t{100}, (std::size_t{3} << 20) + 77, text.size() - 10}) {
    std::string broken = text;
    broken[bad] = '\xFF';
    std::string first;  // the text before the bad byte converted
    for (const unsigned threads : {1u, 2u, 4u}) {
      options.threads = threads;
      const Converter converter(options);
      SCOPED_TRACE("threads " + std::to_string(threads) + ", bad byte at " + std::to_string(bad));
      EXPECT_EQ(converter.ConvertText(text).bytes, clean.bytes);
      tessaly::Stream stream = converter.Open(Input::Text);
      std::string out;
      for (std::size_t at = 0; at < broken.size(); at += 1 << 17)
        out += stream.Feed(std::string_view(broken).substr(at, 1 << 17));
      const Result result = stream.Finish();
      out += result.bytes;
      ASSERT_TRUE(result.fault.has_value());
      EXPECT_EQ(result.fault->kind, FaultKind::MalformedInput);
      EXPECT_EQ(result.fault->offset, bad);
      if (threads == 1) first = converter.ConvertText(text.substr(0, bad)).bytes;
      EXPECT_EQ(out, first);
      EXPECT_EQ(converter.ConvertText(broken).bytes, first);
    }
  }
}

// On one thread a stream converts each block where it is, between its first and last places to
// cut, and the pieces of several threads are cut apart in another way: both give the same text,
// with description sequences and phrases across every block's edge.
TEST(Converter, BlocksConvertAsTheWholeOnAnyThreads) {
  std::mt19937 random(11);
  const std::vector<std::string> extra = {"⿰发育发", "⿱\uF900发", "⿰⿱发展头发", "⿰ 发",
                                          "⿰\n发",   "⿰,,",       "干燥",         "\n"};
  std::string text;
  while (text.size() < (3u << 20)) {
    text += RandomText(random, false);
    text += extra[random() % extra.size()];
  }
  Options options;
  options.mode = "s2t";
  options.encoding = "utf-8";  // which holds the description characters
  options.threads = 4;
  const std::string expected = Converter(options).ConvertText(text).bytes;
  options.threads = 1;
  const Converter converter(options);
  for (const std::size_t block :
       {std::size_t{1} << 20, std::size_t{1} << 17, std::size_t{100003}, std::size_t{4097}}) {
    tessaly::Stream stream = converter.Open(Input::Text);
    std::string out;
    for (std::size_t at = 0; at < text.size(); at += block)
      out += stream.Feed(std::string_view(text).substr(at, block));
    const Result result = stream.Finish();
    ASSERT_TRUE(result.ok()) << block;
    EXPECT_TRUE(out + result.bytes == expected) << "blocks of " << block;
  }
}

// Before malformed text, the output is the text before it converted, a short text's as a
// streamed one's: no phrase reaches over a byte no key holds.
TEST(Converter, MalformedTextStopsAfterTheTextBeforeIt) {
  struct Case {
    std::string text, expected;
  };
  const Case cases[] = {
      {"头发\n发展\xFF", "頭髮\n發展"},     {"\xFF头发", ""}, {"发\xFF", "發"},
      {"头发\n\n\xC3", "頭髮\n\n"},          // a sequence cut short
      {"ab c发展\xE5\xA4\n头", "ab c發展"},  // a character cut short in the middle
  };
  Options options;
  options.mode = "s2t";
  const Converter converter(options);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const Result whole = converter.ConvertText(c.text);
    ASSERT_TRUE(whole.fault.has_value());
    EXPECT_EQ(whole.fault->kind, FaultKind::MalformedInput);
    EXPECT_EQ(whole.bytes, c.expected);
    tessaly::Stream stream = converter.Open(Input::Text);
    std::string out;
    for (const char byte : c.text) out += stream.Feed(std::string_view(&byte, 1));
    const Result streamed = stream.Finish();
    EXPECT_EQ(out + streamed.bytes, c.expected);
  }
}

// A stream keeps what it needs of its converter.
TEST(Converter, StreamOutlivesItsConverter) {
  std::optional<tessaly::Stream> stream;
  {
    Options options;
    options.mode = "s2t";
    stream.emplace(Converter(options).Open(Input::Text));
  }
  std::string out = stream->Feed("头发");
  out += stream->Finish().bytes;
  EXPECT_EQ(out, "頭髮");
}

struct OptionCase {
  Options options;
  std::string names;  // a valid word the message lists
};

// Options that name nothing known fail at once, naming the valid words.
TEST(Converter, BadOptionsNameTheValidWords) {
  const auto with = [](auto set) {
    Options options;
    set(options);
    return options;
  };
  const OptionCase cases[] = {
      {with([](Options& o) { o.mode = "s2x"; }), "s2twp"},
      {with([](Options& o) { o.encoding = "latin1"; }), "shift_jis"},
      {with([](Options& o) { o.separator = "semicolon"; }), "comma"},
      {with([](Options& o) { o.deletions = "spaces,all"; }), "all"},
      {with([](Options& o) { o.newlines = "cr"; }), "crlf"},
      {with([](Options& o) { o.phrases = "/dev/null"; }), "simplified/traditional"},
      {with([](Options& o) {
         o.mode = "s2t";
         o.data = "/nonexistent";
       }),
       "s2t.json"},
  };
  for (const OptionCase& c : cases) {
    try {
      Converter converter(c.options);
      ADD_FAILURE() << "accepted: " << c.names;
    } catch (const tessaly::InvalidOption& e) {
      EXPECT_NE(std::string(e.what()).find(c.names), std::string::npos) << e.what();
    }
  }
}

class ScratchDirectory {
 public:
  explicit ScratchDirectory(const std::string& name)
      : path_(std::filesystem::temp_directory_path() /
              ("tessaly-api-" + name + "-" + std::to_string(getpid()))) {
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchDirectory() { std::filesystem::remove_all(path_); }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Dictionary data the caller chose that cannot be loaded is a wrong option, named with the file
// and what is wrong with it.
TEST(Converter, UnreadableDataIsAWrongOption) {
  const ScratchDirectory data("broken-data");
  std::ofstream(data.path() / "s2t.json") << R"({"segmentation": {"type": "mmseg",
      "dict": {"type": "text", "file": "missing.txt"}}, "conversion_chain": []})";
  std::ofstream(data.path() / "t2s.json") << R"({"conversion_chain": [,]})";
  for (const auto& [mode, why] :
       {std::pair{"s2t", "no dictionary file " + (data.path() / "missing.txt").string()},
        std::pair{"t2s", std::string("not JSON at byte 22: Invalid value.")}}) {
    Options options;
    options.mode = mode;
    options.data = data.path().string();
    try {
      const Converter converter(options);
      ADD_FAILURE() << mode << ": no error";
    } catch (const tessaly::InvalidOption& e) {
      const std::string message = e.what();
      EXPECT_NE(message.find((data.path() / (std::string(mode) + ".json")).string()),
                std::string::npos)
          << message;
      EXPECT_NE(message.find(why), std::string::npos) << message;
    }
  }
}

// Malformed text stops the conversion where it is, whichever route the text takes: a fault, as a
// value.
TEST(Converter, FaultsAreValues) {
  for (const char* mode : {"s2t", "hex-encode"}) {
    Options text_options;
    text_options.mode = mode;
    const Result result = Converter(text_options).ConvertText("ab\xFF");
    ASSERT_TRUE(result.fault.has_value()) << mode;
    EXPECT_EQ(result.fault->kind, FaultKind::MalformedInput) << mode;
    EXPECT_EQ(result.fault->offset, 2u) << mode;
  }
}

// The lines a front end shows for losses, from what a real conversion recorded: the lost
// character with its code point (or bytes), the caller's item and advice where given.
TEST(Converter, LossesAreDescribedInOneWording) {
  Options gbk;
  gbk.mode = "hex-encode";
  const Result thai = Converter(gbk).ConvertText("aก\n");
  Options listing;
  listing.mode = "hex-decode";
  listing.deletions = "none";
  const Result odd = Converter(listing).ConvertText("41,,4");
  Options utf8;
  utf8.mode = "utf8-decode";
  const Result zero = Converter(utf8).ConvertText("410042");
  struct Row {
    const Result& result;
    LossKind kind;
    LossWording wording;
    std::string line;
  };
  const Row rows[] = {
      {thai,
       LossKind::Unmappable,
       {"GBK", true, {}, {}},
       "1 character(s) have no GBK form and became '?' (first at byte 1: 'ก' U+0E01)"},
      {thai,
       LossKind::Unmappable,
       {"GBK", false, " of item 7", {}},
       "1 character(s) have no GBK form and became '?' (first at byte 1 of item 7: E0B881)"},
      {odd,
       LossKind::EmptyHexPiece,
       {"GBK", false, {}, {}},
       "1 hex piece(s) held no value and repeated the byte before (first at byte 2: ',,')"},
      {odd,
       LossKind::OddDigit,
       {"GBK", false, " of item 2", {}},
       "the listing of item 2 has an odd number of digits; the last piece '4' was read as 04"},
      {zero,
       LossKind::CutAtZero,
       {"GBK", false, {}, {}},
       "the decoded data ends at its first zero, at byte 2 of the input; what follows was "
       "dropped"},
      {zero, LossKind::Unmappable, {"GBK", true, {}, {}}, ""},
  };
  for (const Row& row : rows)
    EXPECT_EQ(Describe(row.kind, row.result.losses[row.kind], row.wording), row.line)
        << NameOf(row.kind);
  LossRecord bytes;
  bytes.count = 2;
  bytes.first_offset = 5;
  bytes.first_piece = "\x81\xFF";
  EXPECT_EQ(Describe(LossKind::InvalidOutput, bytes, {"GBK", false, {}, "use --raw"}),
            "2 byte sequence(s) of the result are not valid GBK and became U+FFFD (first at byte "
            "5 of the result: 81FF); use --raw");
  EXPECT_EQ(NameOf(LossKind::OddDigit), "odd-digit");
  EXPECT_EQ(NameOf(FaultKind::TablesUnavailable), "tables-unavailable");
}

// Nothing is written unless the caller names a cache directory; then the compiled tables go
// there.
TEST(Converter, WritesOnlyIntoTheCacheDirectoryItIsGiven) {
  const ScratchDirectory home("home");
  const ScratchDirectory data("data");
  setenv("XDG_CACHE_HOME", home.path().c_str(), 1);
  std::ofstream(data.path() / "words.txt") << "甲\t乙\n";
  for (const char* config : {"s2t.json", "t2s.json"})
    std::ofstream(data.path() / config) << R"({"segmentation": {"type": "mmseg",
        "dict": {"type": "text", "file": "words.txt"}},
      "conversion_chain": [{"dict": {"type": "text", "file": "words.txt"}}]})";
  Options options;
  options.mode = "s2t";
  options.data = data.path().string();
  EXPECT_EQ(Converter(options).ConvertText("甲").bytes, "乙");
  EXPECT_TRUE(std::filesystem::is_empty(home.path()));
  const ScratchDirectory cache("cache");
  options.mode = "t2s";
  options.cache_directory = cache.path().string();
  EXPECT_EQ(Converter(options).ConvertText("甲").bytes, "乙");
  EXPECT_FALSE(std::filesystem::is_empty(cache.path()));
  EXPECT_TRUE(std::filesystem::is_empty(home.path()));
}

// The user's phrases given as text convert as the same phrases in a file; both at once is an
// error.
TEST(Converter, PhraseTextActsAsAPhraseFile) {
  const ScratchDirectory dir("phrases");
  const std::string phrases = "头发\t秀髮\n";
  std::ofstream(dir.path() / "mine.txt") << phrases;
  Options options;
  options.mode = "s2t";
  options.phrase_text = phrases;
  EXPECT_EQ(Converter(options).ConvertText("头发和头发").bytes, "秀髮和秀髮");
  options.phrases = (dir.path() / "mine.txt").string();
  EXPECT_THROW(Converter{options}, tessaly::InvalidOption);
  options.phrase_text.clear();
  EXPECT_EQ(Converter(options).ConvertText("头发").bytes, "秀髮");
  options.phrases.clear();
  options.phrase_text = "no tab here\n";
  EXPECT_THROW(Converter{options}, tessaly::UserPhrasesError);
}

// The listings a program shows its users.
TEST(Converter, ListsModesAndEncodings) {
  EXPECT_EQ(tessaly::Modes().front().name, "hex-encode");
  EXPECT_EQ(tessaly::Encodings().front().name, "gbk");
  bool big5_text = false;
  for (const tessaly::ModeDescription& mode : tessaly::Modes())
    if (mode.name == "big5-to-gbk") big5_text = mode.text_encoding == "BIG5";
  EXPECT_TRUE(big5_text);
  EXPECT_FALSE(tessaly::Version().empty());
}

}  // namespace
