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

// Calls Visit(const TLine&) for each line of Text in order: each line ends after its CR LF,
// lone CR or lone LF; a final piece without a break is a line when it is not empty. Raises the
// list error (as a line list would) when Text has more lines than a list can hold.
template <class TVisit>
void ForEachLine(std::u16string_view Text, TVisit&& Visit) {
  const char16_t* P = Text.data();
  const size_t N = Text.size();
  size_t Begin = 0;
  int32_t Lines = 0;
  while (Begin < N) {
    const size_t Break = FindLineBreak(P, Begin, N);
    size_t End = Break;
    if (Break < N) {
      End = Break + 1;
      if (P[Break] == u'\r' && End < N && P[End] == u'\n') ++End;
    }
    if (Lines == ListClone::MaxListSize) ListClone::TListClone::Error("Too many lines", Lines);
    ++Lines;
    Visit(TLine{Begin, End - Begin, Break - Begin});
    Begin = End;
  }
}

// What makes two lines equal: their bodies, or their whole text including the line break.
enum class TKeyKind : uint8_t { kkBody = 0, kkWholeLine = 1 };
using enum TKeyKind;

// The distinct lines of one text, in order of first appearance, with a hash index over their
// keys. Holds views into the text, which must outlive it.
class TDistinctLines {
 public:
  TDistinctLines(std::u16string_view Text, TKeyKind KeyKind);

  // The number of the distinct line whose key equals Line's; when Line is the first with its
  // key it is appended as a new distinct line and Added is set.
  uint32_t FindOrAdd(const TLine& Line, bool& Added);

  size_t Count() const { return FLines.size(); }
  const TLine& operator[](size_t Index) const { return FLines[Index]; }

 private:
  // Empty slots hold Number 0; a used slot holds the distinct line's number + 1 and the low
  // 32 bits of its key's hash, which picks the home slot and screens out most unequal keys.
  struct TSlot {
    uint32_t Hash;
    uint32_t Number;
  };

  size_t KeyLength(const TLine& Line) const {
    return FKeyKind == kkBody ? Line.BodyLength : Line.Length;
  }
  void Grow();

  std::u16string_view FText;
  TKeyKind FKeyKind;
  std::vector<TSlot> FSlots;
  size_t FMask;
  std::vector<TLine> FLines;
};

// A 64-bit hash of the N code units at P, well mixed in every bit.
inline uint64_t HashKey(const char16_t* P, size_t N) {
  // Eight bytes per step, each step a bijection of the state, the length folded in first so
  // that the zero-padded tail cannot make two lengths collide.
  constexpr uint64_t K = 0x9E3779B97F4A7C15ull;
  const unsigned char* B = reinterpret_cast<const unsigned char*>(P);
  size_t Bytes = N * sizeof(char16_t);
  uint64_t H = (Bytes + 1) * K;
  for (; Bytes >= 8; Bytes -= 8, B += 8) {
    uint64_t W;
    std::memcpy(&W, B, 8);
    H = (H ^ W) * K;
    H ^= H >> 32;
  }
  if (Bytes != 0) {
    uint64_t W = 0;
    std::memcpy(&W, B, Bytes);
    H = (H ^ W) * K;
    H ^= H >> 32;
  }
  H ^= H >> 33;
  H *= 0xFF51AFD7ED558CCDull;
  H ^= H >> 33;
  H *= 0xC4CEB9FE1A85EC53ull;
  H ^= H >> 33;
  return H;
}

inline uint32_t TDistinctLines::FindOrAdd(const TLine& Line, bool& Added) {
  const char16_t* Key = FText.data() + Line.Offset;
  const size_t Length = KeyLength(Line);
  const auto Hash = static_cast<uint32_t>(HashKey(Key, Length));
  size_t I = Hash & FMask;
  for (;;) {
    const TSlot Slot = FSlots[I];
    if (Slot.Number == 0) break;
    if (Slot.Hash == Hash) {
      const TLine& Known = FLines[Slot.Number - 1];
      if (KeyLength(Known) == Length &&
          std::memcmp(FText.data() + Known.Offset, Key, Length * sizeof(char16_t)) == 0) {
        Added = false;
        return Slot.Number - 1;
      }
    }
    I = (I + 1) & FMask;
  }
  // Keep the table at most half full, so that probe runs stay short.
  if ((FLines.size() + 1) * 2 > FSlots.size()) {
    Grow();
    I = Hash & FMask;
    while (FSlots[I].Number != 0) I = (I + 1) & FMask;
  }
  FLines.push_back(Line);
  const auto Number = static_cast<uint32_t>(FLines.size());
  FSlots[I] = TSlot{Hash, Number};
  Added = true;
  return Number - 1;
}

}  // namespace DuplicationLineTable
