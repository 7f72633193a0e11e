// The machinery under the duplicate commands: cutting a text into lines in place (no line is
// copied) and finding equal lines through a hash index, so that each command runs in expected
// linear time. Lines are cut exactly as TCommonStringRecordList::SetText cuts them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "TemplateList/ListClone.h"

namespace DuplicationLineTable {

// One line of a text: where it starts, its length with its line break and without it.
struct TLine {
  size_t Offset;
  size_t Length;
  size_t BodyLength;
};

// The position of the first CR or LF in P[From, N), or N when there is none.
inline size_t FindLineBreak(const char16_t* P, size_t From, size_t N) {
  size_t I = From;
#if defined(__SSE2__)
  // Eight code units per step: most lines are a few dozen code units long.
  const __m128i Cr = _mm_set1_epi16(0x0D);
  const __m128i Lf = _mm_set1_epi16(0x0A);
  for (; I + 8 <= N; I += 8) {
    const __m128i V = _mm_loadu_si128(reinterpret_cast<const __m128i*>(P + I));
    const int Mask =
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(V, Cr), _mm_cmpeq_epi16(V, Lf)));
    if (Mask != 0) return I + (static_cast<unsigned>(__builtin_ctz(Mask)) >> 1);
  }
#endif
  for (; I < N; ++I) {
    if (P[I] == u'\r' || P[I] == u'\n') return I;
  }
  return N;
}

// The line of Text that starts at Begin < Text.size().
inline TLine LineAt(std::u16string_view Text, size_t Begin) {
  const char16_t* P = Text.data();
  const size_t N = Text.size();
  const size_t Break = FindLineBreak(P, Begin, N);
  size_t End = Break;
  if (Break < N) {
    End = Break + 1;
    if (P[Break] == u'\r' && End < N && P[End] == u'\n') ++End;
  }
  return TLine{Begin, End - Begin, Break - Begin};
}

// Raises the list error when a text has more lines than a line list can hold, as cutting it
// into a list would.
inline void CheckLineCount(size_t Lines) {
  if (Lines > static_cast<size_t>(ListClone::MaxListSize)) {
    ListClone::TListClone::Error("Too many lines", ListClone::MaxListSize);
  }
}

// How many code units ahead of the current line the text is fetched into the cache: the
// hardware does not always stream a large text in fast enough by itself.
constexpr size_t TextAhead = 1024;

// A 64-bit hash of the N code units at P, well mixed in every bit.
inline uint64_t HashKey(const char16_t* P, size_t N) {
  // Eight bytes per step, each step a bijection of the state; the length goes in first, so
  // that the overlapping or zero-padded reads of the tail cannot make two lengths collide.
  constexpr uint64_t K = 0x9E3779B97F4A7C15ull;
  const unsigned char* B = reinterpret_cast<const unsigned char*>(P);
  const size_t Bytes = N * sizeof(char16_t);
  uint64_t H = (Bytes + 1) * K;
  auto Step = [&H](uint64_t W) {
    H = (H ^ W) * K;
    H ^= H >> 32;
  };
  uint64_t W = 0;
  if (Bytes >= 8) {
    size_t I = 0;
    for (; I + 8 < Bytes; I += 8) {
      std::memcpy(&W, B + I, 8);
      Step(W);
    }
    std::memcpy(&W, B + Bytes - 8, 8);  // The last eight bytes, overlapping the step before.
  } else if (Bytes >= 4) {
    uint32_t Lo = 0;
    uint32_t Hi = 0;
    std::memcpy(&Lo, B, 4);
    std::memcpy(&Hi, B + Bytes - 4, 4);
    W = (static_cast<uint64_t>(Hi) << 32) | Lo;
  } else if (Bytes == 2) {
    uint16_t Unit = 0;
    std::memcpy(&Unit, B, 2);
    W = Unit;
  }
  Step(W);
  H ^= H >> 33;
  H *= 0xFF51AFD7ED558CCDull;
  H ^= H >> 33;
  H *= 0xC4CEB9FE1A85EC53ull;
  H ^= H >> 33;
  return H;
}

// What makes two lines equal: their bodies, or their whole text including the line break.
enum class TKeyKind : uint8_t { kkBody = 0, kkWholeLine = 1 };
using enum TKeyKind;

// The distinct lines of one text, in order of first appearance, found through a hash index
// over their keys. Holds views into the text, which must outlive it.
class TDistinctLines {
 public:
  TDistinctLines(std::u16string_view Text, TKeyKind KeyKind);

  // Goes through the lines of the text in order and calls Visit(const TLine&, uint32_t
  // Number, bool Added) for each: Number is the distinct line with the same key, which is
  // this line itself (Added) when no earlier line has it. With kkWholeLine, bare line breaks
  // are passed over without a call.
  template <class TVisit>
  void Scan(TVisit&& Visit);

  size_t Count() const { return FKeys.size(); }
  // Where the distinct line Number starts in the text.
  size_t Offset(size_t Number) const { return FKeys[Number].Offset; }
  // The distinct line Number, as it stood in the text.
  TLine Line(size_t Number) const {
    const TKey& Key = FKeys[Number];
    if (FKeyKind == kkWholeLine) return WholeLine(Key);
    // A body ends where its line break, if any, starts.
    const size_t Break = Key.Offset + Key.Length;
    size_t End = Break;
    if (Break < FText.size()) {
      End = Break + 1;
      if (FText[Break] == u'\r' && End < FText.size() && FText[End] == u'\n') ++End;
    }
    return TLine{Key.Offset, End - Key.Offset, Key.Length};
  }

 private:
  // Empty slots hold Number 0; a used slot holds the distinct line's number + 1 and the low
  // 32 bits of its key's hash, which picks the home slot and screens out most unequal keys.
  struct TSlot {
    uint32_t Hash;
    uint32_t Number;
  };
  // A distinct line's key in the text.
  struct TKey {
    size_t Offset;
    size_t Length;
  };

  uint32_t FindOrAdd(size_t Offset, size_t Length, uint32_t Hash, bool& Added);
  TLine WholeLine(const TKey& Key) const;
  void Grow();

  std::u16string_view FText;
  TKeyKind FKeyKind;
  std::vector<TSlot> FSlots;
  size_t FMask;
  std::vector<TKey> FKeys;
  // How far Scan has come through the text, for sizing the table when it grows.
  size_t FScanned = 0;
};

inline uint32_t TDistinctLines::FindOrAdd(size_t Offset, size_t Length, uint32_t Hash,
                                          bool& Added) {
  const char16_t* Key = FText.data() + Offset;
  size_t I = Hash & FMask;
  for (;;) {
    const TSlot Slot = FSlots[I];
    if (Slot.Number == 0) break;
    if (Slot.Hash == Hash) {
      const TKey& Known = FKeys[Slot.Number - 1];
      if (Known.Length == Length &&
          std::memcmp(FText.data() + Known.Offset, Key, Length * sizeof(char16_t)) == 0) {
        Added = false;
        return Slot.Number - 1;
      }
    }
    I = (I + 1) & FMask;
  }
  // Keep the table at most half full, so that probe runs stay short.
  if ((FKeys.size() + 1) * 2 > FSlots.size()) {
    Grow();
    I = Hash & FMask;
    while (FSlots[I].Number != 0) I = (I + 1) & FMask;
  }
  FKeys.push_back(TKey{Offset, Length});
  const auto Number = static_cast<uint32_t>(FKeys.size());
  FSlots[I] = TSlot{Hash, Number};
  Added = true;
  return Number - 1;
}

template <class TVisit>
void TDistinctLines::Scan(TVisit&& Visit) {
  // Lines go in batches: while the lines of one batch are looked up in order, the next batch
  // is cut, hashed and its home slots fetched ahead. With a table larger than the cache, the
  // fetches overlap instead of each lookup waiting for its own.
  constexpr size_t BatchSize = 32;
  TLine Lines[2][BatchSize];
  uint32_t Hashes[2][BatchSize];
  size_t Filled[2] = {0, 0};
  size_t LineCount = 0;
  size_t Begin = 0;
  auto Fill = [&](size_t Batch) {
    size_t N = 0;
    for (; N < BatchSize && Begin < FText.size(); ++N) {
      if (Begin + TextAhead < FText.size()) __builtin_prefetch(FText.data() + Begin + TextAhead);
      const TLine Line = LineAt(FText, Begin);
      Begin += Line.Length;
      const size_t KeyLength = FKeyKind == kkBody ? Line.BodyLength : Line.Length;
      Lines[Batch][N] = Line;
      Hashes[Batch][N] = static_cast<uint32_t>(HashKey(FText.data() + Line.Offset, KeyLength));
      __builtin_prefetch(&FSlots[Hashes[Batch][N] & FMask]);
    }
    Filled[Batch] = N;
    LineCount += N;
    CheckLineCount(LineCount);
  };
  size_t Current = 0;
  Fill(Current);
  while (Filled[Current] != 0) {
    Fill(1 - Current);
    FScanned = Begin;
    for (size_t I = 0; I < Filled[Current]; ++I) {
      const TLine& Line = Lines[Current][I];
      bool Added = false;
      if (FKeyKind == kkBody) {
        const uint32_t Number = FindOrAdd(Line.Offset, Line.BodyLength, Hashes[Current][I], Added);
        Visit(Line, Number, Added);
      } else if (Line.BodyLength != 0) {
        const uint32_t Number = FindOrAdd(Line.Offset, Line.Length, Hashes[Current][I], Added);
        Visit(Line, Number, Added);
      }
    }
    Current = 1 - Current;
  }
}

}  // namespace DuplicationLineTable
