#include "tests/reference/PlainSort.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <stdexcept>

#include "base/Random.h"
#include "platform/Win32.h"
#include "strings/StringConvertUnit.h"
#include "strings/StringSearchUnit.h"
#include "strings/StringUnit.h"

namespace PlainSort {

using namespace StringRecordListNormalSort;

namespace {

const std::u16string DigitChars = u"0123456789０１２３４５６７８９";
const std::u16string SignChars = u"+-＋－";
const std::u16string CommaChars = u",，";
const std::u16string SpaceChars = u" \u3000\t";

bool In(char16_t Ch, const std::u16string& Set) { return StringSearchUnit::CharInString(Ch, Set); }

char16_t At(std::u16string_view S, int64_t Index) {
  return Index < 1 || Index > static_cast<int64_t>(S.size()) ? u'\0' : S[Index - 1];
}

void Emit(std::u16string& R, std::vector<int64_t>& Key) {
  if (R.empty()) return;
  const std::u16string T = StringConvertUnit::ToHalfWidth(R);
  R.clear();
  std::string Narrow(T.begin(), T.end());
  if (!Narrow.empty() && Narrow[0] == '+') Narrow.erase(0, 1);
  if (Narrow.empty() || Narrow[0] == '+' || Narrow == "-") return;
  int64_t Value = 0;
  const auto [End, Error] = std::from_chars(Narrow.data(), Narrow.data() + Narrow.size(), Value);
  if (Error == std::errc() && End == Narrow.data() + Narrow.size()) Key.push_back(Value);
}

int32_t Sign(StringUnit::TCompareResult R) {
  return R == StringUnit::crLess ? -1 : R == StringUnit::crGreater ? 1 : 0;
}

using StringRecordList::LineOf;

// The measures SortByKeys gives its keys' cells, when it is given them; else each line is
// measured by its own text.
const std::map<const char16_t*, int32_t>* GivenMeasures = nullptr;

// The orders on lines seen where they lie (the measures are looked up by where a line lies).
int32_t TextOf(std::u16string_view A, std::u16string_view B) {
  return Sign(StringUnit::LocaleCompare(std::u16string(A), std::u16string(B)));
}

// The line read from its end: its pieces in reverse order, a piece being a code unit, or, where
// digits compare as numbers, a whole run of the digits the comparison counts (a pair of
// surrogates one digit).
std::u16string FromEnd(std::u16string_view Line) {
  std::vector<std::u16string_view> Pieces;
  const bool Numbers = (StringUnit::CollationFlags() & SORT_DIGITSASNUMBERS) != 0;
  const auto DigitUnits = [&](size_t I) -> size_t {
    if (!Numbers) return 0;
    if (I + 1 < Line.size() && Line[I] >= 0xD800 && Line[I] < 0xDC00 && Line[I + 1] >= 0xDC00 &&
        Line[I + 1] < 0xE000) {
      return StringUnit::IsCountedDigit(0x10000 + ((Line[I] - 0xD800u) << 10) +
                                        (Line[I + 1] - 0xDC00u))
                 ? 2
                 : 0;
    }
    return StringUnit::IsCountedDigit(Line[I]) ? 1 : 0;
  };
  for (size_t I = 0; I < Line.size();) {
    size_t End = I;
    while (End < Line.size() && DigitUnits(End) > 0) End += DigitUnits(End);
    if (End == I) End = I + 1;
    Pieces.push_back(Line.substr(I, End - I));
    I = End;
  }
  std::u16string Read;
  for (auto Piece = Pieces.rbegin(); Piece != Pieces.rend(); ++Piece) Read += *Piece;
  return Read;
}

int32_t ReverseTextOf(std::u16string_view A, std::u16string_view B) {
  return Sign(StringUnit::LocaleCompare(FromEnd(A), FromEnd(B)));
}

int32_t NumericOf(std::u16string_view A, std::u16string_view B) {
  const std::vector<int64_t> K1 = ExtractNumbers(A), K2 = ExtractNumbers(B);
  for (size_t I = 0; I < K1.size() && I < K2.size(); ++I) {
    if (K1[I] != K2[I]) return K1[I] < K2[I] ? -1 : 1;
  }
  if (K1.size() != K2.size()) return K1.size() < K2.size() ? -1 : 1;
  return TextOf(A, B);
}

int32_t MeasureOf(std::u16string_view Line) {
  if (GivenMeasures != nullptr) return GivenMeasures->at(Line.data());
  return StringUnit::ByteLength(Line);
}

int32_t ByteLengthOf(std::u16string_view A, std::u16string_view B) {
  const int32_t M1 = MeasureOf(A), M2 = MeasureOf(B);
  if (M1 != M2) return M1 < M2 ? -1 : 1;
  return TextOf(A, B);
}

int32_t TextCompare(void* A, void* B) { return TextOf(LineOf(A), LineOf(B)); }
int32_t ReverseTextCompare(void* A, void* B) { return ReverseTextOf(LineOf(A), LineOf(B)); }
int32_t NumericCompare(void* A, void* B) { return NumericOf(LineOf(A), LineOf(B)); }
int32_t ByteLengthCompare(void* A, void* B) { return ByteLengthOf(LineOf(A), LineOf(B)); }

int32_t TextCompareDesc(void* A, void* B) { return -TextCompare(A, B); }
int32_t ReverseTextCompareDesc(void* A, void* B) { return -ReverseTextCompare(A, B); }
int32_t NumericCompareDesc(void* A, void* B) { return -NumericCompare(A, B); }
int32_t ByteLengthCompareDesc(void* A, void* B) { return -ByteLengthCompare(A, B); }

}  // namespace

std::vector<int64_t> ExtractNumbers(std::u16string_view Line) {
  enum { Idle, SignSeen, Digits } State = Idle;
  std::vector<int64_t> Key;
  std::u16string R;
  for (int64_t I = 1; I <= static_cast<int64_t>(Line.size()); ++I) {
    const char16_t Ch = At(Line, I);
    if (State == Idle) {
      if (In(Ch, DigitChars)) {
        R = Ch;
        State = Digits;
      } else if (In(Ch, SignChars)) {
        R = Ch;
        State = SignSeen;
      }
    } else if (State == SignSeen) {
      if (In(Ch, SignChars)) {
        R = Ch;
      } else if (In(Ch, SpaceChars)) {
      } else if (In(Ch, DigitChars)) {
        R += Ch;
        State = Digits;
      } else {
        R.clear();
        State = Idle;
      }
    } else {
      if (In(Ch, DigitChars)) {
        R += Ch;
      } else if (In(Ch, CommaChars) && In(At(Line, I - 1), DigitChars)) {
      } else {
        Emit(R, Key);
        State = Idle;
      }
    }
  }
  Emit(R, Key);
  return Key;
}

bool TPlainSortList::LendBreak() {
  if (Count() == 0 || StringUnit::GetLineBreakKind(Text()) != StringUnit::lbNone) return false;
  // The break of the line before the last, CR LF when there is none.
  StringUnit::TLineBreakKind Kind = StringUnit::lbCRLF;
  if (Count() >= 2 && StringUnit::GetLineBreakKind(GetItem(Count() - 2)) != StringUnit::lbNone) {
    Kind = StringUnit::GetLineBreakKind(GetItem(Count() - 2));
  }
  SetItem(Count() - 1, GetItem(Count() - 1) + std::u16string(StringUnit::LineBreakText(Kind)));
  return true;
}

void TPlainSortList::TakeBreakBack(bool Added) {
  if (Added && StringUnit::GetLineBreakKind(GetItem(Count() - 1)) != StringUnit::lbNone) {
    SetItem(Count() - 1, StringUnit::TrimRightChars(GetItem(Count() - 1), u"\r\n"));
  }
}

void TPlainSortList::Shuffle(uint64_t Seed) {
  const bool Added = LendBreak();
  Random::TRandom Rng(Seed);
  for (int32_t I = Count() - 1; I > 0; --I) {
    FList.Exchange(I, static_cast<int32_t>(Rng.Below(static_cast<uint64_t>(I) + 1)));
  }
  TakeBreakBack(Added);
}

void TPlainSortList::ExecuteSort(TSortKind SortKind, TSortOrder SortOrder) {
  if (Count() == 0) return;
  const bool Added = LendBreak();
  const bool Up = SortOrder == soAscending;
  switch (SortKind) {
    case skText:
      FList.Sort(Up ? TextCompare : TextCompareDesc);
      break;
    case skNumeric:
      FList.Sort(Up ? NumericCompare : NumericCompareDesc);
      break;
    case skByteLength:
      FList.Sort(Up ? ByteLengthCompare : ByteLengthCompareDesc);
      break;
    case skReverseText:
      FList.Sort(Up ? ReverseTextCompare : ReverseTextCompareDesc);
      break;
    case skReverse:
      if (!Up) {
        for (int32_t I = 0; I <= Count() / 2 - 1; ++I) FList.Exchange(I, Count() - 1 - I);
      }
      break;
  }
  TakeBreakBack(Added);
}

namespace {

struct TCommand {
  TSortKind Kind;
  TSortOrder Order;
};

TCommand CommandOf(uint8_t CommandId) {
  static const TCommand Commands[] = {
      {skText, soAscending},         {skText, soDescending},       {skReverseText, soAscending},
      {skReverseText, soDescending}, {skNumeric, soAscending},     {skNumeric, soDescending},
      {skByteLength, soAscending},   {skByteLength, soDescending}, {skReverse, soDescending}};
  if (CommandId < 1 || CommandId > 9) throw std::invalid_argument("not a sort command");
  return Commands[CommandId - 1];
}

}  // namespace

std::u16string Sort(const std::u16string& Text, uint8_t CommandId) {
  TPlainSortList List;
  List.SetText(Text);
  List.ExecuteSort(CommandOf(CommandId).Kind, CommandOf(CommandId).Order);
  return List.Text();
}

std::u16string SortByKeys(const std::u16string& Text, uint8_t CommandId,
                          const std::function<std::u16string(std::u16string_view Body)>& KeyOf,
                          const std::function<std::u16string(std::u16string_view Body)>& MeasuredOf,
                          LineTies::TTies Ties) {
  TPlainSortList Lines;
  Lines.SetText(Text);
  const bool Added = Lines.LendBreak();
  if (Ties != LineTies::tiAsSorted) {
    // Each line with its key and measure, in cells of a list of their own, which the list's
    // comparators read.
    TPlainSortList Keys, Wholes;
    std::map<const char16_t*, int32_t> Measures;
    for (int32_t I = 0; I < Lines.Count(); ++I) {
      const std::u16string Line = Lines.GetItem(I);
      const size_t Body = StringUnit::BodyLength(Line);
      const std::u16string_view Of = std::u16string_view(Line).substr(0, Body);
      Keys.Add(KeyOf(Of) + Line.substr(Body));
      Wholes.Add(Line);
      Measures[Keys.ItemRef(I).data()] =
          StringUnit::ByteLength((MeasuredOf ? MeasuredOf(Of) : KeyOf(Of)) + Line.substr(Body));
      Measures[Wholes.ItemRef(I).data()] = StringUnit::ByteLength(Line);
    }
    const TCommand Command = CommandOf(CommandId);
    const auto Ascending = [&Command](std::u16string_view A, std::u16string_view B) {
      switch (Command.Kind) {
        case skNumeric:
          return NumericOf(A, B);
        case skByteLength:
          return ByteLengthOf(A, B);
        case skReverseText:
          return ReverseTextOf(A, B);
        default:
          return TextOf(A, B);
      }
    };
    const int32_t Sign = Command.Order == soAscending ? 1 : -1;
    std::vector<int32_t> Order(static_cast<size_t>(Lines.Count()));
    for (int32_t I = 0; I < Lines.Count(); ++I) Order[static_cast<size_t>(I)] = I;
    GivenMeasures = &Measures;
    std::stable_sort(Order.begin(), Order.end(), [&](int32_t A, int32_t B) {
      const int32_t ByKey = Ascending(Keys.ItemRef(A), Keys.ItemRef(B));
      if (ByKey != 0 || Ties != LineTies::tiWholeLine) return Sign * ByKey < 0;
      const uint32_t Flags = StringUnit::CollationFlags();
      StringUnit::SetCollationFlags(0);
      const int32_t ByLine = Ascending(Wholes.ItemRef(A), Wholes.ItemRef(B));
      StringUnit::SetCollationFlags(Flags);
      return Sign * ByLine < 0;
    });
    GivenMeasures = nullptr;
    TPlainSortList Sorted;
    for (const int32_t I : Order) Sorted.Add(Lines.GetItem(I));
    Sorted.TakeBreakBack(Added);
    return Sorted.Text();
  }
  TPlainSortList Keys;
  std::vector<const char16_t*> Cells;
  std::map<const char16_t*, int32_t> Measures;
  for (int32_t I = 0; I < Lines.Count(); ++I) {
    const std::u16string Line = Lines.GetItem(I);
    const size_t Body = StringUnit::BodyLength(Line);
    const std::u16string_view Of = std::u16string_view(Line).substr(0, Body);
    Keys.Add(KeyOf(Of) + Line.substr(Body));
    Cells.push_back(Keys.ItemRef(I).data());
    if (MeasuredOf)
      Measures[Cells.back()] = StringUnit::ByteLength(MeasuredOf(Of) + Line.substr(Body));
  }
  GivenMeasures = MeasuredOf ? &Measures : nullptr;
  Keys.ExecuteSort(CommandOf(CommandId).Kind, CommandOf(CommandId).Order);
  GivenMeasures = nullptr;
  // Each key is found again by its cell, which the sort does not move.
  TPlainSortList Sorted;
  for (int32_t K = 0; K < Keys.Count(); ++K) {
    for (size_t I = 0; I < Cells.size(); ++I) {
      if (Cells[I] == Keys.ItemRef(K).data()) Sorted.Add(Lines.GetItem(static_cast<int32_t>(I)));
    }
  }
  Sorted.TakeBreakBack(Added);
  return Sorted.Text();
}

std::u16string StableSortByKeys(
    const std::u16string& Text, uint8_t CommandId,
    const std::function<std::u16string(std::u16string_view Body)>& KeyOf, bool& Ties,
    const std::function<std::u16string(std::u16string_view Body)>& MeasuredOf) {
  TPlainSortList Lines;
  Lines.SetText(Text);
  const bool Added = Lines.LendBreak();
  struct TItem {
    std::u16string Line, Key;
    int32_t Measure;
  };
  std::vector<TItem> Items;
  for (int32_t I = 0; I < Lines.Count(); ++I) {
    const std::u16string Line = Lines.GetItem(I);
    const size_t Body = StringUnit::BodyLength(Line);
    const std::u16string_view Of = std::u16string_view(Line).substr(0, Body);
    std::u16string Key = KeyOf(Of) + Line.substr(Body);
    const int32_t Measure =
        StringUnit::ByteLength(MeasuredOf ? MeasuredOf(Of) + Line.substr(Body) : Key);
    Items.push_back({Line, std::move(Key), Measure});
  }
  // Plain variables rather than a structured binding, which clang 14 cannot capture.
  const TCommand Command = CommandOf(CommandId);
  const auto Kind = Command.Kind;
  const auto Order = Command.Order;
  const auto Compare = [Kind](const TItem& A, const TItem& B) -> int32_t {
    const auto Text = [](std::u16string_view X, std::u16string_view Y) {
      return Sign(StringUnit::LocaleCompare(X, Y));
    };
    switch (Kind) {
      case skNumeric: {
        const std::vector<int64_t> K1 = ExtractNumbers(A.Key), K2 = ExtractNumbers(B.Key);
        if (K1 != K2)
          return std::lexicographical_compare(K1.begin(), K1.end(), K2.begin(), K2.end()) ? -1 : 1;
        return Text(A.Key, B.Key);
      }
      case skByteLength:
        if (A.Measure != B.Measure) return A.Measure < B.Measure ? -1 : 1;
        return Text(A.Key, B.Key);
      case skReverseText:
        return Text(FromEnd(A.Key), FromEnd(B.Key));
      default:
        return Text(A.Key, B.Key);
    }
  };
  const int32_t Direction = Order == soDescending ? -1 : 1;
  std::stable_sort(Items.begin(), Items.end(),
                   [&](const TItem& A, const TItem& B) { return Direction * Compare(A, B) < 0; });
  Ties = false;
  TPlainSortList Sorted;
  for (size_t I = 0; I < Items.size(); ++I) {
    Ties |= I > 0 && Items[I].Line != Items[I - 1].Line && Compare(Items[I - 1], Items[I]) == 0;
    Sorted.Add(Items[I].Line);
  }
  Sorted.TakeBreakBack(Added);
  return Sorted.Text();
}

std::u16string Shuffle(const std::u16string& Text, uint64_t Seed) {
  TPlainSortList List;
  List.SetText(Text);
  List.Shuffle(Seed);
  return List.Text();
}

}  // namespace PlainSort
