// The sort operations on the bytes of a UTF-8 file against the common path: decode the whole
// text, sort it, encode the whole result.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "CommonPath.h"
#include "base/Parallel.h"
#include "cli/Codec.h"
#include "cli/CodecUnicode.h"
#include "cli/Operations.h"
#include "cli/TextPieces.h"
#include "support/PinnedCollation.h"
#include "strings/Utf8.h"
#ifndef _WIN32
#include "platform/linux/Nls.h"
#endif

namespace {

class SortOnBytes : public testing::Test {
 protected:
  TPinnedCollation Collation{"ja"};

  // Every sort operation on Input takes the path on the bytes exactly when the common path
  // accepts the input, and gives its bytes; refused input is left as it was.
  static void ExpectSameAsCommonPath(const std::string& Input, const char* Encoding = "") {
    for (int Id = 1; Id <= 8; ++Id) {
      const Operations::TOperation& Operation = *Operations::FindById(Id);
      const CommonPath::TOutcome Expected =
          CommonPath::Run(Operation, nullptr, Input, Codec::Resolve(Encoding));
      std::string Bytes = Input;
      const bool Ran = Operations::SortOnBytes(Operation, Codec::Resolve(Encoding), Bytes);
      ASSERT_EQ(Ran, !Expected.Refused()) << Operation.Name;
      // Not ASSERT_EQ on the texts: a mismatch of a large one would print all of it.
      ASSERT_TRUE(Bytes == (Ran ? Expected.Bytes : Input)) << Operation.Name;
    }
  }
};

// Mostly well-formed UTF-8 with mixed breaks, numbers, sometimes a mark and no final break;
// now and then (when MayBreak) a sequence that breaks it.
std::string RandomBytes(std::mt19937& Rng, size_t Pieces, bool MayBreak = true) {
  static const char* const Parts[] = {
      "a",  "Z",     " ",  "\r",           "\n",           "\r\n",         "\n",
      "\n", "-12",   "7",  "1,024",        "\xC3\xA9",     "\xE3\x81\x82", "\xF0\xA0\xAE\xB7",
      "ab", "line ", "\t", "\xEF\xBD\xB1", "\xEF\xBC\x99", "\xEF\xBB\xBF"};
  static const char* const Broken[] = {"\x80", "\xED\xA0\x80", "\xC0\xAF", "\xE3\x81", "\xFF"};
  std::string Bytes = Rng() % 5 == 0 ? "\xEF\xBB\xBF" : "";
  const size_t Count = Rng() % Pieces;
  for (size_t I = 0; I < Count; ++I) Bytes += Parts[Rng() % std::size(Parts)];
  if (MayBreak && Rng() % 8 == 0)
    Bytes.insert(Rng() % (Bytes.size() + 1), Broken[Rng() % std::size(Broken)]);
  return Bytes;
}

}  // namespace

TEST_F(SortOnBytes, GivesTheCommonPathsBytesAndLeavesInvalidInputToIt) {
  std::mt19937 Rng(2026);
  for (const char* Encoding : {"", "UTF-8"}) {
    for (int Round = 0; Round < 600; ++Round) {
      SCOPED_TRACE(Round);
      ExpectSameAsCommonPath(RandomBytes(Rng, 60), Encoding);
    }
  }
}

TEST_F(SortOnBytes, TextsOfManyPiecesAreCutWhereTheirLinesEnd) {
  // Lines across the converter's pieces: a CR LF whose LF starts a piece, a lone CR and a LF
  // at a piece's last byte, a line longer than a piece, and long random texts.
  for (size_t Before : {65534u, 65535u, 65536u}) {
    for (const char* Break : {"\r\n", "\r", "\n"}) {
      const std::string Text =
          std::string(Before, 'x') + Break + "b\r\na\n" + std::string(200000, 'y') + "\r\nc";
      SCOPED_TRACE(Before);
      ExpectSameAsCommonPath(Text);
    }
  }
  // Pieces converted on one thread and on three at once.
  std::mt19937 Rng(7);
  std::string Large;
  while (Large.size() < 400000) Large += RandomBytes(Rng, 40, false);
  for (unsigned Threads : {1u, 3u}) {
    Parallel::SetThreadCount(Threads);
    ExpectSameAsCommonPath(Large);
    ExpectSameAsCommonPath("\xEF\xBB\xBF" + Large + "\xE3\x81\x82\xF0\xA0\xAE\xB7");
    // Broken in its last piece: refused, after all the others were cut into lines.
    ExpectSameAsCommonPath(Large + "\xE3\x81\n");
  }
  Parallel::SetThreadCount(0);
}

// The check a piece per thread against the check of the whole: a broken sequence in any piece,
// first, middle or last, at a piece's last bytes, or cut in two by a break.
TEST(TextPiecesUtf8, IsValidExactlyWhenTheWholeTextIs) {
  std::mt19937 Rng(12);
  std::string Large;
  while (Large.size() < 5 * TextPieces::PieceSize) Large += RandomBytes(Rng, 40, false);
  static const char* const Broken[] = {"\x80",     "\xED\xA0\x80", "\xC0\xAF",
                                       "\xE3\x81", "\xFF",         "\xE3\x81\n\x82"};
  for (unsigned Threads : {1u, 3u}) {
    Parallel::SetThreadCount(Threads);
    EXPECT_TRUE(TextPieces::IsUtf8(Large));
    EXPECT_TRUE(TextPieces::IsUtf8(""));
    for (int Round = 0; Round < 60; ++Round) {
      std::string Text = Large;
      const size_t At =
          Round < 12 ? TextPieces::PieceSize * (Round % 6) - Round / 6 : Rng() % (Text.size() + 1);
      Text.insert(std::min(At, Text.size()), Broken[Rng() % std::size(Broken)]);
      SCOPED_TRACE(At);
      ASSERT_EQ(TextPieces::IsUtf8(Text), Utf8::FirstInvalid(Text) == std::string_view::npos);
    }
  }
  Parallel::SetThreadCount(0);
}

TEST_F(SortOnBytes, ManyShortLinesGiveTheCommonPathsBytesOnAnyThreads) {
  // Lines of a few bytes, as many as make runs of lines begin anywhere among those whose
  // starts are kept: numbers that repeat (their ties read lines by number, from several
  // threads at once), lines without one, mixed breaks and no final break.
  std::mt19937 Rng(5);
  std::string Text;
  for (int I = 0; I < 40000; ++I) {
    if (Rng() % 50 != 0) Text += std::to_string(Rng() % 3000);
    if (Rng() % 7 == 0) Text += Rng() % 2 == 0 ? "a" : "\xC3\xA9";
    Text += Rng() % 9 == 0 ? "\r\n" : "\n";
  }
  Text += "17";
  for (unsigned Threads : {1u, 2u, 8u}) {
    Parallel::SetThreadCount(Threads);
    SCOPED_TRACE(Threads);
    ExpectSameAsCommonPath(Text);
  }
  Parallel::SetThreadCount(0);
}

TEST_F(SortOnBytes, OnlyTheSortsOfUtf8TakeIt) {
  const std::string Input = "b\na\n";
  std::string Bytes = Input;
  for (const char* Name : {"reverse", "dedupe", "count", "highlight"}) {
    EXPECT_FALSE(Operations::SortOnBytes(*Operations::FindByName(Name), Codec::Resolve(""), Bytes));
  }
  EXPECT_FALSE(
      Operations::SortOnBytes(*Operations::FindByName("sort"), Codec::Resolve("UTF-16LE"), Bytes));
  EXPECT_EQ(Bytes, Input);
  std::string Utf16Marked(
      "\xFF\xFE"
      "a\0\n\0",
      6);
  EXPECT_FALSE(
      Operations::SortOnBytes(*Operations::FindByName("sort"), Codec::Resolve(""), Utf16Marked));
}

TEST_F(SortOnBytes, TextsThatExhaustTheQuicksortGiveTheCommonPathsBytes) {
  // Organ pipes drive the quicksort past its work budget, so the sort on the bytes starts
  // over from the lines' UTF-8 (the keys' heads remade, then a merge sort whose ties are
  // checked on the bytes). In the second text each falling line repeats a rising one with its
  // accent as a combining mark: they compare equal but differ, so the quicksort must run to
  // its end. The third has a number on every line, equal on many: keys made as ties need them.
  auto Pipe = [](const std::string& Before, const std::string& Rising, const std::string& Falling,
                 int Count) {
    std::string Text;
    for (int I = 0; I < Count; ++I) Text += Before + std::to_string(1000 + I) + Rising + "\n";
    for (int I = Count; I > 0; --I) Text += Before + std::to_string(1000 + I) + Falling + "\n";
    return Text;
  };
  for (unsigned Threads : {1u, 2u}) {
    Parallel::SetThreadCount(Threads);
    ExpectSameAsCommonPath(Pipe("line ", "", "", 1500));
    ExpectSameAsCommonPath(Pipe("line ", " caf\xC3\xA9", " cafe\xCC\x81", 1000) + "last");
    ExpectSameAsCommonPath(Pipe("7 ", " \xE3\x81\x82", " \xE3\x81\x82", 1000) +
                           Pipe("3 ", " x", " X", 1000));
  }
  Parallel::SetThreadCount(0);
}

#ifndef _WIN32
TEST_F(SortOnBytes, OnlyOperationsThatCompareTextOpenTheCollator) {
  // Opening a collator touches megabytes of collation data: a locale chosen for an operation
  // that never compares text in it is only checked, and the collator stays closed.
  std::string Numbered, Tied;
  for (int I = 0; I < 300; ++I) Numbered += "item " + std::to_string(I * 7919 % 300) + "\n";
  for (int I = 0; I < 300; ++I) Tied += "item " + std::to_string(I % 3) + "\n";
  Codec::TEncoding Utf8 = Codec::Resolve("");
  for (unsigned Threads : {1u, 2u}) {
    Parallel::SetThreadCount(Threads);
    standin::SetCollationLocale("en");
    for (const char* Name : {"reverse", "dedupe", "count", "highlight"}) {
      const Operations::TOperation& Operation = *Operations::FindByName(Name);
      std::string Bytes = Numbered + Tied;
      EXPECT_TRUE(Operations::RunOnBytes(Operation, Utf8, Bytes)) << Name;
      std::u16string Text = Codec::Decode(Numbered + Tied, Utf8);
      EXPECT_FALSE(Operations::Run(Operation, std::move(Text)).empty()) << Name;
      EXPECT_FALSE(standin::CollatorOpened()) << Name;
    }
    // The numeric order compares the text of lines only where their numbers tie.
    for (const char* Name : {"sort-numeric", "sort-numeric-desc"}) {
      std::string Bytes = Numbered;
      EXPECT_TRUE(Operations::SortOnBytes(*Operations::FindByName(Name), Utf8, Bytes));
      std::u16string Text = Codec::Decode(Numbered, Utf8);
      Operations::Run(*Operations::FindByName(Name), std::move(Text));
      EXPECT_FALSE(standin::CollatorOpened()) << Name;
    }
    std::string Bytes = Tied;
    EXPECT_TRUE(Operations::SortOnBytes(*Operations::FindByName("sort-numeric"), Utf8, Bytes));
    EXPECT_TRUE(standin::CollatorOpened());
    // A new choice of locale closes it again; the dictionary order opens it.
    standin::SetCollationLocale("ja");
    EXPECT_FALSE(standin::CollatorOpened());
    Bytes = "b\na\n";
    EXPECT_TRUE(Operations::SortOnBytes(*Operations::FindByName("sort"), Utf8, Bytes));
    EXPECT_EQ(Bytes, "a\nb\n");
    EXPECT_TRUE(standin::CollatorOpened());
  }
  Parallel::SetThreadCount(0);
}
#endif

#ifndef _WIN32
// Where a line has no collation key, the sorts on the bytes leave the text to the common path,
// whose sort falls back to the list: the output is what the keys gave.
TEST_F(SortOnBytes, ALineWithoutAKeyLeavesTheSortToTheList) {
  std::mt19937 Rng(5);
  for (int Round = 0; Round < 40; ++Round) {
    const std::string Input = "\xE2\x98\x83\r\n" + RandomBytes(Rng, 40, false);
    for (const char* Encoding : {"", "Shift_JIS"}) {
      for (int Id : {1, 2, 3, 4, 7, 8}) {
        const Operations::TOperation& Operation = *Operations::FindById(Id);
        const Codec::TEncoding Resolved = Codec::Resolve(Encoding);
        std::string Bytes = Input;
        if (!Operations::SortOnBytes(Operation, Resolved, Bytes)) continue;  // not Shift_JIS
        standin::FailSortKeysOn(u'\u2603');
        std::string Again = Input;
        EXPECT_FALSE(Operations::SortOnBytes(Operation, Resolved, Again));
        ASSERT_TRUE(Operations::RunOnFile(Operation, Resolved, std::move(Again)) == Bytes)
            << Operation.Name << " " << Encoding;
        standin::FailSortKeysOn(0);
      }
    }
  }
}
#endif
