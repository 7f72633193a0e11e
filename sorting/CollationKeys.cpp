#include "sorting/CollationKeys.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "platform/Win32.h"
#include "strings/StringUnit.h"

namespace KeyedSort {

namespace {

// The most bytes an arena may hold: its offsets take 32 bits.
constexpr size_t ArenaLimit = UINT32_MAX;

}  // namespace

void TCollationKeys::Divide(size_t Count, unsigned Shift, size_t Head) {
  FShift = std::min(Shift, 31u);
  FHead = std::min<size_t>(Head, 16);
  const size_t Parts = Count == 0 ? 1 : ((Count - 1) >> FShift) + 1;
  FArenas = std::vector<TArena>(Parts);
  FBases.assign(Parts, nullptr);
  // Every part's first offset is 0; the others are written as the keys are made.
  FOffsets.assign(Count + Parts, 0);
  FCount = Count;
}

void TCollationKeys::ReservePart(size_t Part, size_t Count, size_t Units) {
  // Keys of Latin text take a little over a byte per character, of Japanese text two or three:
  // two bytes per code unit and a few for each key's levels is a fair first guess; the arena
  // grows when it is not enough. Room that is never written costs no memory.
  EnsureRoom(Part, std::min(Units * 2 + Count * 8, ArenaLimit));
}

void TCollationKeys::Reserve(size_t Count, size_t Units) {
  if (FArenas.empty()) Divide(0, 31);
  FOffsets.reserve(FOffsets.size() + Count);
  ReservePart(0, Count, Units);
}

bool TCollationKeys::EnsureRoom(size_t Part, size_t Bytes) {
  TArena& Arena = FArenas[Part];
  if (Arena.Capacity - Arena.Used >= Bytes) return true;
  if (Bytes > ArenaLimit - Arena.Used) return false;
  const size_t Capacity = std::min(std::max(Arena.Capacity * 2, Arena.Used + Bytes), ArenaLimit);
  std::unique_ptr<uint8_t[]> Grown(new uint8_t[Capacity]);
  if (Arena.Used > 0) std::memcpy(Grown.get(), Arena.Bytes.get(), Arena.Used);
  Arena.Bytes = std::move(Grown);
  Arena.Capacity = Capacity;
  FBases[Part] = Arena.Bytes.get();
  return true;
}

bool TCollationKeys::Write(size_t Part, std::u16string_view Text, uint8_t* HeadBytes,
                           uint32_t& End) {
  if (Text.size() > static_cast<size_t>(INT_MAX)) return false;
  // The platform refuses a zero length; the empty text is passed NUL-terminated instead.
  static const char16_t Empty[1] = {0};
  const LPCWSTR Source = AsWide(Text.empty() ? Empty : Text.data());
  const int SourceLength = Text.empty() ? -1 : static_cast<int>(Text.size());

  // Write straight into the arena's free room, made large enough for the key of a line of
  // ordinary length; only when that is too small ask for the size. Near the arena's limit
  // the room may be smaller than asked for; the size is then asked for all the same.
  TArena& Arena = FArenas[Part];
  EnsureRoom(Part, std::min<size_t>(Text.size() * 3 + 16, 65536));
  const auto Room = static_cast<int>(std::min<size_t>(Arena.Capacity - Arena.Used, INT_MAX));
  auto* Dest = reinterpret_cast<LPWSTR>(Arena.Bytes.get() + Arena.Used);
  int Written =
      Room == 0 ? 0
                : LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | StringUnit::CollationFlags(),
                               Source, SourceLength, Dest, Room);
  if (Written <= 0) {
    const int Needed =
        LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | StringUnit::CollationFlags(), Source,
                     SourceLength, nullptr, 0);
    if (Needed <= 0 || !EnsureRoom(Part, static_cast<size_t>(Needed))) return false;
    Dest = reinterpret_cast<LPWSTR>(Arena.Bytes.get() + Arena.Used);
    Written = LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | StringUnit::CollationFlags(),
                           Source, SourceLength, Dest, Needed);
    if (Written <= 0) return false;
  }
  if (FHead > 0) {
    // The head goes to the caller; the arena keeps the length of a key that fits in the head,
    // or else the key from its last head byte on (Length tells the two apart by their size).
    auto* const Bytes = reinterpret_cast<uint8_t*>(Dest);
    const auto Length = static_cast<size_t>(Written);
    if (HeadBytes != nullptr) {
      std::memset(HeadBytes, 0, FHead);
      std::memcpy(HeadBytes, Bytes, std::min(Length, FHead));
    }
    if (Length <= FHead) {
      Bytes[0] = static_cast<uint8_t>(Length);
      Written = 1;
    } else {
      std::memmove(Bytes, Bytes + Skipped(), Length - Skipped());
      Written = static_cast<int>(Length - Skipped());
    }
  }
  Arena.Used += static_cast<size_t>(Written);
  End = static_cast<uint32_t>(Arena.Used);
  return true;
}

bool TCollationKeys::AddTo(size_t I, std::u16string_view Text, uint8_t* HeadBytes) {
  uint32_t End;
  if (!Write(I >> FShift, Text, HeadBytes, End)) return false;
  FOffsets[Slot(I) + 1] = End;
  return true;
}

bool TCollationKeys::AddBytesTo(size_t I, std::span<const uint8_t> Bytes) {
  if (FHead > 0) throw std::logic_error("bytes given as keys that keep a head");
  const size_t Part = I >> FShift;
  if (!EnsureRoom(Part, Bytes.size())) return false;
  TArena& Arena = FArenas[Part];
  if (!Bytes.empty()) std::memcpy(Arena.Bytes.get() + Arena.Used, Bytes.data(), Bytes.size());
  Arena.Used += Bytes.size();
  FOffsets[Slot(I) + 1] = static_cast<uint32_t>(Arena.Used);
  return true;
}

bool TCollationKeys::AddBytesTo(size_t I, std::span<const uint8_t> Bytes,
                                std::u16string_view Text) {
  const size_t Part = I >> FShift;
  const size_t Start = FArenas[Part].Used;
  uint32_t End;
  // The platform's key follows the bytes, whose end is then the part's end for a moment.
  if (!AddBytesTo(I, Bytes) || !Write(Part, Text, nullptr, End)) {
    FArenas[Part].Used = Start;
    return false;
  }
  FOffsets[Slot(I) + 1] = End;
  return true;
}

bool TCollationKeys::MakeRoomForCopies(size_t Part, std::span<const TCopy> Copies) {
  if (FHead > 0) throw std::logic_error("copied keys that keep a head");
  size_t Extra = 0;
  for (const TCopy& Copy : Copies) Extra += Copy.Length;
  if (Extra == 0) return true;
  if (!EnsureRoom(Part, Extra)) return false;
  TArena& Arena = FArenas[Part];
  uint8_t* const Bytes = Arena.Bytes.get();
  // From the last copy back: the keys from each copy up to the next move up by the lengths of
  // the copies up to it, so every byte moves once.
  size_t Shift = Extra;
  size_t Next = std::min(PartBegin(Part + 1), FCount);
  size_t To = Arena.Used;
  for (auto Copy = Copies.rbegin(); Copy != Copies.rend(); ++Copy) {
    const size_t From = FOffsets[Slot(Copy->Key) + 1];  // where the empty key lies
    std::memmove(Bytes + From + Shift, Bytes + From, To - From);
    // The part's offsets lie in a row: the ends of keys Key .. Next - 1 follow Key's.
    uint32_t* const Ends = FOffsets.data() + Slot(Copy->Key) + 1;
    for (size_t K = 0; K < Next - Copy->Key; ++K) Ends[K] += static_cast<uint32_t>(Shift);
    Shift -= Copy->Length;
    Next = Copy->Key;
    To = From;
  }
  Arena.Used += Extra;
  return true;
}

void TCollationKeys::WriteCopies(std::span<const TCopy> Copies) {
  for (const TCopy& Copy : Copies) {
    uint8_t* const To = FArenas[Copy.Key >> FShift].Bytes.get() + FOffsets[Slot(Copy.Key)];
    std::memcpy(To, Key(Copy.From), Copy.Length);
  }
}

bool TCollationKeys::Add(std::u16string_view Text) {
  if (FArenas.empty()) Divide(0, 31);
  uint32_t End;
  if (!Write(0, Text, nullptr, End)) return false;
  FOffsets.push_back(End);
  ++FCount;
  return true;
}

uint64_t TCollationKeys::Prefix(size_t I, size_t Depth) const {
  if (Depth < FHead) {
    // The head is not stored: the key is made again, whole, from the line's text. Only the
    // restart of a sort asks for it.
    if (!FTextOf) throw std::runtime_error("collation key head not kept");
    std::u16string Scratch;
    TCollationKeys Whole;
    if (!Whole.Add(FTextOf(I, Scratch))) throw std::runtime_error("collation key not remade");
    return Whole.Prefix(0, Depth);
  }
  const size_t Size = Length(I);
  // From the head on, key byte K lies at Bytes[K - Skipped()].
  const uint8_t* Bytes = Key(I);
  const size_t Skip = Skipped();
  if (Depth + 8 <= Size) {
    uint64_t Result;
    std::memcpy(&Result, Bytes + (Depth - Skip), 8);
    if constexpr (std::endian::native == std::endian::little) Result = __builtin_bswap64(Result);
    return Result;
  }
  uint64_t Result = 0;
  for (size_t K = Depth; K < Depth + 8; ++K) {
    Result = (Result << 8) | (K < Size ? Bytes[K - Skip] : 0);
  }
  return Result;
}

}  // namespace KeyedSort
