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
#include "strings/FoldTables.h"

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

constexpr bool IsSurrogate(char32_t C) { return C - 0xD800 < 0x800; }

// The half-width voiced and semi-voiced marks, and the combining marks they fold to; the
// spacing marks ゛ and ゜ are two above the combining ones.
constexpr char16_t kHalfVoiced = 0xFF9E, kHalfSemiVoiced = 0xFF9F;
constexpr char16_t kVoiced = 0x3099, kSemiVoiced = 0x309A, kSpacingAfterCombining = 2;

// Whether the folds put the text in canonical composition.
constexpr bool Composes(uint32_t Fold) { return (Fold & (fdWidth | fdKana)) != 0; }

// Whether Fold folds C only together with the unit before it: a surrogate, a unit that
// composition may join to the one before under fdWidth or fdKana, and a half-width voiced or
// semi-voiced mark under fdWidth.
bool JoinsThePrevious(char16_t C, uint32_t Fold) {
  if (IsSurrogate(C)) return true;
  if ((Fold & fdWidth) != 0 && (C == kHalfVoiced || C == kHalfSemiVoiced)) return true;
  return Composes(Fold) && FoldTables::Covers(FoldTables::kJoinedByComposition,
                                              FoldTables::kJoinedByCompositionCount, C);
}

// Whether the combining Mark (U+3099 or U+309A) composes with Before, a kana.
bool TakesMark(char32_t Before, char16_t Mark) {
  if (Before > 0xFFFF) return false;
  const auto Kana = static_cast<char16_t>(Before);
  if (Mark == kVoiced) {
    return std::binary_search(FoldTables::kTakeVoicedMark,
                              FoldTables::kTakeVoicedMark + FoldTables::kTakeVoicedMarkCount, Kana);
  }
  return Mark == kSemiVoiced &&
         std::binary_search(FoldTables::kTakeSemiVoicedMark,
                            FoldTables::kTakeSemiVoicedMark + FoldTables::kTakeSemiVoicedMarkCount,
                            Kana);
}

// The code point at Text[I], I moved past it; an unpaired surrogate stands for itself.
char32_t NextCodePoint(std::u16string_view Text, size_t& I) {
  const char16_t C = Text[I++];
  if (C >= 0xD800 && C < 0xDC00 && I < Text.size() && Text[I] >= 0xDC00 && Text[I] < 0xE000) {
    return 0x10000 + ((C - 0xD800u) << 10) + (Text[I++] - 0xDC00u);
  }
  return C;
}

void Put(char32_t C, std::u16string& Out) {
  if (C < 0x10000) {
    Out += static_cast<char16_t>(C);
  } else {
    Out += static_cast<char16_t>(0xD800 + ((C - 0x10000) >> 10));
    Out += static_cast<char16_t>(0xDC00 + ((C - 0x10000) & 0x3FF));
  }
}

// Whether NormalizeString refuses C as not valid Unicode: an unpaired surrogate or a
// noncharacter. Such a character is never composed with another.
constexpr bool Refused(char32_t C) {
  return IsSurrogate(C) || (C >= 0xFDD0 && C <= 0xFDEF) || (C & 0xFFFE) == 0xFFFE;
}

// Appends Run, which holds no refused character, in canonical composition.
void AppendComposedRun(std::u16string_view Run, std::u16string& Out) {
  if (Run.empty()) return;
  if (Run.size() > static_cast<size_t>(INT_MAX / 3)) throw SysUtils::Exception("NormalizeString");
  const int Length = static_cast<int>(Run.size());
  const size_t Start = Out.size();
  // Composition makes a text at most three times as long; a platform that asks for more
  // room than that is given what it asks for, once.
  int Room = 3 * Length;
  for (int Try = 0; Try < 2; ++Try) {
    Out.resize(Start + static_cast<size_t>(Room));
    const int Written = NormalizeString(NormalizationC, AsWide(Run.data()), Length,
                                        AsWide(Out.data() + Start), Room);
    if (Written > 0) {
      Out.resize(Start + static_cast<size_t>(Written));
      return;
    }
    const int Wanted = NormalizeString(NormalizationC, AsWide(Run.data()), Length, nullptr, 0);
    if (Wanted <= Room) break;
    Room = Wanted;
  }
  Out.resize(Start);
  throw SysUtils::Exception("NormalizeString");
}

// Appends Text in canonical composition: each run between refused characters composed by the
// platform, the refused ones kept as they are.
void AppendComposed(std::u16string_view Text, std::u16string& Out) {
  size_t Begin = 0;
  for (size_t I = 0; I < Text.size();) {
    const size_t At = I;
    if (!Refused(NextCodePoint(Text, I))) continue;
    AppendComposedRun(Text.substr(Begin, At - Begin), Out);
    Out += Text.substr(At, I - At);
    Begin = I;
  }
  AppendComposedRun(Text.substr(Begin), Out);
}

// The kana fold of C: a katakana to its hiragana; ヷ ヸ ヹ ヺ to わ ゐ ゑ を, written to Out
// before the voiced mark, which is returned.
char32_t KanaFolded(char32_t C, std::u16string& Out) {
  if ((C >= 0x30A1 && C <= 0x30F6) || C == 0x30FD || C == 0x30FE) return C - 0x60;
  if (C >= 0x30F7 && C <= 0x30FA) {
    Out += static_cast<char16_t>(C - 0x30F7 + 0x308F);
    return kVoiced;
  }
  return C;
}

}  // namespace

void FoldedPlainly(std::u16string_view Text, uint32_t Fold, std::u16string& Out) {
  std::u16string Composed, Mapped;
  if (Composes(Fold)) {
    AppendComposed(Text, Composed);
    Text = Composed;
  }
  // The character before, as the width fold left it.
  char32_t Before = 0;
  for (size_t I = 0; I < Text.size();) {
    char32_t C = NextCodePoint(Text, I);
    if ((Fold & fdWidth) != 0) {
      const bool Mark = C == kHalfVoiced || C == kHalfSemiVoiced;
      C = FoldTables::Mapped(FoldTables::kWidthForms, FoldTables::kWidthFormsCount, C);
      if (Mark && !TakesMark(Before, static_cast<char16_t>(C))) C += kSpacingAfterCombining;
      Before = C;
    }
    if ((Fold & fdKana) != 0) C = KanaFolded(C, Mapped);
    if ((Fold & fdCase) != 0) {
      C = FoldTables::Mapped(FoldTables::kCaseFolds, FoldTables::kCaseFoldsCount, C);
    }
    Put(C, Mapped);
  }
  Out.clear();
  if (Composes(Fold)) {
    AppendComposed(Mapped, Out);
  } else {
    Out.swap(Mapped);
  }
}

TFoldMap& TFoldMap::Of(uint32_t Fold) {
  static std::array<std::unique_ptr<TFoldMap>, 8> Maps;
  static std::array<std::once_flag, 8> Made;
  Fold &= 7;
  std::call_once(Made[Fold], [Fold] { Maps[Fold].reset(new TFoldMap(Fold)); });
  return *Maps[Fold];
}

uint32_t TFoldMap::Ask(char16_t C) {
  uint32_t Entry = kJoins;
  if (!JoinsThePrevious(C, FFold)) {
    std::u16string Mapped;
    FoldedPlainly(std::u16string_view(&C, 1), FFold, Mapped);
    // A unit that folds to half a pair would make one with its neighbour's.
    Entry = Mapped.size() == 1 && !IsSurrogate(Mapped[0]) ? kOneUnit | Mapped[0] : kSeveral;
  }
  // Threads that meet a unit together work it out each and store the same answer.
  FEntries[C].store(Entry, std::memory_order_relaxed);
  return Entry;
}

void TFoldMap::Append(std::u16string_view Text, std::u16string& Out) {
  std::u16string Span;  // only for the units that do not fold alone, which few lines have
  const size_t N = Text.size();
  size_t Written = Out.size();
  Out.resize(Written + N);
  uint32_t Entry = N > 0 ? EntryOf(Text[0]) : 0;
  for (size_t I = 0; I < N;) {
    uint32_t Next = I + 1 < N ? EntryOf(Text[I + 1]) : 0;
    if ((Entry & kOneUnit) != 0 && (Next & kJoins) == 0) {
      Out[Written++] = static_cast<char16_t>(Entry);
      ++I;
      Entry = Next;
      continue;
    }
    // Unit I with the units that join it, folded together.
    size_t End = I + 1;
    while ((Next & kJoins) != 0) Next = ++End < N ? EntryOf(Text[End]) : 0;
    FoldedPlainly(Text.substr(I, End - I), FFold, Span);
    I = End;
    Entry = Next;
    // Room for the span and one unit for each unit left.
    if (Written + Span.size() + (N - I) > Out.size()) Out.resize(Written + Span.size() + N - I);
    std::copy(Span.begin(), Span.end(), Out.begin() + static_cast<ptrdiff_t>(Written));
    Written += Span.size();
  }
  Out.resize(Written);
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
