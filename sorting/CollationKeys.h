// Collation sort keys of many lines, held in byte arenas with 32-bit offsets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace KeyedSort {

// The platform's collation sort key (LCMapStringW, LCMAP_SORTKEY, in the user's locale) of
// each added text. Comparing two keys bytewise orders the texts as LocaleCompare does.
//
// The keys lie in parts of 2^Shift consecutive keys each (the last part may hold fewer), every
// part in an arena of its own of at most 4 GiB, so that a key's place takes 32 bits and the
// parts, made on several threads, are used where they were made rather than joined.
//
// Keys made after Divide with a head of H bytes keep their first H bytes outside: AddTo hands
// them to the caller (the sort records hold them), and the arena keeps only what follows, so
// that those bytes are not stored twice. Such keys can be read only from byte H on (Prefix,
// CompareFrom), except through the slow Prefix at a smaller depth, which remakes the key.
class TCollationKeys {
 public:
  // Keys added with Add all go to one part.
  TCollationKeys() = default;

  // Empties the keys and prepares room for Count keys in parts of 2^Shift keys (Shift <= 31),
  // to be filled with AddTo, keeping each key's first Head bytes (at most 16) outside.
  void Divide(size_t Count, unsigned Shift, size_t Head = 0);
  // How many leading bytes of each key are kept outside (0: none).
  size_t Head() const { return FHead; }
  // Gives the text of key I (maybe in Scratch), for remaking the heads of keys; once given,
  // Prefix reads below the head too.
  using TTextOf = std::function<std::u16string_view(size_t I, std::u16string& Scratch)>;
  void SetTextOf(TTextOf TextOf) { FTextOf = std::move(TextOf); }
  // How many parts Divide made (1 for keys added with Add).
  size_t Parts() const { return FBases.size(); }
  // The first key of Part.
  size_t PartBegin(size_t Part) const { return Part << FShift; }
  // Reserves room in Part for about Units code units of text in Count keys.
  void ReservePart(size_t Part, size_t Count, size_t Units);
  // Makes key I, that of Text; false when the platform cannot produce it or the part's arena
  // would pass 4 GiB. The keys of one part must be made in order; different parts may be
  // filled on different threads at once. With a head, its Head() bytes (zeros past the key's
  // end) are written to HeadBytes.
  bool AddTo(size_t I, std::u16string_view Text, uint8_t* HeadBytes = nullptr);

  // Makes key I the given bytes, followed by the platform's key of Text when one is given:
  // keys of an order of the caller's, which the text decides only past those bytes. Only
  // without a head; false as for AddTo.
  bool AddBytesTo(size_t I, std::span<const uint8_t> Bytes);
  bool AddBytesTo(size_t I, std::span<const uint8_t> Bytes, std::u16string_view Text);

  // A key that is to be the same bytes as another: key Key, added empty, becomes the Length
  // bytes of key From (Length(From), read before any room is made), which is no such copy.
  struct TCopy {
    uint32_t Key;
    uint32_t From;
    uint32_t Length;
  };
  // Gives each copy's key, all in Part and in rising order, room for its bytes: the part's
  // later keys move up. Only without a head; false when the arena would pass 4 GiB. Parts may
  // be given room on different threads at once.
  bool MakeRoomForCopies(size_t Part, std::span<const TCopy> Copies);
  // Writes the copies' bytes, once every part that holds a copy has its room. Copies of
  // different parts may be written on different threads at once.
  void WriteCopies(std::span<const TCopy> Copies);

  // Reserves room for Count more keys of texts totalling about Units code units (Add).
  void Reserve(size_t Count, size_t Units);
  // Appends the key of Text as key Count(); false as for AddTo. Not after Divide.
  bool Add(std::u16string_view Text);

  size_t Count() const { return FCount; }
  // The length of the whole key I, head included.
  size_t Length(size_t I) const {
    const size_t Stored = FOffsets[Slot(I) + 1] - FOffsets[Slot(I)];
    if (FHead == 0) return Stored;
    // A key no longer than the head keeps only its length; a longer one keeps its last head
    // byte too, so that it never takes a single byte.
    return Stored == 1 ? Key(I)[0] : Stored + FHead - 1;
  }
  // The first of key I's Length(I) bytes; only without a head.
  const uint8_t* Data(size_t I) const { return Key(I); }
  // Asks the processor to fetch key I's offsets and the key's bytes from Depth on.
  void PrefetchOffsets(size_t I) const { __builtin_prefetch(&FOffsets[Slot(I)]); }
  void PrefetchKey(size_t I, size_t Depth) const {
    __builtin_prefetch(Key(I) + (Depth > Skipped() ? Depth - Skipped() : 0));
  }

  // Bytes Depth .. Depth + 7 of key I as a big-endian number, bytes past the key's end read as
  // zero. For keys whose bytes before Depth read the same that way, differing prefixes order
  // as the whole keys do. Below the head it remakes the key from its text (SetTextOf), which
  // is slow; it throws std::runtime_error if the text is not known or gives no key.
  uint64_t Prefix(size_t I, size_t Depth = 0) const;

  // -1, 0 or +1: keys I and J compared bytewise, a key that is a prefix of the other first.
  int32_t Compare(size_t I, size_t J) const { return CompareFrom(I, J, 0); }

  // Compare(I, J) for keys known to read the same before Depth (bytes past a key's end read
  // as zero): only the bytes from Depth on and the lengths can still differ. Depth >= Head().
  int32_t CompareFrom(size_t I, size_t J, size_t Depth) const {
    const size_t LengthA = Length(I);
    const size_t LengthB = Length(J);
    const size_t Common = LengthA < LengthB ? LengthA : LengthB;
    // When the shorter key ends before Depth, all its bytes equal the other's: it is a prefix.
    if (Common > Depth) {
      // Both keys are longer than Depth, so longer than the head: their bytes from Depth on
      // are stored.
      const int C =
          std::memcmp(Key(I) + (Depth - Skipped()), Key(J) + (Depth - Skipped()), Common - Depth);
      if (C != 0) return C < 0 ? -1 : 1;
    }
    if (LengthA != LengthB) return LengthA < LengthB ? -1 : 1;
    return 0;
  }

 private:
  // The parts' arenas grow on different threads at once: each is padded so that no two share a
  // cache line wherever the array of them starts (a type aligned to the line would need memory
  // that the allocators of some builds do not align).
  struct TArena {
    std::unique_ptr<uint8_t[]> Bytes;
    size_t Used = 0;
    size_t Capacity = 0;
    char Padding[128 - sizeof(std::unique_ptr<uint8_t[]>) - 2 * sizeof(size_t)];
  };

  // Where key I's offset lies in FOffsets: each part has one offset more than keys.
  size_t Slot(size_t I) const { return I + (I >> FShift); }
  const uint8_t* Key(size_t I) const { return FBases[I >> FShift] + FOffsets[Slot(I)]; }
  // How many leading bytes of a key longer than the head the arena leaves out.
  size_t Skipped() const { return FHead == 0 ? 0 : FHead - 1; }
  // Grows Part's arena to hold Bytes more; false past 4 GiB.
  bool EnsureRoom(size_t Part, size_t Bytes);
  bool Write(size_t Part, std::u16string_view Text, uint8_t* HeadBytes, uint32_t& End);

  // The arenas' bytes: only the first Used of Capacity are valid. Plain arrays rather than
  // vectors: the room written by the platform need not be zeroed first.
  std::vector<TArena> FArenas;
  std::vector<const uint8_t*> FBases;  // each arena's first byte
  // Key I is the bytes FOffsets[Slot(I)] .. FOffsets[Slot(I) + 1] of its part's arena.
  std::vector<uint32_t> FOffsets;
  unsigned FShift = 31;  // every possible line in part 0
  size_t FCount = 0;
  size_t FHead = 0;
  TTextOf FTextOf;
};

}  // namespace KeyedSort
