// The duplicate commands and the marking on the bytes of a UTF-8 file against the common path:
// decode, run the command on UTF-16, encode.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "CommonPath.h"
#include "base/Parallel.h"
#include "cli/Codec.h"
#include "cli/Operations.h"

namespace {

using CommonPath::Colour;
using CommonPath::Plain;

// Lines from a small pool so that most repeat: ASCII, Japanese, a character outside the BMP,
// bodies that differ only in a trailing space or in case, "\E", empty lines, all three breaks,
// often no final break, sometimes a mark; now and then a byte that breaks the UTF-8.
std::string RandomBytes(std::mt19937& Rng) {
  static const char* const Bodies[] = {"",
                                       "a",
                                       "A",
                                       "a ",
                                       "\\E",
                                       "x\\Ey",
                                       "\xE3\x81\x82",
                                       "\xE3\x81\x82\xE3\x81\x84",
                                       "\xEF\xBD\xB1",
                                       "\xF0\x9F\x98\x80",
                                       "a:1",
                                       "line of text",
                                       ("\xEF\xBB\xBF"
                                        "a")};
  static const char* const Breaks[] = {"\r\n", "\r", "\n", "\n"};
  static const char* const Broken[] = {"\x80", "\xED\xA0\x80", "\xC0\xAF", "\xE3\x81", "\xFF"};
  std::string Bytes = Rng() % 5 == 0 ? "\xEF\xBB\xBF" : "";
  const size_t Pool = 1 + Rng() % std::size(Bodies);
  for (size_t I = Rng() % 30; I > 0; --I) {
    Bytes += Bodies[Rng() % Pool];
    Bytes += Breaks[Rng() % std::size(Breaks)];
  }
  if (Rng() % 3 == 0) Bytes += Bodies[Rng() % Pool];
  if (Rng() % 8 == 0) Bytes.insert(Rng() % (Bytes.size() + 1), Broken[Rng() % std::size(Broken)]);
  return Bytes;
}

// Runs Operation (with Marks) on Input both ways under Encoding and compares.
void ExpectSameAsCommonPath(const std::string& Input, const Codec::TEncoding& Encoding,
                            const Operations::TOperation& Operation,
                            const Operations::TMarks* Marks,
                            const Operations::TChoices& Choices = {}) {
  const CommonPath::TOutcome Expected = CommonPath::Run(Operation, Marks, Input, Encoding, Choices);
  std::string Bytes = Input;
  const bool Ran = Operations::RunOnBytes(Operation, Encoding, Bytes, Marks, Choices);
  // Valid input always takes the path on bytes, invalid input never does (the common path
  // reports it).
  ASSERT_EQ(Ran, !Expected.Refused());
  ASSERT_EQ(Bytes, Ran ? Expected.Bytes : Input);
}

TEST(DuplicatesOnBytes, GiveTheCommonPathsBytesAndLeaveInvalidInputToIt) {
  std::mt19937 Rng(1207);
  for (const char* Name : {"", "UTF-8"}) {
    const Codec::TEncoding Encoding = Codec::Resolve(Name);
    for (int Round = 0; Round < 3000; ++Round) {
      const std::string Input = RandomBytes(Rng);
      for (const char* Operation : {"dedupe", "count", "highlight"}) {
        SCOPED_TRACE(testing::Message() << Name << " round " << Round << " " << Operation);
        ExpectSameAsCommonPath(Input, Encoding, *Operations::FindByName(Operation), nullptr);
      }
      for (const Tarnwick::TOccurrence Only : {Tarnwick::ocOnce, Tarnwick::ocRepeated}) {
        SCOPED_TRACE(testing::Message() << Name << " round " << Round << " only " << static_cast<int>(Only));
        ExpectSameAsCommonPath(Input, Encoding, *Operations::FindByName("dedupe"), nullptr,
                               {0, Only, {}});
      }
      SCOPED_TRACE(testing::Message() << Name << " round " << Round << " mark");
      const Operations::TOperation& Highlight = *Operations::FindByName("highlight");
      ExpectSameAsCommonPath(Input, Encoding, Highlight, &Plain);
      ExpectSameAsCommonPath(Input, Encoding, Highlight, &Colour);
    }
  }
}

TEST(DuplicatesOnBytes, EdgeTextsGiveTheCommonPathsBytes) {
  const Codec::TEncoding Encoding = Codec::Resolve("");
  for (const std::string Input :
       {"", "\xEF\xBB\xBF", "\n", "\r\n\r\n", "a", "a\ra\r\n", "a\r\na\r", "\xEF\xBB\xBF\n\n",
        "\xEF\xBB\xBF"
        "a\na",
        "b\na\nb\na\nb"}) {
    for (const char* Operation : {"dedupe", "count", "highlight"}) {
      SCOPED_TRACE(testing::Message() << '"' << Input << "\" " << Operation);
      ExpectSameAsCommonPath(Input, Encoding, *Operations::FindByName(Operation), nullptr);
    }
    ExpectSameAsCommonPath(Input, Encoding, *Operations::FindByName("highlight"), &Plain);
  }
}

// Megabytes of text, with lines of hundreds of kilobytes among short ones, so that the index
// grows many times while the lines are read.
TEST(DuplicatesOnBytes, LargeTextsGiveTheCommonPathsBytesOnAnyThreadCount) {
  std::mt19937 Rng(77);
  std::string Input;
  while (Input.size() < (size_t{3} << 20)) {
    const size_t Length = Rng() % 50 == 0 ? Rng() % 300000 : Rng() % 40;
    const std::string Body(Length, static_cast<char>('a' + Rng() % 3));
    Input += Rng() % 2 == 0 ? "\xE3\x81\x82" + Body : Body;
    Input += Rng() % 3 == 0 ? "\r\n" : Rng() % 2 == 0 ? "\r" : "\n";
  }
  const Codec::TEncoding Encoding = Codec::Resolve("");
  for (const unsigned Threads : {1u, 2u, 3u, 8u}) {
    Parallel::SetThreadCount(Threads);
    for (const char* Operation : {"dedupe", "count", "highlight"}) {
      SCOPED_TRACE(testing::Message() << Threads << " threads " << Operation);
      ExpectSameAsCommonPath(Input, Encoding, *Operations::FindByName(Operation), nullptr);
    }
    ExpectSameAsCommonPath(Input, Encoding, *Operations::FindByName("highlight"), &Plain);
  }
  Parallel::SetThreadCount(0);
}

TEST(DuplicatesOnBytes, OtherEncodingsTakeTheCommonPath) {
  for (const char* Operation : {"dedupe", "count", "highlight"}) {
    std::string Bytes = "a\na\n";
    EXPECT_FALSE(Operations::RunOnBytes(*Operations::FindByName(Operation),
                                        Codec::Resolve("UTF-16LE"), Bytes));
    std::string Utf16Marked(
        "\xFF\xFE"
        "a\0\n\0a\0\n\0",
        10);
    EXPECT_FALSE(Operations::RunOnBytes(*Operations::FindByName(Operation), Codec::Resolve(""),
                                        Utf16Marked));
    EXPECT_EQ(Bytes, "a\na\n");
  }
}

}  // namespace
