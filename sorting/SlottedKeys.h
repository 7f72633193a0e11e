// Keys made on first use by any of several threads, each found through a 32-bit slot per line.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

namespace KeyedSort {

// Byte strings stored once each for lines 0 .. Count - 1, in blocks that never move. A line's
// slot takes 32 bits however wide a pointer is: it holds where the key lies, in 4-byte steps,
// in a space of segments (each block covers whole segments), so up to 16 GiB of keys fit.
class TSlottedKeys {
 public:
  // Room for keys in segments of SegmentBytes (a multiple of 4) up to SpaceBytes in all.
  explicit TSlottedKeys(size_t Count, size_t SegmentBytes = size_t{1} << 20,
                        uint64_t SpaceBytes = uint64_t{4} * UINT32_MAX)
      : FSlots(static_cast<uint32_t*>(std::calloc(std::max<size_t>(Count, 1), sizeof(uint32_t)))),
        FSegmentBytes(SegmentBytes),
        FSegments((std::min<uint64_t>(SpaceBytes, uint64_t{4} * UINT32_MAX)) / SegmentBytes) {
    if (FSlots == nullptr) throw std::bad_alloc();
  }

  // Line I's stored key (its 32-bit length, then its bytes), or null when none is stored yet.
  const uint8_t* Find(size_t I) const {
    const uint32_t Slot = SlotOf(I).load(std::memory_order_acquire);
    return Slot == 0 ? nullptr : At(uint64_t{Slot - 1} * 4);
  }

  // Stores the Length bytes at Key as line I's key unless another thread stored one first;
  // returns the stored key. Throws std::bad_alloc when the space or the memory runs out.
  const uint8_t* Store(size_t I, const uint8_t* Key, size_t Length) {
    const std::lock_guard<std::mutex> Hold(FLock);
    const uint32_t Slot = SlotOf(I).load(std::memory_order_relaxed);
    if (Slot != 0) return At(uint64_t{Slot - 1} * 4);  // another thread was first
    const uint64_t Size = (uint64_t{4} + Length + 3) / 4 * 4;
    if (FEnd - FNext < Size) NewBlock(Size);
    uint8_t* const Stored = At(FNext);
    const auto Length32 = static_cast<uint32_t>(Length);
    std::memcpy(Stored, &Length32, sizeof Length32);
    std::memcpy(Stored + 4, Key, Length);
    SlotOf(I).store(static_cast<uint32_t>(FNext / 4 + 1), std::memory_order_release);
    FNext += Size;
    return Stored;
  }

 private:
  std::atomic_ref<uint32_t> SlotOf(size_t I) const { return std::atomic_ref<uint32_t>(FSlots[I]); }

  uint8_t* At(uint64_t Position) const {
    return FSegments[static_cast<size_t>(Position / FSegmentBytes)] +
           static_cast<size_t>(Position % FSegmentBytes);
  }

  // A block of whole segments with room for Size bytes, from the next segment on; the rest of
  // the current one stays unused.
  void NewBlock(uint64_t Size) {
    const uint64_t Segments = (Size + FSegmentBytes - 1) / FSegmentBytes;
    const uint64_t First = (FNext + FSegmentBytes - 1) / FSegmentBytes;
    if (First + Segments > FSegments.size() || Segments * FSegmentBytes > SIZE_MAX) {
      throw std::bad_alloc();
    }
    const auto Bytes = static_cast<size_t>(Segments * FSegmentBytes);
    FBlocks.emplace_back(new uint8_t[Bytes]);
    for (uint64_t K = 0; K < Segments; ++K) {
      FSegments[static_cast<size_t>(First + K)] = FBlocks.back().get() + K * FSegmentBytes;
    }
    FNext = First * FSegmentBytes;
    FEnd = FNext + Bytes;
  }

  // 0 until the key is stored. Zeroed by calloc, which leaves large blocks to the system's
  // zero pages: in most texts few lines tie, and the pages of slots never stored to cost no
  // memory.
  struct TFree {
    void operator()(uint32_t* P) const { std::free(P); }
  };
  std::unique_ptr<uint32_t[], TFree> FSlots;
  const size_t FSegmentBytes;
  // Each segment's first byte, set before any slot that points into it is published.
  std::vector<uint8_t*> FSegments;
  std::mutex FLock;  // guards the blocks and the positions
  std::vector<std::unique_ptr<uint8_t[]>> FBlocks;
  uint64_t FNext = 0;  // where the next key goes
  uint64_t FEnd = 0;   // the end of the last block
};

}  // namespace KeyedSort
