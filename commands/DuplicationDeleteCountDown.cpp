#include "commands/DuplicationDeleteCountDown.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "commands/DuplicationLineTable.h"
#include "commands/LineCommands.h"
#include "strings/StringUnit.h"

namespace Tarnwick {

namespace {

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

namespace {

// How many lines share each distinct body, by the body's number: a byte each while no count
// reaches 255, as in most texts; from then on the full counts are kept beside the bytes. The
// size of each group of result lines with the same count below 255 is kept up to date as the
// counts change, so that the groups can be placed without going through the lines again.
class TLineCounts {
 public:
  static constexpr uint8_t Large = 255;

  // Room for Distinct bodies without moving the counts.
  void Reserve(size_t Distinct) {
    FSmall.reserve(Distinct);
    FBreaks.reserve(Distinct / 4 + 1);
  }
  bool Full() const { return FSmall.size() == FSmall.capacity(); }
  // A new distinct body, seen once, on a line of Length units of which Break are its break.
  void Add(size_t Length, size_t Break) {
    const size_t Number = FSmall.size();
    FSmall.push_back(1);
    if (!FLarge.empty()) FLarge.push_back(1);
    if (Number % 4 == 0) FBreaks.push_back(0);
    FBreaks.back() |= static_cast<uint8_t>(Break << (2 * (Number % 4)));
    FBytes[1] += Length + 2;
  }
  // Another line with the body Number, which has BodyLength units.
  void Increment(uint32_t Number, size_t BodyLength) {
    uint8_t& Small = FSmall[Number];
    if (Small == Large) {
      ++FLarge[Number];
      return;
    }
    // The result line is the first line with the body, which has its own break.
    const size_t Length = BodyLength + ((FBreaks[Number / 4] >> (2 * (Number % 4))) & 3);
    FBytes[Small] -= Length + 1 + Digits(Small);
    if (++Small < Large) {
      FBytes[Small] += Length + 1 + Digits(Small);
      return;
    }
    if (FLarge.empty()) FLarge.resize(FSmall.size());
    FLarge[Number] = Large;
    FLargeLength.emplace(Number, Length);
  }
  uint32_t operator[](size_t Number) const {
    const uint8_t Small = FSmall[Number];
    return Small < Large ? Small : FLarge[Number];
  }
  size_t Size() const { return FSmall.size(); }
  // The units of the result lines with a count below 255 of Count.
  size_t SmallBytes(uint32_t Count) const { return FBytes[Count]; }
  // Calls Visit(Count, Length) for each body with a count of 255 or more, Length being the
  // units of its first line.
  template <class TVisit>
  void ForEachLarge(TVisit&& Visit) const {
    for (const auto& [Number, Length] : FLargeLength) Visit(FLarge[Number], Length);
  }

 private:
  static size_t Digits(uint8_t Count) { return Count < 10 ? 1 : Count < 100 ? 2 : 3; }

  std::vector<uint8_t> FSmall;
  std::vector<uint8_t> FBreaks;  // the break's length of each first line, two bits each
  std::vector<uint32_t> FLarge;
  std::unordered_map<uint32_t, size_t> FLargeLength;
  std::array<size_t, Large> FBytes{};
};

template <class TUnit>
std::basic_string<TUnit> CountDuplicates(std::basic_string_view<TUnit> Text) {
  using namespace DuplicationLineTable;
  // Each distinct body once, at its first line (which keeps its own break), with ":" and the
  // number of lines that share the body put before the break; most frequent first, equal
  // counts in order of first appearance.
  TLineCounts Counts;
  // Whether each line is the first with its body: a bit a line, so that the table's record of
  // where the distinct lines start can go before the result is made. When the distinct lines
  // are few, where they start is kept instead, and the lines between them are not cut again.
  std::vector<bool> First;
  std::vector<size_t> Starts;
  size_t End = 0;  // where the last distinct line ends
  {
    TDistinctLinesOf<TUnit> Distinct(Text, kkBody);
    Distinct.Scan([&](const TLine& Line, uint32_t Number, bool Added) {
      First.push_back(Added);
      if (Added) {
        // Sized as the index is, rather than doubled: one copy of the counts at most.
        if (Counts.Full()) Counts.Reserve(std::max(Distinct.Room(), 2 * Counts.Size() + 1024));
        Counts.Add(Line.Length, Line.Length - Line.BodyLength);
        End = Line.Offset + Line.Length;
      } else {
        Counts.Increment(Number, Line.BodyLength);
      }
    });
    if (Counts.Size() <= First.size() / 16) {
      Starts.resize(Counts.Size());
      for (size_t Number = 0; Number < Starts.size(); ++Number) {
        Starts[Number] = Distinct.Offset(Number);
      }
      std::vector<bool>().swap(First);
    }
  }

  // The groups of equal counts, highest first: the large counts each, then 254 down to 1.
  std::vector<uint32_t> LargeValues;
  Counts.ForEachLarge([&LargeValues](uint32_t Count, size_t) { LargeValues.push_back(Count); });
  std::sort(LargeValues.begin(), LargeValues.end(), std::greater<>());
  LargeValues.erase(std::unique(LargeValues.begin(), LargeValues.end()), LargeValues.end());
  std::vector<size_t> Bytes(LargeValues.size() + TLineCounts::Large - 1, 0);
  auto GroupOf = [&LargeValues](uint32_t Count) -> size_t {
    if (Count < TLineCounts::Large) return LargeValues.size() + (TLineCounts::Large - 1 - Count);
    return static_cast<size_t>(
        std::lower_bound(LargeValues.begin(), LargeValues.end(), Count, std::greater<>()) -
        LargeValues.begin());
  };
  // Calls Visit(Line, Count) for each distinct line in text order, which reads the text
  // forwards rather than jumping about it.
  auto ForEachDistinct = [&](auto&& Visit) {
    if (!Starts.empty()) {
      for (size_t Number = 0; Number < Starts.size(); ++Number) {
        Visit(LineScan::LineAt(Text, Starts[Number]), Counts[Number]);
      }
      return;
    }
    size_t Index = 0;
    size_t Number = 0;
    for (size_t At = 0; At < End; ++Index) {
      const TLine Line = LineScan::LineAt(Text, At);
      At += Line.Length;
      if (First[Index]) Visit(Line, Counts[Number++]);
    }
  };
  // Every output line is its input line with ":" and the count put before the break.
  Counts.ForEachLarge([&](uint32_t Count, size_t Length) {
    Bytes[GroupOf(Count)] += Length + 1 + DecimalLength(Count);
  });
  for (uint32_t Count = 1; Count < TLineCounts::Large; ++Count) {
    Bytes[GroupOf(Count)] = Counts.SmallBytes(Count);
  }
  size_t Total = 0;
  for (size_t& Group : Bytes) Total += std::exchange(Group, Total);  // now where it starts

  std::basic_string<TUnit> Result;
  Result.resize(Total);
  TUnit Digits[16];
  TUnit* const DigitsEnd = Digits + 16;
  ForEachDistinct([&](const TLine& Line, uint32_t Count) {
    size_t& At = Bytes[GroupOf(Count)];
    TUnit* Out = Result.data() + At;
    const TUnit* In = Text.data() + Line.Offset;
    std::memcpy(Out, In, Line.BodyLength * sizeof(TUnit));
    Out += Line.BodyLength;
    *Out++ = TUnit(':');
    const TUnit* FirstDigit = WriteDecimalBefore(DigitsEnd, Count);
    std::memcpy(Out, FirstDigit, (DigitsEnd - FirstDigit) * sizeof(TUnit));
    Out += DigitsEnd - FirstDigit;
    const size_t BreakLength = Line.Length - Line.BodyLength;
    std::memcpy(Out, In + Line.BodyLength, BreakLength * sizeof(TUnit));
    Out += BreakLength;
    At = static_cast<size_t>(Out - Result.data());
  });
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
