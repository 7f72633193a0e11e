#include "commands/DuplicationDeleteCountDown.h"

#include <algorithm>
#include <cstring>

#include "base/Exceptions.h"
#include "commands/DuplicationLineTable.h"
#include "commands/LineCommands.h"
#include "strings/StringUnit.h"

namespace Tarnwick {

namespace {

[[noreturn]] void FailConsistency() {
  throw SysUtils::EAssertionFailed("Error:function DuplicationDeleteCountDown");
}

// Writes Value in decimal, digits only, ending just before End; returns the first digit.
template <class TUnit>
TUnit* WriteDecimalBefore(TUnit* End, uint32_t Value) {
  do {
    *--End = static_cast<TUnit>('0' + Value % 10);
    Value /= 10;
  } while (Value != 0);
  return End;
}

size_t DecimalLength(uint32_t Value) {
  size_t Digits = 1;
  for (; Value >= 10; Value /= 10) ++Digits;
  return Digits;
}

}  // namespace

std::u16string InsertBeforeLineBreak(std::u16string_view Line, std::u16string_view Inserted) {
  const size_t Body = StringUnit::BodyLength(Line);
  std::u16string Result;
  Result.reserve(Line.size() + Inserted.size());
  Result.append(Line.substr(0, Body)).append(Inserted).append(Line.substr(Body));
  return Result;
}

std::vector<uint32_t> OrderByCountDescending(const std::vector<int32_t>& Counts, int32_t Highest) {
  // A line whose count lies outside 1..Highest would be in no group of the output.
  for (const int32_t Count : Counts) {
    if (Count < 1 || Count > Highest) FailConsistency();
  }
  std::vector<uint32_t> Order(Counts.size());
  for (uint32_t I = 0; I < Counts.size(); ++I) Order[I] = I;
  if (static_cast<size_t>(Highest) > Counts.size()) {
    // Few lines with high counts: a stable comparison sort costs less than a group per count.
    std::stable_sort(Order.begin(), Order.end(),
                     [&Counts](uint32_t A, uint32_t B) { return Counts[A] > Counts[B]; });
    return Order;
  }
  // A stable counting sort: one pass sizes the group of each count, one places the lines,
  // so the cost grows with the number of lines, never with lines times counts.
  std::vector<uint32_t> Next(static_cast<size_t>(Highest) + 1, 0);
  for (const int32_t Count : Counts) ++Next[Count];
  uint32_t Start = 0;  // Group k starts after every line with a higher count.
  for (int32_t K = Highest; K >= 1; --K) {
    const uint32_t Size = Next[K];
    Next[K] = Start;
    Start += Size;
  }
  for (uint32_t I = 0; I < Counts.size(); ++I) Order[Next[Counts[I]]++] = I;
  return Order;
}

namespace {

template <class TUnit>
std::basic_string<TUnit> CountDuplicates(std::basic_string_view<TUnit> Text) {
  using namespace DuplicationLineTable;
  // Each distinct body once, at its first line (which keeps its own break), with the number
  // of lines that share the body.
  TDistinctLinesOf<TUnit> Distinct(Text, kkBody);
  std::vector<int32_t> Counts;
  int32_t Highest = 1;
  size_t Total = 0;  // The output without the counts' digits.
  Distinct.Scan([&](const TLine& Line, uint32_t Number, bool Added) {
    if (Added) {
      Counts.push_back(1);
      Total += Line.Length + 1;
    } else {
      // No overflow: the number of lines is bounded by the largest list.
      const int32_t Count = ++Counts[Number];
      if (Count > Highest) Highest = Count;
    }
  });

  // The lines are known; the index is not needed any more.
  Distinct.ReleaseIndex();
  const std::vector<uint32_t> Order = OrderByCountDescending(Counts, Highest);

  // Every output line is its input line with ":" and the count put before the break.
  for (const int32_t Count : Counts) Total += DecimalLength(static_cast<uint32_t>(Count));
  std::basic_string<TUnit> Result;
  Result.resize(Total);
  TUnit* Out = Result.data();
  TUnit Digits[16];
  TUnit* const DigitsEnd = Digits + 16;
  // The lines are read in output order, which jumps about the text; each is fetched a few
  // lines ahead.
  constexpr size_t Ahead = 16;
  for (size_t K = 0; K < Order.size(); ++K) {
    if (K + Ahead < Order.size())
      __builtin_prefetch(Text.data() + Distinct.Offset(Order[K + Ahead]));
    const uint32_t Number = Order[K];
    const TLine Line = Distinct.Line(Number);
    const TUnit* In = Text.data() + Line.Offset;
    std::memcpy(Out, In, Line.BodyLength * sizeof(TUnit));
    Out += Line.BodyLength;
    *Out++ = TUnit(':');
    const TUnit* First = WriteDecimalBefore(DigitsEnd, static_cast<uint32_t>(Counts[Number]));
    std::memcpy(Out, First, (DigitsEnd - First) * sizeof(TUnit));
    Out += DigitsEnd - First;
    const size_t BreakLength = Line.Length - Line.BodyLength;
    std::memcpy(Out, In + Line.BodyLength, BreakLength * sizeof(TUnit));
    Out += BreakLength;
  }
  return Result;
}

}  // namespace

std::u16string DuplicationDeleteCountDown(const std::u16string& Text) {
  return CountDuplicates<char16_t>(Text);
}

std::string DuplicationDeleteCountDown(std::string_view Text) {
  return CountDuplicates<char>(Text);
}

}  // namespace Tarnwick
