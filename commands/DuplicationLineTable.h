// The machinery under the duplicate commands: the distinct lines of a text, found through a
// hash index over the lines in place (no line is copied), so that each command runs in
// expected linear time. Lines are cut by the line scanner, as the line list cuts them.
// Texts are UTF-16, or UTF-8 where the tool works on the bytes of a file: two valid UTF-8
// lines have equal bytes exactly when their UTF-16 forms have equal code units.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "strings/LineScan.h"

namespace DuplicationLineTable {

using LineScan::TLine;

// What makes two lines equal: their bodies, or their whole text including the line break.
enum class TKeyKind : uint8_t { kkBody = 0, kkWholeLine = 1 };
using enum TKeyKind;

// Whether the distinct lines are numbered (Visit's Number, Offset, Line), or only told apart
// from the lines seen before (Added), which saves four bytes a distinct line.
enum class TNumbering : uint8_t { nbNumbered = 0, nbUnnumbered = 1 };
using enum TNumbering;

// What tells lines apart where it is not their own units: a key made from each line's body,
// as bytes. Two bodies are the same when their keys' bytes are.
template <class TUnit>
class TKeyMaker {
 public:
  // Writes the key of Body at the start of Scratch, which it makes larger where needed (never
  // smaller); returns the key's length.
  virtual size_t Key(std::basic_string_view<TUnit> Body, std::string& Scratch) = 0;

 protected:
  ~TKeyMaker() = default;
};

// Raises the list error when a text has more lines than a line list can hold, as cutting it
// into a list would.
void CheckLineCount(size_t Lines);

// The distinct lines of one text, in order of first appearance. Holds a view of the text,
// which must outlive it. TUnit is char16_t (UTF-16) or char (UTF-8).
template <class TUnit>
class TDistinctLinesOf {
 public:
  using TView = std::basic_string_view<TUnit>;

  // The lines are hashed with a seed chosen afresh for each table, so that no text can be
  // made whose lines all collide.
  TDistinctLinesOf(TView Text, TKeyKind KeyKind, TNumbering Numbering = nbNumbered);
  // The same with the given seed, for tests that need the hashes fixed.
  TDistinctLinesOf(TView Text, TKeyKind KeyKind, uint64_t Seed, TNumbering Numbering = nbNumbered);
  // Bodies (kkBody) told apart by the keys Maker makes of them, which must outlive the table.
  TDistinctLinesOf(TView Text, TKeyMaker<TUnit>& Maker, TNumbering Numbering = nbNumbered);

  // Goes through the lines of the text in order and calls Visit(const TLine&, uint32_t
  // Number, bool Added) for each: Number is the distinct line with the same key, which is
  // this line itself (Added) when no earlier line has it. With kkWholeLine, bare line breaks
  // are passed over without a call. Raises the list error past the largest list's count.
  // Visit may write over the text before the line it is given (see RelocateAdded), never
  // after. Unnumbered, Number is 0.
  template <class TVisit>
  void Scan(TVisit&& Visit) {
    using TFn = std::remove_reference_t<TVisit>;
    ScanWith(const_cast<void*>(static_cast<const void*>(&Visit)),
             [](void* Context, const TLine& Line, uint32_t Number, bool Added) {
               (*static_cast<TFn*>(Context))(Line, Number, Added);
             });
  }

  // With a key maker: the hash the table gives the key Key; safe on several threads, so that
  // the keys of a text's lines may be made and hashed on them before the scan.
  uint32_t HashOfKey(std::string_view Key) const { return HashOfBytes(Key.data(), Key.size()); }
  // Has the scan take each line's hash from Hashes, in the order of the lines (one for every
  // line), rather than hash the line itself.
  void TakeHashes(std::vector<uint32_t>&& Hashes) { FGivenHashes = std::move(Hashes); }

  // The number of distinct lines found so far.
  size_t Count() const { return FCount; }
  // How many distinct lines the index holds before it grows again: once a fair part of the
  // text has been read, about as many as the whole text is projected to have.
  size_t Room() const { return FSlots.size() * 4 / 5; }
  // Where the distinct line Number starts in the text (numbered tables only, as Line).
  size_t Offset(size_t Number) const {
    if constexpr (sizeof(size_t) > 4) {
      if (!FKeysHigh.empty())
        return static_cast<size_t>(FKeys[Number] | uint64_t{FKeysHigh[Number]} << 32);
    }
    return FKeys[Number];
  }
  // The distinct line Number, as it stood in the text (with its own break).
  TLine Line(size_t Number) const;
  // With kkBody only, from Visit for a line Added: the body of that line and a break (or the
  // end of the text) now stand at Offset, before its old place; later lookups read them there.
  void RelocateAdded(size_t Offset);
  // Frees the index once no more lookups are needed; the lines stay known.
  void ReleaseIndex();
  // How many slots the lookups have looked at so far: about one per line while the hashes
  // spread well, growing with the square of the lines where they collide.
  size_t Probes() const { return FProbes; }

 private:
  using TVisitFn = void (*)(void* Context, const TLine& Line, uint32_t Number, bool Added);

  // A slot is 32 bits: 0 when empty; otherwise the entry's id + 1 in the low FIdBits bits (the
  // distinct line's number, or unnumbered the offset of its line) and, above it, the low bits
  // of its key's 32-bit hash, which screen out most unequal keys. The hash's high bits pick the
  // home slot, so that the table may have any size; they are not kept, and a growing table
  // hashes its keys again from the text.
  using TSlot = uint32_t;

  void ScanWith(void* Context, TVisitFn Visit);
  void LookUp(const TLine& Line, uint32_t Hash, void* Context, TVisitFn Visit);
  bool SameKey(size_t Known, const TUnit* Key, size_t Length) const;
  uint32_t FindOrAdd(size_t Offset, size_t Length, uint32_t Hash, bool& Added);
  // The hash of the N code units at P: seeded XXH3, or the test hook's when one was set; with a
  // key maker, that of their key.
  uint32_t HashOf(const TUnit* P, size_t N);
  uint32_t HashOfBytes(const void* P, size_t Size) const;
  // Whether the body of Length units at Key has the same key as the known body at Known.
  bool SameMadeKey(size_t Known, const TUnit* Key, size_t Length);
  // The hash of the key that starts at Offset.
  uint32_t HashAt(size_t Offset);
  // Where the key of a used slot starts.
  size_t SlotOffset(TSlot Slot) const {
    const size_t Id = (Slot & FIdMask) - 1;
    return FNumbered ? Offset(Id) : Id;
  }
  TSlot Tag(uint32_t Hash) const { return static_cast<TSlot>(Hash << FIdBits) & ~FIdMask; }
  // Makes the table larger, for a text read up to Scanned.
  void Grow(size_t Scanned);
  size_t Home(uint32_t Hash) const {
    return static_cast<size_t>((static_cast<uint64_t>(Hash) * FSlots.size()) >> 32);
  }
  size_t After(size_t Slot) const { return Slot + 1 == FSlots.size() ? 0 : Slot + 1; }
  void AddKey(size_t Offset);

  TView FText;
  TKeyKind FKeyKind;
  std::vector<TSlot> FSlots;
  unsigned FIdBits;
  TSlot FIdMask;
  // Where each distinct line starts (its length is found again from the text when needed):
  // the low 32 bits, and the high ones only for a text of 4 Gi units or more.
  std::vector<uint32_t> FKeys;
  std::vector<uint32_t> FKeysHigh;
  bool FWide;
  bool FNumbered;
  size_t FCount = 0;
  size_t FAddedSlot = 0;  // the slot of the distinct line added last
  uint64_t FSeed;
  uint32_t (*FTestHash)(const void*, size_t);
  TKeyMaker<TUnit>* FMaker = nullptr;
  std::vector<uint32_t> FGivenHashes;
  std::string FKey, FKnownKey;  // the keys a maker made last
  size_t FProbes = 0;
};

// For tests: tables made after this call hash every key with Hash (its bytes and their number)
// instead of the seeded hash, so that hashes may be made to collide at will; nullptr restores
// the seeded hash. Not for use while another thread makes tables.
void SetHashForTests(uint32_t (*Hash)(const void* Bytes, size_t Size));

using TDistinctLines = TDistinctLinesOf<char16_t>;
using TDistinctBytes = TDistinctLinesOf<char>;

}  // namespace DuplicationLineTable
