#include "sorting/CollationKeys.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>
#include <utility>

#include "base/Parallel.h"
#include "platform/Win32.h"

namespace StringRecordListNormalSort {

void TCollationKeys::Reserve(size_t Count, size_t Units) {
  FOffsets.reserve(FOffsets.size() + Count);
  // Keys of Latin text take a little over a byte per character, of Japanese text two or three:
  // two bytes per code unit is a fair first guess; the arena grows when it is not enough.
  EnsureRoom(Units * 2 + Count * 8);
}

void TCollationKeys::EnsureRoom(size_t Bytes) {
  if (FCapacity - FUsed >= Bytes) return;
  const size_t Capacity = std::max(FCapacity * 2, FUsed + Bytes);
  std::unique_ptr<uint8_t[]> Grown(new uint8_t[Capacity]);
  if (FUsed > 0) std::memcpy(Grown.get(), FBytes.get(), FUsed);
  FBytes = std::move(Grown);
  FCapacity = Capacity;
}

bool TCollationKeys::Add(std::u16string_view Text) {
  if (Text.size() > static_cast<size_t>(INT_MAX)) return false;
  // The platform refuses a zero length; the empty text is passed NUL-terminated instead.
  static const char16_t Empty[1] = {0};
  const LPCWSTR Source = AsWide(Text.empty() ? Empty : Text.data());
  const int SourceLength = Text.empty() ? -1 : static_cast<int>(Text.size());

  // Write straight into the arena's free room, made large enough for the key of a line of
  // ordinary length; only when that is too small ask for the size.
  EnsureRoom(std::min<size_t>(Text.size() * 3 + 16, 65536));
  const auto Room = static_cast<int>(std::min<size_t>(FCapacity - FUsed, INT_MAX));
  auto* Dest = reinterpret_cast<LPWSTR>(FBytes.get() + FUsed);
  int Written = LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY, Source, SourceLength, Dest, Room);
  if (Written <= 0) {
    const int Needed =
        LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY, Source, SourceLength, nullptr, 0);
    if (Needed <= 0) return false;
    EnsureRoom(static_cast<size_t>(Needed));
    Dest = reinterpret_cast<LPWSTR>(FBytes.get() + FUsed);
    Written = LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY, Source, SourceLength, Dest, Needed);
    if (Written <= 0) return false;
  }
  FUsed += static_cast<size_t>(Written);
  FOffsets.push_back(FUsed);
  return true;
}

void TCollationKeys::Join(std::vector<TCollationKeys>& Parts) {
  // Where each part's bytes and offsets go.
  std::vector<size_t> ByteStart(Parts.size() + 1, FUsed);
  std::vector<size_t> KeyStart(Parts.size() + 1, Count());
  for (size_t P = 0; P < Parts.size(); ++P) {
    ByteStart[P + 1] = ByteStart[P] + Parts[P].FUsed;
    KeyStart[P + 1] = KeyStart[P] + Parts[P].Count();
  }
  EnsureRoom(ByteStart.back() - FUsed);
  FOffsets.resize(KeyStart.back() + 1);
  Parallel::ForEachPart(Parts.size(), [&](size_t P) {
    TCollationKeys& Part = Parts[P];
    if (Part.FUsed > 0) std::memcpy(FBytes.get() + ByteStart[P], Part.FBytes.get(), Part.FUsed);
    for (size_t K = 0; K < Part.Count(); ++K) {
      FOffsets[KeyStart[P] + K + 1] = ByteStart[P] + Part.FOffsets[K + 1];
    }
    Part = TCollationKeys();  // its bytes are not needed twice over
  });
  FUsed = ByteStart.back();
}

uint64_t TCollationKeys::Prefix(size_t I, size_t Depth) const {
  const size_t Size = Length(I);
  const uint8_t* Key = FBytes.get() + FOffsets[I];
  if (Depth + 8 <= Size) {
    uint64_t Bytes;
    std::memcpy(&Bytes, Key + Depth, 8);
    if constexpr (std::endian::native == std::endian::little) Bytes = __builtin_bswap64(Bytes);
    return Bytes;
  }
  uint64_t Result = 0;
  for (size_t K = Depth; K < Depth + 8; ++K) Result = (Result << 8) | (K < Size ? Key[K] : 0);
  return Result;
}

}  // namespace StringRecordListNormalSort
