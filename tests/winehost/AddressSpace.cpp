// The address space is filled by asking for the largest reservations first, halving the size
// whenever none is left, down to one unit of the allocation granularity, then every unit left
// at its own address. Holes are cut from the large reservations afterwards, with the runs
// around them reserved again at their addresses, so that no two holes touch.

#include "tests/winehost/AddressSpace.h"

#include <cstdint>

namespace WineHost {
namespace {

size_t Granularity() {
  SYSTEM_INFO Info;
  GetSystemInfo(&Info);
  return Info.dwAllocationGranularity;
}

constexpr size_t LargestPiece = size_t{1} << 30;

void* ReserveAt(void* Base, size_t Size) {
  return VirtualAlloc(Base, Size, MEM_RESERVE, PAGE_NOACCESS);
}

}  // namespace

size_t LargestFreeRun() {
  const size_t Unit = Granularity();
  // The largest number of units that can be reserved at once, by bisection.
  size_t Low = 0, High = LargestPiece / Unit * 2;
  while (Low < High) {
    const size_t Mid = Low + (High - Low + 1) / 2;
    if (void* P = ReserveAt(nullptr, Mid * Unit)) {
      VirtualFree(P, 0, MEM_RELEASE);
      Low = Mid;
    } else {
      High = Mid - 1;
    }
  }
  return Low * Unit;
}

int TAddressSpaceFill::Fill(size_t HoleSize, int Holes) {
  Release();
  const size_t Unit = Granularity();
  for (size_t Size = LargestPiece; Size >= Unit; Size /= 2) {
    while (void* P = ReserveAt(nullptr, Size)) FPieces.push_back({static_cast<char*>(P), Size});
  }
  // Wine places a reservation without an address only where the run has room to align it,
  // so single units can be left between others; each is asked for at its own address.
  SYSTEM_INFO Info;
  GetSystemInfo(&Info);
  const auto First =
      (reinterpret_cast<uintptr_t>(Info.lpMinimumApplicationAddress) + Unit - 1) / Unit * Unit;
  const auto End = reinterpret_cast<uintptr_t>(Info.lpMaximumApplicationAddress);
  for (uintptr_t At = First; At + Unit - 1 <= End; At += Unit) {
    auto* const Base = reinterpret_cast<char*>(At);
    if (ReserveAt(Base, Unit) == Base) FPieces.push_back({Base, Unit});
  }
  if (HoleSize == 0 || Holes <= 0) return 0;
  int Left = Holes;
  std::vector<TPiece> Pieces;
  Pieces.swap(FPieces);
  for (const TPiece& Piece : Pieces) {
    if (Left > 0 && Piece.Size >= HoleSize + Unit) {
      Carve(Piece, HoleSize, Left);
    } else {
      FPieces.push_back(Piece);
    }
  }
  return Holes - Left;
}

void TAddressSpaceFill::Carve(TPiece Piece, size_t HoleSize, int& Holes) {
  const size_t Unit = Granularity();
  VirtualFree(Piece.Base, 0, MEM_RELEASE);
  size_t Offset = 0;
  while (Holes > 0 && Piece.Size - Offset >= HoleSize + Unit) {
    // The hole is [Offset, Offset + HoleSize); the unit after it stays reserved.
    char* const Spacer = Piece.Base + Offset + HoleSize;
    if (ReserveAt(Spacer, Unit) != Spacer) return;
    FPieces.push_back({Spacer, Unit});
    --Holes;
    Offset += HoleSize + Unit;
  }
  if (Offset < Piece.Size) {
    char* const Rest = Piece.Base + Offset;
    if (ReserveAt(Rest, Piece.Size - Offset) != Rest) return;
    FPieces.push_back({Rest, Piece.Size - Offset});
  }
}

void TAddressSpaceFill::Release() {
  for (const TPiece& Piece : FPieces) VirtualFree(Piece.Base, 0, MEM_RELEASE);
  FPieces.clear();
}

}  // namespace WineHost
