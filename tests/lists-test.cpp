#include "cli/lists.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "engine/encodings.h"

namespace tessaly::cli {
namespace {

struct RoffCase {
  std::string_view plain;
  std::string_view text;     // as prose
  std::string_view example;  // inside .EX
};

class RoffTest : public testing::TestWithParam<RoffCase> {};

TEST_P(RoffTest, EscapesWhatRoffWouldRead) {
  EXPECT_EQ(RoffText(GetParam().plain), GetParam().text);
  EXPECT_EQ(RoffExample(GetParam().plain), GetParam().example);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RoffTest,
    testing::Values(
        RoffCase{"plain words", "plain words", "plain words"},
        RoffCase{"-m hex-encode", "\\-m hex\\-encode", "\\-m hex\\-encode"},
        RoffCase{"it's", "it's", "it\\(aqs"}, RoffCase{"a\\n", "a\\en", "a\\en"},
        RoffCase{"你好", "你好", "\\[u4F60]\\[u597D]"}, RoffCase{"é𝄞", "é𝄞", "\\[u00E9]\\[u1D11E]"},
        // A line that starts with a dot or a quote is a request unless something comes first.
        RoffCase{".x\n'y", "\\&.x\n\\&'y", "\\&.x\n\\&\\(aqy"},
        RoffCase{"a.b\nc", "a.b\nc", "a.b\nc"}));

ConversionResult NoRun(const ModeInfo&, std::string_view, const ConversionContext&) {
  return {};
}

struct EntryCase {
  ModeInfo mode;
  std::string_view entry;
};

class ManualEntryTest : public testing::TestWithParam<EntryCase> {};

TEST_P(ManualEntryTest, BuildsTheEntryFromTheRow) {
  EXPECT_EQ(ManualEntry(GetParam().mode), GetParam().entry);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ManualEntryTest,
    testing::Values(
        // Without text of its own the description is the sentence, with --help's note for a
        // mode that reads a listing.
        EntryCase{{ConversionMode::HexEncode,
                   "two-words",
                   "text to UTF-8 bytes",
                   {},
                   "$ x\ny",
                   ModeReads::Text,
                   ModeWrites::Listing,
                   NoRun},
                  ".TP\n.B two\\-words\nText to UTF\\-8 bytes.\n.RS\n.EX\n$ x\ny\n.EE\n.RE\n"},
        EntryCase{{ConversionMode::HexDecode,
                   "back",
                   "bytes back",
                   {},
                   "$ x",
                   ModeReads::Listing,
                   ModeWrites::Text,
                   NoRun},
                  ".TP\n.B back\nBytes back (deletes all by default).\n.RS\n.EX\n$ x\n.EE\n.RE\n"},
        // Text of its own is roff already and goes in as it is; no example, no example block.
        EntryCase{{ConversionMode::FormatOnly,
                   "own",
                   "ignored",
                   "Own \\- text.\n.B bold",
                   {},
                   ModeReads::Listing,
                   ModeWrites::Listing,
                   NoRun},
                  ".TP\n.B own\nOwn \\- text.\n.B bold\n"}));

std::vector<std::vector<std::string>> Fields(const std::string& lists) {
  std::vector<std::vector<std::string>> lines;
  std::istringstream in(lists);
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> fields;
    std::istringstream line_in(line);
    for (std::string field; std::getline(line_in, field, '\t');) fields.push_back(field);
    lines.push_back(fields);
  }
  return lines;
}

TEST(ListsTest, ListsEveryModeAndWordOnceALine) {
  std::vector<std::string> modes, encodings, deletions, manual_tags;
  for (const auto& fields : Fields(Lists())) {
    ASSERT_GE(fields.size(), 2u);
    const std::string& kind = fields[0];
    if (kind == "mode") {
      ASSERT_EQ(fields.size(), 5u) << fields[1];
      const ModeInfo* mode = FindMode(fields[1]);
      ASSERT_NE(mode, nullptr) << fields[1];
      EXPECT_EQ(fields[4], mode->description);
      EXPECT_EQ(fields[2] == "listing", mode->reads == ModeReads::Listing) << fields[1];
      modes.push_back(fields[1]);
    } else if (kind == "encoding") {
      encodings.push_back(fields[1]);
    } else if (kind == "deletion") {
      deletions.push_back(fields[1]);
    } else if (kind == "manual") {
      if (fields[1].starts_with(".B ") && !manual_tags.empty() && manual_tags.back() == ".TP")
        manual_tags.back() = fields[1];
      else if (fields[1] == ".TP")
        manual_tags.push_back(".TP");
    } else {
      EXPECT_TRUE(kind == "separator" || kind == "newlines") << kind;
    }
  }
  std::vector<std::string> table_modes, table_tags, table_encodings;
  for (const ModeInfo& mode : ModeTable()) {
    table_modes.emplace_back(mode.cli_name);
    table_tags.push_back(".B " + RoffText(mode.cli_name));
  }
  for (const EncodingInfo& info : EncodingTable()) table_encodings.emplace_back(info.name);
  EXPECT_EQ(modes, table_modes);
  EXPECT_EQ(manual_tags, table_tags);
  EXPECT_EQ(encodings, table_encodings);
  EXPECT_EQ(deletions, (std::vector<std::string>{"all", "none", "spaces", "dots", "commas", "tabs",
                                                 "newlines"}));
}

}  // namespace
}  // namespace tessaly::cli
