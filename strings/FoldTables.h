// The character data of the folds, generated from Unicode's data by scripts/fold_tables.py
// into FoldTables.cpp: each build compiles the same tables.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>

namespace FoldTables {

// Every Step-th code point from First to Last maps to itself + Delta.
struct TRange {
  char32_t First, Last;
  int32_t Delta;
  uint32_t Step;
};
// The code units First to Last.
struct TSpan {
  char16_t First, Last;
};

// Each character with a <wide> or <narrow> compatibility form, to that form (U+FF9E and U+FF9F,
// the half-width voiced marks, to the combining marks U+3099 and U+309A).
extern const TRange kWidthForms[];
extern const size_t kWidthFormsCount;
// Each character to the capital of its simple case folding, or to the folding itself where
// that has no capital of its own folding (ß, ı): characters that differ only in case map to one.
extern const TRange kCaseFolds[];
extern const size_t kCaseFoldsCount;
// The code units of the basic plane that canonical composition may join to the character
// before them (those with no NFC boundary before them): combining marks, conjoining vowels.
extern const TSpan kJoinedByComposition[];
extern const size_t kJoinedByCompositionCount;
// The kana that compose with U+3099 (the voiced mark) and with U+309A (the semi-voiced mark).
extern const char16_t kTakeVoicedMark[];
extern const size_t kTakeVoicedMarkCount;
extern const char16_t kTakeSemiVoicedMark[];
extern const size_t kTakeSemiVoicedMarkCount;

// C mapped by Ranges (sorted, not overlapping); C itself where none covers it.
inline char32_t Mapped(const TRange* Ranges, size_t Count, char32_t C) {
  const TRange* const End = Ranges + Count;
  const TRange* R =
      std::upper_bound(Ranges, End, C, [](char32_t P, const TRange& Q) { return P < Q.First; });
  if (R == Ranges) return C;
  --R;
  if (C > R->Last || (C - R->First) % R->Step != 0) return C;
  return static_cast<char32_t>(static_cast<int32_t>(C) + R->Delta);
}

// Whether Spans (sorted, not overlapping) cover C.
inline bool Covers(const TSpan* Spans, size_t Count, char16_t C) {
  const TSpan* const End = Spans + Count;
  const TSpan* S =
      std::upper_bound(Spans, End, C, [](char16_t P, const TSpan& Q) { return P < Q.First; });
  return S != Spans && C <= (S - 1)->Last;
}

}  // namespace FoldTables
