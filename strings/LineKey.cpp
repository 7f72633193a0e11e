#include "strings/LineKey.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <climits>
#include <memory>
#include <mutex>
#include <type_traits>
#include <utility>

#include "base/Exceptions.h"
#include "platform/Win32.h"

namespace LineKey {

namespace {

template <class TUnit>
std::basic_string_view<TUnit> FieldIn(std::basic_string_view<TUnit> Body, const TKeyRule& Rule) {
  if (Rule.Field == 0) return Body;
  const auto Unit = [&Body](size_t At) {
    return static_cast<char16_t>(static_cast<std::make_unsigned_t<TUnit>>(Body[At]));
  };
  size_t Begin = 0;
  if (Rule.Separator) {
    // The separator's code units: one, or a surrogate pair beyond U+FFFF (which an ASCII body
    // never holds).
    const char32_t C = *Rule.Separator;
    const size_t Width = C < 0x10000 ? 1 : 2;
    const char16_t First = Width == 1 ? static_cast<char16_t>(C)
                                      : static_cast<char16_t>(0xD800 + ((C - 0x10000) >> 10));
    const auto Second = static_cast<char16_t>(0xDC00 + ((C - 0x10000) & 0x3FF));
    const auto Next = [&](size_t From) {
      for (; From + Width <= Body.size(); ++From) {
        if (Unit(From) == First && (Width == 1 || Unit(From + 1) == Second)) return From;
      }
      return Body.size();
    };
    for (uint32_t K = 1; K < Rule.Field; ++K) {
      const size_t At = Next(Begin);
      if (At == Body.size()) return {};
      Begin = At + Width;
    }
    return Body.substr(Begin, Next(Begin) - Begin);
  }
  for (uint32_t K = 1;; ++K) {
    while (Begin < Body.size() && IsBlank(Unit(Begin))) ++Begin;
    if (Begin == Body.size()) return {};
    size_t End = Begin;
    while (End < Body.size() && !IsBlank(Unit(End))) ++End;
    if (K == Rule.Field) return Body.substr(Begin, End - Begin);
    Begin = End;
  }
}

}  // namespace

std::u16string_view FieldOf(std::u16string_view Body, const TKeyRule& Rule) {
  return FieldIn(Body, Rule);
}

std::string_view FieldOf(std::string_view AsciiBody, const TKeyRule& Rule) {
  return FieldIn(AsciiBody, Rule);
}

namespace {

// Text mapped by LCMapStringW with Flag into Mapped. The maps never lengthen a text, so one
// call with room for Text's length does; the size is asked for only if the platform wants more.
void Map(std::u16string_view Text, DWORD Flag, std::u16string& Mapped) {
  Mapped.resize(Text.size());
  if (Text.empty()) return;
  if (Text.size() > static_cast<size_t>(INT_MAX)) throw SysUtils::Exception("LCMapStringW");
  const int Length = static_cast<int>(Text.size());
  int Written = LCMapStringW(LOCALE_USER_DEFAULT, Flag, AsWide(Text.data()), Length,
                             AsWide(Mapped.data()), Length);
  if (Written <= 0) {
    const int Needed =
        LCMapStringW(LOCALE_USER_DEFAULT, Flag, AsWide(Text.data()), Length, nullptr, 0);
    if (Needed <= 0) throw SysUtils::Exception("LCMapStringW");
    Mapped.resize(static_cast<size_t>(Needed));
    Written = LCMapStringW(LOCALE_USER_DEFAULT, Flag, AsWide(Text.data()), Length,
                           AsWide(Mapped.data()), Needed);
    if (Written <= 0) throw SysUtils::Exception("LCMapStringW");
  }
  Mapped.resize(static_cast<size_t>(Written));
}

// Units whose map may depend on their neighbours: the voiced and semi-voiced marks (half-width,
// combining and spacing), which LCMAP_FULLWIDTH joins to the kana before them, and surrogates,
// which LCMAP_LOWERCASE maps in pairs. Every other unit maps alone, whatever stands around it.
constexpr bool JoinsThePrevious(char16_t C) {
  return static_cast<char16_t>(C - 0xFF9E) < 2 || static_cast<char16_t>(C - 0x3099) < 4;
}
constexpr bool IsSurrogate(char16_t C) { return static_cast<char16_t>(C - 0xD800) < 0x800; }

}  // namespace

TFoldMap& TFoldMap::Of(uint32_t Fold) {
  static std::array<std::unique_ptr<TFoldMap>, 8> Maps;
  static std::array<std::once_flag, 8> Made;
  Fold &= 7;
  std::call_once(Made[Fold], [Fold] { Maps[Fold].reset(new TFoldMap(Fold)); });
  return *Maps[Fold];
}

uint32_t TFoldMap::Ask(char16_t C) {
  uint32_t Entry = kNotAlone;
  if (!JoinsThePrevious(C) && !IsSurrogate(C)) {
    std::u16string Mapped;
    FoldedByPlatform(std::u16string_view(&C, 1), FFold, Mapped);
    // A unit that folds to half a pair would make one with its neighbour's.
    if (Mapped.size() == 1 && !IsSurrogate(Mapped[0])) Entry = kOneUnit | Mapped[0];
  }
  // Threads that meet a unit together ask each and store the same answer.
  FEntries[C].store(Entry, std::memory_order_relaxed);
  return Entry;
}

void TFoldMap::Append(std::u16string_view Text, std::u16string& Out) {
  std::u16string Span;  // only for the units that join others, which few lines have
  const size_t N = Text.size();
  size_t Written = Out.size();
  Out.resize(Written + N);
  size_t I = 0;
  // Most lines hold no unit that joins another: each unit then maps alone, with no look at
  // its neighbour.
  bool Joins = false;
  for (const char16_t C : Text) Joins |= JoinsThePrevious(C) || IsSurrogate(C);
  if (!Joins) {
    for (int32_t Unit; I < N && (Unit = Alone(Text[I])) >= 0; ++I) {
      Out[Written++] = static_cast<char16_t>(Unit);
    }
  }
  while (I < N) {
    const char16_t C = Text[I];
    const bool Joined =
        IsSurrogate(C) || JoinsThePrevious(C) || (I + 1 < N && JoinsThePrevious(Text[I + 1]));
    if (!Joined) {
      const int32_t Unit = Alone(C);
      if (Unit >= 0) {
        Out[Written++] = static_cast<char16_t>(Unit);
        ++I;
        continue;
      }
    }
    size_t End = I + 1;
    if (Joined) {
      while (End < N && (JoinsThePrevious(Text[End]) || IsSurrogate(Text[End]))) ++End;
    }
    FoldedByPlatform(Text.substr(I, End - I), FFold, Span);
    I = End;
    // Room for the span and one unit for each unit left.
    if (Written + Span.size() + (N - I) > Out.size()) Out.resize(Written + Span.size() + N - I);
    std::copy(Span.begin(), Span.end(), Out.begin() + static_cast<ptrdiff_t>(Written));
    Written += Span.size();
  }
  Out.resize(Written);
}

void FoldedByPlatform(std::u16string_view Text, uint32_t Fold, std::u16string& Out) {
  // Two buffers take the text in turn.
  std::u16string From(Text), To;
  for (const auto& [Bit, Flag] : {std::pair<uint32_t, DWORD>{fdWidth, LCMAP_FULLWIDTH},
                                  {fdKana, LCMAP_HIRAGANA},
                                  {fdCase, LCMAP_LOWERCASE}}) {
    if ((Fold & Bit) == 0) continue;
    Map(From, Flag, To);
    From.swap(To);
  }
  Out.assign(From);
}

std::u16string Folded(std::u16string_view Text, uint32_t Fold) {
  std::u16string Out;
  AppendFolded(Text, Fold, Out);
  return Out;
}

void AppendFolded(std::u16string_view Text, uint32_t Fold, std::u16string& Out) {
  if (Fold == 0) {
    Out += Text;
  } else {
    TFoldMap::Of(Fold).Append(Text, Out);
  }
}

void AppendKey(std::u16string_view Body, const TKeyRule& Rule, std::u16string& Out) {
  AppendFolded(FieldOf(Body, Rule), Rule.Fold, Out);
}

}  // namespace LineKey
