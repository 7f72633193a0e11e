// The process's own address space filled with reservations, so that allocations made after it
// find only the free room the test chose. Nothing is committed: reserving costs no memory.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

namespace WineHost {

// The largest run of address space that one reservation could take (in whole units of the
// allocation granularity). Found by reserving and releasing: VirtualQuery under Wine reports
// space outside its own reserved areas as in use even where an allocation may still go.
size_t LargestFreeRun();

class TAddressSpaceFill {
 public:
  TAddressSpaceFill() = default;
  TAddressSpaceFill(const TAddressSpaceFill&) = delete;
  TAddressSpaceFill& operator=(const TAddressSpaceFill&) = delete;
  ~TAddressSpaceFill() { Release(); }

  // Reserves all the address space that can be had, then frees Holes runs of exactly HoleSize
  // bytes (a multiple of the allocation granularity), each between reserved runs; returns how
  // many holes it made.
  int Fill(size_t HoleSize, int Holes);
  // Frees every reservation Fill made.
  void Release();
  bool Filled() const { return !FPieces.empty(); }

 private:
  struct TPiece {
    char* Base;
    size_t Size;
  };
  // Replaces the reservation of Piece by holes of HoleSize, each followed by a reserved unit
  // of the allocation granularity, while Holes is above zero. A run the system will not
  // reserve again stays free (LargestFreeRun shows it).
  void Carve(TPiece Piece, size_t HoleSize, int& Holes);

  std::vector<TPiece> FPieces;
};

}  // namespace WineHost
