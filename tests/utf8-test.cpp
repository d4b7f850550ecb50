#include "engine/detail/utf8.h"

#include <gtest/gtest.h>
#include <unicode/utf8.h>

#include <cstdint>
#include <random>
#include <string>
#include <string_view>

namespace tessaly::detail {
namespace {

// U8_NEXT's reading of a whole text: the offset of its first malformed character, npos if none,
// and of the first for which `keep` is false.
template <typename Keep>
std::size_t ReferenceStop(std::string_view text, Keep keep) {
  const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
  for (std::int32_t i = 0; i < static_cast<std::int32_t>(text.size());) {
    const std::int32_t start = i;
    UChar32 c = 0;
    U8_NEXT(data, i, static_cast<std::int32_t>(text.size()), c);
    if (c < 0 || (c >= 0x80 && !keep(static_cast<char32_t>(c))))
      return static_cast<std::size_t>(start);
  }
  return std::string_view::npos;
}

const auto kKeepAll = [](char32_t) { return true; };
// A CJK character, one beyond the BMP and one of two bytes stop the walk.
const auto kKeepSome = [](char32_t c) { return c != 0x4E2D && c != 0x1F600 && c != 0xE9; };

// Checks one sequence of bytes against U8_NEXT: OpenCcCharAt reads every well-formed character
// as U8_NEXT does, and a surrogate besides, and FindUtf8Stop stops where U8_NEXT's walk does.
void CheckAgainstIcu(std::string_view text) {
  const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
  std::int32_t next = 0;
  UChar32 icu = 0;
  U8_NEXT(data, next, static_cast<std::int32_t>(text.size()), icu);
  char32_t cp = 0;
  const std::size_t length = OpenCcCharAt(data, 0, text.size(), cp);
  if (icu >= 0) {
    ASSERT_EQ(length, static_cast<std::size_t>(next)) << testing::PrintToString(text);
    ASSERT_EQ(cp, static_cast<char32_t>(icu)) << testing::PrintToString(text);
  } else if (length != 0) {
    ASSERT_TRUE(cp >= 0xD800 && cp < 0xE000 && length == 3) << testing::PrintToString(text);
  }
  ASSERT_EQ(FindUtf8Stop(text, 0, kKeepAll), ReferenceStop(text, kKeepAll))
      << testing::PrintToString(text);
  ASSERT_EQ(FindUtf8Stop(text, 0, kKeepSome), ReferenceStop(text, kKeepSome))
      << testing::PrintToString(text);
}

TEST(Utf8, EverySequenceUpToThreeBytesReadsAsIcuReadsIt) {
  std::string text;
  for (int a = 0; a < 256; ++a) {
    CheckAgainstIcu(std::string(1, static_cast<char>(a)));
    for (int b = 0; b < 256; ++b) {
      CheckAgainstIcu(std::string{static_cast<char>(a), static_cast<char>(b)});
      text = {static_cast<char>(a), static_cast<char>(b), '\0'};
      for (int c = 0; c < 256; ++c) {
        text[2] = static_cast<char>(c);
        CheckAgainstIcu(text);
        if (HasFatalFailure()) return;
      }
    }
  }
}

// Longer texts, with bytes drawn mostly from those where readings part: leads, the edges of the
// continuation range, and ASCII, eight of which in a row take FindUtf8Stop's fast path.
TEST(Utf8, RandomTextsReadAsIcuReadsThem) {
  constexpr std::uint8_t kEdges[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF,
                                     0xC0, 0xC1, 0xC2, 0xDF, 0xE0, 0xE4, 0xED, 0xEF, 0xF0,
                                     0xF3, 0xF4, 0xF5, 0xF8, 0xFC, 0xFE, 0xFF, 0xB8, 0xAD};
  std::mt19937 random(20240229);
  std::string text;
  for (int round = 0; round < 300000; ++round) {
    text.clear();
    const std::size_t size = 4 + random() % 13;
    for (std::size_t i = 0; i < size; ++i) {
      const auto pick = random() % 4;
      text.push_back(
          static_cast<char>(pick == 0 ? random() % 256 : kEdges[random() % std::size(kEdges)]));
    }
    CheckAgainstIcu(text);
    if (HasFatalFailure()) return;
  }
}

TEST(Utf8, AppendWritesWhatIcuWritesAndSurrogatesRoundTrip) {
  for (char32_t c = 0; c <= 0x10FFFF; ++c) {
    std::string ours;
    AppendUtf8(ours, c);
    ASSERT_EQ(ours.size(), Utf8Length(c));
    char32_t back = 0;
    ASSERT_EQ(
        OpenCcCharAt(reinterpret_cast<const unsigned char*>(ours.data()), 0, ours.size(), back),
        ours.size());
    ASSERT_EQ(back, c);
    if (c >= 0xD800 && c < 0xE000) continue;
    char icu[U8_MAX_LENGTH];
    std::int32_t length = 0;
    U8_APPEND_UNSAFE(icu, length, static_cast<UChar32>(c));
    ASSERT_EQ(ours, std::string(icu, static_cast<std::size_t>(length)));
  }
}

// OpenCC steps over a malformed character by the length its first byte says, up to six.
TEST(Utf8, LeadLengthIsOpenCcs) {
  struct Row {
    std::uint8_t byte;
    std::uint8_t length;
  };
  for (const Row row :
       {Row{0x00, 1}, Row{0x7F, 1}, Row{0x80, 0}, Row{0xBF, 0}, Row{0xC0, 2}, Row{0xDF, 2},
        Row{0xE0, 3}, Row{0xEF, 3}, Row{0xF0, 4}, Row{0xF7, 4}, Row{0xF8, 5}, Row{0xFB, 5},
        Row{0xFC, 6}, Row{0xFD, 6}, Row{0xFE, 0}, Row{0xFF, 0}})
    EXPECT_EQ(kOpenCcLeadLength[row.byte], row.length) << int{row.byte};
}

TEST(Utf8, AsciiEndFindsTheFirstByteBeyondAscii) {
  struct Row {
    std::string_view text;
    std::size_t from;
    std::size_t end;
  };
  for (const Row row : {Row{"", 0, 0}, Row{"abc", 0, 3}, Row{"abcdefghij\x80", 0, 10},
                        Row{"abcdefghijklmnopq\xE4", 3, 17}, Row{"\xE4\xB8\xAD", 0, 0},
                        Row{"ab\xE4\xB8\xAD"
                            "cd",
                            5, 7}})
    EXPECT_EQ(AsciiEnd(row.text, row.from), row.end) << row.text;
}

}  // namespace
}  // namespace tessaly::detail
