// Collation sort keys of many lines, held in one byte arena.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

namespace StringRecordListNormalSort {

// The platform's collation sort key (LCMapStringW, LCMAP_SORTKEY, in the user's locale) of
// each added text. Comparing two keys bytewise orders the texts as LocaleCompare does.
class TCollationKeys {
 public:
  // Reserves room for Count keys of texts totalling about Units code units.
  void Reserve(size_t Count, size_t Units);
  // Appends the key of Text; false when the platform cannot produce it.
  bool Add(std::u16string_view Text);
  // Appends the keys of every part in turn (copying in parallel) and empties the parts.
  void Join(std::vector<TCollationKeys>& Parts);
  size_t Count() const { return FOffsets.size() - 1; }
  size_t Length(size_t I) const { return FOffsets[I + 1] - FOffsets[I]; }
  // Asks the processor to fetch key I's offsets and the key's bytes from Depth on.
  void PrefetchOffsets(size_t I) const { __builtin_prefetch(&FOffsets[I]); }
  void PrefetchKey(size_t I, size_t Depth) const {
    __builtin_prefetch(FBytes.get() + FOffsets[I] + Depth);
  }

  // Bytes Depth .. Depth + 7 of key I as a big-endian number, bytes past the key's end read as
  // zero. For keys whose bytes before Depth read the same that way, differing prefixes order
  // as the whole keys do.
  uint64_t Prefix(size_t I, size_t Depth = 0) const;

  // -1, 0 or +1: keys I and J compared bytewise, a key that is a prefix of the other first.
  int32_t Compare(size_t I, size_t J) const { return CompareFrom(I, J, 0); }

  // Compare(I, J) for keys known to read the same before Depth (bytes past a key's end read
  // as zero): only the bytes from Depth on and the lengths can still differ.
  int32_t CompareFrom(size_t I, size_t J, size_t Depth) const {
    const size_t LengthA = Length(I);
    const size_t LengthB = Length(J);
    const size_t Common = LengthA < LengthB ? LengthA : LengthB;
    // When the shorter key ends before Depth, all its bytes equal the other's: it is a prefix.
    if (Common > Depth) {
      const int C = std::memcmp(FBytes.get() + FOffsets[I] + Depth,
                                FBytes.get() + FOffsets[J] + Depth, Common - Depth);
      if (C != 0) return C < 0 ? -1 : 1;
    }
    if (LengthA != LengthB) return LengthA < LengthB ? -1 : 1;
    return 0;
  }

 private:
  void EnsureRoom(size_t Bytes);

  // All keys back to back; only the first FUsed of FCapacity bytes are valid. A plain array
  // rather than a vector: the room written by the platform need not be zeroed first.
  std::unique_ptr<uint8_t[]> FBytes;
  size_t FUsed = 0;
  size_t FCapacity = 0;
  std::vector<size_t> FOffsets = {0};  // key I is FBytes[FOffsets[I] .. FOffsets[I + 1])
};

}  // namespace StringRecordListNormalSort
