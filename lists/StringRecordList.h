// The list of lines: each line's code units in a cell of the list's own arena, the cell
// pointers kept in a TListClone so that reordering never copies a line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "TemplateList/ListClone.h"

namespace StringRecordList {

enum class TSplitMode : uint8_t { smKeepSeparator = 0, smDropSeparator = 1 };
using enum TSplitMode;

// The line in the cell that an item of a line list's inner TListClone points to; valid until
// the list is next changed.
inline std::u16string_view LineOf(const void* Cell) noexcept {
  // A cell is the line's length in code units as a 32-bit number, then the units. A line of
  // 2^32 - 1 units or more has that number all ones and its length in the next 8 bytes.
  const auto* Bytes = static_cast<const std::byte*>(Cell);
  uint32_t Length;
  std::memcpy(&Length, Bytes, sizeof Length);
  if (Length != UINT32_MAX) [[likely]] {
    return {reinterpret_cast<const char16_t*>(Bytes + 4), Length};
  }
  uint64_t LongLength;
  std::memcpy(&LongLength, Bytes + 4, sizeof LongLength);
  return {reinterpret_cast<const char16_t*>(Bytes + 12), static_cast<size_t>(LongLength)};
}

// Memory for line cells, taken in large blocks and given back all at once.
class TLineArena {
 public:
  // A new cell holding Line; throws std::bad_alloc when no block can be had.
  void* NewCell(std::u16string_view Line);
  // The bytes a cell holding Length code units takes.
  static size_t CellSize(size_t Length) noexcept;
  // Sizes the next blocks for about Bytes of cells to come.
  void Expect(size_t Bytes) noexcept { FExpected = Bytes; }
  // Gives back every block; every cell is gone.
  void Release() noexcept;
  // Bytes handed out since the last Release.
  size_t Used() const noexcept { return FUsed; }
  // Bytes in the blocks taken since the last Release.
  size_t Capacity() const noexcept { return FCapacity; }

 private:
  std::vector<std::unique_ptr<std::byte[]>> FBlocks;
  std::byte* FNext = nullptr;
  std::byte* FEnd = nullptr;
  size_t FExpected = 0;  // bytes of cells still expected
  size_t FUsed = 0;
  size_t FCapacity = 0;
};

class TRecordList {
 public:
  TRecordList();
  TRecordList(const TRecordList&) = delete;
  TRecordList& operator=(const TRecordList&) = delete;
  virtual ~TRecordList();

  // Appends a copy of Item; returns its index.
  int32_t Add(std::u16string_view Item);
  // Inserts Item at 0 <= Index <= Count.
  void Insert(int32_t Index, std::u16string_view Item);
  // Removes the line at Index; index errors raise the list error.
  void Delete(int32_t Index);
  // Releases every line and empties the list.
  void Clear();
  void Exchange(int32_t Index1, int32_t Index2);
  void Move(int32_t CurIndex, int32_t NewIndex);
  // A copy of the line at Index.
  std::u16string GetItem(int32_t Index) const;
  // The line at Index, without a copy; valid until the list is next changed.
  std::u16string_view ItemRef(int32_t Index) const;
  // Replaces the line at Index; it keeps its place in the list.
  void SetItem(int32_t Index, std::u16string_view Value);
  // Lowest index whose line equals Value code unit for code unit, or -1.
  int32_t IndexOf(std::u16string_view Value) const;
  int32_t Count() const { return FList.Count(); }
  // Deletes lines from the end, or appends empty lines, until there are NewCount.
  void SetCount(int32_t NewCount);
  // Replaces the lines by copies of Source's; a null Source changes nothing.
  virtual void Assign(const TRecordList* Source);
  // Makes room for Lines more lines totalling about Bytes of cells (TLineArena::CellSize
  // each), so that adding them copies no block as the list grows.
  void Expect(int32_t Lines, size_t Bytes);

 protected:
  ListClone::TListClone FList;

 private:
  // Counts a cell that no item points to any more, and moves the live cells to a fresh arena
  // when the dead ones take more room than they do.
  void Abandon(const void* Cell);

  TLineArena FArena;
  size_t FDead = 0;  // bytes of the arena in cells no item points to
};

// A line list that converts to and from one text.
class TCommonStringRecordList : public TRecordList {
 public:
  // All lines joined with nothing between them.
  std::u16string Text() const;
  // Clears the list and cuts Value into lines, each keeping its own CR LF, CR or LF.
  void SetText(std::u16string_view Value);
  // Copies already-cut lines, in order, after clearing the list.
  void SetLines(std::vector<std::u16string>&& Lines);
  // Clears the list and cuts Value at the delimiters (tried in order), dropping them.
  void SetDelimitedText(std::u16string_view Value, const std::vector<std::u16string>& Delimiters);
  // The lines joined with Delimiter between them.
  std::u16string GetDelimitedText(std::u16string_view Delimiter) const;

 protected:
  // The general splitter behind SetDelimitedText.
  void SplitText(std::u16string_view Value, const std::vector<std::u16string>& Separators,
                 TSplitMode Mode);
};

// The line breaks that end lines, in the order they are tried: CR LF before a lone CR.
const std::vector<std::u16string>& LineBreaks();

}  // namespace StringRecordList
