// Collation sort keys of many lines, held in one byte arena.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
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
  size_t Count() const { return FOffsets.size() - 1; }

  // The first eight bytes of key I as a big-endian number, missing bytes as zero. When two
  // prefixes differ they order as the whole keys do.
  uint64_t Prefix(size_t I) const;

  // -1, 0 or +1: keys I and J compared bytewise, a key that is a prefix of the other first.
  int32_t Compare(size_t I, size_t J) const {
    const uint8_t* A = FBytes.data() + FOffsets[I];
    const uint8_t* B = FBytes.data() + FOffsets[J];
    const size_t LengthA = FOffsets[I + 1] - FOffsets[I];
    const size_t LengthB = FOffsets[J + 1] - FOffsets[J];
    const size_t Common = LengthA < LengthB ? LengthA : LengthB;
    if (const int C = std::memcmp(A, B, Common); C != 0) return C < 0 ? -1 : 1;
    if (LengthA != LengthB) return LengthA < LengthB ? -1 : 1;
    return 0;
  }

  // Compare(I, J) for keys whose prefixes are known to be equal: the first eight bytes, when
  // both keys have them, need no second look.
  int32_t CompareAfterPrefix(size_t I, size_t J) const {
    const size_t LengthA = FOffsets[I + 1] - FOffsets[I];
    const size_t LengthB = FOffsets[J + 1] - FOffsets[J];
    const size_t Common = LengthA < LengthB ? LengthA : LengthB;
    const size_t Skip = Common >= 8 ? 8 : 0;
    const int C = std::memcmp(FBytes.data() + FOffsets[I] + Skip,
                              FBytes.data() + FOffsets[J] + Skip, Common - Skip);
    if (C != 0) return C < 0 ? -1 : 1;
    if (LengthA != LengthB) return LengthA < LengthB ? -1 : 1;
    return 0;
  }

 private:
  void EnsureRoom(size_t Bytes);

  std::vector<uint8_t> FBytes;  // all keys, back to back; only [0, FUsed) is valid
  size_t FUsed = 0;
  std::vector<size_t> FOffsets = {0};  // key I is FBytes[FOffsets[I] .. FOffsets[I + 1])
};

}  // namespace StringRecordListNormalSort
