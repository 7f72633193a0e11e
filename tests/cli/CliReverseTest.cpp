// Reversal and shuffle on the bytes of a UTF-8 file against the common path: decode, reorder,
// encode.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "CommonPath.h"
#include "cli/Codec.h"
#include "cli/Operations.h"

namespace {

const Operations::TOperation& Reverse() { return *Operations::FindByName("reverse"); }

// Mostly well-formed UTF-8 with mixed breaks and sometimes a mark; now and then a byte that
// breaks it (a lone continuation, a surrogate, an overlong form, a cut sequence).
std::string RandomBytes(std::mt19937& Rng) {
  static const char* const Pieces[] = {"a",
                                       "Z",
                                       " ",
                                       "\r",
                                       "\n",
                                       "\r\n",
                                       "\xC3\xA9",
                                       "\xE3\x81\x82",
                                       "\xF0\xA0\xAE\xB7",
                                       "line of text",
                                       "\xEF\xBD\xB1"};
  static const char* const Broken[] = {"\x80", "\xED\xA0\x80", "\xC0\xAF", "\xE3\x81", "\xFF"};
  std::string Bytes = Rng() % 5 == 0 ? "\xEF\xBB\xBF" : "";
  const size_t Count = Rng() % 25;
  for (size_t I = 0; I < Count; ++I) Bytes += Pieces[Rng() % std::size(Pieces)];
  if (Rng() % 6 == 0) Bytes.insert(Rng() % (Bytes.size() + 1), Broken[Rng() % std::size(Broken)]);
  return Bytes;
}

}  // namespace

TEST(ReverseOnBytes, GivesTheCommonPathsBytesAndLeavesInvalidInputToIt) {
  std::mt19937 Rng(2026);
  for (const char* Name : {"", "UTF-8"}) {
    const Codec::TEncoding Encoding = Codec::Resolve(Name);
    for (int Round = 0; Round < 4000; ++Round) {
      const std::string Input = RandomBytes(Rng);
      for (const char* Operation : {"reverse", "shuffle"}) {
        Operations::TChoices Choices;
        Choices.Seed = Rng();
        const Operations::TOperation& Op = *Operations::FindByName(Operation);
        const CommonPath::TOutcome Expected =
            CommonPath::Run(Op, nullptr, Input, Encoding, Choices);
        std::string Bytes = Input;
        const bool Ran = Operations::RunOnBytes(Op, Encoding, Bytes, nullptr, Choices);
        // Valid input always takes the fast path, invalid input never does (the common path
        // reports it).
        ASSERT_EQ(Ran, !Expected.Refused()) << Name << " round " << Round << " " << Operation;
        ASSERT_EQ(Bytes, Ran ? Expected.Bytes : Input)
            << Name << " round " << Round << " " << Operation;
      }
    }
  }
}

TEST(ReverseOnBytes, SortsAndOtherEncodingsDoNotTakeIt) {
  std::string Bytes = "b\na\n";
  EXPECT_FALSE(Operations::RunOnBytes(*Operations::FindByName("sort"), Codec::Resolve(""), Bytes));
  EXPECT_FALSE(Operations::RunOnBytes(Reverse(), Codec::Resolve("UTF-16LE"), Bytes));
  std::string Utf16Marked(
      "\xFF\xFE"
      "a\0\n\0",
      6);
  EXPECT_FALSE(Operations::RunOnBytes(Reverse(), Codec::Resolve(""), Utf16Marked));
  EXPECT_EQ(Bytes, "b\na\n");
}
