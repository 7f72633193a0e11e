// Shift_JIS and EUC-JP texts through the paths that convert them a piece of lines at a time
// against the common path (decode the whole text, run the command, encode the whole result):
// the same bytes, the same refusals with the same messages, on any number of threads.
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>

#include "CommonPath.h"
#include "base/Parallel.h"
#include "cli/Codec.h"
#include "cli/Operations.h"
#include "cli/TextPieces.h"
#include "support/PinnedCollation.h"

namespace {

using CommonPath::Colour;
using CommonPath::Plain;
using CommonPath::TOutcome;

// The tool's order: the sorts on the bytes, then the other commands on the bytes, then the
// text decoded in pieces.
TOutcome PiecewisePath(const Operations::TOperation& Operation, const Operations::TMarks* Marks,
                       const std::string& Input, const char* Name,
                       const Operations::TChoices& Choices) {
  Codec::TEncoding Encoding = Codec::Resolve(Name);
  std::string Bytes = Input;
  std::u16string Text;
  try {
    if (Operations::SortOnBytes(Operation, Encoding, Bytes)) return {Bytes, "", true};
    if (Operations::RunOnBytes(Operation, Encoding, Bytes, Marks, Choices)) {
      return {Bytes, "", true};
    }
    EXPECT_EQ(Bytes, Input);
    Text = TextPieces::DecodeText(Bytes, Encoding);
  } catch (const Codec::EInvalidInput& e) {
    return {"", e.what()};
  }
  return CommonPath::RunAndEncode(Operation, Marks, std::move(Text), Encoding, Choices);
}

// Every operation, highlight with its marks and dedupe with each selection, on Input both ways.
void ExpectSameAsCommonPath(const std::string& Input, const char* Name) {
  const std::optional<Tarnwick::TOccurrence> Selections[] = {std::nullopt, Tarnwick::ocOnce,
                                                             Tarnwick::ocRepeated};
  for (const Operations::TOperation& Operation : Operations::All()) {
    for (const Operations::TMarks* Marks :
         {static_cast<const Operations::TMarks*>(nullptr), &Plain, &Colour}) {
      for (const std::optional<Tarnwick::TOccurrence> Only : Selections) {
        if (Marks != nullptr && Operation.Id != 12) continue;
        if (Only && Operation.Id != 10) continue;
        const Operations::TChoices Choices{17, Only, {}};
        SCOPED_TRACE(testing::Message() << Name << " " << Operation.Name << (Marks ? " --mark" : "")
                                        << (Only ? " --only" : ""));
        const TOutcome Expected =
            CommonPath::Run(Operation, Marks, Input, Codec::Resolve(Name), Choices);
        const TOutcome Got = PiecewisePath(Operation, Marks, Input, Name, Choices);
        // Not ASSERT_EQ on the outcomes: a mismatch of a large text would print all of it.
        ASSERT_EQ(Got.Error, Expected.Error);
        // Accepted input takes the path on the bytes, but for the highlight pattern.
        ASSERT_EQ(Got.OnBytes, Expected.Error.empty() && (Operation.Id != 12 || Marks != nullptr));
        ASSERT_TRUE(Got.Bytes == Expected.Bytes)
            << Got.Bytes.size() << " " << Expected.Bytes.size();
      }
    }
  }
}

struct TParts {
  std::vector<std::string> Valid;
  std::vector<std::string> Broken;
};

// Characters of both kinds and widths; in Shift_JIS "ソ" and "表" end in the byte of "\", so
// "ソE" holds the bytes of "\E"; 0x1A, 0x1C and 0x7F are controls ICU maps to each other.
const TParts& ShiftJisParts() {
  static const TParts Parts{
      {"a",
       "Z",
       " ",
       "7",
       "-12",
       "line ",
       "\\E",
       "\\",
       "~",
       "\t",
       ":",
       "\x82\xA0",
       "\x82\x50",
       "\xB1",
       "\xDF",
       "\x83\x5C",
       "\x95\x5C",
       "\x83\x5C"
       "E",
       "\x81\x40",
       "\x88\x9F",
       "\x87\x40",
       "\x1A",
       "\x1C",
       "\x7F",
       "\r",
       "\n",
       "\r\n",
       "\n",
       "\n"},
      // A lead byte before a break or at the end, bytes that start nothing, and a second form
      // of a character that would be written back as the first.
      {"\x81", "\x82\n", "\x83\r", "\xFF", "\xA0", "\x80", "\xED\x40", "\xFA\x40", "\x82\x20"}};
  return Parts;
}

const TParts& EucJpParts() {
  static const TParts Parts{
      {"a", "Z", " ", "7", "-12", "\\E", "\\", "~", ":", "\xA4\xA2", "\xA3\xB1", "\x8E\xB1",
       "\x8F\xB0\xA1", "\xB0\xA1", "\r", "\n", "\r\n", "\n", "\n"},
      {"\xA4", "\xA4\n", "\x8E\r", "\x8F\xB0\n", "\xFF", "\x80", "\x8E\x41"}};
  return Parts;
}

// Up to Count parts, lines from a small pool so that many repeat, sometimes no final break;
// now and then (when MayBreak) a sequence that is refused.
std::string RandomText(std::mt19937& Rng, const TParts& Parts, size_t Count, bool MayBreak) {
  std::vector<std::string> Pool;
  for (size_t I = 1 + Rng() % 6; I > 0; --I) {
    std::string Line;
    for (size_t K = Rng() % 8; K > 0; --K) Line += Parts.Valid[Rng() % Parts.Valid.size()];
    Pool.push_back(Line);
  }
  std::string Text;
  for (size_t I = Rng() % Count; I > 0; --I) {
    Text += Rng() % 2 ? Pool[Rng() % Pool.size()] : Parts.Valid[Rng() % Parts.Valid.size()];
  }
  if (MayBreak && Rng() % 6 == 0) {
    Text.insert(Rng() % (Text.size() + 1), Parts.Broken[Rng() % Parts.Broken.size()]);
  }
  return Text;
}

class LegacyPieces : public testing::Test {
 protected:
  void TearDown() override { Parallel::SetThreadCount(0); }

  TPinnedCollation Collation{"ja"};
};

TEST_F(LegacyPieces, SmallTextsGiveTheCommonPathsBytesAndErrors) {
  std::mt19937 Rng(1931);
  for (int Round = 0; Round < 300; ++Round) {
    SCOPED_TRACE(Round);
    ExpectSameAsCommonPath(RandomText(Rng, ShiftJisParts(), 40, true), "Shift_JIS");
    ExpectSameAsCommonPath(RandomText(Rng, ShiftJisParts(), 40, true), "windows-31j");
    ExpectSameAsCommonPath(RandomText(Rng, EucJpParts(), 40, true), "EUC-JP");
  }
}

TEST_F(LegacyPieces, EdgeTextsGiveTheCommonPathsBytesAndErrors) {
  for (const char* Name : {"Shift_JIS", "EUC-JP"}) {
    for (const std::string Input :
         {"", "\n", "\r\n\r\n", "\r", "a", "a\ra\r\n", "a\r\na\r",
          "\xEF\xBB\xBF"
          "a\na",
          "\x82\xA0\n\x82\xA0", "\x82", "a\n\x82", "\xFF\n", "b\na\nb\na\nb"}) {
      SCOPED_TRACE(testing::Message() << '"' << Input << '"');
      ExpectSameAsCommonPath(Input, Name);
    }
  }
}

// Texts of many pieces on one, two and eight threads: lines across the pieces' bounds, a CR
// LF around a bound, lines longer than a piece, and a refused byte in the last piece.
TEST_F(LegacyPieces, LargeTextsGiveTheCommonPathsBytesOnAnyThreadCount) {
  std::mt19937 Rng(44);
  for (const auto& [Name, Parts] :
       {std::pair<const char*, const TParts*>{"Shift_JIS", &ShiftJisParts()},
        {"EUC-JP", &EucJpParts()}}) {
    std::string Large;
    while (Large.size() < 3 * TextPieces::PieceSize) {
      Large += RandomText(Rng, *Parts, 60, false);
      if (Rng() % 40 == 0) Large += std::string(TextPieces::PieceSize + Rng() % 99, 'x');
    }
    const std::string Long = std::string(TextPieces::PieceSize - 1, 'y') + "\r\n\x82\xA0\n";
    for (unsigned Threads : {1u, 2u, 8u}) {
      SCOPED_TRACE(Threads);
      Parallel::SetThreadCount(Threads);
      ExpectSameAsCommonPath(Large, Name);
      ExpectSameAsCommonPath(Long + Large, Name);
      ExpectSameAsCommonPath(Large + Parts->Broken[Threads % Parts->Broken.size()] + "\n", Name);
    }
  }
}

// What allows cutting at a break: in every encoding that converts by line, a lead byte before
// CR or LF never takes the break into its character, so that the whole decodes as its two
// halves do (or neither does).
TEST_F(LegacyPieces, ABreakNeverEndsACharacterOfAnEncodingThatConvertsByLine) {
  for (const char* Name : {"Shift_JIS", "SJIS", "windows-31j", "MS932", "EUC-JP", "eucJP"}) {
    const Codec::TEncoding Encoding = Codec::Resolve(Name);
    ASSERT_TRUE(Codec::ConvertsByLine(Encoding)) << Name;
    for (const char* Lead : {"", "\x8F"}) {
      for (int Byte = 0x80; Byte <= 0xFF; ++Byte) {
        for (const char* Break : {"\n", "\r", "\r\n"}) {
          const std::string Head = Lead + std::string(1, static_cast<char>(Byte)) + Break;
          const std::string Whole = Head + "a\n";
          Codec::TEncoding Copy = Encoding;
          std::u16string Expected;
          bool Accepted = true;
          try {
            Expected = Codec::Decode(Whole, Copy);
          } catch (const Codec::EInvalidInput&) {
            Accepted = false;
          }
          std::u16string First, Second;
          const bool Split = Codec::DecodeLines(Head, Encoding, First) &&
                             Codec::DecodeLines("a\n", Encoding, Second);
          ASSERT_EQ(Split, Accepted) << Name << " " << Byte;
          if (Accepted) {
            ASSERT_EQ(First + Second, Expected) << Name << " " << Byte;
          }
        }
      }
    }
  }
#ifdef _WIN32
  for (const char* Name : {"UTF-16", "UTF-16LE"}) {
#else
  for (const char* Name : {"UTF-16", "UTF-16LE", "ISO-2022-JP"}) {
#endif
    EXPECT_FALSE(Codec::ConvertsByLine(Codec::Resolve(Name))) << Name;
  }
}

#ifndef _WIN32
// The stateful ISO-2022-JP keeps the common path: an escape sequence holds for the lines after
// it.
TEST_F(LegacyPieces, StatefulEncodingsTakeTheCommonPath) {
  const std::string Input = "\x1B$B$\"\n$$\x1B(B\na\n";
  for (const char* Operation : {"sort", "reverse", "dedupe", "count"}) {
    std::string Bytes = Input;
    EXPECT_FALSE(Operations::SortOnBytes(*Operations::FindByName(Operation),
                                         Codec::Resolve("ISO-2022-JP"), Bytes));
    EXPECT_FALSE(Operations::RunOnBytes(*Operations::FindByName(Operation),
                                        Codec::Resolve("ISO-2022-JP"), Bytes));
    EXPECT_EQ(Bytes, Input);
  }
}
#endif

}  // namespace
